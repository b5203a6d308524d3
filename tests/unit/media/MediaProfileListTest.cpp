#include <gtest/gtest.h>

#include "media/MediaProfileList.h"
#include "support/FakeConnection.h"

namespace upkeep {
namespace {

std::string line41(const std::string& inkSet, const std::string& media) {
    char text[64];
    std::snprintf(text, sizeof text, "%-20s %-20s", inkSet.c_str(), media.c_str());
    return text;
}

std::vector<std::string> parsed(const std::string& reply) {
    MediaProfileList list(PortDescriptor("x", PortType::None, 7));
    list.parseReply(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    return list.stored();
}

TEST(MediaReply, Shapes) {
    const std::string a = line41("Photo K3", "Glossy"), b = line41("Photo K3", "Matte"),
                      c = line41("Fine Art", "Canvas");
    std::string tenLines;
    std::vector<std::string> tenThenC(10, a + "\n");
    for (const std::string& line : tenThenC)
        tenLines += line;
    tenThenC.push_back(c + "\n");
    struct Case {
        std::string name, reply;
        std::vector<std::string> expected;
    } cases[] = {
        {"one ink set",
         "inkSet: Photo K3\nmedias: 2\n" + a + "\n" + b + "\n",
         {a + "\n", b + "\n"}},
        {"two ink sets",
         "inkSet: P\nmedias: 1\n" + a + "\ninkSet: F\nmedias:2\n" + b + "\n" + c + "\n",
         {a + "\n", b + "\n", c + "\n"}},
        {"count larger than the lines",
         "inkSet: P\nmedias: 3\n" + a + "\n" + b + "\n",
         {a + "\n", b + "\n"}},
        {"a count of two digits",
         "inkSet: P\nmedias: 10\n" + tenLines + "inkSet: F\nmedias: 1\n" + c + "\n", tenThenC},
        {"no tags", a + "\n" + b + "\n", {}},
        {"no line end after the count", "inkSet: P\nmedias: 2", {}},
        // A short line brings the start of the next; a long one is cut.
        {"short line",
         "inkSet: P\nmedias: 2\nshort\n" + a + "\n",
         {"short\n" + a.substr(0, 36), a + "\n"}},
        {"long line", "inkSet: P\nmedias: 1\n" + a + "EXTRA\n", {a + "E"}},
    };
    for (const Case& c2 : cases)
        EXPECT_EQ(parsed(c2.reply), c2.expected) << c2.name;
}

TEST(MediaReply, CutAt2048BytesKeepsTheCompleteLines) {
    std::string reply = "inkSet: P\nmedias: 100\n";
    for (int i = 0; i < 100; ++i)
        reply += line41("P", "M" + std::to_string(i)) + "\n";
    reply.resize(2048);
    auto entries = parsed(reply);
    EXPECT_EQ(entries.size(), (2048 - 22) / 42);
    EXPECT_EQ(entries.back(), line41("P", "M" + std::to_string(entries.size() - 1)) + "\n");
}

TEST(MediaReply, AtMost128Entries) {
    std::string reply = "inkSet: P\nmedias: 200\n";
    for (int i = 0; i < 200; ++i)
        reply += "m\n";
    EXPECT_EQ(parsed(reply).size(), MediaProfileList::kCapacity);
}

// The answers the simulator does not give. An answer of 0 or a refusal,
// empty files, cancels and printers that hang up are in the media and
// transfer fault tests against the simulator.
TEST(MediaInstall, BlocksProgressAndTheAnswer) {
    struct Case {
        std::string name;
        std::vector<std::string> replies;
        InstallResult expected;
        bool takesAll = true;
    } cases[] = {
        {"answer 0 and a line end", {"0\r\n"}, InstallResult::Installed},
        {"no answer", {}, InstallResult::Installed},
        // Written into buffers, never taken: its answer is not trusted.
        {"the end is not taken", {"0"}, InstallResult::Failed, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::MemoryFile file(std::string(2500, 'p'));
        test::RecordingPrinter printer(1024);
        printer.replies = c.replies;
        printer.takesAll = c.takesAll;
        test::Transfer t;
        std::vector<int> progress;
        printer.onWrite = [&](std::size_t index) {
            if (index > 0)
                progress.push_back(t.progress.load());
        };
        long code = 0;
        EXPECT_EQ(installOver(file, printer, t.control, code), c.expected);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(printer.writes, (std::vector<std::size_t>{1024, 1024, 452}));
        EXPECT_EQ(printer.replies.empty(),
                  c.expected == InstallResult::Installed || c.replies.empty());
        progress.push_back(t.progress.load());
        if (c.expected == InstallResult::Installed) {
            EXPECT_EQ(progress, (std::vector<int>{4096, 8192, kProgressWhole}));
        } else {
            EXPECT_LT(progress.back(), kProgressWhole);
        }
    }
}

}  // namespace
}  // namespace upkeep
