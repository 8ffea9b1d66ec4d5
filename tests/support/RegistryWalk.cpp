#include "tests/support/RegistryWalk.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>

namespace quillon::test {

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

void Walk(HKEY key, const std::string& path, RegistryImage& image) {
    image.emplace("KEY " + Upper(path), WalkedValue{});
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    std::vector<char> name(maxName + 2);
    std::vector<unsigned char> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG status =
            RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_MORE_DATA) {
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --i;
            continue;
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        image.emplace("VAL " + Upper(path) + "|" + Upper(std::string(name.data(), nameSize)),
                      WalkedValue{type, std::vector<unsigned char>(data.begin(), data.begin() + dataSize)});
    }
    std::vector<char> child(maxSubkey + 2 > 512 ? maxSubkey + 2 : 512);
    for (DWORD i = 0;; ++i) {
        DWORD childSize = static_cast<DWORD>(child.size());
        if (RegEnumKeyExA(key, i, child.data(), &childSize, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::string childName(child.data(), childSize);
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, childName.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            Walk(sub, path.empty() ? childName : path + "\\" + childName, image);
            RegCloseKey(sub);
        }
    }
}

bool Below(const std::string& entry, const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        const std::string upper = Upper(key);
        for (const char* kind : {"KEY ", "VAL "}) {
            const std::string prefix = kind + upper;
            if (entry.rfind(prefix, 0) == 0 &&
                (entry.size() == prefix.size() || entry[prefix.size()] == '\\' ||
                 entry[prefix.size()] == '|')) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

RegistryImage WalkLocalMachine(const std::string& below) {
    RegistryImage image;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, below.empty() ? nullptr : below.c_str(), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        Walk(key, below, image);
        RegCloseKey(key);
    }
    return image;
}

std::string ValueEntry(const std::string& path, const std::string& name) {
    return "VAL " + Upper(path) + "|" + Upper(name);
}

std::string KeyEntry(const std::string& path) { return "KEY " + Upper(path); }

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::vector<std::string> Differences(const RegistryImage& before, const RegistryImage& after,
                                     const std::vector<std::string>& allowedNewKeys) {
    std::vector<std::string> out;
    for (const auto& [entry, value] : before) {
        const auto it = after.find(entry);
        if (it == after.end()) {
            out.push_back("gone: " + entry);
        } else if (!(it->second == value)) {
            out.push_back("changed: " + entry);
        }
    }
    for (const auto& [entry, value] : after) {
        if (before.count(entry) == 0 && !(entry.rfind("KEY ", 0) == 0 && Below(entry, allowedNewKeys))) {
            out.push_back("new: " + entry);
        }
    }
    return out;
}

}  // namespace quillon::test
