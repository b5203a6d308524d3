#include "connection/FileConnection.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/WorkingDirectory.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

using test::TempDir;

TEST(FileConnection, PathByChannel) {
    platform::ScopedWorkingDirectory inPkg("/srv/pkg");
    struct Case {
        std::uint32_t channel;
        const char* name;
        const char* path;
    };
    const std::vector<Case> cases = {
        {3, "en.txt", "/srv/pkg/en.txt"},
        {4, "firmware.ini", "/srv/pkg/firmware.ini"},
        {5, "/opt/fmw/a.fmw", "/opt/fmw/a.fmw"},
        {6, "/etc/upkeep/firmware.ini", "/etc/upkeep/firmware.ini"},
        {7, "relative.fmw", "relative.fmw"},
    };
    for (const Case& c : cases) {
        FileConnection file(PortDescriptor(c.name, PortType::File, c.channel));
        EXPECT_EQ(file.path(), c.path) << "channel " << c.channel;
    }
    platform::ScopedWorkingDirectory trailing("/srv/pkg/");
    EXPECT_EQ(FileConnection(PortDescriptor("x", PortType::File, 4)).path(), "/srv/pkg/x");
}

TEST(FileConnection, ReadsInBlocksThenFailsAtTheEnd) {
    TempDir dir;
    platform::ScopedWorkingDirectory inDir(dir.path());
    test::writeFile(dir.file("data.bin"), std::string(10000, 'x'));
    auto file = createConnection(PortDescriptor("data.bin", PortType::File, 3));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->blockSize(), 4096u);
    EXPECT_EQ(file->size(), 0u);  // not open yet
    ASSERT_TRUE(file->open());
    EXPECT_EQ(file->size(), 10000u);
    std::vector<std::uint8_t> block(4096);
    std::vector<std::size_t> lengths;
    std::size_t length = block.size();
    while (file->read(block.data(), length)) {
        lengths.push_back(length);
        length = block.size();
    }
    EXPECT_EQ(lengths, (std::vector<std::size_t>{4096, 4096, 1808}));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(file->write(block.data(), 1));
}

TEST(FileConnection, OpenRefusesWhatIsNoFile) {
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs and /dev/zero are POSIX kinds of file";
#else
    TempDir dir;
    EXPECT_FALSE(FileConnection(PortDescriptor(dir.file("missing"), PortType::File, 5)).open());
    EXPECT_FALSE(FileConnection(PortDescriptor(dir.path(), PortType::File, 5)).open());
    EXPECT_FALSE(FileConnection(PortDescriptor("/dev/zero", PortType::File, 5)).open());
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(FileConnection(PortDescriptor(dir.file("pipe"), PortType::File, 5)).open());
    // A path too long for the system is refused, not cut to another file.
    std::string longName(5000, 'n');
    FileConnection tooLong(PortDescriptor("x", PortType::File, 3));
    platform::ScopedWorkingDirectory deep("/" + longName);
    EXPECT_EQ(FileConnection(PortDescriptor("x", PortType::File, 3)).path(), "");
    EXPECT_FALSE(FileConnection(PortDescriptor("x", PortType::File, 3)).create());
    std::uint8_t byte = 0;
    std::size_t length = 1;
    EXPECT_FALSE(tooLong.read(&byte, length));  // never opened
    EXPECT_EQ(length, 0u);
#endif
}

TEST(FileConnection, CreateLeavesExistingFilesAlone) {
    TempDir dir;
    FileConnection missing(PortDescriptor(dir.file("new"), PortType::File, 5));
    EXPECT_TRUE(missing.create());
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(test::readFile(dir.file("new")), "");

    test::writeFile(dir.file("old"), "keep me");
    FileConnection existing(PortDescriptor(dir.file("old"), PortType::File, 5));
    EXPECT_TRUE(existing.create());
    EXPECT_EQ(test::readFile(dir.file("old")), "keep me");

    EXPECT_FALSE(
        FileConnection(PortDescriptor(dir.file("no/such/dir"), PortType::File, 5)).create());
}

TEST(FileConnection, RemoveClosesPausesAndDeletes) {
    TempDir dir;
    test::writeFile(dir.file("startup"), "firmware\n");
    platform::ScopedTimeScale scale(0.02);  // 500 ms become 10 ms
    FileConnection file(PortDescriptor(dir.file("startup"), PortType::File, 5));
    ASSERT_TRUE(file.open());
    std::uint64_t start = platform::Clock::tickMs();
    EXPECT_TRUE(file.remove());
    EXPECT_GE(platform::Clock::tickMs() - start, 10u);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(test::fileExists(dir.file("startup")));
    EXPECT_FALSE(file.remove());  // gone already
}

}  // namespace
}  // namespace upkeep
