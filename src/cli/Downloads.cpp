#include "cli/Downloads.h"
#include "cli/Texts.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>

namespace upkeep::cli {

void DownloadSink::setFileText(const std::string& fileName) {
    std::lock_guard lock(mutex_);
    file_ = fileName;
}

void DownloadSink::advanceStep() {
    std::lock_guard lock(mutex_);
    ++step_;
}

void DownloadSink::showFailure(int stringId, int code) {
    std::lock_guard lock(mutex_);
    // English, as --json keeps it: shown() translates it for the terminal.
    failure_ = english(stringId);
    if (code != 0)
        failure_ += " (" + std::to_string(code) + ")";
}

void DownloadSink::finished(Operation outcome, bool canceled) {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
    canceled_ = canceled;
}

std::string DownloadSink::label() {
    std::lock_guard lock(mutex_);
    if (total_ > 1)
        return std::to_string(step_) + "/" + std::to_string(total_) + " " + file_;
    return file_;
}

std::string DownloadSink::failure() {
    std::lock_guard lock(mutex_);
    return failure_;
}

Operation DownloadSink::outcome() {
    std::lock_guard lock(mutex_);
    return outcome_;
}

bool DownloadSink::canceled() {
    std::lock_guard lock(mutex_);
    return canceled_;
}

std::optional<int> confirm(const Options& options, const std::vector<std::string>& lines) {
    if (options.yes)
        return std::nullopt;
    if (!::isatty(STDIN_FILENO))
        return fail(kExitUsage, message(text::kConfirmationNeeded, {}));
    for (const std::string& line : lines)
        std::fprintf(stderr, "%s\n\n", line.c_str());
    std::fprintf(stderr, "%s ", message(text::kYesNo, {}).c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    // "y" is understood in every language, besides the language's own yes.
    const std::string yes = message(text::kYesLetter, {});
    auto lower = [](std::string t) {
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    const std::string given = lower(answer);
    if (given.starts_with("y") || (!yes.empty() && given.starts_with(lower(yes))))
        return std::nullopt;
    return fail(kExitFailed, message(text::kCanceled, {}));
}

int unusableMessage(PrinterState effective) {
    switch (effective) {
        case PrinterState::UpgradeAvailable:
        case PrinterState::UpToDate:
            return 0;
        case PrinterState::NotAnalysed:
            return 262;
        case PrinterState::NotReachable:
            return 259;
        case PrinterState::UnsupportedConnection:
            return 260;
        default:
            return 261;
    }
}

namespace {

// The download's records, the files the printer took with `verification`.
void appendRecords(const DownloadReport& report, const std::string& verification, bool sentOnly) {
    std::vector<history::Record> records;
    for (history::Record r : report.records) {
        const bool sent = r.outcome == "sent";
        if (sent)
            r.verification = verification;
        if (sent || !sentOnly)
            records.push_back(std::move(r));
    }
    std::string problem;
    if (!history::append(records, problem))
        std::fprintf(stderr, "upkeepctl: %s\n", message(text::kWarning, {problem}).c_str());
}

}  // namespace

void recordHistory(const DownloadReport& report, bool verificationFollows) {
    appendRecords(report, verificationFollows ? history::kPending : history::kNotAsked, false);
}

void completeHistory(const DownloadReport& report, const std::string& verification) {
    appendRecords(report, verification, true);
}

}  // namespace upkeep::cli
