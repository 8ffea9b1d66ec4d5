#pragma once
// The six registry operations the program relies on, with Windows' own
// values for handles, status codes and value types. The Win32 back end calls
// advapi32 directly; the in-memory model gives the same contract to the
// native tests.

#include <cstdint>
#include <string>

namespace quillon::reg {

// A registry key handle as its numeric value (an HKEY on Windows).
using Handle = std::uintptr_t;
// A Win32 status code (LONG).
using Status = std::int32_t;
// A registry value type (DWORD).
using ValueType = std::uint32_t;

inline constexpr Handle kNullHandle = 0;
// HKEY_LOCAL_MACHINE is the LONG 0x80000002, sign-extended into a pointer.
inline constexpr Handle kHkeyLocalMachine =
    static_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002U)));

inline constexpr Status kErrorSuccess = 0;
inline constexpr Status kErrorFileNotFound = 2;
inline constexpr Status kErrorAccessDenied = 5;
inline constexpr Status kErrorInvalidHandle = 6;
inline constexpr Status kErrorBadPathname = 161;
inline constexpr Status kErrorMoreData = 234;

inline constexpr ValueType kRegNone = 0;
inline constexpr ValueType kRegSz = 1;
inline constexpr ValueType kRegExpandSz = 2;
inline constexpr ValueType kRegBinary = 3;
inline constexpr ValueType kRegDword = 4;
inline constexpr ValueType kRegDwordBigEndian = 5;
inline constexpr ValueType kRegMultiSz = 7;
inline constexpr ValueType kRegQword = 11;

// Texts are byte strings in the system's ANSI code page, as the A forms of
// the registry functions take and give them.
class RegistryApi {
public:
    RegistryApi() = default;
    RegistryApi(const RegistryApi&) = delete;
    RegistryApi& operator=(const RegistryApi&) = delete;
    virtual ~RegistryApi() = default;

    // Opens an existing key; never creates one. On failure `key` is null.
    virtual Status RegOpenKeyA(Handle root, const std::string& path, Handle& key) = 0;
    // Opens the key, creating it and every missing level on the way.
    virtual Status RegCreateKeyA(Handle root, const std::string& path, Handle& key) = 0;
    // With a null `data` reports the type and the size; with a buffer copies
    // the data. `type` and `size` may be null as in the Win32 call.
    virtual Status RegQueryValueExA(Handle key, const std::string& name, ValueType* type, std::uint8_t* data,
                                    std::uint32_t* size) = 0;
    virtual Status RegSetValueExA(Handle key, const std::string& name, ValueType type,
                                  const std::uint8_t* data, std::uint32_t size) = 0;
    virtual Status RegDeleteValueA(Handle key, const std::string& name) = 0;
    virtual Status RegCloseKey(Handle key) = 0;
};

}  // namespace quillon::reg
