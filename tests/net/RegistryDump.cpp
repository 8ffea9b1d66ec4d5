// For the network tests, which compare the registry byte for byte:
//   quillon_registry_dump dump [KEY]   every value under HKEY_LOCAL_MACHINE (or
//       below KEY), one line each: its key and name, its type and its bytes;
//       keys without values do not count
//   quillon_registry_dump set KEY NAME TYPE HEX   stores exactly those bytes
//       (a text of the system's code page as its characters), which reg.exe
//       and the ANSI calls cannot: they end every text with a NUL

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/RegistryWalk.h"

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "dump" && argc <= 3) {
        for (const auto& [entry, value] : quillon::test::WalkLocalMachine(argc == 3 ? argv[2] : "")) {
            if (entry.rfind("VAL ", 0) != 0) {
                continue;
            }
            std::printf("%s\t%lu\t", entry.c_str(), value.type);
            for (const unsigned char byte : value.bytes) {
                std::printf("%02x", byte);
            }
            std::printf("\n");
        }
        return 0;
    }
    if (command == "set" && argc == 6) {
        const std::string hex = argv[5];
        std::vector<unsigned char> bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes.push_back(static_cast<unsigned char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
        }
        const DWORD type = std::strtoul(argv[4], nullptr, 10);
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, argv[2], &key) != ERROR_SUCCESS) {
            return 1;
        }
        LONG status = ERROR_SUCCESS;
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            // Text as given, byte by byte: the ANSI call would add a closing
            // NUL where there is none.
            const std::wstring name(argv[3], argv[3] + std::strlen(argv[3]));
            const std::wstring text(bytes.begin(), bytes.end());
            status = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                                    static_cast<DWORD>(text.size() * sizeof(wchar_t)));
        } else {
            status = RegSetValueExA(key, argv[3], 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
        }
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? 0 : 1;
    }
    std::fprintf(stderr, "usage: quillon_registry_dump dump [KEY] | set KEY NAME TYPE HEX\n");
    return 2;
}
