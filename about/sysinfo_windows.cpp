#ifdef _WIN32

#include "about/sysinfo.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The header names its members after the registry functions, which windows.h maps to their
// ANSI or wide variants.
#undef RegOpenKeyEx
#undef RegQueryValueEx

// The registry functions of the system library, each bound by name on its first call.
namespace {

FARPROC procedure(const char* name) {
    static const HMODULE library = LoadLibraryA("advapi32");
    const FARPROC found = library ? GetProcAddress(library, name) : nullptr;
    if (!found)
        throw std::runtime_error(std::string("advapi32 has no ") + name);
    return found;
}

template <class Function> Function bind(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(procedure(name)));
}

// A predefined root is a sign-extended 32-bit code.
HKEY rootKey(std::uint32_t root) {
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
}

HKEY openedKey(SysInfoPlatform::KeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}

} // namespace

long DesktopSysInfo::RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath,
                                  std::uint32_t options, std::uint32_t accessMask, KeyHandle& key) {
    using Open = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
    static const Open open = bind<Open>("RegOpenKeyExA");
    HKEY opened = nullptr;
    const LONG status = open(rootKey(root), keyPath.constData(), options, accessMask, &opened);
    if (status == ERROR_SUCCESS)
        key = reinterpret_cast<KeyHandle>(opened);
    return status;
}

long DesktopSysInfo::RegQueryValueEx(KeyHandle key, const QByteArray& valueName,
                                     std::uint32_t& typeCode, std::span<char> buffer,
                                     std::uint32_t& byteCount) {
    using Query = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
    static const Query query = bind<Query>("RegQueryValueExA");
    DWORD type = 0;
    DWORD count = std::min<DWORD>(byteCount, DWORD(buffer.size()));
    const LONG status = query(openedKey(key), valueName.constData(), nullptr, &type,
                              reinterpret_cast<LPBYTE>(buffer.data()), &count);
    typeCode = type;
    byteCount = count;
    return status;
}

long DesktopSysInfo::RegCloseKey(KeyHandle key) {
    using Close = LONG(WINAPI*)(HKEY);
    static const Close close = bind<Close>("RegCloseKey");
    return close(openedKey(key));
}

#endif
