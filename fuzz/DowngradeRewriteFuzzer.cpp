// The downgrade rewrite of a first block over arbitrary bytes: it changes
// one byte at most, to "7", at the start of a line whose flag positions
// all hold "0" or "7", and says whether it did.

#include <cstring>
#include <vector>

#include "printer/SendEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> block(data, data + size);
    bool rewritten = upkeep::rewriteForDowngrade(block.data(), block.size());
    std::size_t changed = 0, where = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (block[i] != data[i]) {
            ++changed;
            where = i;
        }
    }
    if (changed > 1 || (changed == 1 && !rewritten))
        __builtin_trap();
    if (changed == 1) {
        bool lineStart = where == 0 || data[where - 1] == '\n' || data[where - 1] == '\r';
        if (block[where] != '7' || data[where] != '0' || !lineStart || where + 6 >= size)
            __builtin_trap();
    }
    if (upkeep::rewriteForDowngrade(nullptr, size))
        __builtin_trap();
    return 0;
}
