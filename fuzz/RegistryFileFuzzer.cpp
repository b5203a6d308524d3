// The settings file reader over a real file holding arbitrary bytes: the
// path the program takes, through the file checks and the decoding.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/Registry.h"

namespace {

const std::string& scratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/upkeep-fuzz-registry-XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0)
            ::close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using upkeep::platform::Registry;
    std::FILE* file = std::fopen(scratchFile().c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    std::string problem;
    Registry registry = Registry::fromFile(scratchFile(), &problem);
    if (!problem.empty())
        __builtin_trap();  // a small regular file is always read
    if (registry.keyCount() > 0 && !registry.openKey(""))
        __builtin_trap();
    if (auto key = registry.openKey("SOFTWARE\\Varnholt\\Meridot Upkeep")) {
        key->readText("Firmware");
        key->readText("Path");
        key->readDword("LANG");
        key->readBytes("LANG", 4);
    }
    return 0;
}
