#include "printer/DownloadHistory.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>

#include "platform/UniqueFd.h"

namespace upkeep::history {
namespace {

struct DigestDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

std::string hex(const unsigned char* bytes, unsigned length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Concurrent downloads of one process append through one lock; other
// processes rely on O_APPEND with one write per batch.
std::mutex appendMutex;

}  // namespace

struct SentBytes::Digest {
    std::unique_ptr<EVP_MD_CTX, DigestDeleter> context{EVP_MD_CTX_new()};
};

SentBytes::SentBytes() : digest_(std::make_unique<Digest>()) {
    if (digest_->context && EVP_DigestInit_ex(digest_->context.get(), EVP_sha256(), nullptr) != 1)
        digest_->context.reset();
}

SentBytes::~SentBytes() = default;

void SentBytes::add(const std::uint8_t* bytes, std::size_t length) {
    size_ += length;
    if (digest_->context && EVP_DigestUpdate(digest_->context.get(), bytes, length) != 1)
        digest_->context.reset();
}

FileFacts SentBytes::finish() {
    FileFacts facts{path, size_, {}};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned digestLength = 0;
    if (size_ > 0 && digest_->context &&
        EVP_DigestFinal_ex(digest_->context.get(), digest, &digestLength) == 1)
        facts.sha256 = hex(digest, digestLength);
    digest_->context.reset();
    return facts;
}

std::string now() {
    std::time_t t = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
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

std::string toLine(const Record& r) {
    nlohmann::ordered_json line = {
        {"time", r.time},       {"printer", r.printer},
        {"port", r.port},       {"model", r.model},
        {"version", r.version}, {"file", r.file.path},
        {"size", r.file.size},  {"sha256", r.file.sha256},
        {"outcome", r.outcome}, {"verification", r.verification},
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
    auto size = line.find("size");
    if (!field("time", r.time) || !field("printer", r.printer) || !field("port", r.port) ||
        !field("model", r.model) || !field("version", r.version) || !field("file", r.file.path) ||
        !field("sha256", r.file.sha256) || !field("outcome", r.outcome) ||
        !field("verification", r.verification) || size == line.end() ||
        !size->is_number_unsigned()) {
        return std::nullopt;
    }
    r.file.size = size->get<std::uint64_t>();
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
    std::lock_guard lock(appendMutex);
    std::error_code error;
    std::filesystem::path parent = std::filesystem::path(file).parent_path();
    if (!parent.empty())
        std::filesystem::create_directories(parent, error);
    platform::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        problem = "cannot write the history file " + file + ": " + std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            problem = "cannot write the history file " + file + ": " + std::strerror(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

Contents read(const std::string& file) {
    Contents contents;
    std::ifstream in(file);
    if (!in) {
        std::error_code error;
        if (std::filesystem::exists(file, error))
            contents.warnings.push_back("cannot read the history file " + file);
        return contents;
    }
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (text.empty())
            continue;
        if (auto record = fromLine(text))
            contents.records.push_back(std::move(*record));
        else
            contents.warnings.push_back(file + ":" + std::to_string(number) +
                                        ": not a history record, skipped");
    }
    return contents;
}

}  // namespace upkeep::history
