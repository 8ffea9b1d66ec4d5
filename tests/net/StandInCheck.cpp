// Reports what the IP helper of the running Wine prefix answers, for the
// network test of the IP-helper stand-in (standin-check.sh), which holds the
// expected answers. Every function is looked up at run time, since Wine's own
// iphlpapi.dll has no GetIpPathTable.
//   quillon_standin_check echo ADDRESS DATA_BYTES [df] [ttl=N] [timeout=MS] [reply=DELTA] [handle=closed]
//     one echo; the reply buffer is DELTA bytes larger than the documented
//     minimum (the reply, the data and 8 bytes); prints
//     "returned R status S from ADDRESS data BYTES in MS ms", where S is the
//     reply's status if R is not 0 and the last error if it is
//   quillon_standin_check echo6 ADDRESS DATA_BYTES [hops=N] [timeout=MS] [reply=DELTA]
//                         [handle=closed|ipv4] [parse]
//     one IPv6 echo (Icmp6SendEcho2 from the zero address ::, options
//     with the hop limit, 128 unless given, and flags 0); the reply buffer is
//     DELTA bytes larger than the documented minimum (the reply, the data, 8
//     bytes and an IO_STATUS_BLOCK); handle=ipv4 passes IcmpCreateFile's
//     handle; prints "returned R status S from ADDRESS data BYTES in MS ms",
//     where BYTES is how much of what was sent follows the reply; with
//     parse, then what Icmp6ParseReplies makes of the reply buffer
//   quillon_standin_check best6 ADDRESS|null   GetBestInterfaceEx of that
//     IPv6 address (null: no address)
//   quillon_standin_check paths [family=N]   GetIpPathTable's rows
//   quillon_standin_check forget [family=N]  FlushIpPathTable (AF_INET unless given)
//   quillon_standin_check interfaces ADDRESS [family=N]   what the other
//     IP-helper calls say (GetBestInterfaceEx of the IPv4 address among them),
//     GetIpInterfaceTable's rows for that family (AF_INET unless given)
//   quillon_standin_check mtu INDEX [set=N] [family=N] [site=N]
//     GetIpInterfaceEntry of that interface; with set=, SetIpInterfaceEntry
//     of its row with NlMtu N, SitePrefixLength and family, and the row read back

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "net/Icmp.h"

namespace {

HMODULE ipHelper = nullptr;

template <typename Function>
Function Find(const char* name) {
    const FARPROC found = GetProcAddress(ipHelper, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

std::string Dotted(IPAddr address) {
    quillon::net::Address bytes{};
    std::memcpy(bytes.data(), &address, bytes.size());
    return quillon::net::Dotted(bytes);
}

bool ParseAddress(const char* text, IPAddr& address) {
    quillon::net::Address bytes{};
    if (!quillon::net::ParseDotted(text, bytes)) {
        return false;
    }
    std::memcpy(&address, bytes.data(), bytes.size());
    return true;
}

// key=value arguments after the fixed ones.
std::map<std::string, std::string> Options(int argc, char** argv, int first) {
    std::map<std::string, std::string> options;
    for (int i = first; i < argc; ++i) {
        const std::string argument = argv[i];
        const std::size_t equals = argument.find('=');
        options[argument.substr(0, equals)] = equals == std::string::npos ? "" : argument.substr(equals + 1);
    }
    return options;
}

int Echo(int argc, char** argv) {
    using CreateFunction = HANDLE(WINAPI*)();
    using CloseFunction = BOOL(WINAPI*)(HANDLE);
    using SendFunction =
        DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    const auto create = Find<CreateFunction>("IcmpCreateFile");
    const auto close = Find<CloseFunction>("IcmpCloseHandle");
    const auto send = Find<SendFunction>("IcmpSendEcho");
    IPAddr destination = 0;
    if (argc < 4 || !ParseAddress(argv[2], destination) || create == nullptr || close == nullptr ||
        send == nullptr) {
        std::puts("usage: echo ADDRESS DATA_BYTES [options], with the IP helper's echo functions");
        return 2;
    }
    const WORD dataBytes = static_cast<WORD>(std::atoi(argv[3]));
    auto options = Options(argc, argv, 4);
    IP_OPTION_INFORMATION ip{};
    ip.Ttl = static_cast<UCHAR>(options.count("ttl") != 0 ? std::atoi(options["ttl"].c_str()) : 128);
    ip.Flags = options.count("df") != 0 ? IP_FLAG_DF : 0;
    const DWORD timeout =
        options.count("timeout") != 0 ? std::strtoul(options["timeout"].c_str(), nullptr, 10) : 2000;
    const int delta = options.count("reply") != 0 ? std::atoi(options["reply"].c_str()) : 0;
    std::vector<unsigned char> data(dataBytes);
    for (std::size_t i = 0; i != data.size(); ++i) {
        data[i] = static_cast<unsigned char>('A' + i % 26);
    }
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + dataBytes + 8 + delta);

    HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) {
        std::printf("IcmpCreateFile failed: %lu\n", GetLastError());
        return 1;
    }
    if (options.count("handle") != 0) {
        close(handle);  // handle=closed
    }
    const DWORD start = GetTickCount();
    const DWORD returned = send(handle, destination, data.data(), dataBytes, &ip, reply.data(),
                                static_cast<DWORD>(reply.size()), timeout);
    const DWORD error = GetLastError();
    const DWORD ms = GetTickCount() - start;
    if (options.count("handle") == 0) {
        close(handle);
    }
    const auto* answer = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    if (returned == 0) {
        std::printf("returned 0 status %lu in %lu ms\n", error, ms);
        return 0;
    }
    // The data that came back must be what was sent, as far as it came.
    const bool same = answer->DataSize <= dataBytes &&
                      answer->Data == reply.data() + sizeof(ICMP_ECHO_REPLY) &&
                      std::memcmp(answer->Data, data.data(), answer->DataSize) == 0;
    std::printf("returned %lu status %lu from %s data %u%s in %lu ms\n", returned, answer->Status,
                Dotted(answer->Address).c_str(), answer->DataSize, same ? "" : " (not what was sent)", ms);
    return 0;
}

std::string Text6(const in6_addr& address) {
    char text[INET6_ADDRSTRLEN] = "";
    return inet_ntop(AF_INET6, &address, text, sizeof text) != nullptr ? text : "?";
}

// ICMPV6_ECHO_REPLY as Windows lays it out (MinGW's IPV6_ADDRESS_EX is not
// packed): the address's 16 bytes at 6, the status at 28, the round trip at 32.
constexpr std::size_t kReply6Bytes = 36;
constexpr std::size_t kReply6Address = 6;
constexpr std::size_t kReply6Status = 28;

int Echo6(int argc, char** argv) {
    using CreateFunction = HANDLE(WINAPI*)();
    using CloseFunction = BOOL(WINAPI*)(HANDLE);
    using ParseFunction = DWORD(WINAPI*)(LPVOID, DWORD);
    using SendFunction = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, sockaddr_in6*, sockaddr_in6*, LPVOID,
                                        WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);
    const auto create = Find<CreateFunction>("Icmp6CreateFile");
    const auto create4 = Find<CreateFunction>("IcmpCreateFile");
    const auto close = Find<CloseFunction>("IcmpCloseHandle");
    const auto send = Find<SendFunction>("Icmp6SendEcho2");
    const auto parse = Find<ParseFunction>("Icmp6ParseReplies");
    sockaddr_in6 source{};
    source.sin6_family = AF_INET6;
    sockaddr_in6 destination{};
    destination.sin6_family = AF_INET6;
    if (argc < 4 || inet_pton(AF_INET6, argv[2], &destination.sin6_addr) != 1 || create == nullptr ||
        create4 == nullptr || close == nullptr || send == nullptr) {
        std::puts("usage: echo6 ADDRESS DATA_BYTES [options], with the IP helper's IPv6 echo functions");
        return 2;
    }
    const WORD dataBytes = static_cast<WORD>(std::atoi(argv[3]));
    auto options = Options(argc, argv, 4);
    IP_OPTION_INFORMATION ip{};
    ip.Ttl = static_cast<UCHAR>(options.count("hops") != 0 ? std::atoi(options["hops"].c_str()) : 128);
    const DWORD timeout =
        options.count("timeout") != 0 ? std::strtoul(options["timeout"].c_str(), nullptr, 10) : 2000;
    const int delta = options.count("reply") != 0 ? std::atoi(options["reply"].c_str()) : 0;
    std::vector<unsigned char> data(dataBytes);
    for (std::size_t i = 0; i != data.size(); ++i) {
        data[i] = static_cast<unsigned char>('A' + i % 26);
    }
    std::vector<unsigned char> reply(kReply6Bytes + dataBytes + 8 + sizeof(IO_STATUS_BLOCK) + delta);

    const bool ipv4 = options["handle"] == "ipv4";
    HANDLE handle = ipv4 ? create4() : create();
    if (handle == INVALID_HANDLE_VALUE) {
        std::printf("Icmp6CreateFile failed: %lu\n", GetLastError());
        return 0;
    }
    const bool closed = options["handle"] == "closed";
    if (closed) {
        close(handle);
    }
    const DWORD start = GetTickCount();
    const DWORD returned = send(handle, nullptr, nullptr, nullptr, &source, &destination, data.data(),
                                dataBytes, &ip, reply.data(), static_cast<DWORD>(reply.size()), timeout);
    const DWORD error = GetLastError();
    const DWORD ms = GetTickCount() - start;
    if (!closed) {
        close(handle);
    }
    if (returned == 0) {
        std::printf("returned 0 status %lu in %lu ms\n", error, ms);
        return 0;
    }
    in6_addr from{};
    ULONG status = 0;
    std::memcpy(&from, reply.data() + kReply6Address, sizeof from);
    std::memcpy(&status, reply.data() + kReply6Status, sizeof status);
    std::size_t same = 0;
    while (same != data.size() && reply[kReply6Bytes + same] == data[same]) {
        ++same;
    }
    std::printf("returned %lu status %lu from %s data %zu in %lu ms", returned, status, Text6(from).c_str(),
                same, ms);
    // Wine has no Icmp6ParseReplies: a call would end the process.
    if (options.count("parse") != 0) {
        const DWORD parsed = parse != nullptr ? parse(reply.data(), static_cast<DWORD>(reply.size())) : 0;
        std::printf(parsed != 0 ? " parsed %lu" : " parsed %lu error %lu", parsed, GetLastError());
    }
    std::puts("");
    return 0;
}

int Best6(int argc, char** argv) {
    using BestFunction = DWORD(WINAPI*)(sockaddr*, PDWORD);
    const auto best = Find<BestFunction>("GetBestInterfaceEx");
    sockaddr_in6 destination{};
    destination.sin6_family = AF_INET6;
    const bool none = argc >= 3 && std::strcmp(argv[2], "null") == 0;
    if (argc < 3 || (!none && inet_pton(AF_INET6, argv[2], &destination.sin6_addr) != 1) || best == nullptr) {
        std::puts("usage: best6 ADDRESS|null, with GetBestInterfaceEx");
        return 2;
    }
    DWORD index = 0;
    const DWORD status = best(none ? nullptr : reinterpret_cast<sockaddr*>(&destination), &index);
    std::printf("GetBestInterfaceEx %s: %lu index %lu\n", argv[2], status, index);
    return 0;
}

int Paths(int argc, char** argv) {
    using TableFunction = DWORD(WINAPI*)(ADDRESS_FAMILY, PMIB_IPPATH_TABLE*);
    using FreeFunction = void(WINAPI*)(PVOID);
    using BestFunction = DWORD(WINAPI*)(IPAddr, PDWORD);
    using BestExFunction = DWORD(WINAPI*)(sockaddr*, PDWORD);
    const auto table = Find<TableFunction>("GetIpPathTable");
    const auto freeTable = Find<FreeFunction>("FreeMibTable");
    const auto best = Find<BestFunction>("GetBestInterface");
    const auto bestEx = Find<BestExFunction>("GetBestInterfaceEx");
    if (table == nullptr || freeTable == nullptr || best == nullptr || bestEx == nullptr) {
        std::puts("GetIpPathTable: not exported");
        return 0;
    }
    auto options = Options(argc, argv, 2);
    const auto family = static_cast<ADDRESS_FAMILY>(
        options.count("family") != 0 ? std::atoi(options["family"].c_str()) : AF_INET);
    PMIB_IPPATH_TABLE paths = nullptr;
    const DWORD status = table(family, &paths);
    std::printf("GetIpPathTable: %lu\n", status);
    if (status != NO_ERROR) {
        return 0;
    }
    for (ULONG i = 0; i != paths->NumEntries; ++i) {
        const MIB_IPPATH_ROW& row = paths->Table[i];
        DWORD bestIndex = 0;
        if (row.Destination.si_family == AF_INET6) {
            sockaddr_in6 destination = row.Destination.Ipv6;
            bestEx(reinterpret_cast<sockaddr*>(&destination), &bestIndex);
            std::printf("path %s mtu %lu interface %lu best %lu\n", Text6(destination.sin6_addr).c_str(),
                        row.PathMtu, row.InterfaceIndex, bestIndex);
            continue;
        }
        const IPAddr destination = row.Destination.Ipv4.sin_addr.s_addr;
        best(destination, &bestIndex);
        std::printf("path %s mtu %lu interface %lu best %lu\n", Dotted(destination).c_str(), row.PathMtu,
                    row.InterfaceIndex, bestIndex);
    }
    freeTable(paths);
    return 0;
}

int Forget(int argc, char** argv) {
    using FlushFunction = DWORD(WINAPI*)(ADDRESS_FAMILY);
    const auto flush = Find<FlushFunction>("FlushIpPathTable");
    auto options = Options(argc, argv, 2);
    const auto family = static_cast<ADDRESS_FAMILY>(
        options.count("family") != 0 ? std::atoi(options["family"].c_str()) : AF_INET);
    if (flush == nullptr) {
        std::puts("FlushIpPathTable: not exported");
    } else {
        std::printf("FlushIpPathTable: %lu\n", flush(family));
    }
    return 0;
}

int Interfaces(int argc, char** argv) {
    using BestFunction = DWORD(WINAPI*)(IPAddr, PDWORD);
    using AdaptersFunction = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    using IfEntryFunction = DWORD(WINAPI*)(PMIB_IFROW);
    using InterfaceTableFunction = DWORD(WINAPI*)(ADDRESS_FAMILY, PMIB_IPINTERFACE_TABLE*);
    using IndexToLuidFunction = DWORD(WINAPI*)(NET_IFINDEX, PNET_LUID);
    using FreeFunction = void(WINAPI*)(PVOID);
    const auto best = Find<BestFunction>("GetBestInterface");
    const auto adapters = Find<AdaptersFunction>("GetAdaptersInfo");
    const auto ifEntry = Find<IfEntryFunction>("GetIfEntry");
    const auto interfaceTable = Find<InterfaceTableFunction>("GetIpInterfaceTable");
    const auto indexToLuid = Find<IndexToLuidFunction>("ConvertInterfaceIndexToLuid");
    const auto freeTable = Find<FreeFunction>("FreeMibTable");
    IPAddr destination = 0;
    if (argc < 3 || !ParseAddress(argv[2], destination) || best == nullptr || adapters == nullptr ||
        ifEntry == nullptr || interfaceTable == nullptr || indexToLuid == nullptr || freeTable == nullptr) {
        std::puts("usage: interfaces ADDRESS, with the IP helper's interface functions");
        return 2;
    }
    DWORD index = 0;
    const DWORD bestStatus = best(destination, &index);
    std::printf("GetBestInterface %s: %lu index %lu\n", argv[2], bestStatus, index);
    using BestExFunction = DWORD(WINAPI*)(sockaddr*, PDWORD);
    const auto bestEx = Find<BestExFunction>("GetBestInterfaceEx");
    if (bestEx != nullptr) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = destination;
        index = 0;
        const DWORD exStatus = bestEx(reinterpret_cast<sockaddr*>(&to), &index);
        std::printf("GetBestInterfaceEx %s: %lu index %lu\n", argv[2], exStatus, index);
    }

    ULONG bytes = 0;
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt != 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes == 0 ? sizeof(IP_ADAPTER_INFO) : bytes, 0);
        bytes = static_cast<ULONG>(buffer.size());
        status = adapters(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &bytes);
    }
    std::printf("GetAdaptersInfo: %lu\n", status);
    std::map<DWORD, std::string> addresses;  // by adapter index
    for (auto* adapter = status == NO_ERROR ? reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data())
                                            : nullptr;
         adapter != nullptr; adapter = adapter->Next) {
        MIB_IFROW row{};
        row.dwIndex = adapter->Index;
        const DWORD entry = ifEntry(&row);
        std::printf("adapter %lu %s %s GetIfEntry %lu mtu %lu\n", adapter->Index, adapter->AdapterName,
                    adapter->IpAddressList.IpAddress.String, entry, row.dwMtu);
        addresses[adapter->Index] = adapter->IpAddressList.IpAddress.String;
    }
    auto options = Options(argc, argv, 3);
    const auto family = static_cast<ADDRESS_FAMILY>(
        options.count("family") != 0 ? std::atoi(options["family"].c_str()) : AF_INET);
    PMIB_IPINTERFACE_TABLE table = nullptr;
    status = interfaceTable(family, &table);
    if (status != NO_ERROR) {
        std::printf("GetIpInterfaceTable: %lu\n", status);
        return 0;
    }
    // Each row by its adapter's address ("-": no adapter), its LUID against
    // the one its index converts to.
    std::printf("GetIpInterfaceTable: 0 rows %lu\n", table->NumEntries);
    for (ULONG i = 0; i != table->NumEntries; ++i) {
        const MIB_IPINTERFACE_ROW& row = table->Table[i];
        NET_LUID luid{};
        const bool sameLuid = indexToLuid(row.InterfaceIndex, &luid) == NO_ERROR &&
                              luid.Value == row.InterfaceLuid.Value && luid.Value != 0;
        const auto address = addresses.find(row.InterfaceIndex);
        std::printf("interface %lu %s family %u luid %s connected %u NlMtu %lu\n", row.InterfaceIndex,
                    address == addresses.end() ? "-" : address->second.c_str(), row.Family,
                    sameLuid ? "same" : "differs", row.Connected, row.NlMtu);
    }
    freeTable(table);
    return 0;
}

int Mtu(int argc, char** argv) {
    using EntryFunction = DWORD(WINAPI*)(PMIB_IPINTERFACE_ROW);
    const auto get = Find<EntryFunction>("GetIpInterfaceEntry");
    const auto set = Find<EntryFunction>("SetIpInterfaceEntry");
    if (argc < 3 || get == nullptr || set == nullptr) {
        std::puts("GetIpInterfaceEntry: not exported");
        return 0;
    }
    auto options = Options(argc, argv, 3);
    MIB_IPINTERFACE_ROW row{};
    row.Family = AF_INET;
    row.InterfaceIndex = std::strtoul(argv[2], nullptr, 10);
    const DWORD got = get(&row);
    std::printf("GetIpInterfaceEntry: %lu NlMtu %lu\n", got, row.NlMtu);
    if (options.count("set") != 0) {
        MIB_IPINTERFACE_ROW back = row;
        row.NlMtu = std::strtoul(options["set"].c_str(), nullptr, 10);
        row.SitePrefixLength = static_cast<UINT8>(std::atoi(options["site"].c_str()));
        row.Family = static_cast<ADDRESS_FAMILY>(
            options.count("family") != 0 ? std::atoi(options["family"].c_str()) : AF_INET);
        std::printf("SetIpInterfaceEntry: %lu\n", set(&row));
        const DWORD read = get(&back);
        std::printf("read back: %lu NlMtu %lu\n", read, back.NlMtu);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ipHelper = LoadLibraryA("iphlpapi.dll");
    const std::string command = argc > 1 ? argv[1] : "";
    if (ipHelper == nullptr) {
        std::puts("iphlpapi.dll did not load");
        return 1;
    }
    if (command == "echo") {
        return Echo(argc, argv);
    }
    if (command == "echo6") {
        return Echo6(argc, argv);
    }
    if (command == "best6") {
        return Best6(argc, argv);
    }
    if (command == "paths") {
        return Paths(argc, argv);
    }
    if (command == "forget") {
        return Forget(argc, argv);
    }
    if (command == "interfaces") {
        return Interfaces(argc, argv);
    }
    if (command == "mtu") {
        return Mtu(argc, argv);
    }
    std::puts("usage: quillon_standin_check echo|echo6|best6|paths|forget|interfaces|mtu ...");
    return 2;
}
