#include "package/PackageTrust.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "connection/FileConnection.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "package/Gpgv.h"
#include "platform/FileFlags.h"
#include "platform/PrivateFiles.h"
#include "platform/Sha256.h"
#include "platform/UniqueFd.h"

namespace upkeep {
namespace {

constexpr const char* kDefaultTrustedDir = "/etc/upkeep/trusted.gpg.d";
// gpgv's status lines for one signature are short; more is not a signature.
constexpr std::size_t kMaxStatus = 64 * 1024;

struct ExtraKeyrings {
    std::mutex lock;
    std::vector<std::string> paths;
};

ExtraKeyrings& extraKeyrings() {
    static ExtraKeyrings state;
    return state;
}

bool writeAll(int fd, const std::uint8_t* bytes, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, bytes, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads the open file to its end into a sealed anonymous file, hashing the
// bytes on the way: the copy cannot change afterwards, whatever happens to
// the file on disk.
struct CheckedCopy {
    platform::UniqueFd fd;
    Sha256 digest{};
};

std::optional<CheckedCopy> copyAndHash(FileConnection& file, std::string& problem) {
    CheckedCopy copy;
    copy.fd = platform::createPrivateFile("upkeep-checked");
    if (!copy.fd.valid()) {
        problem = "no room for a private copy";
        return std::nullopt;
    }
    platform::Sha256 digest;
    std::vector<std::uint8_t> block(FileConnection::kBlockSize * 16);
    std::uint64_t total = 0;
    for (;;) {
        std::size_t length = block.size();
        if (!file.read(block.data(), length) || length == 0)
            break;
        digest.add(block.data(), length);
        if (!writeAll(copy.fd.get(), block.data(), length)) {
            problem = "no room for a private copy";
            return std::nullopt;
        }
        total += length;
    }
    // A read that stopped early looks like the end: the size tells.
    if (total != file.size()) {
        problem = "could not be read to its end";
        return std::nullopt;
    }
    std::optional<platform::Sha256::Digest> sum = digest.finish();
    if (!sum) {
        problem = "SHA-256 could not be computed";
        return std::nullopt;
    }
    copy.digest = *sum;
    if (!platform::sealPrivateFile(copy.fd.get()) || ::lseek(copy.fd.get(), 0, SEEK_SET) != 0) {
        problem = "the private copy could not be sealed";
        return std::nullopt;
    }
    return copy;
}

std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit, bool& missing,
                                         std::string& problem) {
    missing = false;
    platform::UniqueFd fd(::open(path.c_str(), platform::kOpenReadNoWait));
    if (!fd.valid()) {
        missing = errno == ENOENT;
        problem = "cannot be opened";
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = "is not a regular file";
        return std::nullopt;
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            problem = "cannot be read";
            return std::nullopt;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > limit) {
            problem = "larger than " + std::to_string(limit) + " bytes";
            return std::nullopt;
        }
    }
    return text;
}

std::string absolute(const std::string& path) {
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

// What gpgv said of the signature, from its status lines.
struct Verdict {
    bool good = false;
    std::string fingerprint;
    std::string userId;
    std::string reason;
};

Verdict readStatus(const std::string& status, int exitCode) {
    Verdict verdict;
    bool goodSig = false;
    bool validSig = false;
    std::istringstream lines(status);
    std::string line;
    while (std::getline(lines, line)) {
        static constexpr std::string_view kPrefix = "[GNUPG:] ";
        if (line.rfind(kPrefix, 0) != 0)
            continue;
        std::istringstream fields(line.substr(kPrefix.size()));
        std::string keyword;
        fields >> keyword;
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        auto rest = [&](std::size_t from) {
            std::string text;
            for (std::size_t i = from; i < words.size(); ++i)
                text += (i == from ? "" : " ") + words[i];
            return text;
        };
        if (keyword == "GOODSIG" && !words.empty()) {
            goodSig = true;
            verdict.userId = rest(1);
        } else if (keyword == "VALIDSIG" && !words.empty()) {
            validSig = true;
            // The primary key's fingerprint, when the signature was made by
            // a subkey, is the tenth field.
            verdict.fingerprint = words.size() >= 10 ? words[9] : words[0];
        } else if (keyword == "BADSIG") {
            verdict.reason = "bad signature: SHA256SUMS or its signature was changed";
        } else if (keyword == "ERRSIG") {
            const bool noKey = words.size() >= 6 && words[5] == "9";
            verdict.reason = noKey ? "signed by a key that is not trusted (key ID " +
                                         (words.empty() ? std::string("?") : words[0]) + ")"
                                   : "the signature could not be checked";
        } else if (keyword == "EXPKEYSIG") {
            verdict.reason = "signed by an expired key";
        } else if (keyword == "REVKEYSIG") {
            verdict.reason = "signed by a revoked key";
        } else if (keyword == "EXPSIG") {
            verdict.reason = "the signature has expired";
        } else if (keyword == "NODATA") {
            verdict.reason = "SHA256SUMS.gpg holds no signature";
        }
    }
    verdict.good = exitCode == 0 && goodSig && validSig && verdict.reason.empty() &&
                   !verdict.fingerprint.empty();
    if (!verdict.good && verdict.reason.empty())
        verdict.reason = "no good signature by a trusted key";
    return verdict;
}

// Runs gpgv over the list and its signature with the trusted keyrings only
// (never a default keyring of the user), and reads its status lines.
Verdict runGpgv(const std::string& signature, int listFd,
                const std::vector<std::string>& keyrings) {
    const GpgvRun run = runGpgvProcess(signature, listFd, keyrings, kMaxStatus);
    if (!run.started) {
        Verdict failed;
        failed.reason = run.problem.empty() ? "gpgv could not be started" : run.problem;
        return failed;
    }
    return readStatus(run.status, run.exitCode);
}

PackageTrust untrusted(PackageTrust trust, std::string reason,
                       TrustProblem problem = TrustProblem::BadSignature, std::string file = {}) {
    trust.state = TrustState::Untrusted;
    trust.reason = std::move(reason);
    trust.problem = problem;
    trust.problemFile = std::move(file);
    trust.fingerprint.clear();
    trust.userId.clear();
    return trust;
}

}  // namespace

const char* PackageTrust::stateText() const {
    switch (state) {
        case TrustState::Signed:
            return "signed";
        case TrustState::Untrusted:
            return "untrusted";
        default:
            return "unsigned";
    }
}

std::vector<std::string> trustedKeyrings(Environment* environment) {
    std::vector<std::string> keyrings;
    const char* configured = std::getenv("UPKEEP_TRUSTED_DIR");
    const std::string directory = configured && *configured ? configured : kDefaultTrustedDir;
    std::error_code error;
    std::vector<std::string> found;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::path& path = it->path();
        if ((path.extension() == ".gpg" || path.extension() == ".kbx") &&
            std::filesystem::is_regular_file(path, error))
            found.push_back(absolute(path.string()));
    }
    std::sort(found.begin(), found.end());
    keyrings.insert(keyrings.end(), found.begin(), found.end());
    if (environment) {
        if (std::optional<std::string> file = environment->keyringFile(); file && !file->empty())
            keyrings.push_back(absolute(*file));
    }
    ExtraKeyrings& extra = extraKeyrings();
    std::lock_guard guard(extra.lock);
    keyrings.insert(keyrings.end(), extra.paths.begin(), extra.paths.end());
    return keyrings;
}

void addTrustedKeyring(const std::string& path) {
    ExtraKeyrings& extra = extraKeyrings();
    std::lock_guard guard(extra.lock);
    const std::string full = absolute(path);
    if (std::find(extra.paths.begin(), extra.paths.end(), full) == extra.paths.end())
        extra.paths.push_back(full);
}

PackageTrust checkPackage(const std::string& directory, Connection* catalogue,
                          const std::vector<std::string>& keyrings) {
    PackageTrust trust;
    {
        std::error_code error;
        std::filesystem::path canonical = std::filesystem::canonical(directory, error);
        trust.directory = error ? absolute(directory) : canonical.string();
    }
    const std::string listPath = trust.directory + "/" + Sha256Sums::kFileName;
    bool missing = false;
    std::string problem;
    std::optional<std::string> text =
        readSmallFile(listPath, Sha256Sums::kMaxSize, missing, problem);
    if (!text) {
        if (missing)
            return trust;  // unsigned
        return untrusted(std::move(trust), std::string(Sha256Sums::kFileName) + " " + problem,
                         TrustProblem::Unreadable, Sha256Sums::kFileName);
    }
    std::optional<Sha256Sums> sums = parseSha256Sums(*text, problem);
    if (!sums)
        return untrusted(std::move(trust), std::string(Sha256Sums::kFileName) + ": " + problem,
                         TrustProblem::Unreadable, Sha256Sums::kFileName);
    trust.sums = std::move(*sums);

    const std::string signaturePath = trust.directory + "/" + Sha256Sums::kSignatureName;
    if (::access(signaturePath.c_str(), F_OK) != 0)
        return untrusted(std::move(trust), "no signature (SHA256SUMS.gpg is missing)");
    if (keyrings.empty())
        return untrusted(std::move(trust), "no trusted keyring");
    // gpgv checks the very bytes parsed here, handed over in a sealed
    // anonymous file, whatever happens to SHA256SUMS meanwhile.
    platform::UniqueFd list = platform::createPrivateFile("upkeep-sums");
    if (!list.valid() ||
        !writeAll(list.get(), reinterpret_cast<const std::uint8_t*>(text->data()), text->size()) ||
        !platform::sealPrivateFile(list.get()))
        return untrusted(std::move(trust), "no room for a copy of SHA256SUMS",
                         TrustProblem::Unreadable, Sha256Sums::kFileName);
    const Verdict verdict = runGpgv(signaturePath, list.get(), keyrings);
    if (!verdict.good)
        return untrusted(std::move(trust), verdict.reason);
    trust.state = TrustState::Signed;
    trust.fingerprint = verdict.fingerprint;
    trust.userId = verdict.userId;

    if (catalogue) {
        auto* file = dynamic_cast<FileConnection*>(catalogue);
        if (file == nullptr)
            return untrusted(std::move(trust), "the catalogue is not a local file",
                             TrustProblem::Unreadable, "firmware.ini");
        const std::string name = nameInPackage(trust, *file).value_or("firmware.ini");
        const Sha256* expected = trust.sums.find(name);
        std::optional<CheckedCopy> copy = copyAndHash(*file, problem);
        if (!copy)
            return untrusted(std::move(trust), name + ": " + problem, TrustProblem::Unreadable,
                             name);
        // Read from the copy even when it differs: an untrusted package is
        // still shown as it is, and nothing of it is sent.
        const bool matches = expected != nullptr && copy->digest == *expected;
        file->adopt(std::move(copy->fd));
        if (expected == nullptr)
            return untrusted(std::move(trust), name + ": not listed in " + Sha256Sums::kFileName,
                             TrustProblem::NotListed, name);
        if (!matches)
            return untrusted(std::move(trust),
                             name + ": its SHA-256 differs from " + Sha256Sums::kFileName,
                             TrustProblem::ChecksumDiffers, name);
    }
    return trust;
}

std::optional<std::string> nameInPackage(const PackageTrust& trust, const FileConnection& file) {
    if (!file.isOpen())
        return std::nullopt;
    std::optional<std::string> opened = platform::pathOfOpenFile(file.descriptor());
    if (!opened)
        return std::nullopt;
    const std::string& path = *opened;
    const std::string prefix = trust.directory == "/" ? "/" : trust.directory + "/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    return path.substr(prefix.size());
}

std::optional<Refusal> verifyPackageFile(const PackageTrust& trust, const std::string& name,
                                         FileConnection& file) {
    auto refuse = [&](TrustProblem problem, const std::string& subject, const std::string& why) {
        return Refusal{problem, name, subject, name + ": " + why};
    };
    switch (trust.state) {
        case TrustState::Unsigned:
            if (trust.signatureRequired)
                return refuse(TrustProblem::UnsignedRefused, name,
                              "the package is unsigned (no SHA256SUMS), and a signed package is "
                              "required");
            return std::nullopt;
        case TrustState::Untrusted:
            return refuse(trust.problem, trust.problemFile,
                          "the package is untrusted (" + trust.reason + ")");
        case TrustState::Signed:
            break;
    }
    const Sha256* expected = trust.sums.find(name);
    if (expected == nullptr)
        return refuse(TrustProblem::NotListed, name,
                      std::string("not listed in ") + Sha256Sums::kFileName);
    std::string problem;
    std::optional<CheckedCopy> copy = copyAndHash(file, problem);
    if (!copy)
        return refuse(TrustProblem::Unreadable, name, problem);
    if (copy->digest != *expected)
        return refuse(TrustProblem::ChecksumDiffers, name,
                      std::string("its SHA-256 differs from ") + Sha256Sums::kFileName);
    file.adopt(std::move(copy->fd));
    return std::nullopt;
}

std::optional<Refusal> checkFileForSending(const FirmwareCatalogue& catalogue,
                                           const CatalogueEntry& entry, Connection& file) {
    const PackageTrust& trust = catalogue.trust();
    if (trust.state == TrustState::Unsigned && !trust.signatureRequired)
        return std::nullopt;
    auto* local = dynamic_cast<FileConnection*>(&file);
    if (local == nullptr) {
        const std::string name = entry.fileName().str();
        return Refusal{TrustProblem::Unreadable, name, name, name + ": not a local file"};
    }
    std::optional<std::string> name = nameInPackage(trust, *local);
    if (!name) {
        if (!catalogue.lists(&entry))
            return std::nullopt;
        name = entry.fileName().str();
    }
    return verifyPackageFile(trust, *name, *local);
}

}  // namespace upkeep
