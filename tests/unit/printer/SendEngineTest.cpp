#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "connection/FileConnection.h"
#include "media/MediaProfileList.h"
#include "package/CatalogueEntry.h"
#include "printer/Printer.h"
#include "printer/SendEngine.h"
#include "printer/SendingStatus.h"
#include "support/FakeConnection.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 31 + 7) & 0xff);
    return s;
}

TEST(SendEngine, StreamsInPrinterBlocksWithTruncatedShares) {
    test::MemoryFile file(pattern(10'000));
    test::RecordingPrinter printer(1024);
    test::Transfer run;
    std::vector<int> progress;
    // Progress is published after each write; sample it at the next write.
    printer.onWrite = [&](std::size_t index) {
        if (index > 0)
            progress.push_back(run.progress.load());
    };
    EXPECT_EQ(streamFile(file, printer, false, run.control), SendResult::Sent);
    progress.push_back(run.progress.load());
    EXPECT_EQ(progress, (std::vector<int>{1024, 2048, 3072, 4096, 5120, 6144, 7168, 8192, 9216,
                                          kProgressWhole}));
    EXPECT_EQ(printer.received, pattern(10'000));
    EXPECT_EQ(printer.writes.back(), 10'000u - 9 * 1024);
}

// A file of 4 GiB and more is sent whole and reported so: its size is not
// cut to 32 bits anywhere on the way. The bytes themselves do not matter,
// so the file hands out its blocks without filling them.
class HugeFile : public test::MemoryFile {
  public:
    explicit HugeFile(std::uint64_t size) : MemoryFile(""), left_(size), size_(size) {}
    bool read(std::uint8_t*, std::size_t& length) override {
        length = static_cast<std::size_t>(std::min<std::uint64_t>(length, left_));
        left_ -= length;
        return length > 0;
    }
    std::uint64_t size() override { return size_; }

  private:
    std::uint64_t left_, size_;
};

TEST(SendEngine, FilesOfFourGibibytesAndMore) {
    constexpr std::uint64_t kSize = (std::uint64_t{1} << 32) + 1000;
    test::TempDir dir;
    const std::string path = dir.file("big.fmw");
    std::ofstream(path).flush();
    std::filesystem::resize_file(path, kSize);  // sparse where the file system can
    FileConnection file(PortDescriptor(path, PortType::File, channel::kFullPath));
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.size(), kSize);

    for (bool profile : {false, true}) {
        SCOPED_TRACE(profile ? "profile" : "system software");
        HugeFile huge(kSize);
        test::RecordingPrinter printer(64u << 20);
        printer.keep = false;
        test::Transfer run;
        if (profile) {
            long answer = 0;
            EXPECT_EQ(installOver(huge, printer, run.control, answer), InstallResult::Installed);
        } else {
            EXPECT_EQ(streamFile(huge, printer, false, run.control), SendResult::Sent);
        }
        EXPECT_EQ(printer.total, kSize);
        EXPECT_EQ(run.progress.load(), kProgressWhole);
    }
}

TEST(DowngradeRewrite, Lines) {
    struct Case {
        std::string block, expected;
        bool matched;
        std::size_t length = 0;  // 0: the whole block
    } cases[] = {
        {"ABC\n0 0 0 0\n7x7x7x7\n", "ABC\n7 0 0 0\n7x7x7x7\n", true},
        {"7x7x7x7", "7x7x7x7", true},  // already 7: unchanged byte
        {"0a0b0c0\n", "7a0b0c0\n", true},
        {"x\r\n\r\n0 7 7 0", "x\r\n\r\n7 7 7 0", true},
        {"0 0 0", "0 0 0", false},               // offset 6 outside the block
        {"0 0 0 0", "0 0 0 0", false, 6},        // and outside a block cut short
        {"0 0\n0 0 0 0", "7 0\n0 0 0 0", true},  // a short line borrows from the next
        {"no flags here\n", "no flags here\n", false},
    };
    for (const Case& c : cases) {
        std::string block = c.block;
        EXPECT_EQ(rewriteForDowngrade(reinterpret_cast<std::uint8_t*>(block.data()),
                                      c.length ? c.length : block.size()),
                  c.matched)
            << c.block;
        EXPECT_EQ(block, c.expected) << c.block;
    }
}

// Progress shown never reaches the whole before the transfer's end, and a
// count past the total (or a total of 0) cannot overflow it.
TEST(SendEngine, TakenShareStopsShortOfTheWhole) {
    const std::uint64_t huge = std::uint64_t{1} << 40;
    const std::tuple<std::uint64_t, std::uint64_t, int> cases[] = {
        {0, 0, kProgressWhole - 1},
        {huge, 1, kProgressWhole - 1},
        {9'999, 10'000, kProgressWhole - 1},
        {5'000, 10'000, kProgressWhole / 2},
        {1, huge, 0},
    };
    for (const auto& [taken, total, share] : cases)
        EXPECT_EQ(takenShare(taken, total), share) << taken << " of " << total;
}

// Failures are never success and never show the whole. Cancels, a printer
// that hangs up or takes nothing, and empty files are in the transfer
// fault table against the simulator.
TEST(SendEngine, FailuresAreNeverSuccessAndNeverShowTheWhole) {
    constexpr std::size_t kNever = static_cast<std::size_t>(-1);
    struct Case {
        const char* name;
        std::size_t size, fileReads;
        bool opens;
        std::uint64_t unconfirmed;
        SendResult expected;
        int progress;
    } cases[] = {
        {"a truncated file", 5000, 2048, true, 0, SendResult::WriteFailed, 4096},
        {"no connection", 10, kNever, false, 0, SendResult::NoConnection, 0},
        // Bytes still in this side's buffers are not progress.
        {"half still buffered", 5000, kNever, true, 2500, SendResult::WriteFailed, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MemoryFile file(pattern(c.size));
        file.failReadAt = c.fileReads;
        test::RecordingPrinter printer;
        printer.opens_ = c.opens;
        printer.takesAll = c.unconfirmed == 0;
        printer.unconfirmedBytes = c.unconfirmed;
        test::Transfer run;
        EXPECT_EQ(streamFile(file, printer, false, run.control), c.expected);
        if (!c.opens) {
            EXPECT_TRUE(printer.writes.empty());
        }
        EXPECT_EQ(run.progress.load(), c.progress);
    }
}

TEST(SendingStatus, Lines) {
    EXPECT_EQ(sendingStatusLine("Sending", 1, 2, "m4000_210.fmw"), "Sending 1/2 (m4000_210.fmw)");
    EXPECT_EQ(sendingStatusLine("Sending", 2, 2, "f2_11.fmw"), "Sending 2/2 (f2_11.fmw)");
    EXPECT_EQ(sendingStatusLine("Sending", 1, 1, "m4000_210.fmw"), "Sending  (m4000_210.fmw)... ");
    // Downgrades, chosen files and profiles never set the file text.
    EXPECT_EQ(sendingStatusLine("Senden", 1, 1, ""), "Senden  ()... ");
}

TEST(SendEngine, DowngradeMarkGoesWithTheSendWhateverBecomesOfIt) {
    // Left on the shared entry, the mark would rewrite a later ordinary send.
    CatalogueEntry entry("M", "1", "no-such-file.fmw");
    test::Transfer run;
    for (const PortDescriptor& port : {PortDescriptor("", PortType::None, channel::kData),
                                       PortDescriptor("127.0.0.1", PortType::TcpIp, 1)}) {
        entry.setDowngradeMark();
        EXPECT_NE(sendEntry(entry, port, run.control), SendResult::Sent);
        EXPECT_FALSE(entry.downgradeMark());
    }
}

}  // namespace
}  // namespace upkeep
