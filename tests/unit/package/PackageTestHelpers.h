#pragma once
// Helpers for the package tests: a scratch directory, files in it, an
// environment whose settings the test sets, and a scoped variable.

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>
#include <string>

#include "package/Environment.h"
#include "support/ChildProcess.h"
#include "support/Paths.h"

namespace upkeep::test {

class TempDir {
  public:
    TempDir() : path_(makeTempDir("pkg")) {}
    ~TempDir() { removeTree(path_); }
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
    OsKind osKind() override { return os; }

    std::optional<std::string> cataloguePath;
    std::optional<std::string> softwarePath;
    OsKind os = OsKind::Unknown;
};

// Sets (null: unsets) an environment variable for the lifetime of the object.
class ScopedEnvVar {
  public:
    ScopedEnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name))
            previous_ = old;
        set(value);
    }
    ScopedEnvVar(const char* name, const std::string& value) : ScopedEnvVar(name, value.c_str()) {}
    ~ScopedEnvVar() { set(previous_ ? previous_->c_str() : nullptr); }
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

  private:
    void set(const char* value) {
        if (value)
            setEnv(name_, value);
        else
            unsetEnv(name_);
    }

    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace upkeep::test
