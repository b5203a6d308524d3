#pragma once
// upkeepctl's own texts: string-table numbers 320 and up, filled in, in the
// user's language. What scripts and files keep (JSON, the history) stays
// English and is made from the same English entries, so that it can be
// shown translated.

#include <initializer_list>
#include <string>
#include <string_view>

namespace upkeep::cli::text {

// Usage errors.
inline constexpr int kUnknownOption = 320;
inline constexpr int kNeedsValue = 321;
inline constexpr int kNeedsNumber = 322;
inline constexpr int kTakesAtMost = 323;
inline constexpr int kExpected = 324;
inline constexpr int kUnexpectedArgument = 325;
inline constexpr int kNotAnAddress = 326;
inline constexpr int kUnknownCommand = 327;
inline constexpr int kUsage = 328;
inline constexpr int kExcludeEachOther = 329;
inline constexpr int kNoState = 330;
inline constexpr int kCannotWriteOutput = 331;
inline constexpr int kSpoolerNotAsked = 332;
inline constexpr int kNoPackageDirectory = 333;
inline constexpr int kPackageUnsigned = 334;
inline constexpr int kPackageRefused = 335;
inline constexpr int kCannotRead = 336;
inline constexpr int kPathTooLong = 337;
inline constexpr int kNoHistoryFile = 338;
inline constexpr int kWarning = 339;
// Confirmation and cancel.
inline constexpr int kConfirmationNeeded = 340;
inline constexpr int kYesNo = 341;
inline constexpr int kYesLetter = 342;
inline constexpr int kCanceled = 343;
inline constexpr int kDidNotFinish = 344;
inline constexpr int kCanceledBeforeStart = 345;
inline constexpr int kCanceledBecause = 346;
inline constexpr int kSkipped = 347;
inline constexpr int kSamePrinter = 348;
inline constexpr int kRefused = 349;
// Verification.
inline constexpr int kVerified = 350;
inline constexpr int kNotVerifiedCanceled = 351;
inline constexpr int kNotVerifiedSilent = 352;
inline constexpr int kNotVerifiedReports = 353;
inline constexpr int kVerifying = 354;
inline constexpr int kPending = 355;
inline constexpr int kNotAsked = 356;
inline constexpr int kNotApplied = 357;  // an outcome
inline constexpr int kWouldDowngrade = 358;
inline constexpr int kNotAppliedReports = 359;
// Outcomes of a download (canceled is kCanceled).
inline constexpr int kSent = 360;
inline constexpr int kOutcomeVerified = 361;
inline constexpr int kOutcomeNotVerified = 362;
inline constexpr int kUpToDate = 363;
inline constexpr int kFailed = 364;
inline constexpr int kWouldUpgrade = 365;
inline constexpr int kLineNotUsable = 366;
// Column headings.
inline constexpr int kTime = 370;
inline constexpr int kBefore = 371;
inline constexpr int kFile = 372;
inline constexpr int kOutcome = 373;
inline constexpr int kVerification = 374;
inline constexpr int kItemsSent = 375;
inline constexpr int kReason = 376;
inline constexpr int kPortType = 377;
inline constexpr int kPort = 378;
inline constexpr int kNotReachable = 379;
// What happened.
inline constexpr int kSentFile = 380;
inline constexpr int kAlreadyRuns = 381;
inline constexpr int kVersionNotListed = 382;
inline constexpr int kNoParallelPort = 383;
inline constexpr int kNewer = 384;
inline constexpr int kAnswered = 385;
inline constexpr int kCannotResolve = 386;
inline constexpr int kNoValidResponse = 387;
inline constexpr int kNotANetworkAddress = 388;
inline constexpr int kOutOfResources = 389;
inline constexpr int kOidsDoNotFit = 405;
inline constexpr int kLineRefused = 406;
inline constexpr int kNoCatalogue = 407;
// Help.
inline constexpr int kCommands = 390;
inline constexpr int kOptions = 391;
inline constexpr int kTargets = 392;
inline constexpr int kExitCodes = 393;
inline constexpr int kHelpOption = 394;
inline constexpr int kFirstSummary = 395;  // the commands' summaries, in help order
inline constexpr int kFirstOption = 410;   // --json, then the others (main.cpp)
inline constexpr int kNeedsSeconds = 424;
// The catalogue's table.
inline constexpr int kLoaded = 430;
inline constexpr int kLocation = 431;
inline constexpr int kDate = 432;
inline constexpr int kPackage = 433;
inline constexpr int kSystem = 434;
inline constexpr int kSubsystem = 435;
inline constexpr int kYes = 436;
inline constexpr int kNo = 437;
inline constexpr int kSignedBy = 438;
inline constexpr int kUntrusted = 439;
inline constexpr int kUnsigned = 440;
inline constexpr int kTooLongToUse = 441;
inline constexpr int kNotUsableBecause = 442;
inline constexpr int kOptional = 443;
inline constexpr int kPresent = 444;
inline constexpr int kMissing = 445;
inline constexpr int kNotUsable = 446;
inline constexpr int kFileVerified = 447;
inline constexpr int kFileUnsigned = 448;
inline constexpr int kCatalogueNotMade = 449;

}  // namespace upkeep::cli::text

namespace upkeep::cli {

// The entry in the current language with each %s replaced by the next
// argument, in order ("%%" is a percent sign); a missing one is empty.
std::string message(int id, std::initializer_list<std::string_view> args);

// The same in English: for what scripts and files keep.
std::string english(int id, std::initializer_list<std::string_view> args = {});

// A value english() made from an entry of the tables (a reason, a
// verification), in the current language, also with a detail in brackets
// after it; any other text as it is.
std::string shown(std::string_view value);

// An outcome word of --json and the history (sent, upToDate, notVerified,
// ...) as the tables show it.
std::string outcomeShown(std::string_view word);

}  // namespace upkeep::cli
