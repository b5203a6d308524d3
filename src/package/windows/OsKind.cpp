// The kind from the system's version record. RtlGetVersion tells the true
// version; GetVersionEx would tell the one the program's manifest admits.
#include <windows.h>

#include "package/Environment.h"

namespace upkeep {

OsKind LinuxEnvironment::osKind() {
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void (*)()>(
                                  ::GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!getVersion || getVersion(&version) != 0)
        return OsKind::Unknown;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return OsKind::Win9x;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT)
        return version.dwMajorVersion == 5 ? OsKind::WinNt5 : OsKind::WinNt;
    return OsKind::Unknown;
}

}  // namespace upkeep
