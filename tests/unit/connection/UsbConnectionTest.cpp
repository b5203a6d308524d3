#include "connection/UsbConnection.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/UniqueFd.h"

namespace upkeep {
namespace {

// A pseudo-terminal stands in for the printer device: the connection opens
// the device side, the test plays the printer on the other.
class Pty {
  public:
    Pty() {
        master_.reset(::posix_openpt(O_RDWR | O_NOCTTY));
        if (!master_.valid() || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0)
            return;
        path_ = ::ptsname(master_.get());
        // Raw mode, so bytes pass unchanged; a held-open device side keeps
        // the pair alive between the connection's opens.
        keep_.reset(::open(path_.c_str(), O_RDWR | O_NOCTTY));
        termios mode{};
        ::tcgetattr(keep_.get(), &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(keep_.get(), TCSANOW, &mode);
    }
    const std::string& path() const { return path_; }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master_.get(), bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    std::string receive(std::size_t count) {
        std::string got;
        while (got.size() < count) {
            char buffer[4096];
            ssize_t n = ::read(master_.get(), buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

  private:
    platform::UniqueFd master_;
    platform::UniqueFd keep_;
    std::string path_;
};

TEST(UsbConnection, WritesEveryByte) {
    Pty pty;
    ASSERT_FALSE(pty.path().empty());
    auto usb = createConnection(PortDescriptor(pty.path(), PortType::Usb, 7));
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb->blockSize(), 1024u);
    ASSERT_TRUE(usb->open());
    // More than the pty buffers at once, so the write has to wait for room.
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>('a' + i % 26);
    std::string received;
    std::thread printer([&] { received = pty.receive(data.size()); });
    EXPECT_TRUE(usb->write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
    printer.join();
    EXPECT_EQ(received, data);
    EXPECT_TRUE(usb->write(reinterpret_cast<const std::uint8_t*>(data.data()), 0));
    EXPECT_FALSE(usb->write(nullptr, 1));
}

TEST(UsbConnection, ReadIsJudgedAfterOneSecond) {
    platform::ScopedTimeScale scale(0.05);  // the second becomes 50 ms
    Pty pty;
    UsbConnection usb(PortDescriptor(pty.path(), PortType::Usb, 7));
    ASSERT_TRUE(usb.open());
    // One read: what it gave, or its failure; each takes the whole second.
    auto timedRead = [&usb] {
        std::uint8_t buffer[64];
        std::size_t length = sizeof buffer;
        std::uint64_t start = platform::Clock::tickMs();
        bool read = usb.read(buffer, length);
        std::uint64_t waited = platform::Clock::tickMs() - start;
        EXPECT_GE(waited, 50u);
        EXPECT_LT(waited, 1000u);
        std::string got(reinterpret_cast<char*>(buffer), length);
        return read ? got : "failed with " + std::to_string(length) + " bytes";
    };
    pty.send("@PJL ECHO 1\r\n");  // there at once
    EXPECT_EQ(timedRead(), "@PJL ECHO 1\r\n");
    std::thread late([&] {
        platform::Clock::sleepFor(platform::Millis{300});
        pty.send("late");
    });
    EXPECT_EQ(timedRead(), "late");  // within the second
    late.join();
    EXPECT_EQ(timedRead(), "failed with 0 bytes");  // silence
}

TEST(UsbConnection, NotOpenFailsAtOnce) {
    UsbConnection usb(PortDescriptor("/dev/upkeep-no-such-device", PortType::Usb, 7));
    EXPECT_FALSE(usb.open());
    std::uint8_t buffer[8];
    std::size_t length = sizeof buffer;
    std::uint64_t start = platform::Clock::tickMs();
    EXPECT_FALSE(usb.read(buffer, length));
    EXPECT_LT(platform::Clock::tickMs() - start, 500u);
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(usb.write(buffer, 1));
}

}  // namespace
}  // namespace upkeep
