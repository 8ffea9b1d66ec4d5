#pragma once
// The registry as the Wine-side tests and the bench see it, through
// advapi32: reading, seeding and cleaning the values the program uses, and
// making a key read-only. The writers say whether they wrote, for the caller
// to check. VIEW is 0 for the caller's own view of the registry, or
// KEY_WOW64_64KEY or KEY_WOW64_32KEY for the view of a program of the other
// width.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <sddl.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/KeysAndTexts.h"

namespace quillon::test {

inline std::optional<std::string> TextAt(const std::string& path, const std::string& name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD size = 0;
    std::optional<std::string> result;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::string text(size, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &size) == ERROR_SUCCESS) {
            text.resize(size);
            while (!text.empty() && text.back() == '\0') {
                text.pop_back();
            }
            result = text;
        }
    }
    RegCloseKey(key);
    return result;
}

inline std::optional<DWORD> DwordAt(const std::string& path, const std::string& name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG status =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) {
        return std::nullopt;
    }
    return value;
}

// Whether the value is not there (its key may be missing too).
inline bool Absent(const std::string& path, const std::string& name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return true;
    }
    const LONG status = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return status == ERROR_FILE_NOT_FOUND;
}

[[nodiscard]] inline bool PutText(const std::string& path, const std::string& name, const std::string& text,
                                  REGSAM view = 0) {
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                  &key, nullptr);
    if (status == ERROR_CHILD_MUST_BE_VOLATILE) {
        // Wine fills NetworkCards at every start, as a volatile key.
        status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                                 KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    }
    if (status != ERROR_SUCCESS) {
        return false;
    }
    status = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

[[nodiscard]] inline bool PutDword(const std::string& path, const std::string& name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS) {
        return false;
    }
    const LONG status =
        RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

inline void Remove(const std::string& path, const std::string& name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, name.c_str());
        RegCloseKey(key);
    }
}

inline void RemoveTree(const std::string& path) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

// The service names of network cards 1 to 30 that have one.
inline std::vector<std::string> ServiceNames() {
    std::vector<std::string> names;
    for (int card = 1; card <= 30; ++card) {
        if (const auto name = TextAt(kCards + std::to_string(card), kServiceName); name && !name->empty()) {
            names.push_back(*name);
        }
    }
    return names;
}

// Three transports of the 9x family: two bound to TCP/IP with a driver
// date, one without.
inline const std::vector<std::string> kSeededTransports{"0000", "0001", "0002"};
[[nodiscard]] inline bool SeedTransports() {
    return PutText(kNetTrans + "0000", kIpAddress, "192.168.0.2") &&
           PutText(kNetTrans + "0000", kDriverDate, "6-1-1999") &&
           PutText(kNetTrans + "0001", kIpAddress, "10.0.0.2") &&
           PutText(kNetTrans + "0001", kDriverDate, "6-1-1999") &&
           PutText(kNetTrans + "0002", kIpAddress, "10.0.0.3");
}

// Makes a key read-only for everyone, and gives it back its own security on
// destruction. The handle kept open with WRITE_DAC is what restores it.
class ReadOnlyKey {
public:
    explicit ReadOnlyKey(const std::string& path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | WRITE_DAC, &key_) !=
            ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        original_.resize(size);
        if (RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size) != ERROR_SUCCESS) {
            original_.clear();
        }
        PSECURITY_DESCRIPTOR locked = nullptr;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KR;;;WD)", SDDL_REVISION_1, &locked,
                                                                 nullptr)) {
            locked_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, locked) == ERROR_SUCCESS;
            LocalFree(locked);
        }
    }
    ReadOnlyKey(const ReadOnlyKey&) = delete;
    ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
    ~ReadOnlyKey() {
        if (key_ != nullptr) {
            if (!original_.empty()) {
                RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
            }
            RegCloseKey(key_);
        }
    }
    [[nodiscard]] bool Locked() const { return locked_; }

private:
    HKEY key_ = nullptr;
    std::vector<unsigned char> original_;
    bool locked_ = false;
};

}  // namespace quillon::test
