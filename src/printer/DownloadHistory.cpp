#include "printer/DownloadHistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <unordered_map>

#include "platform/Clock.h"
#include "platform/FileFlags.h"
#include "platform/FileLock.h"
#include "platform/Identity.h"
#include "platform/Sha256.h"
#include "platform/UniqueFd.h"

namespace upkeep::history {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Concurrent downloads of one process append through one lock; other
// processes rely on O_APPEND with one write per batch.
std::mutex appendMutex;

}  // namespace

struct SentBytes::Digest {
    platform::Sha256 sha256;
};

SentBytes::SentBytes() : digest_(std::make_unique<Digest>()) {}

SentBytes::~SentBytes() = default;

void SentBytes::add(const std::uint8_t* bytes, std::size_t length) {
    size_ += length;
    digest_->sha256.add(bytes, length);
}

FileFacts SentBytes::finish() {
    FileFacts facts{path, size_, {}};
    std::optional<platform::Sha256::Digest> digest = digest_->sha256.finish();
    if (size_ > 0 && digest)
        facts.sha256 = platform::hexText(digest->data(), digest->size());
    return facts;
}

std::string now() {
    std::time_t t = std::time(nullptr);
    const std::tm utc = platform::utcCalendar(t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string newId() {
    std::uint8_t bytes[16];
    if (!platform::randomBytes(bytes, sizeof bytes)) {
        std::random_device random;
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(random());
    }
    return platform::hexText(bytes, sizeof bytes);
}

std::string path() {
    if (std::string file = environment("UPKEEP_HISTORY"); !file.empty())
        return file;
    // The base directory specification wants absolute paths; others are ignored.
    std::string state = environment("XDG_STATE_HOME");
    if (state.empty() || state.front() != '/') {
        std::string home = environment("HOME");
        if (home.empty())
            return {};
        state = home + "/.local/state";
    }
    return state + "/upkeep/history.jsonl";
}

std::string currentUser() {
    return platform::userName();
}

std::string currentHost() {
    return platform::hostName();
}

std::string toLine(const Record& r) {
    nlohmann::ordered_json line = {
        {"id", r.id},
        {"time", r.time},
        {"printer", r.printer},
        {"port", r.port},
        {"model", r.model},
        {"version", r.version},
        {"file", r.file.path},
        {"size", r.file.size},
        {"sha256", r.file.sha256},
        {"outcome", r.outcome},
        {"verification", r.verification},
        {"operation", r.operation},
        {"targetVersion", r.targetVersion},
        {"package", r.package},
        {"user", r.user},
        {"host", r.host},
        {"durationMs", r.durationMs},
    };
    // Printer texts are not always UTF-8: replace what is not, never throw.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<Record> fromLine(std::string_view text) {
    nlohmann::json line = nlohmann::json::parse(text, nullptr, false);
    if (!line.is_object())
        return std::nullopt;
    Record r;
    auto field = [&](const char* name, std::string& out) {
        auto it = line.find(name);
        if (it == line.end() || !it->is_string())
            return false;
        out = it->get<std::string>();
        return true;
    };
    if (auto id = line.find("id"); id != line.end()) {
        if (!id->is_string())
            return std::nullopt;
        r.id = id->get<std::string>();
    }
    auto size = line.find("size");
    if (!field("time", r.time) || !field("printer", r.printer) || !field("port", r.port) ||
        !field("model", r.model) || !field("version", r.version) || !field("file", r.file.path) ||
        !field("sha256", r.file.sha256) || !field("outcome", r.outcome) ||
        !field("verification", r.verification) || size == line.end() ||
        !size->is_number_unsigned()) {
        return std::nullopt;
    }
    r.file.size = size->get<std::uint64_t>();
    // Added later: lines without them are read as they are.
    field("operation", r.operation);
    field("targetVersion", r.targetVersion);
    field("package", r.package);
    field("user", r.user);
    field("host", r.host);
    if (auto ms = line.find("durationMs"); ms != line.end() && ms->is_number_unsigned())
        r.durationMs = ms->get<std::uint64_t>();
    return r;
}

bool append(const std::vector<Record>& records, std::string& problem) {
    if (records.empty())
        return true;
    const std::string file = path();
    if (file.empty()) {
        problem = "no history file: neither UPKEEP_HISTORY, XDG_STATE_HOME nor HOME is set";
        return false;
    }
    std::string text;
    for (const Record& r : records)
        text += toLine(r) + "\n";
    auto refuse = [&](const std::string& why) {
        problem = "cannot write the history file " + file + ": " + why;
        return false;
    };
    std::lock_guard lock(appendMutex);
    std::error_code error;
    std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, error);
    // Opened without waiting, so that a FIFO cannot hold the download up;
    // the type is checked on the descriptor itself.
    platform::UniqueFd fd(::open(file.c_str(), platform::kOpenForAppend, 0600));
    if (!fd.valid())
        return refuse(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refuse("not a regular file");
    // Other processes take the same lock, so that a failed append can be
    // cut back without cutting theirs.
    if (platform::lockFile(fd.get(), true) != platform::FileLock::Taken)
        return refuse(std::strerror(errno));
    if (::fstat(fd.get(), &info) != 0)
        return refuse(std::strerror(errno));
    const off_t before = info.st_size;
    // A line cut short by an earlier writer would swallow ours.
    char last = '\n';
    if (before > 0 && platform::readAt(fd.get(), &last, 1, before - 1) == 1 && last != '\n')
        text.insert(text.begin(), '\n');
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int writeError = n < 0 ? errno : ENOSPC;
            // A record is there whole or not at all.
            while (::ftruncate(fd.get(), before) != 0 && errno == EINTR) {
            }
            return refuse(std::strerror(writeError));
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Contents read(const std::string& file) {
    Contents contents;
    auto refuse = [&](const std::string& why) {
        contents.problem = "cannot read the history file " + file + ": " + why;
        return contents;
    };
    // As the settings file: no wait on a FIFO, and nothing but a regular file.
    platform::UniqueFd fd(::open(file.c_str(), platform::kOpenReadNoWait));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return contents;
        return refuse(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refuse("not a regular file");
    std::unordered_map<std::string, std::size_t> byId;
    int number = 0;
    auto take = [&](const std::string& text, bool overlong) {
        ++number;
        const std::string where = file + ":" + std::to_string(number) + ": ";
        if (overlong) {
            contents.warnings.push_back(where + "longer than " + std::to_string(kMaxLine) +
                                        " bytes, skipped");
            return;
        }
        if (text.empty())
            return;
        std::optional<Record> record = fromLine(text);
        if (!record) {
            contents.warnings.push_back(where + "not a history record, skipped");
            return;
        }
        if (!record->id.empty()) {
            auto [it, first] = byId.try_emplace(record->id, contents.records.size());
            if (!first) {
                contents.records[it->second] = std::move(*record);
                return;
            }
        }
        contents.records.push_back(std::move(*record));
    };
    std::string line;
    bool overlong = false;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(std::strerror(errno));
        if (n == 0)
            break;
        for (const char* p = chunk; p < chunk + n;) {
            const char* end = static_cast<const char*>(std::memchr(p, '\n', chunk + n - p));
            const char* stop = end ? end : chunk + n;
            if (!overlong) {
                const auto length = static_cast<std::size_t>(stop - p);
                if (line.size() + length > kMaxLine) {
                    overlong = true;
                    line.clear();
                } else {
                    line.append(p, length);
                }
            }
            if (!end)
                break;
            take(line, overlong);
            line.clear();
            overlong = false;
            p = end + 1;
        }
    }
    if (!line.empty() || overlong)
        take(line, overlong);
    return contents;
}

}  // namespace upkeep::history
