// A temporary file that no other handle may write or delete and that goes
// when its descriptor closes; the path from GetFinalPathNameByHandle.
#include "platform/PrivateFiles.h"
#include "platform/windows/WideText.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <vector>

namespace upkeep::platform {
UniqueFd createPrivateFile(const char*) {
    wchar_t directory[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (::GetTempPathW(MAX_PATH + 1, directory) == 0 ||
        ::GetTempFileNameW(directory, L"upk", 0, path) == 0)
        return {};
    // Shared for reading only: no other handle writes it while it exists.
    HANDLE file =
        ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(file);
        return {};
    }
    return UniqueFd(fd);
}

bool sealPrivateFile(int) {
    // Its share mode already keeps other handles from writing; this
    // process writes it no more after the seal.
    return true;
}

std::optional<std::string> pathOfOpenFile(int fd) {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<wchar_t> buffer(1024);
    DWORD length =
        ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (length >= buffer.size()) {
        buffer.resize(length + 1);
        length = ::GetFinalPathNameByHandleW(handle, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), 0);
    }
    if (length == 0 || length >= buffer.size())
        return std::nullopt;
    std::string path = narrow(buffer.data(), length);
    // "\\?\C:\..." is the same path as "C:\...".
    if (path.rfind("\\\\?\\", 0) == 0)
        path.erase(0, 4);
    return path;
}

}  // namespace upkeep::platform
