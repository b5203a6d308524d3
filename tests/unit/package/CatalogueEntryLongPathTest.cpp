#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "package/CatalogueEntry.h"

namespace upkeep {
namespace {

// A chosen file's whole path is kept; one too long for a port descriptor is
// not found rather than cut into the name of another file.
TEST(CatalogueEntryPaths, LongChosenPaths) {
    namespace fs = std::filesystem;
    fs::path base = fs::temp_directory_path() / ("upkeep-long-" + std::to_string(::getpid()));
    fs::path dir = base / std::string(100, 'd') / std::string(100, 'e');
    fs::create_directories(dir);
    fs::path fits = dir / "f.fmw";  // well over 96 characters, under 256
    std::ofstream(fits) << "x";
    CatalogueEntry chosen("Forced", "Forced", fits.string());
    EXPECT_EQ(chosen.fileName().view(), fits.string());
    EXPECT_TRUE(chosen.fileExists());

    fs::path deeper = dir / std::string(100, 'g');
    fs::create_directories(deeper);
    fs::path tooLong = deeper / "f.fmw";
    std::ofstream(tooLong) << "x";
    ASSERT_GT(tooLong.string().size(), 255u);
    CatalogueEntry cut("Forced", "Forced", tooLong.string());
    std::unique_ptr<Connection> file;
    EXPECT_EQ(cut.openFile(&file), CatalogueEntry::kNotFound);
    fs::remove_all(base);
}

}  // namespace
}  // namespace upkeep
