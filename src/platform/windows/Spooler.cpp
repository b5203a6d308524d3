// The print spooler's local printers and its ports, at information level 2.
// The spooler says how much room its answer needs; the call is repeated
// with that much while it keeps saying the room was too small (a printer
// added meanwhile makes the answer grow). Names come as UTF-16 and leave
// as UTF-8.
#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <vector>

#include "platform/Spooler.h"
#include "platform/windows/WideText.h"

namespace upkeep::platform {
namespace {

// Calls `enumerate(buffer, size, &needed, &returned)` until the buffer is
// big enough; false on any other failure. The records start the buffer.
template <typename Record, typename Enumerate>
bool enumerateAll(Enumerate enumerate, std::vector<std::byte>& buffer, DWORD& count) {
    DWORD needed = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        // Whole records, so that the records' alignment holds.
        std::size_t records = needed / sizeof(Record) + 1;
        buffer.assign(records * sizeof(Record), std::byte{0});
        DWORD returned = 0;
        if (enumerate(reinterpret_cast<LPBYTE>(buffer.data()), static_cast<DWORD>(buffer.size()),
                      &needed, &returned)) {
            count = returned;
            return true;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return false;
    }
    return false;
}

class WindowsSpooler final : public Spooler {
  public:
    bool printers(std::vector<SpoolerPrinter>& out) override {
        out.clear();
        std::vector<std::byte> buffer;
        DWORD count = 0;
        auto enumerate = [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return ::EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned);
        };
        if (!enumerateAll<PRINTER_INFO_2W>(enumerate, buffer, count))
            return false;
        const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            out.push_back({narrow(records[i].pPrinterName), narrow(records[i].pPortName)});
        return true;
    }

    bool ports(std::vector<SpoolerPort>& out) override {
        out.clear();
        std::vector<std::byte> buffer;
        DWORD count = 0;
        auto enumerate = [](LPBYTE data, DWORD size, LPDWORD needed, LPDWORD returned) {
            return ::EnumPortsW(nullptr, 2, data, size, needed, returned);
        };
        if (!enumerateAll<PORT_INFO_2W>(enumerate, buffer, count))
            return false;
        const auto* records = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            out.push_back({narrow(records[i].pPortName)});
        return true;
    }
};

}  // namespace

std::unique_ptr<Spooler> systemSpooler() {
    return std::make_unique<WindowsSpooler>();
}

}  // namespace upkeep::platform
