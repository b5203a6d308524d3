// The simulator's pty stand-in for a USB printer.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/SimProcess.h"

namespace upkeep::test {
namespace {

// Reads until `size` bytes came, or nothing came for a second.
std::string readUpTo(int fd, std::size_t size) {
    std::string out;
    pollfd p = {fd, POLLIN, 0};
    char buffer[512];
    while (out.size() < size && ::poll(&p, 1, 1000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

TEST(SimProcessTest, BackToBackPtyConnectionsStayApart) {
    // A download, then at once the next analysis: the device is closed and
    // opened again before the simulator has read a byte.
    SimProcess sim("[printer]\naddress = @ADDR1@\nmodel = M\nversion = 1.0\npty = yes\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string uel = "\x1b%-12345X";
    const std::string identify =
        uel + "@PJL ENTER LANGUAGE=UPGRADE\r\nIDENTIFY\r\n" + uel + "@PJL EOJ";
    for (int i = 1; i <= 5; ++i) {
        SCOPED_TRACE(i);
        const std::string version = "1." + std::to_string(i);
        const std::string file =
            "Model: M\nVersion: " + version + "\nSize: 4000\n0 0 0 0\n" + std::string(4000, 'z');
        int fd = ::open(sim.ptyPath(0).c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, file.data(), file.size()), static_cast<ssize_t>(file.size()));
        ::close(fd);
        fd = ::open(sim.ptyPath(0).c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, identify.data(), identify.size()),
                  static_cast<ssize_t>(identify.size()));
        const std::string expected = "M,;" + version;
        EXPECT_EQ(readUpTo(fd, expected.size()), expected);
        ::close(fd);
        EXPECT_TRUE(sim.waitForLine("applied " + sim.address(0) + " M " + version));
        EXPECT_EQ(sim.record(0, 2 * i - 1), file);
        EXPECT_EQ(sim.record(0, 2 * i), identify);
    }
}

}  // namespace
}  // namespace upkeep::test
