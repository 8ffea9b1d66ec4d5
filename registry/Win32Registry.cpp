#include "registry/Win32Registry.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace quillon::reg {

static_assert(kErrorSuccess == ERROR_SUCCESS);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(kErrorBadPathname == ERROR_BAD_PATHNAME);
static_assert(kErrorMoreData == ERROR_MORE_DATA);
static_assert(kRegSz == REG_SZ && kRegExpandSz == REG_EXPAND_SZ && kRegBinary == REG_BINARY);
static_assert(kRegDword == REG_DWORD && kRegMultiSz == REG_MULTI_SZ && kRegQword == REG_QWORD);
static_assert(sizeof(Handle) == sizeof(HKEY));

namespace {

// A key handle travels as its number; HKEY is a pointer type.
HKEY ToHkey(Handle handle) { return reinterpret_cast<HKEY>(handle); }  // NOLINT(performance-no-int-to-ptr)
Handle FromHkey(HKEY key) { return reinterpret_cast<Handle>(key); }

}  // namespace

Status Win32Registry::RegOpenKeyA(Handle root, const std::string& path, Handle& key) {
    HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyA(ToHkey(root), path.c_str(), &opened);
    key = status == ERROR_SUCCESS ? FromHkey(opened) : kNullHandle;
    return status;
}

Status Win32Registry::RegCreateKeyA(Handle root, const std::string& path, Handle& key) {
    HKEY created = nullptr;
    const LONG status = ::RegCreateKeyA(ToHkey(root), path.c_str(), &created);
    key = status == ERROR_SUCCESS ? FromHkey(created) : kNullHandle;
    return status;
}

Status Win32Registry::RegQueryValueExA(Handle key, const std::string& name, ValueType* type,
                                       std::uint8_t* data, std::uint32_t* size) {
    DWORD winType = 0;
    DWORD winSize = size != nullptr ? *size : 0;
    const LONG status = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &winType, data,
                                           size != nullptr ? &winSize : nullptr);
    if (type != nullptr) {
        *type = winType;
    }
    if (size != nullptr) {
        *size = winSize;
    }
    return status;
}

Status Win32Registry::RegSetValueExA(Handle key, const std::string& name, ValueType type,
                                     const std::uint8_t* data, std::uint32_t size) {
    return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data, size);
}

Status Win32Registry::RegDeleteValueA(Handle key, const std::string& name) {
    return ::RegDeleteValueA(ToHkey(key), name.c_str());
}

Status Win32Registry::RegCloseKey(Handle key) { return ::RegCloseKey(ToHkey(key)); }

}  // namespace quillon::reg
