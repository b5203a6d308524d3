// The tests' file helpers of ChildProcess.h that start no process, built
// on every system.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>

#include "support/ChildProcess.h"

namespace upkeep::test {

std::string makeTempDir(const std::string& name) {
#ifdef _WIN32
    // No mkdtemp: a random name, made only if nobody has it yet.
    std::random_device random;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && !error; ++attempt) {
        const std::filesystem::path dir =
            base / ("upkeep-" + name + "-" + std::to_string(random() % 1000000));
        if (std::filesystem::create_directory(dir, error))
            return dir.generic_string();
    }
    return {};
#else
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base && *base ? base : "/tmp") + "/upkeep-" + name + "-XXXXXX";
    return ::mkdtemp(pattern.data()) ? pattern : std::string();
#endif
}

void removeTree(const std::string& path) {
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string randomLoopbackAddress() {
    static std::mutex mutex;
    static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(::getpid()));
    std::lock_guard lock(mutex);
    std::uniform_int_distribution<int> x(10, 250), y(2, 254);
    return "127.0." + std::to_string(x(rng)) + "." + std::to_string(y(rng));
}

}  // namespace upkeep::test
