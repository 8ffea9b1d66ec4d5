// The netsh of the network tests, in place of Wine's (which exits 0 and
// stores nothing): `interface ipv6 set subinterface IF mtu=N store=S` as
// Microsoft documents it. IF is the interface's name or index (an index here,
// looked up among the IP helper's IPv6 rows: "Element not found." where there
// is none), N the MTU, S "active" (until the next boot) or "persistent"
// (retained after reboot); a name is refused here, since the program names
// the interface by its index.
// A persistent MTU is recorded as the value "6:IF" of
// HKCU\Software\Quillon stand-in persistent MTU, for the tests to read.
// QUILLON_STANDIN_NETSH_EXIT=N makes it store nothing and exit with N.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Fail(const char* said) {
    std::printf("%s\n", said);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* code = std::getenv("QUILLON_STANDIN_NETSH_EXIT"); code != nullptr && *code != '\0') {
        return std::atoi(code);
    }
    if (argc < 5 || _stricmp(argv[1], "interface") != 0 || _stricmp(argv[2], "ipv6") != 0 ||
        _stricmp(argv[3], "set") != 0 || _stricmp(argv[4], "subinterface") != 0) {
        return Fail("The following command was not found.");
    }
    std::string name;
    std::string mtu;
    std::string store = "active";
    for (int i = 5; i < argc; ++i) {
        const std::string word = argv[i];
        const std::size_t equals = word.find('=');
        const std::string key =
            equals == std::string::npos ? (name.empty() ? "interface" : "") : word.substr(0, equals);
        const std::string value = equals == std::string::npos ? word : word.substr(equals + 1);
        if (key == "interface") {
            name = value;
        } else if (key == "mtu") {
            mtu = value;
        } else if (key == "store") {
            store = value;
        } else {
            return Fail(
                "The syntax supplied for this command is not valid. Check help for the correct syntax.");
        }
    }
    char* nameEnd = nullptr;
    char* mtuEnd = nullptr;
    const unsigned long index = std::strtoul(name.c_str(), &nameEnd, 10);
    const unsigned long value = std::strtoul(mtu.c_str(), &mtuEnd, 10);
    if (name.empty() || mtu.empty() || *nameEnd != '\0' || *mtuEnd != '\0' ||
        (store != "active" && store != "persistent")) {
        return Fail("The parameter is incorrect.");
    }
    MIB_IPINTERFACE_ROW row{};
    row.Family = AF_INET6;
    row.InterfaceIndex = index;
    if (GetIpInterfaceEntry(&row) != NO_ERROR) {
        return Fail("Element not found.");
    }
    if (value < 1280) {
        return Fail("The parameter is incorrect.");
    }
    if (store == "persistent") {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quillon stand-in persistent MTU", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
            return Fail("Access is denied.");
        }
        const DWORD stored = value;
        const std::string valueName = "6:" + name;
        const LSTATUS status = RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&stored), sizeof stored);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            return Fail("Access is denied.");
        }
    }
    std::printf("Ok.\n\n");
    return 0;
}
