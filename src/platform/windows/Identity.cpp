#include "platform/Identity.h"

#include <io.h>
#include <windows.h>
// After windows.h, which they need.
#include <bcrypt.h>
#include <lmcons.h>

#include <cerrno>

#include "platform/FileLock.h"
#include "platform/windows/WideText.h"

namespace upkeep::platform {
std::string userName() {
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    return ::GetUserNameW(name, &size) ? narrow(name) : std::string();
}

std::string userIdText() {
    // The session's user name stands in for a numeric id.
    return userName();
}

std::string hostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    return ::GetComputerNameW(name, &size) ? narrow(name) : std::string();
}

bool randomBytes(std::uint8_t* bytes, std::size_t length) {
    return BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(length),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

FileLock lockFile(int fd, bool wait) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return FileLock::Failed;
    }
    // The whole file and beyond, as a whole-file lock.
    OVERLAPPED from{};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (::LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &from))
        return FileLock::Taken;
    if (::GetLastError() == ERROR_LOCK_VIOLATION)
        return FileLock::Busy;
    errno = EIO;
    return FileLock::Failed;
}

}  // namespace upkeep::platform
