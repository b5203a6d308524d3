// The start-up request file over arbitrary bytes, handed out in chunks of a
// size the first byte chooses.

#include "FuzzSource.h"
#include "package/StartOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    if (size < 1)
        return 0;
    fuzz::FuzzSource source(data + 1, size - 1, 1 + data[0] % 128);
    StartOptions options;
    bool request = readStartupRequestFrom(source, options);
    if (!request && (options.firmwareMode || options.mediaMode || !options.argument.empty()))
        __builtin_trap();  // a file that is no request sets nothing
    if (options.argumentRefused && !options.argument.empty())
        __builtin_trap();  // a refused argument is never kept cut
    return 0;
}
