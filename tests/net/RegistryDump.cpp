// For the network tests, which compare the registry byte for byte:
//   quillon_registry_dump dump [KEY]   every value under HKEY_LOCAL_MACHINE (or
//       below KEY), one line each: its key and name, its type and its bytes;
//       keys without values do not count
//   quillon_registry_dump set KEY NAME TYPE HEX   stores exactly those bytes,
//       which reg.exe cannot (it ends every text with a NUL)

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
        // One byte more than the data, and not a NUL: the registry stores
        // exactly what it is given.
        std::vector<unsigned char> bytes(hex.size() / 2 + 1, 0xFF);
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes[i / 2] = static_cast<unsigned char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
        }
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_LOCAL_MACHINE, argv[2], &key) != ERROR_SUCCESS) {
            return 1;
        }
        const LONG status = RegSetValueExA(key, argv[3], 0, std::strtoul(argv[4], nullptr, 10), bytes.data(),
                                           static_cast<DWORD>(hex.size() / 2));
        RegCloseKey(key);
        return status == ERROR_SUCCESS ? 0 : 1;
    }
    std::fprintf(stderr, "usage: quillon_registry_dump dump [KEY] | set KEY NAME TYPE HEX\n");
    return 2;
}
