// For the network tests, which compare the registry byte for byte:
//   quillon_registry_dump dump [KEY]   every value under HKEY_LOCAL_MACHINE (or
//       below KEY), one line each: its key and name, its type and its bytes;
//       keys without values do not count


#include <cstdio>
#include <string>

#include "tests/support/RegistryWalk.h"

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
    std::fprintf(stderr, "usage: quillon_registry_dump dump [KEY]\n");
    return 2;
}
