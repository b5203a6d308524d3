// On Windows the registry is the real one. The keys the program reads
// below HKEY_LOCAL_MACHINE (its settings and the print monitors' ports)
// are read at each query, opened for reading only, into the same form the
// Linux text file gives, so that both systems answer every lookup alike.
// Texts are turned from UTF-16 into UTF-8; a value keeps its type number.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/windows/WideText.h"

namespace upkeep::platform {
namespace {

// The subtrees read, and bounds that keep a damaged or hostile registry
// from making a query slow.
constexpr const wchar_t* kRoots[] = {
    L"SOFTWARE\\Varnholt\\Meridot Upkeep",
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors",
};
constexpr int kMaxDepth = 6;
constexpr std::size_t kMaxKeys = 4096;
constexpr DWORD kMaxValueBytes = 64 * 1024;

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// The bytes a value stands for: texts (types 1, 2, 7) in UTF-8 with their
// zero bytes, anything else as stored.
std::vector<std::uint8_t> valueBytes(DWORD type, const std::vector<BYTE>& data) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const std::string text =
            narrow(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
        return {text.begin(), text.end()};
    }
    return {data.begin(), data.end()};
}

class Snapshot {
  public:
    std::string text = "REGEDIT4\r\n";

    void readTree(HKEY parent, const std::wstring& path, int depth) {
        HKEY key = nullptr;
        if (keys_ >= kMaxKeys ||
            ::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return;
        ++keys_;
        text += "\r\n[HKEY_LOCAL_MACHINE\\" + narrow(path.c_str(), path.size()) + "]\r\n";
        readValues(key);
        if (depth < kMaxDepth) {
            std::vector<std::wstring> children;
            wchar_t name[256];
            for (DWORD i = 0;; ++i) {
                DWORD length = 256;
                if (::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                children.emplace_back(name, length);
            }
            for (const std::wstring& child : children)
                readTree(HKEY_LOCAL_MACHINE, path + L"\\" + child, depth + 1);
        }
        ::RegCloseKey(key);
    }

  private:
    void readValues(HKEY key) {
        wchar_t name[16384];
        std::vector<BYTE> data(kMaxValueBytes);
        for (DWORD i = 0;; ++i) {
            DWORD nameLength = 16384;
            DWORD type = 0;
            DWORD size = kMaxValueBytes;
            const LONG result =
                ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
            if (result == ERROR_MORE_DATA)
                continue;  // larger than any value the program reads
            if (result != ERROR_SUCCESS)
                break;
            const std::string valueName = narrow(name, nameLength);
            text += valueName.empty() ? std::string("@") : quoted(valueName);
            char kind[24];
            std::snprintf(kind, sizeof kind, "=hex(%lx):", static_cast<unsigned long>(type));
            text += kind;
            const std::vector<BYTE> held(data.begin(), data.begin() + size);
            const std::vector<std::uint8_t> bytes = valueBytes(type, held);
            for (std::size_t b = 0; b < bytes.size(); ++b) {
                char hex[4];
                std::snprintf(hex, sizeof hex, b == 0 ? "%02x" : ",%02x", bytes[b]);
                text += hex;
            }
            text += "\r\n";
        }
    }

    std::size_t keys_ = 0;
};

}  // namespace

Registry Registry::system() {
    Snapshot snapshot;
    for (const wchar_t* root : kRoots)
        snapshot.readTree(HKEY_LOCAL_MACHINE, root, 0);
    return fromText(snapshot.text);
}

}  // namespace upkeep::platform
