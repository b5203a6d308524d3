// The USB printer interfaces present, through the device setup library.
// It is loaded when asked and let go afterwards, and its five functions are
// taken by name: a system without it, or without one of them, has no USB
// printers to offer, and the program still starts.
#include <windows.h>
// (after windows.h, which it needs)
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "platform/UsbDevices.h"
#include "platform/windows/WideText.h"

namespace upkeep::platform {
namespace {

constexpr GUID kVendorClass = {
    0x5D1A33AA, 0xD554, 0x11D3, {0x98, 0xF3, 0x00, 0x60, 0xB0, 0xF1, 0x3B, 0x68}};
constexpr GUID kPrinterClass = {
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// Texts longer than this count as unreadable, as on Linux.
constexpr std::size_t kMaxText = SysfsUsbDevices::kMaxText;

using GetClassDevs = HDEVINFO(WINAPI*)(const GUID*, PCSTR, HWND, DWORD);
using EnumInterfaces = BOOL(WINAPI*)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                     PSP_DEVICE_INTERFACE_DATA);
using GetInterfaceDetail = BOOL(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                         PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                         PSP_DEVINFO_DATA);
using DestroyInfoList = BOOL(WINAPI*)(HDEVINFO);
using OpenInterfaceKey = HKEY(WINAPI*)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, DWORD, REGSAM);

struct LibraryFree {
    void operator()(HMODULE module) const { ::FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

struct KeyClose {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyClose>;

template <typename Function>
Function function(HMODULE module, const char* name) {
    // Through the generic function type, which every function type may be
    // cast to and back from.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

std::optional<std::string> textValue(HKEY key, const wchar_t* name) {
    wchar_t text[kMaxText + 1]{};
    DWORD size = sizeof text - sizeof(wchar_t);  // room for the terminator we add
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::size_t length = size / sizeof(wchar_t);
    while (length > 0 && text[length - 1] == L'\0')
        --length;
    return narrow(text, length);
}

bool hasValue(HKEY key, const wchar_t* name) {
    return ::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::optional<std::uint32_t> numberValue(HKEY key, const wchar_t* name) {
    DWORD number = 0;
    DWORD size = sizeof number;
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size) !=
            ERROR_SUCCESS ||
        size != sizeof number)
        return std::nullopt;
    return number;
}

class SetupApiUsbDevices final : public UsbDevices {
  public:
    std::vector<UsbInterface> present(UsbInterfaceClass interfaceClass) const override {
        std::vector<UsbInterface> found;
        Library library(::LoadLibraryA("SETUPAPI.DLL"));
        if (!library)
            return found;
        auto getClassDevs = function<GetClassDevs>(library.get(), "SetupDiGetClassDevsA");
        auto enumInterfaces =
            function<EnumInterfaces>(library.get(), "SetupDiEnumDeviceInterfaces");
        auto getDetail =
            function<GetInterfaceDetail>(library.get(), "SetupDiGetDeviceInterfaceDetailA");
        auto destroy = function<DestroyInfoList>(library.get(), "SetupDiDestroyDeviceInfoList");
        auto openKey =
            function<OpenInterfaceKey>(library.get(), "SetupDiOpenDeviceInterfaceRegKey");
        if (!getClassDevs || !enumInterfaces || !getDetail || !destroy || !openKey)
            return found;

        const GUID* guid =
            interfaceClass == UsbInterfaceClass::Vendor ? &kVendorClass : &kPrinterClass;
        HDEVINFO set = getClassDevs(guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (set == INVALID_HANDLE_VALUE)
            return found;
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA entry{};
            entry.cbSize = sizeof entry;
            if (!enumInterfaces(set, nullptr, guid, index, &entry))
                break;
            DWORD needed = 0;
            getDetail(set, &entry, nullptr, 0, &needed, nullptr);
            if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
                continue;
            // Kept in whole records, so the detail's alignment holds.
            std::vector<SP_DEVICE_INTERFACE_DETAIL_DATA_A> detail(
                needed / sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + 1);
            detail[0].cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (!getDetail(set, &entry, detail.data(), needed, nullptr, nullptr))
                continue;
            UsbInterface usb;
            // The path runs on past the record's one-character field.
            const char* path = reinterpret_cast<const char*>(detail.data()) +
                               offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
            const std::size_t room =
                needed - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
            usb.devicePath.assign(path, ::strnlen(path, room));
            Key key(openKey(set, &entry, 0, KEY_READ));
            if (key.get() == INVALID_HANDLE_VALUE)
                key.release();
            if (key) {
                usb.serialNumber = textValue(key.get(), L"SerialNumber");
                usb.product = textValue(key.get(), L"Product");
                usb.enabled = hasValue(key.get(), L"Enabled");
                usb.portNumber = numberValue(key.get(), L"Port Number");
            }
            found.push_back(std::move(usb));
        }
        destroy(set);
        return found;
    }
};

}  // namespace

std::unique_ptr<UsbDevices> systemUsbDevices() {
    return std::make_unique<SetupApiUsbDevices>();
}

}  // namespace upkeep::platform
