#pragma once
// Helpers for the package tests: a scratch directory, files in it, a source
// that hands out its bytes in chunks of a chosen size, and an environment
// whose settings the test sets.

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "connection/Connection.h"
#include "package/Environment.h"

namespace upkeep::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern = "/tmp/upkeep-pkg-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

inline bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

inline std::string readWholeFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Hands out its content at most chunk bytes per read; a failed read marks
// the end, as a file connection does.
class ChunkedSource final : public Connection {
  public:
    explicit ChunkedSource(std::string content, std::size_t chunk = 4096)
        : content_(std::move(content)), chunk_(chunk) {}
    std::uint32_t blockSize() const override { return 4096; }
    bool open() override { return true; }
    bool read(std::uint8_t* buffer, std::size_t& length) override {
        std::size_t n = std::min({length, chunk_, content_.size() - offset_});
        std::memcpy(buffer, content_.data() + offset_, n);
        offset_ += n;
        length = n;
        ++reads;
        return n > 0;
    }
    bool write(const std::uint8_t*, std::size_t) override { return false; }
    std::uint32_t size() override { return static_cast<std::uint32_t>(content_.size()); }
    bool remove() override { return false; }
    bool create() override { return false; }

    int reads = 0;

  private:
    std::string content_;
    std::size_t chunk_;
    std::size_t offset_ = 0;
};

class FakeEnvironment final : public Environment {
  public:
    void findPrinters(PrinterList&) override {}
    std::optional<PortDescriptor> catalogueFileDescriptor() override {
        if (!cataloguePath)
            return std::nullopt;
        return PortDescriptor(*cataloguePath, PortType::File, channel::kSettingsPath);
    }
    std::optional<std::string> systemSoftwarePath() override { return softwarePath; }
    bool languageSetting(std::uint8_t&) override { return false; }
    OsKind osKind() override { return OsKind::Unknown; }

    std::optional<std::string> cataloguePath;
    std::optional<std::string> softwarePath;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnvVar {
  public:
    ScopedEnvVar(const char* name, const std::string& value) : name_(name) {
        if (const char* old = ::getenv(name))
            previous_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvVar() { previous_ ? ::setenv(name_, previous_->c_str(), 1) : ::unsetenv(name_); }
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace upkeep::test
