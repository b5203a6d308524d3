#pragma once
// Whether a package's files may reach a printer. A package directory that
// holds SHA256SUMS is signed: SHA256SUMS.gpg, a detached signature over
// the list, must be good and made by a trusted key, and every file sent
// from the package must have the SHA-256 the list gives it. A package
// without the list is unsigned and works as before. The signature is
// checked by gpgv, run as a child process; no OpenPGP is parsed here.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/Sha256Sums.h"

namespace upkeep {

class Environment;
class CatalogueEntry;
class Connection;
class FileConnection;
class FirmwareCatalogue;

enum class TrustState {
    Unsigned,   // no SHA256SUMS
    Signed,     // a good signature by a trusted key over the list
    Untrusted,  // a list, but no good signature by a trusted key, or a bad list
};

// Why a package is untrusted or one of its files refused, by kind, so that
// each front end tells it in the user's language.
enum class TrustProblem {
    None,
    Unreadable,       // `file` (the list, the catalogue, a file sent) could not be read whole
    BadSignature,     // no good signature by a trusted key over SHA256SUMS
    NotListed,        // `file` is not listed in SHA256SUMS
    ChecksumDiffers,  // `file`'s SHA-256 differs from SHA256SUMS
    UnsignedRefused,  // an unsigned package, and only signed ones may be sent
};

// A file of the package that may not be sent.
struct Refusal {
    TrustProblem problem = TrustProblem::None;
    std::string file;     // the file refused
    std::string subject;  // the file the problem is about: this one, or the package's list or
                          // catalogue when the whole package is untrusted
    std::string text;     // "FILE: reason", in English, for the command line and logs
};

struct PackageTrust {
    TrustState state = TrustState::Unsigned;
    std::string fingerprint;                    // the signing key's primary fingerprint (Signed)
    std::string userId;                         // as the signature names it (Signed)
    std::string reason;                         // why the package is untrusted
    TrustProblem problem = TrustProblem::None;  // the same, by kind (Untrusted)
    std::string problemFile;                    // the file it is about, if any
    // Unsigned packages are refused ("RequireSigned" = 1).
    bool signatureRequired = false;
    std::string directory;  // the package directory, without a trailing slash
    Sha256Sums sums;        // the list, when it could be read

    // The word the package's state is shown by: "signed", "unsigned",
    // "untrusted".
    const char* stateText() const;
};

// The keyrings whose keys a signature must be made by, in order: the
// files of the trusted directory (UPKEEP_TRUSTED_DIR, else
// /etc/upkeep/trusted.gpg.d; "*.gpg" and "*.kbx"), the settings' "Keyring"
// file, then those added with addTrustedKeyring.
std::vector<std::string> trustedKeyrings(Environment* environment);
// Adds a keyring for the packages loaded after it (upkeepctl --keyring).
void addTrustedKeyring(const std::string& path);

// Checks the signature over the package's list. `catalogue` is the open
// catalogue file (a local file; any other source is refused); for a signed package its bytes are
// checked against the list and, when they match, the file is swapped for a private copy of the
// checked bytes, so that what is read is what was checked.
PackageTrust checkPackage(const std::string& directory, Connection* catalogue,
                          const std::vector<std::string>& keyrings);

// Before a file of the package is sent: checks the open file's bytes
// against the list, reading them all first, and on success leaves the
// connection reading a sealed private copy of exactly those bytes. `name`
// is the file's name relative to the package directory. Returns why the
// file is refused, or nothing.
std::optional<Refusal> verifyPackageFile(const PackageTrust& trust, const std::string& name,
                                         FileConnection& file);

// The name of an open file relative to the package directory, when the
// file lies inside it (found through the descriptor, so links and "..."
// in the path do not matter).
std::optional<std::string> nameInPackage(const PackageTrust& trust, const FileConnection& file);

// Why the entry's open file may not be sent, naming the file, or nothing
// (and then, for a signed package, the file reads the checked copy). The
// catalogue's own entries are always the package's; a file the user chose
// is the package's only when it lies inside the package directory, and is
// the user's own choice otherwise. An unsigned package whose signature is
// required refuses every file of its own.
std::optional<Refusal> checkFileForSending(const FirmwareCatalogue& catalogue,
                                           const CatalogueEntry& entry, Connection& file);

}  // namespace upkeep
