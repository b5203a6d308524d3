// The download history: where it lives, its lines, and what a damaged or
// unwritable file does.

#include "printer/DownloadHistory.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "package/CatalogueEntry.h"
#include "printer/SendEngine.h"
#include "support/ChildProcess.h"
#include "support/FakeConnection.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep::history {
namespace {

using ScopedEnv = test::ScopedEnvVar;

// Each test's files in a directory of its own, removed after it.
class DownloadHistory : public ::testing::Test {
  protected:
    test::TempDir temp;
    const std::string& dir = temp.path();
};

TEST_F(DownloadHistory, PathFollowsTheOverrideThenTheStateDirectory) {
    const struct {
        const char *history, *state, *home, *expected;
    } cases[] = {
        {"/tmp/h.jsonl", "/s", "/home/u", "/tmp/h.jsonl"},
        {nullptr, "/s", "/home/u", "/s/upkeep/history.jsonl"},
        {"", "relative", "/home/u", "/home/u/.local/state/upkeep/history.jsonl"},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const auto& c : cases) {
        ScopedEnv h("UPKEEP_HISTORY", c.history), s("XDG_STATE_HOME", c.state),
            home("HOME", c.home);
        EXPECT_EQ(path(), c.expected);
    }
}

TEST_F(DownloadHistory, AppendsLinesReadsThemBackAndSkipsDamagedOnes) {
    const std::string file = dir + "/deep/er/history.jsonl";
    ScopedEnv env("UPKEEP_HISTORY", file.c_str());
    Record r{"",
             "2026-12-07T00:00:00Z",
             "Front \"desk\"",
             "127.0.0.5",
             "Meridot-4000",
             "3.10",
             {"/p/m4000_400.fmw", 2653, "ab"},
             "sent",
             "verified: Meridot-4000 4.00",
             "upgrade",
             "4.00",
             "signed",
             "ann",
             "desk-7",
             1234};
    std::string problem;
    ASSERT_TRUE(append({r, r}, problem)) << problem;
    std::ofstream(file, std::ios::app) << "{not json\n{\"time\": 1}\n\n"
                                       << std::string(kMaxLine + 1, 'x') << "\n";
    r.outcome = "failed";
    ASSERT_TRUE(append({r}, problem)) << problem;
    // A download's later line (its verification) takes the place of its first.
    Record pending = r, verified = r;
    pending.id = verified.id = newId();
    pending.outcome = verified.outcome = "sent";
    pending.verification = kPending;
    ASSERT_TRUE(append({pending}, problem)) << problem;
    ASSERT_TRUE(append({r}, problem)) << problem;
    ASSERT_TRUE(append({verified}, problem)) << problem;

    Contents c = read(file);
    ASSERT_EQ(c.records.size(), 5u);
    EXPECT_EQ(toLine(c.records[0]), toLine(Record(c.records[1])));
    EXPECT_EQ(c.records[0].printer, "Front \"desk\"");
    EXPECT_EQ(c.records[0].file.size, 2653u);
    EXPECT_EQ(c.records[0].durationMs, 1234u);
    EXPECT_EQ(c.records[0].host, "desk-7");
    EXPECT_EQ(c.records[2].outcome, "failed");
    EXPECT_EQ(toLine(c.records[3]), toLine(verified));
    EXPECT_EQ(c.records[4].outcome, "failed");
    ASSERT_EQ(c.warnings.size(), 3u);
    EXPECT_NE(c.warnings[0].find(":3:"), std::string::npos) << c.warnings[0];
    EXPECT_NE(c.warnings[2].find(":6: longer than"), std::string::npos) << c.warnings[2];
    EXPECT_TRUE(read(dir + "/none").records.empty());
    EXPECT_EQ(read(dir + "/none").problem, "");

    // A history that cannot be written says why and changes nothing.
    ScopedEnv blocked("UPKEEP_HISTORY", (file + "/below-a-file").c_str());
    EXPECT_FALSE(append({r}, problem));
    EXPECT_NE(problem.find("below-a-file"), std::string::npos);
}

// A disk that fills mid-line, and a line an earlier writer left cut short:
// each record is there whole or not at all, and none is glued to another.
TEST_F(DownloadHistory, AppendsARecordWholeOrNotAtAll) {
    const std::string file = dir + "/history.jsonl";
    ScopedEnv env("UPKEEP_HISTORY", file.c_str());
    Record r;
    r.id = newId();
    r.outcome = "sent";
    const std::string line = toLine(r) + "\n";
    const struct {
        const char* name;
        std::string before;
        std::size_t room;  // bytes the file may grow by; 0 for no limit
        bool appended;
        std::size_t records, warnings;  // read after a second append with room
    } cases[] = {
        {"a full disk", line, line.size() / 2, false, 2, 0},
        {"a cut line", "{\"time\": \"2026", 0, true, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(file, std::ios::trunc) << c.before;
        std::string problem;
        bool appended = false;
        if (c.room > 0) {
            // The file size limit fails a write as a full disk does.
            rlimit old{};
            ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
            rlimit small = old;
            small.rlim_cur = c.before.size() + c.room;
            auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
            appended = append({r}, problem);
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldSignal);
            EXPECT_EQ(test::readFile(file), c.before);
        } else {
            appended = append({r}, problem);
        }
        EXPECT_EQ(appended, c.appended) << problem;
        r.id = newId();
        ASSERT_TRUE(append({r}, problem)) << problem;
        Contents contents = read(file);
        EXPECT_EQ(contents.records.size(), c.records);
        EXPECT_EQ(contents.warnings.size(), c.warnings);
    }
}

// A FIFO would hold the tool up, a device would feed it without end: the
// history is a regular file or nothing.
TEST_F(DownloadHistory, RefusesWhatIsNotARegularFile) {
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& file : {fifo, std::string("/dev/zero"), std::string("/dev/null")}) {
        SCOPED_TRACE(file);
        ScopedEnv env("UPKEEP_HISTORY", file.c_str());
        Contents contents = read(file);
        EXPECT_NE(contents.problem.find("not a regular file"), std::string::npos)
            << contents.problem;
        EXPECT_TRUE(contents.records.empty());
        std::string problem;
        EXPECT_FALSE(append({Record{}}, problem));
        EXPECT_NE(problem.find("not a regular file"), std::string::npos) << problem;
    }
}

// What the printer was sent, whatever the file on disk became meanwhile; a
// downgrade's digest is of its rewritten flag line.
TEST_F(DownloadHistory, DescribesTheBytesAsSent) {
    const struct {
        bool downgrade;
        const char* sha256;
    } cases[] = {
        {false, "4661a8a79be8b8706bddfeb84b5b6aed5c519ebdfe13c9e340aef37e2f5ff1d7"},
        {true, "852d48f8f999c38b952b333840ec8063c8e35ad7b1281a832b0aa0689a1ba32b"},
    };
    for (const auto& c : cases) {
        std::ofstream(dir + "/f.fmw") << "0 0 0 0\nold";
        std::ofstream(dir + "/other.fmw") << "another file, longer than the first";
        CatalogueEntry entry("Forced", "Forced", dir + "/f.fmw");
        std::unique_ptr<Connection> file;
        ASSERT_EQ(entry.openFile(&file), CatalogueEntry::kFound);
        test::RecordingPrinter printer(8);
        printer.onWrite = [&](std::size_t index) {
            if (index == 0)
                std::filesystem::rename(dir + "/other.fmw", dir + "/f.fmw");
        };
        test::Transfer run;
        SentBytes bytes;
        TransferControl control{run.cancel, run.progress, &bytes};
        EXPECT_EQ(streamFile(*file, printer, c.downgrade, control), SendResult::Sent);
        FileFacts f = bytes.finish();
        EXPECT_EQ(f.size, 11u);
        EXPECT_EQ(f.sha256, c.sha256);
    }
    EXPECT_EQ(SentBytes().finish().sha256, "");
}

}  // namespace
}  // namespace upkeep::history
