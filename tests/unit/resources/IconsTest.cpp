#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>

#include "support/Paths.h"

namespace upkeep {
namespace {

struct PngHeader {
    bool valid = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = -1;  // 6: RGB with alpha
};

PngHeader readHeader(const std::string& name) {
    std::ifstream in(test::sourceDir() + "/src/resources/icons/" + name, std::ios::binary);
    unsigned char bytes[26] = {};
    PngHeader header;
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes))
        return header;
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto big = [&](int at) {
        return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
               std::uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
    };
    header.valid = std::equal(signature, signature + 8, bytes) &&
                   std::string(reinterpret_cast<char*>(bytes + 12), 4) == "IHDR";
    header.width = big(16);
    header.height = big(20);
    header.colourType = bytes[25];
    return header;
}

// The list view cuts the strip into 16x16 images by position, and the state images need
// transparency outside their squares.
TEST(Icons, StateStripAndProgramIconHaveTheirSizes) {
    PngHeader strip = readHeader("state-images.png");
    ASSERT_TRUE(strip.valid);
    EXPECT_EQ(strip.width, 48u);
    EXPECT_EQ(strip.height, 16u);
    EXPECT_EQ(strip.colourType, 6);
    for (std::uint32_t size : {16u, 32u, 48u, 64u, 128u, 256u}) {
        PngHeader icon = readHeader("upkeep-" + std::to_string(size) + ".png");
        ASSERT_TRUE(icon.valid) << size;
        EXPECT_EQ(icon.width, size);
        EXPECT_EQ(icon.height, size);
        EXPECT_EQ(icon.colourType, 6) << size;
    }
}

}  // namespace
}  // namespace upkeep
