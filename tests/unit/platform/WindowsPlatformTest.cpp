// The Windows platform pieces that run under Wine: the spooler's printers
// and ports, the device setup library, the spooler service, the version
// record and overlapped device transfers (over a named pipe, the one
// device-like handle Wine has). What Wine lacks (USB and parallel devices)
// is tested through the fakes of the portable tests.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <winsock2.h>
// (winsock2.h before windows.h, which would bring the old one)
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "connection/DeviceIo.h"
#include "discovery/UsbPortTable.h"
#include "package/Environment.h"
#include "platform/ServiceControl.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"

namespace upkeep::platform {
namespace {

bool underWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(WindowsPlatform, SpoolerAndDeviceSetupAnswer) {
    std::unique_ptr<Spooler> spooler = systemSpooler();
    std::vector<SpoolerPrinter> printers;
    std::vector<SpoolerPort> ports;
    EXPECT_TRUE(spooler->printers(printers));
    ASSERT_TRUE(spooler->ports(ports));
    for (const SpoolerPort& port : ports)
        EXPECT_FALSE(port.name.empty());

    // Every interface the library gives has a path to open.
    discovery::UsbPortTable table;
    table.build(*systemUsbDevices());
    for (std::size_t i = 0; i < table.count(); ++i)
        EXPECT_FALSE(table.entry(i).devicePath.str().empty()) << i;

    EXPECT_EQ(LinuxEnvironment().osKind(), OsKind::WinNt);
}

DWORD spoolerState() {
    SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service =
        manager ? ::OpenServiceW(manager, L"spooler", SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    const bool read = service && ::QueryServiceStatus(service, &status);
    if (service)
        ::CloseServiceHandle(service);
    if (manager)
        ::CloseServiceHandle(manager);
    return read ? status.dwCurrentState : 0;
}

TEST(WindowsPlatform, StopsAndStartsTheSpoolerService) {
    if (!underWine())
        GTEST_SKIP() << "would stop this computer's own spooler";
    // Real time: the service takes its own to stop.
    ServiceControl& services = systemServiceControl();
    ASSERT_TRUE(services.stopSpooler());
    EXPECT_EQ(spoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
    services.startSpooler();
    EXPECT_NE(spoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
}

// Both ends of a named pipe, opened for overlapped transfers, each behind
// a C runtime descriptor as a device is.
struct PipePair {
    UniqueFd server;
    UniqueFd client;
};

PipePair makePipe() {
    const std::wstring name =
        L"\\\\.\\pipe\\upkeep-test-" + std::to_wstring(::GetCurrentProcessId());
    HANDLE server = ::CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE)
        return {};
    HANDLE client = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    PipePair pair;
    pair.server.reset(::_open_osfhandle(reinterpret_cast<intptr_t>(server), _O_RDWR | _O_BINARY));
    if (client != INVALID_HANDLE_VALUE)
        pair.client.reset(
            ::_open_osfhandle(reinterpret_cast<intptr_t>(client), _O_RDWR | _O_BINARY));
    return pair;
}

TEST(WindowsDeviceIo, OpensDevicesOnly) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "upkeep-not-a-device";
    std::ofstream(file) << "x";
    EXPECT_FALSE(deviceio::openCharDevice(file.string()).valid());
    EXPECT_FALSE(deviceio::openCharDevice("\\\\.\\upkeep-no-such-device").valid());
    std::filesystem::remove(file);
}

TEST(WindowsDeviceIo, TransfersAreBoundedAndCanceled) {
    ScopedTimeScale fast(0.01);
    PipePair pipe = makePipe();
    ASSERT_TRUE(pipe.server.valid() && pipe.client.valid());
    using namespace std::chrono;

    // Nothing to read: the read ends at its limit, with nothing.
    std::uint8_t buffer[256];
    std::size_t length = sizeof buffer;
    auto start = steady_clock::now();
    EXPECT_FALSE(deviceio::readSome(pipe.client.get(), buffer, length, Millis{3'000}, nullptr));
    EXPECT_EQ(length, 0u);
    EXPECT_GE(steady_clock::now() - start, milliseconds(29));

    // More than the pipe holds: written whole while the other end reads.
    std::vector<std::uint8_t> sent(20'000);
    for (std::size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<std::uint8_t> received;
    std::thread reader([&] {
        while (received.size() < sent.size()) {
            std::size_t got = sizeof buffer;
            if (!deviceio::readSome(pipe.server.get(), buffer, got, Millis{100'000}, nullptr))
                break;
            received.insert(received.end(), buffer, buffer + got);
        }
    });
    EXPECT_TRUE(
        deviceio::writeAll(pipe.client.get(), sent.data(), sent.size(), Millis{100'000}, nullptr));
    reader.join();
    EXPECT_EQ(received, sent);

    // A read with a long limit ends soon after its cancel word is set.
    std::atomic<bool> cancel{false};
    std::thread canceler([&] {
        std::this_thread::sleep_for(milliseconds(100));
        cancel.store(true);
    });
    start = steady_clock::now();
    length = sizeof buffer;
    EXPECT_FALSE(deviceio::readSome(pipe.client.get(), buffer, length, Millis{1'000'000}, &cancel));
    canceler.join();
    EXPECT_LT(steady_clock::now() - start, seconds(5));
}

}  // namespace
}  // namespace upkeep::platform
#endif
