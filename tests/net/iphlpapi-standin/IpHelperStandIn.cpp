// A stand-in for the IP helper (iphlpapi.dll) that the network tests put into
// a Wine prefix, so that the console program's IP-helper probe meets what it
// meets on Windows: an echo with don't-fragment that is too big for the path
// comes back as IP_PACKET_TOO_BIG, from a router or at once from this system,
// and the path MTU a router named is remembered and listed by
// GetIpPathTable. Wine's own echo functions drop don't-fragment and Wine has
// no path table. GetIpInterfaceTable (a stub in Wine), GetIpInterfaceEntry
// and SetIpInterfaceEntry (not in Wine) give the NlMtu of each IPv4
// interface and of each IPv6 one (an adapter with an IPv6 address): what
// SetIpInterfaceEntry last set, else the link's MTU; a don't-fragment
// echo larger than the route's NlMtu is refused at once (as a failed call,
// or as a reply from the zero address).
// Over IPv6 (Icmp6CreateFile and Icmp6SendEcho2, which fail in Wine, and
// Icmp6ParseReplies, which it lacks) the echo goes as Windows sends it there:
// whole until a router answers Packet Too Big (IP_PACKET_TOO_BIG, the MTU it
// named learnt and listed by GetIpPathTable), and from then on fragmented
// here, as it is when larger than the route's NlMtu; Wine has no ICMPv6
// sockets, so each echo is a UDP datagram of the same size to a closed port,
// whose "port unreachable" is the reply. GetBestInterfaceEx gives the IPv6
// route's interface, which Wine's does not. Every other function is
// forwarded to a copy of Wine's own DLL (see forwarders.cmake). Built for the
// tests only, never shipped.

#ifndef IPHLPAPI_DLL_LINKAGE
#define IPHLPAPI_DLL_LINKAGE  // defined here, not imported
#endif
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#ifndef QUILLON_WINE_IP_HELPER
#error "QUILLON_WINE_IP_HELPER must name the copy of Wine's own IP helper"
#endif

namespace {

constexpr std::size_t kIpHeaderBytes = 20;
constexpr std::size_t kIcmpHeaderBytes = 8;
constexpr DWORD kErrorRoom = 8;  // the reply buffer's room beyond the data
constexpr int kDefaultTtl = 128;
constexpr int kReceiveBytes = 65536;
constexpr std::uint8_t kIcmpProtocol = 1;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kSourceQuench = 4;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kParameterProblem = 12;
constexpr std::uint8_t kFragmentationNeeded = 4;
constexpr std::uint8_t kDontFragmentBit = 0x40;  // in byte 6 of the IPv4 header
constexpr ULONG kSmallestMtu = 68;
// A learnt path MTU is forgotten after ten minutes, as Windows and the Linux
// host under Wine both do (FILETIME counts 100 ns).
constexpr ULONGLONG kPathMtuLifetime = 10ULL * 60 * 1000 * 1000 * 10;
// The learnt path MTUs, and the NlMtu SetIpInterfaceEntry set by interface
// index: shared by every process of the prefix, 32- and 64-bit, and gone when
// its Wine server ends, as at a restart (volatile keys).
constexpr wchar_t kPathKey[] = L"Software\\Quillon stand-in path MTUs";
constexpr wchar_t kPathKey6[] = L"Software\\Quillon stand-in IPv6 path MTUs";
constexpr wchar_t kNlMtuKey[] = L"Software\\Quillon stand-in NlMtu";
constexpr ULONG kSmallestSetMtu = 576;     // Windows 10 refuses a smaller IPv4 NlMtu
constexpr ULONG kSmallestSetMtu6 = 1280;   // and a smaller IPv6 one, as an invalid parameter

// ---- handles ----

// Each open handle with its family: IcmpCreateFile's serve the IPv4 echo,
// Icmp6CreateFile's the IPv6 one, as on Windows, where they open different
// devices.
struct OpenHandle {
    HANDLE handle;
    ADDRESS_FAMILY family;
};

SRWLOCK handlesLock = SRWLOCK_INIT;
std::vector<OpenHandle> openHandles;

bool IsOpen(HANDLE handle, ADDRESS_FAMILY family) {
    AcquireSRWLockShared(&handlesLock);
    const bool open =
        std::any_of(openHandles.begin(), openHandles.end(), [handle, family](const OpenHandle& entry) {
            return entry.handle == handle && entry.family == family;
        });
    ReleaseSRWLockShared(&handlesLock);
    return open;
}

HANDLE CreateIcmpHandle(ADDRESS_FAMILY family) {
    const HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (handle == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    AcquireSRWLockExclusive(&handlesLock);
    openHandles.push_back(OpenHandle{handle, family});
    ReleaseSRWLockExclusive(&handlesLock);
    return handle;
}

// ---- Wine's own functions behind the forwarded names ----

template <typename Function>
Function WineFunction(const char* name) {
    static const HMODULE wine = LoadLibraryA(QUILLON_WINE_IP_HELPER);
    const FARPROC found = wine == nullptr ? nullptr : GetProcAddress(wine, name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

// ---- the learnt path MTUs ----

// One learnt path as stored: the same bytes for 32- and 64-bit processes.
struct LearntPath {
    std::uint32_t destination;  // network byte order, as IPAddr
    std::uint32_t pathMtu;
    std::uint32_t interfaceIndex;
    std::uint32_t nextHop;  // network byte order
    std::uint32_t learntLow;
    std::uint32_t learntHigh;
};

class PathKey {
public:
    explicit PathKey(const wchar_t* name = kPathKey) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    PathKey(const PathKey&) = delete;
    PathKey& operator=(const PathKey&) = delete;
    ~PathKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

ULONGLONG Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

void DottedName(std::uint32_t address, wchar_t (&name)[16]) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
    std::swprintf(name, 16, L"%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

// One learnt IPv6 path as stored, under its destination's name.
struct LearntPath6 {
    std::uint8_t destination[16];
    std::uint8_t source[16];  // the address the route's interface sends from
    std::uint32_t pathMtu;
    std::uint32_t interfaceIndex;
    std::uint32_t learntLow;
    std::uint32_t learntHigh;
};

// The paths under `keyName` learnt in the last ten minutes; older ones are
// deleted.
template <typename Path>
std::vector<Path> Learnt(const wchar_t* keyName) {
    std::vector<Path> paths;
    const PathKey key(keyName);
    if (key.get() == nullptr) {
        return paths;
    }
    std::vector<std::wstring> expired;
    for (DWORD i = 0;; ++i) {
        wchar_t name[64];
        DWORD nameLength = 64;
        Path path{};
        DWORD type = 0;
        DWORD bytes = sizeof path;
        const LSTATUS status = RegEnumValueW(key.get(), i, name, &nameLength, nullptr, &type,
                                             reinterpret_cast<BYTE*>(&path), &bytes);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_BINARY || bytes != sizeof path) {
            continue;
        }
        const ULONGLONG learnt = (static_cast<ULONGLONG>(path.learntHigh) << 32) | path.learntLow;
        if (Now() - learnt > kPathMtuLifetime) {
            expired.emplace_back(name);
        } else {
            paths.push_back(path);
        }
    }
    for (const std::wstring& name : expired) {
        RegDeleteValueW(key.get(), name.c_str());
    }
    return paths;
}

std::vector<LearntPath> LearntPaths() { return Learnt<LearntPath>(kPathKey); }

ULONG LearntMtu(IPAddr destination) {
    for (const LearntPath& path : LearntPaths()) {
        if (path.destination == destination) {
            return path.pathMtu;
        }
    }
    return 0;
}

void Learn(IPAddr destination, ULONG pathMtu) {
    LearntPath path{};
    path.destination = destination;
    path.pathMtu = pathMtu;
    using GetBestRouteFunction = DWORD(WINAPI*)(DWORD, DWORD, PMIB_IPFORWARDROW);
    const auto getBestRoute = WineFunction<GetBestRouteFunction>("GetBestRoute");
    MIB_IPFORWARDROW route{};
    if (getBestRoute != nullptr && getBestRoute(destination, 0, &route) == NO_ERROR) {
        path.interfaceIndex = route.dwForwardIfIndex;
        path.nextHop = route.dwForwardNextHop;
    }
    const ULONGLONG now = Now();
    path.learntLow = static_cast<std::uint32_t>(now);
    path.learntHigh = static_cast<std::uint32_t>(now >> 32);
    wchar_t name[16];
    DottedName(destination, name);
    const PathKey key;
    if (key.get() != nullptr) {
        RegSetValueExW(key.get(), name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&path), sizeof path);
    }
}

// An IPv6 address as eight groups of hex digits, uncompressed: one name for
// each address.
void Ipv6Name(const std::uint8_t (&address)[16], wchar_t (&name)[40]) {
    unsigned groups[8];
    for (int i = 0; i != 8; ++i) {
        groups[i] = static_cast<unsigned>(address[2 * i] << 8 | address[2 * i + 1]);
    }
    std::swprintf(name, 40, L"%x:%x:%x:%x:%x:%x:%x:%x", groups[0], groups[1], groups[2], groups[3], groups[4],
                  groups[5], groups[6], groups[7]);
}

ULONG LearntMtu6(const in6_addr& destination) {
    for (const LearntPath6& path : Learnt<LearntPath6>(kPathKey6)) {
        if (std::memcmp(path.destination, destination.s6_addr, sizeof path.destination) == 0) {
            return path.pathMtu;
        }
    }
    return 0;
}

void Learn6(const in6_addr& destination, ULONG pathMtu, const in6_addr& source, NET_IFINDEX interfaceIndex) {
    LearntPath6 path{};
    std::memcpy(path.destination, destination.s6_addr, sizeof path.destination);
    std::memcpy(path.source, source.s6_addr, sizeof path.source);
    path.pathMtu = pathMtu;
    path.interfaceIndex = interfaceIndex;
    const ULONGLONG now = Now();
    path.learntLow = static_cast<std::uint32_t>(now);
    path.learntHigh = static_cast<std::uint32_t>(now >> 32);
    wchar_t name[40];
    Ipv6Name(path.destination, name);
    const PathKey key(kPathKey6);
    if (key.get() != nullptr) {
        RegSetValueExW(key.get(), name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&path), sizeof path);
    }
}

// ---- the IPv4 interfaces ----

constexpr DWORD kLoopbackNlMtu = 0xFFFFFFFF;  // what Windows lists for its loopback
constexpr ULONG kFirstBufferBytes = 16384;

// Calls one of Wine's functions that fill a buffer, with a larger buffer as
// long as it asks for one.
template <typename Fill>
DWORD Filled(std::vector<unsigned char>& buffer, Fill fill) {
    ULONG bytes = kFirstBufferBytes;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0;
         attempt != 3 && (status == ERROR_INSUFFICIENT_BUFFER || status == ERROR_BUFFER_OVERFLOW);
         ++attempt) {
        buffer.assign(bytes, 0);
        status = fill(buffer.data(), &bytes);
    }
    return status;
}

// The NlMtu SetIpInterfaceEntry last set on an interface of `family` (0:
// none), kept under the interface's index (IPv6's after "6:"); with `set`,
// sets it (0: it could not be kept).
DWORD NlMtu(ADDRESS_FAMILY family, NET_IFINDEX index, DWORD set = 0) {
    const PathKey key(kNlMtuKey);
    wchar_t name[16];
    std::swprintf(name, 16, family == AF_INET6 ? L"6:%lu" : L"%lu", static_cast<unsigned long>(index));
    DWORD mtu = set, type = REG_DWORD, bytes = sizeof mtu;
    const LSTATUS status =
        key.get() == nullptr ? ERROR_INVALID_HANDLE
        : set != 0 ? RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mtu), bytes)
                   : RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&mtu), &bytes);
    return status == ERROR_SUCCESS && type == REG_DWORD ? mtu : 0;
}

// An interface's row, with Wine's LUID for the index and Windows' default
// timers.
MIB_IPINTERFACE_ROW InterfaceRow(ADDRESS_FAMILY family, NET_IFINDEX index, ULONG nlMtu) {
    MIB_IPINTERFACE_ROW row{};
    row.Family = family;
    row.InterfaceIndex = index;
    using IndexToLuidFunction = DWORD(WINAPI*)(NET_IFINDEX, PNET_LUID);
    const auto indexToLuid = WineFunction<IndexToLuidFunction>("ConvertInterfaceIndexToLuid");
    if (indexToLuid != nullptr) {
        indexToLuid(index, &row.InterfaceLuid);
    }
    row.UseAutomaticMetric = TRUE;
    row.BaseReachableTime = 30000;
    row.ReachableTime = 30000;
    row.RetransmitTime = 1000;
    row.PathMtuDiscoveryTimeout = 600000;  // ms, as kPathMtuLifetime
    row.ZoneIndices[ScopeLevelInterface] = index;
    row.ZoneIndices[ScopeLevelLink] = index;
    row.NlMtu = nlMtu;
    row.Connected = TRUE;
    return row;
}

// Wine's adapters with their IPv6 addresses, in `buffer`; `first` is the
// first of them, or null where there are none.
DWORD Ipv6Adapters(std::vector<unsigned char>& buffer, const IP_ADAPTER_ADDRESSES*& first) {
    first = nullptr;
    using AddressesFunction = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
    const auto addresses = WineFunction<AddressesFunction>("GetAdaptersAddresses");
    if (addresses == nullptr) {
        return ERROR_NOT_SUPPORTED;
    }
    const DWORD status = Filled(buffer, [addresses](unsigned char* data, PULONG bytes) {
        return addresses(AF_INET6, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
                         nullptr, reinterpret_cast<PIP_ADAPTER_ADDRESSES>(data), bytes);
    });
    if (status == ERROR_NO_DATA) {
        return NO_ERROR;
    }
    if (status == NO_ERROR) {
        first = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
    }
    return status;
}

// An adapter's IPv6 interface index (0: IPv6 is off there): Wine leaves
// Ipv6IfIndex 0 and numbers both families' interfaces alike.
NET_IFINDEX Ipv6Index(const IP_ADAPTER_ADDRESSES& adapter) {
    if (adapter.FirstUnicastAddress == nullptr) {
        return 0;
    }
    return adapter.Ipv6IfIndex != 0 ? adapter.Ipv6IfIndex : adapter.IfIndex;
}

// The IPv6 interfaces: the loopback and each adapter with an IPv6 address,
// as Wine lists them, with the NlMtu SetIpInterfaceEntry set, or else with
// the link's MTU.
DWORD Ipv6Rows(std::vector<MIB_IPINTERFACE_ROW>& rows) {
    std::vector<unsigned char> buffer;
    const IP_ADAPTER_ADDRESSES* first = nullptr;
    const DWORD status = Ipv6Adapters(buffer, first);
    if (status != NO_ERROR) {
        return status;
    }
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        const NET_IFINDEX index = Ipv6Index(*adapter);
        if (index == 0) {
            continue;
        }
        const ULONG set = NlMtu(AF_INET6, index);
        rows.push_back(InterfaceRow(AF_INET6, index,
                                    adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK ? kLoopbackNlMtu
                                    : set != 0                                   ? set
                                                                                 : adapter->Mtu));
    }
    return NO_ERROR;
}

// The loopback first, as Windows lists it, then each adapter: with the NlMtu
// SetIpInterfaceEntry set, or else with the link's MTU.
DWORD InterfaceRows(std::vector<MIB_IPINTERFACE_ROW>& rows) {
    using IfTableFunction = DWORD(WINAPI*)(PMIB_IFTABLE, PULONG, BOOL);
    using AdaptersFunction = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    using IfEntryFunction = DWORD(WINAPI*)(PMIB_IFROW);
    const auto ifTable = WineFunction<IfTableFunction>("GetIfTable");
    const auto adapters = WineFunction<AdaptersFunction>("GetAdaptersInfo");
    const auto ifEntry = WineFunction<IfEntryFunction>("GetIfEntry");
    if (ifTable == nullptr || adapters == nullptr || ifEntry == nullptr) {
        return ERROR_NOT_SUPPORTED;
    }
    std::vector<unsigned char> buffer;
    DWORD status = Filled(buffer, [ifTable](unsigned char* data, PULONG bytes) {
        return ifTable(reinterpret_cast<PMIB_IFTABLE>(data), bytes, TRUE);
    });
    if (status == ERROR_NO_DATA) {
        return NO_ERROR;  // no interfaces at all
    }
    if (status != NO_ERROR) {
        return status;
    }
    const auto* interfaces = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
    for (DWORD i = 0; i != interfaces->dwNumEntries; ++i) {
        if (interfaces->table[i].dwType == IF_TYPE_SOFTWARE_LOOPBACK) {
            rows.push_back(InterfaceRow(AF_INET, interfaces->table[i].dwIndex, kLoopbackNlMtu));
        }
    }
    status = Filled(buffer, [adapters](unsigned char* data, PULONG bytes) {
        return adapters(reinterpret_cast<PIP_ADAPTER_INFO>(data), bytes);
    });
    if (status == ERROR_NO_DATA) {
        return NO_ERROR;  // no adapters
    }
    if (status != NO_ERROR) {
        return status;
    }
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        MIB_IFROW link{};
        link.dwIndex = adapter->Index;
        if (ifEntry(&link) != NO_ERROR) {
            continue;  // gone since it was listed
        }
        const ULONG set = NlMtu(AF_INET, adapter->Index);
        rows.push_back(InterfaceRow(AF_INET, adapter->Index, set != 0 ? set : link.dwMtu));
    }
    return NO_ERROR;
}

// ---- the echo ----

std::uint16_t ReadBig16(const std::uint8_t* at) { return static_cast<std::uint16_t>((at[0] << 8) | at[1]); }

void WriteBig16(std::uint8_t* at, unsigned value) {
    at[0] = static_cast<std::uint8_t>(value >> 8);
    at[1] = static_cast<std::uint8_t>(value);
}

// The Internet checksum: the ones' complement of the ones' complement sum of
// the data's 16-bit words.
std::uint16_t Checksum(const std::vector<std::uint8_t>& data) {
    unsigned long sum = 0;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        sum += ReadBig16(&data[i]);
    }
    if (data.size() % 2 != 0) {
        sum += static_cast<unsigned long>(data.back()) << 8;
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xFFFFU) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

struct EchoId {
    IPAddr destination = 0;
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
};

// What an answer to the echo says, as the reply buffer gives it.
struct Answer {
    ULONG status = IP_SUCCESS;
    IPAddr from = 0;
    const std::uint8_t* data = nullptr;
    std::size_t dataBytes = 0;
    UCHAR ttl = 0;
    UCHAR tos = 0;
    UCHAR flags = 0;
    ULONG nextHopMtu = 0;  // IP_PACKET_TOO_BIG: what the router named
};

// The length of the IPv4 header of an ICMP packet with at least `beyond`
// bytes after its header; 0 for anything else.
std::size_t IcmpAt(const std::uint8_t* packet, std::size_t length, std::size_t beyond) {
    if (length < kIpHeaderBytes || (packet[0] >> 4) != 4 || packet[9] != kIcmpProtocol) {
        return 0;
    }
    const std::size_t header = static_cast<std::size_t>(packet[0] & 0x0FU) * 4;
    return header >= kIpHeaderBytes && length >= header + beyond ? header : 0;
}

bool IsOurs(const std::uint8_t* icmp, const EchoId& echo) {
    return ReadBig16(icmp + 4) == echo.identifier && ReadBig16(icmp + 6) == echo.sequence;
}

IPAddr AddressAt(const std::uint8_t* at) {
    IPAddr address = 0;
    std::memcpy(&address, at, sizeof address);
    return address;
}

ULONG ErrorStatus(std::uint8_t type, std::uint8_t code) {
    switch (type) {
        case kDestinationUnreachable:
            switch (code) {
                case 0:
                case 6:
                case 11:
                    return IP_DEST_NET_UNREACHABLE;
                case 2:
                    return IP_DEST_PROT_UNREACHABLE;
                case 3:
                    return IP_DEST_PORT_UNREACHABLE;
                case kFragmentationNeeded:
                    return IP_PACKET_TOO_BIG;
                case 5:
                    return IP_BAD_ROUTE;
                default:
                    return IP_DEST_HOST_UNREACHABLE;
            }
        case kTimeExceeded:
            return code == 0 ? IP_TTL_EXPIRED_TRANSIT : IP_TTL_EXPIRED_REASSEM;
        case kParameterProblem:
            return IP_PARAM_PROBLEM;
        default:
            return IP_SOURCE_QUENCH;
    }
}

// Whether a received packet (IP header included) answers the echo: its reply
// from the destination, or an ICMP error from anywhere that quotes it.
bool ReadAnswer(const std::uint8_t* packet, std::size_t length, const EchoId& echo, Answer& answer) {
    const std::size_t header = IcmpAt(packet, length, kIcmpHeaderBytes);
    if (header == 0) {
        return false;
    }
    const std::size_t total = ReadBig16(packet + 2);
    if (total >= header + kIcmpHeaderBytes && total < length) {
        length = total;  // padding after the packet
    }
    const std::uint8_t* icmp = packet + header;
    const std::size_t icmpBytes = length - header;
    answer.from = AddressAt(packet + 12);
    answer.ttl = packet[8];
    answer.tos = packet[1];
    answer.flags = (packet[6] & kDontFragmentBit) != 0 ? IP_FLAG_DF : 0;
    if (icmp[0] == kEchoReply) {
        if (answer.from != echo.destination || !IsOurs(icmp, echo)) {
            return false;
        }
        answer.status = IP_SUCCESS;
        answer.data = icmp + kIcmpHeaderBytes;
        answer.dataBytes = icmpBytes - kIcmpHeaderBytes;
        return true;
    }
    if (icmp[0] != kDestinationUnreachable && icmp[0] != kSourceQuench && icmp[0] != kTimeExceeded &&
        icmp[0] != kParameterProblem) {
        return false;
    }
    // An error quotes the IP header of the packet it is about and at least
    // eight bytes beyond it: here the echo request's ICMP header.
    const std::uint8_t* quoted = icmp + kIcmpHeaderBytes;
    const std::size_t quotedHeader = IcmpAt(quoted, icmpBytes - kIcmpHeaderBytes, kIcmpHeaderBytes);
    if (quotedHeader == 0 || AddressAt(quoted + 16) != echo.destination ||
        quoted[quotedHeader] != kEchoRequest || !IsOurs(quoted + quotedHeader, echo)) {
        return false;
    }
    answer.status = ErrorStatus(icmp[0], icmp[1]);
    if (answer.status == IP_PACKET_TOO_BIG) {
        answer.nextHopMtu = ReadBig16(icmp + 6);
    }
    return true;
}

DWORD Fail(ICMP_ECHO_REPLY* reply, DWORD error) {
    if (reply != nullptr) {
        reply->Status = error;
    }
    SetLastError(error);
    return 0;
}

class Winsock {
public:
    Winsock() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    // Keeps the last error: the echo's outcome, set before this ends.
    ~Winsock() {
        const DWORD error = GetLastError();
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
        if (started_) {
            WSACleanup();
        }
        SetLastError(error);
    }
    // A raw ICMP socket, or INVALID_SOCKET.
    SOCKET Open() {
        if (started_) {
            socket_ = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
        }
        return socket_;
    }

private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
};

bool SetOption(SOCKET s, int option, int value) {
    return setsockopt(s, IPPROTO_IP, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

volatile LONG lastSequence = 0;

DWORD SendEcho(HANDLE handle, IPAddr destination, const void* requestData, WORD requestSize,
               const IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeout) {
    if (!IsOpen(handle, AF_INET) || (requestData == nullptr && requestSize != 0) || replyBuffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (replySize < sizeof(ICMP_ECHO_REPLY) + requestSize + kErrorRoom) {
        SetLastError(IP_BUF_TOO_SMALL);
        return 0;
    }
    auto* reply = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
    std::memset(reply, 0, sizeof *reply);
    auto* replyData = static_cast<std::uint8_t*>(replyBuffer) + sizeof(ICMP_ECHO_REPLY);
    reply->Data = replyData;
    if (options != nullptr && options->OptionsSize != 0) {
        return Fail(reply, ERROR_NOT_SUPPORTED);  // IP options are not sent
    }
    if (destination == INADDR_ANY || destination == INADDR_BROADCAST) {
        return Fail(reply, IP_BAD_DESTINATION);
    }
    const bool dontFragment = options != nullptr && (options->Flags & IP_FLAG_DF) != 0;
    const ULONG packetSize = static_cast<ULONG>(kIpHeaderBytes + kIcmpHeaderBytes) + requestSize;
    const ULONG learnt = dontFragment ? LearntMtu(destination) : 0;
    using BestFunction = DWORD(WINAPI*)(IPAddr, PDWORD);
    const auto best = WineFunction<BestFunction>("GetBestInterface");
    DWORD route = 0;
    const ULONG nlMtu =
        dontFragment && best != nullptr && best(destination, &route) == NO_ERROR ? NlMtu(AF_INET, route) : 0;
    if ((learnt != 0 && packetSize > learnt) || (nlMtu != 0 && packetSize > nlMtu)) {
        // Windows is not documented to refuse in one form rather than the
        // other: with QUILLON_STANDIN_TOO_BIG_REPLY set, as a reply from the
        // zero address.
        if (GetEnvironmentVariableA("QUILLON_STANDIN_TOO_BIG_REPLY", nullptr, 0) != 0) {
            reply->Status = IP_PACKET_TOO_BIG;
            return 1;
        }
        return Fail(reply, IP_PACKET_TOO_BIG);
    }

    Winsock winsock;
    const SOCKET s = winsock.Open();
    const int ttl = options != nullptr && options->Ttl != 0 ? options->Ttl : kDefaultTtl;
    // Don't-fragment is set either way: left alone, Wine keeps the host's
    // default, which sets the flag until a router asks for less.
    const bool tos = options != nullptr && options->Tos != 0;
    if (s == INVALID_SOCKET || !SetOption(s, IP_TTL, ttl) ||
        !SetOption(s, IP_DONTFRAGMENT, dontFragment ? 1 : 0) ||
        (tos && !SetOption(s, IP_TOS, options->Tos))) {
        // Says why, where Winsock does: no rights, no raw sockets.
        const int error = WSAGetLastError();
        return Fail(reply, error != 0 ? static_cast<DWORD>(error) : IP_GENERAL_FAILURE);
    }

    EchoId echo;
    echo.destination = destination;
    echo.identifier = static_cast<std::uint16_t>(GetCurrentProcessId());
    echo.sequence = static_cast<std::uint16_t>(InterlockedIncrement(&lastSequence));
    std::vector<std::uint8_t> request(kIcmpHeaderBytes + requestSize);
    request[0] = kEchoRequest;
    WriteBig16(&request[4], echo.identifier);
    WriteBig16(&request[6], echo.sequence);
    if (requestSize != 0) {
        std::memcpy(&request[kIcmpHeaderBytes], requestData, requestSize);
    }
    WriteBig16(&request[2], Checksum(request));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;

    const DWORD start = GetTickCount();
    if (sendto(s, reinterpret_cast<const char*>(request.data()), static_cast<int>(request.size()), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to) == SOCKET_ERROR) {
        // Too big for the interface, or for a path MTU the host already
        // knows; Windows says "general failure" where it has no route.
        return Fail(reply, WSAGetLastError() == WSAEMSGSIZE ? IP_PACKET_TOO_BIG : IP_GENERAL_FAILURE);
    }
    std::vector<std::uint8_t> received(kReceiveBytes);
    while (true) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout) {
            return Fail(reply, IP_REQ_TIMED_OUT);
        }
        const DWORD left = timeout - elapsed;
        fd_set readable{};
        readable.fd_count = 1;
        readable.fd_array[0] = s;
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) {
            return Fail(reply, IP_GENERAL_FAILURE);
        }
        if (ready == 0) {
            continue;
        }
        // A failed receive is the socket passing on an ICMP error it has
        // already delivered as a packet: wait on.
        const int length =
            recvfrom(s, reinterpret_cast<char*>(received.data()), kReceiveBytes, 0, nullptr, nullptr);
        Answer answer;
        if (length <= 0 || !ReadAnswer(received.data(), static_cast<std::size_t>(length), echo, answer)) {
            continue;
        }
        reply->Address = answer.from;
        reply->Status = answer.status;
        reply->RoundTripTime = GetTickCount() - start;
        reply->Options.Ttl = answer.ttl;
        reply->Options.Tos = answer.tos;
        reply->Options.Flags = answer.flags;
        const std::size_t room = replySize - sizeof(ICMP_ECHO_REPLY);
        const std::size_t copied = std::min(answer.dataBytes, room);
        if (copied != 0) {
            std::memcpy(replyData, answer.data, copied);
        }
        reply->DataSize = static_cast<USHORT>(copied);
        if (answer.status == IP_PACKET_TOO_BIG && dontFragment && answer.nextHopMtu >= kSmallestMtu) {
            Learn(destination, answer.nextHopMtu);
        }
        return 1;
    }
}

// ---- the IPv6 echo ----

// Wine has no ICMPv6 sockets, so each echo goes as a UDP datagram of the
// same size (UDP's header is 8 bytes, as an echo's) to a port that nothing
// listens on at the test hosts: the destination's "port unreachable" is the
// echo's reply. A new connected socket carries each echo, since Wine reports
// what came back only as the socket's error (SO_ERROR, which stays set).
constexpr std::size_t kIp6HeaderBytes = 40;
constexpr std::size_t kUdpHeaderBytes = 8;
constexpr u_short kClosedPort = 33434;
constexpr ULONG kSmallestMtu6 = 1280;                       // every IPv6 link carries this much whole
constexpr ULONG kLargestPacket6 = 65535 + kIp6HeaderBytes;  // without a jumbo payload

// ICMPV6_ECHO_REPLY as Windows lays it out: its IPV6_ADDRESS_EX is packed
// (26 bytes), which MinGW's ipexport.h leaves out, so Status is at 28.
#pragma pack(push, 1)
struct AddressEx6 {
    USHORT port;
    ULONG flowInfo;
    USHORT address[8];
    ULONG scopeId;
};
#pragma pack(pop)
struct EchoReply6 {
    AddressEx6 address;
    ULONG status;
    unsigned int roundTripTime;
};
static_assert(sizeof(AddressEx6) == 26 && offsetof(EchoReply6, status) == 28 && sizeof(EchoReply6) == 36);

// A UDP socket over IPv6 (Winsock started), closed when it goes; closing keeps
// the last error.
class Udp6 {
public:
    Udp6() : socket_(socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP)) {}
    Udp6(const Udp6&) = delete;
    Udp6& operator=(const Udp6&) = delete;
    ~Udp6() {
        if (socket_ != INVALID_SOCKET) {
            const DWORD error = GetLastError();
            closesocket(socket_);
            SetLastError(error);
        }
    }
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_;
};

bool SetOption6(SOCKET s, int option, int value) {
    return setsockopt(s, IPPROTO_IPV6, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

bool Connect6(SOCKET s, const sockaddr_in6& destination) {
    sockaddr_in6 to = destination;
    to.sin6_port = htons(kClosedPort);
    return connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

// The error an answer left on the socket (0: none yet).
int SocketError(SOCKET s) {
    int error = 0;
    int bytes = sizeof error;
    return getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &bytes) == 0
               ? error
               : WSAGetLastError();
}

// The route to an IPv6 destination as the host takes it: the address it
// sends from, and the index (as Ipv6Rows numbers them) of the interface that
// has that address. Connecting a UDP socket sends nothing.
struct Route6 {
    DWORD status = NO_ERROR;
    in6_addr source{};
    NET_IFINDEX index = 0;
};

Route6 RouteTo(const sockaddr_in6& destination) {
    Route6 route;
    const Winsock winsock;
    const Udp6 s;
    sockaddr_in6 source{};
    int bytes = sizeof source;
    if (s.get() == INVALID_SOCKET) {
        route.status = ERROR_NOT_SUPPORTED;  // no IPv6 here
        return route;
    }
    if (!Connect6(s.get(), destination) ||
        getsockname(s.get(), reinterpret_cast<sockaddr*>(&source), &bytes) != 0) {
        route.status = ERROR_HOST_UNREACHABLE;  // no route: what Wine's GetBestInterfaceEx says for IPv4
        return route;
    }
    route.source = source.sin6_addr;
    std::vector<unsigned char> buffer;
    const IP_ADAPTER_ADDRESSES* first = nullptr;
    route.status = Ipv6Adapters(buffer, first);
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const SOCKET_ADDRESS& address = unicast->Address;
            if (address.lpSockaddr != nullptr && address.lpSockaddr->sa_family == AF_INET6 &&
                address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in6)) &&
                std::memcmp(&reinterpret_cast<const sockaddr_in6*>(address.lpSockaddr)->sin6_addr,
                            &route.source, sizeof route.source) == 0 &&
                Ipv6Index(*adapter) != 0) {
                route.index = Ipv6Index(*adapter);
                return route;
            }
        }
    }
    if (route.status == NO_ERROR) {
        route.status = ERROR_NOT_FOUND;
    }
    return route;
}

// The NlMtu of an IPv6 interface (see Ipv6Rows); 0: not known.
ULONG NlMtu6(NET_IFINDEX index) {
    std::vector<MIB_IPINTERFACE_ROW> rows;
    Ipv6Rows(rows);
    for (const MIB_IPINTERFACE_ROW& row : rows) {
        if (row.InterfaceIndex == index) {
            return row.NlMtu;
        }
    }
    return 0;
}

// The path MTU the host learnt for `destination` from a router's Packet Too
// Big, found below `packetSize`. Wine passes on neither the MTU the router
// named nor IPV6_MTU, but with IPV6_DONTFRAG the host refuses at once
// (WSAEMSGSIZE) a datagram larger than the path MTU it knows: the largest it
// still sends is that MTU. The datagrams it does send carry a hop limit of 1
// and end at the first router. 0: nothing learnt.
ULONG HostPathMtu(const sockaddr_in6& destination, ULONG packetSize) {
    const Udp6 s;
    if (packetSize <= kSmallestMtu6 || s.get() == INVALID_SOCKET || !SetOption6(s.get(), IPV6_DONTFRAG, 1) ||
        !SetOption6(s.get(), IPV6_UNICAST_HOPS, 1) || !Connect6(s.get(), destination)) {
        return 0;
    }
    const std::vector<char> data(packetSize - kIp6HeaderBytes - kUdpHeaderBytes);
    ULONG low = kSmallestMtu6;  // passes on every path
    ULONG high = packetSize - 1;
    while (low < high) {
        const ULONG middle = low + (high - low + 1) / 2;
        if (send(s.get(), data.data(), static_cast<int>(middle - kIp6HeaderBytes - kUdpHeaderBytes), 0) !=
            SOCKET_ERROR) {
            low = middle;
        } else if (WSAGetLastError() == WSAEMSGSIZE) {
            high = middle - 1;
        } else {
            return 0;
        }
    }
    return low;
}

// What the error an answer left on the socket says, as the echo's status.
// Linux passes on to a socket only the ICMPv6 errors it counts as fatal (and
// Wine has no IPV6_RECVERR for the others): "port unreachable", "prohibited"
// (administratively, by policy, a reject route), Packet Too Big. A router's
// "no route", "address unreachable" and Time Exceeded never come, and such
// an echo times out; a router's "port unreachable" reads as the
// destination's reply.
ULONG Status6(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return IP_SUCCESS;  // the destination's "port unreachable": its reply
        case WSAEMSGSIZE:
            return IP_PACKET_TOO_BIG;
        case WSAENETUNREACH:
            return IP_DEST_NO_ROUTE;
        case WSAEHOSTUNREACH:
            return IP_DEST_ADDR_UNREACHABLE;
        case WSAEACCES:
            return IP_DEST_PROHIBITED;
        default:
            return IP_GENERAL_FAILURE;
    }
}

DWORD Fail6(EchoReply6* reply, DWORD error) {
    reply->status = error;
    SetLastError(error);
    return 0;
}

bool IsZeroAddress(const in6_addr& address) {
    return std::all_of(std::begin(address.s6_addr), std::end(address.s6_addr),
                       [](unsigned char byte) { return byte == 0; });
}

// The echo as Windows sends it over IPv6, which has no don't-fragment: an
// echo larger than the path MTU learnt for the destination, or than the
// route's NlMtu, is fragmented here and sent anyway (IP_FLAG_DF is ignored).
// Every other echo goes whole (IPV6_DONTFRAG), so that a router on the way
// that cannot carry it answers Packet Too Big: IP_PACKET_TOO_BIG, the MTU it
// named learnt. Wine does not give the router's address; the reply names the
// destination. Without IPV6_MTU the host fragments only to the path MTU it
// knows, so an echo above a smaller NlMtu goes whole where the path carries
// it; the answer is the same.
DWORD SendEcho6(HANDLE handle, const sockaddr_in6* source, const sockaddr_in6* destination,
                const void* requestData, WORD requestSize, const IP_OPTION_INFORMATION* options,
                void* replyBuffer, DWORD replySize, DWORD timeout) {
    if (!IsOpen(handle, AF_INET6) || source == nullptr || destination == nullptr ||
        source->sin6_family != AF_INET6 || destination->sin6_family != AF_INET6 ||
        (requestData == nullptr && requestSize != 0) || replyBuffer == nullptr ||
        replySize < sizeof(EchoReply6)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The reply, the data, an ICMP error's 8 bytes and an IO_STATUS_BLOCK.
    if (replySize < sizeof(EchoReply6) + requestSize + kErrorRoom + sizeof(IO_STATUS_BLOCK)) {
        SetLastError(IP_BUF_TOO_SMALL);
        return 0;
    }
    auto* reply = static_cast<EchoReply6*>(replyBuffer);
    std::memset(reply, 0, sizeof *reply);
    auto* replyData = static_cast<std::uint8_t*>(replyBuffer) + sizeof(EchoReply6);
    if (options != nullptr && options->OptionsSize != 0) {
        return Fail6(reply, ERROR_NOT_SUPPORTED);  // no extension headers are sent
    }
    const in6_addr& to = destination->sin6_addr;
    if (IsZeroAddress(to) || to.s6_addr[0] == 0xFF) {
        return Fail6(reply, IP_BAD_DESTINATION);  // none, or multicast
    }
    const ULONG packetSize = static_cast<ULONG>(kIp6HeaderBytes + kUdpHeaderBytes) + requestSize;
    if (packetSize > kLargestPacket6) {
        return Fail6(reply, IP_PACKET_TOO_BIG);
    }
    const Winsock winsock;
    // An interface Wine does not list leaves only its NlMtu unknown.
    const Route6 route = RouteTo(*destination);
    if (route.status != NO_ERROR && route.status != ERROR_NOT_FOUND) {
        return Fail6(reply, IP_GENERAL_FAILURE);  // no route, as on the IPv4 side
    }
    const ULONG learnt = LearntMtu6(to);
    const ULONG nlMtu = route.index != 0 ? NlMtu6(route.index) : 0;
    const bool fragmented = (learnt != 0 && packetSize > learnt) || (nlMtu != 0 && packetSize > nlMtu);
    const int hopLimit = options != nullptr && options->Ttl != 0 ? options->Ttl : kDefaultTtl;

    const DWORD start = GetTickCount();
    // A second send only where the host had forgotten a path MTU that this
    // still holds: the router's Packet Too Big has taught it again, and the
    // echo goes in fragments, as Windows would have sent it at first.
    for (int sends = 1;; ++sends) {
        const Udp6 s;
        sockaddr_in6 from = *source;
        from.sin6_port = 0;
        if (s.get() == INVALID_SOCKET ||
            (!IsZeroAddress(from.sin6_addr) &&
             bind(s.get(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) ||
            !SetOption6(s.get(), IPV6_DONTFRAG, fragmented ? 0 : 1) ||
            !SetOption6(s.get(), IPV6_UNICAST_HOPS, hopLimit) || !Connect6(s.get(), *destination)) {
            const int error = WSAGetLastError();
            return Fail6(reply, error != 0 ? static_cast<DWORD>(error) : IP_GENERAL_FAILURE);
        }
        int error = 0;
        if (send(s.get(), static_cast<const char*>(requestData), requestSize, 0) == SOCKET_ERROR) {
            if (WSAGetLastError() != WSAEMSGSIZE) {
                return Fail6(reply, IP_GENERAL_FAILURE);
            }
            if (fragmented) {
                return Fail6(reply, IP_PACKET_TOO_BIG);  // larger than any datagram here
            }
            // The host knows a smaller path MTU that this had forgotten
            // (FlushIpPathTable): Windows would send the echo and hear the
            // router's Packet Too Big.
            error = WSAEMSGSIZE;
        }
        while (error == 0) {
            error = SocketError(s.get());
            if (error == 0 && GetTickCount() - start >= timeout) {
                return Fail6(reply, IP_REQ_TIMED_OUT);
            }
            if (error == 0) {
                Sleep(1);
            }
        }
        if (error == WSAEMSGSIZE && fragmented && sends == 1) {
            continue;
        }
        reply->address.scopeId = destination->sin6_scope_id;
        std::memcpy(reply->address.address, to.s6_addr, sizeof reply->address.address);
        reply->status = Status6(error);
        reply->roundTripTime = GetTickCount() - start;
        if (reply->status == IP_SUCCESS && requestSize != 0) {
            std::memcpy(replyData, requestData, requestSize);
        }
        if (reply->status == IP_PACKET_TOO_BIG && !fragmented) {
            const ULONG pathMtu = HostPathMtu(*destination, packetSize);
            if (pathMtu != 0) {
                Learn6(to, pathMtu, route.source, route.index);
            }
        }
        return 1;
    }
}

}  // namespace

extern "C" {

HANDLE WINAPI IcmpCreateFile() { return CreateIcmpHandle(AF_INET); }

HANDLE WINAPI Icmp6CreateFile() { return CreateIcmpHandle(AF_INET6); }

// Closes a handle of either family.
BOOL WINAPI IcmpCloseHandle(HANDLE handle) {
    AcquireSRWLockExclusive(&handlesLock);
    const auto found = std::find_if(openHandles.begin(), openHandles.end(),
                                    [handle](const OpenHandle& entry) { return entry.handle == handle; });
    const bool open = found != openHandles.end();
    if (open) {
        openHandles.erase(found);
    }
    ReleaseSRWLockExclusive(&handlesLock);
    if (!open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(handle);
}

DWORD WINAPI IcmpSendEcho(HANDLE handle, IPAddr destination, LPVOID requestData, WORD requestSize,
                          PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize,
                          DWORD timeout) {
    return SendEcho(handle, destination, requestData, requestSize, options, replyBuffer, replySize, timeout);
}

// Only the waiting form: with an event or an APC routine it fails.
DWORD WINAPI IcmpSendEcho2(HANDLE handle, HANDLE event, FARPROC apcRoutine, PVOID apcContext,
                           IPAddr destination, LPVOID requestData, WORD requestSize,
                           PIP_OPTION_INFORMATION options, LPVOID replyBuffer, DWORD replySize,
                           DWORD timeout) {
    static_cast<void>(apcContext);
    if (event != nullptr || apcRoutine != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    return SendEcho(handle, destination, requestData, requestSize, options, replyBuffer, replySize, timeout);
}

// Only the waiting form, as for IPv4.
DWORD WINAPI Icmp6SendEcho2(HANDLE handle, HANDLE event, FARPROC apcRoutine, PVOID apcContext,
                            struct sockaddr_in6* source, struct sockaddr_in6* destination, LPVOID requestData,
                            WORD requestSize, PIP_OPTION_INFORMATION options, LPVOID replyBuffer,
                            DWORD replySize, DWORD timeout) {
    static_cast<void>(apcContext);
    if (event != nullptr || apcRoutine != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return 0;
    }
    return SendEcho6(handle, source, destination, requestData, requestSize, options, replyBuffer, replySize,
                     timeout);
}

// Wine has none (a call ends the process). The echo leaves one reply: 1 for
// a reply from the destination or a hop limit that ran out, else 0 with its
// status as the last error.
DWORD WINAPI Icmp6ParseReplies(LPVOID replyBuffer, DWORD replySize) {
    if (replyBuffer == nullptr || replySize < sizeof(EchoReply6)) {
        SetLastError(ERROR_GEN_FAILURE);
        return 0;
    }
    const ULONG status = static_cast<const EchoReply6*>(replyBuffer)->status;
    if (status != IP_SUCCESS && status != IP_TTL_EXPIRED_TRANSIT) {
        SetLastError(status);
        return 0;
    }
    return 1;
}

// IPv6: the index of the interface the route leaves through (see RouteTo);
// IPv4 as Wine answers.
DWORD WINAPI GetBestInterfaceEx(struct sockaddr* destination, PDWORD index) {
    if (destination == nullptr || index == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (destination->sa_family == AF_INET) {
        using BestFunction = DWORD(WINAPI*)(struct sockaddr*, PDWORD);
        const auto best = WineFunction<BestFunction>("GetBestInterfaceEx");
        return best != nullptr ? best(destination, index) : ERROR_NOT_SUPPORTED;
    }
    if (destination->sa_family != AF_INET6) {
        return ERROR_INVALID_PARAMETER;
    }
    sockaddr_in6 to{};
    std::memcpy(&to, destination, sizeof to);
    const Route6 route = RouteTo(to);
    if (route.status == NO_ERROR) {
        *index = route.index;
    }
    return route.status;
}

// One row for each destination whose path MTU a router named in the last ten
// minutes, IPv4's first; freed with FreeMibTable (Wine's frees from the
// process heap).
DWORD WINAPI GetIpPathTable(ADDRESS_FAMILY family, PMIB_IPPATH_TABLE* table) {
    if (table == nullptr || (family != AF_INET && family != AF_INET6 && family != AF_UNSPEC)) {
        return ERROR_INVALID_PARAMETER;
    }
    *table = nullptr;
    const std::vector<LearntPath> paths = family == AF_INET6 ? std::vector<LearntPath>() : LearntPaths();
    const std::vector<LearntPath6> paths6 =
        family == AF_INET ? std::vector<LearntPath6>() : Learnt<LearntPath6>(kPathKey6);
    const std::size_t count = paths.size() + paths6.size();
    if (count == 0) {
        return ERROR_NOT_FOUND;
    }
    const std::size_t bytes = offsetof(MIB_IPPATH_TABLE, Table) + count * sizeof(MIB_IPPATH_ROW);
    auto* result = static_cast<PMIB_IPPATH_TABLE>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (result == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    using IndexToLuidFunction = DWORD(WINAPI*)(NET_IFINDEX, PNET_LUID);
    const auto indexToLuid = WineFunction<IndexToLuidFunction>("ConvertInterfaceIndexToLuid");
    result->NumEntries = static_cast<ULONG>(count);
    for (std::size_t i = 0; i != paths.size(); ++i) {
        MIB_IPPATH_ROW& row = result->Table[i];
        row.Source.si_family = AF_INET;
        row.Destination.si_family = AF_INET;
        row.Destination.Ipv4.sin_addr.s_addr = paths[i].destination;
        row.CurrentNextHop.si_family = AF_INET;
        row.CurrentNextHop.Ipv4.sin_addr.s_addr = paths[i].nextHop;
        row.InterfaceIndex = paths[i].interfaceIndex;
        if (indexToLuid != nullptr && row.InterfaceIndex != 0) {
            indexToLuid(row.InterfaceIndex, &row.InterfaceLuid);
        }
        row.PathMtu = paths[i].pathMtu;
        row.IsReachable = TRUE;
    }
    // The next hop is not known: left as zeros.
    for (std::size_t i = 0; i != paths6.size(); ++i) {
        MIB_IPPATH_ROW& row = result->Table[paths.size() + i];
        row.Source.si_family = AF_INET6;
        std::memcpy(row.Source.Ipv6.sin6_addr.s6_addr, paths6[i].source, sizeof paths6[i].source);
        row.Destination.si_family = AF_INET6;
        std::memcpy(row.Destination.Ipv6.sin6_addr.s6_addr, paths6[i].destination,
                    sizeof paths6[i].destination);
        row.CurrentNextHop.si_family = AF_INET6;
        row.InterfaceIndex = paths6[i].interfaceIndex;
        if (indexToLuid != nullptr && row.InterfaceIndex != 0) {
            indexToLuid(row.InterfaceIndex, &row.InterfaceLuid);
        }
        row.PathMtu = paths6[i].pathMtu;
        row.IsReachable = TRUE;
    }
    *table = result;
    return NO_ERROR;
}

// The IPv4 interfaces (see InterfaceRows) and the IPv6 ones (Ipv6Rows), by
// family; freed with FreeMibTable.
DWORD WINAPI GetIpInterfaceTable(ADDRESS_FAMILY family, PMIB_IPINTERFACE_TABLE* table) {
    if (table == nullptr || (family != AF_INET && family != AF_INET6 && family != AF_UNSPEC)) {
        return ERROR_INVALID_PARAMETER;
    }
    *table = nullptr;
    std::vector<MIB_IPINTERFACE_ROW> rows;
    const DWORD status = family == AF_INET6 ? NO_ERROR : InterfaceRows(rows);
    const DWORD status6 = family == AF_INET ? NO_ERROR : Ipv6Rows(rows);
    if (status != NO_ERROR || status6 != NO_ERROR) {
        return status != NO_ERROR ? status : status6;
    }
    if (rows.empty()) {
        return ERROR_NOT_FOUND;
    }
    const std::size_t bytes =
        offsetof(MIB_IPINTERFACE_TABLE, Table) + rows.size() * sizeof(MIB_IPINTERFACE_ROW);
    auto* result = static_cast<PMIB_IPINTERFACE_TABLE>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
    if (result == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    result->NumEntries = static_cast<ULONG>(rows.size());
    std::copy(rows.begin(), rows.end(), result->Table);
    *table = result;
    return NO_ERROR;
}

// The row of Family of the interface that InterfaceLuid (or, where it is 0,
// InterfaceIndex) names.
DWORD WINAPI GetIpInterfaceEntry(PMIB_IPINTERFACE_ROW row) {
    if (row == nullptr || (row->Family != AF_INET && row->Family != AF_INET6)) {
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<MIB_IPINTERFACE_ROW> rows;
    const DWORD status = row->Family == AF_INET ? InterfaceRows(rows) : Ipv6Rows(rows);
    for (const MIB_IPINTERFACE_ROW& found : rows) {
        if (row->InterfaceLuid.Value != 0 ? found.InterfaceLuid.Value == row->InterfaceLuid.Value
                                          : found.InterfaceIndex == row->InterfaceIndex) {
            *row = found;
            return NO_ERROR;
        }
    }
    return status != NO_ERROR ? status : ERROR_NOT_FOUND;
}

// Only NlMtu counts, from 576 on for IPv4 and 1280 for IPv6; an IPv4 row
// needs SitePrefixLength 0.
DWORD WINAPI SetIpInterfaceEntry(PMIB_IPINTERFACE_ROW row) {
    MIB_IPINTERFACE_ROW found = row != nullptr ? *row : MIB_IPINTERFACE_ROW{};
    const DWORD status = row == nullptr || (row->Family == AF_INET && row->SitePrefixLength != 0)
                             ? ERROR_INVALID_PARAMETER
                             : GetIpInterfaceEntry(&found);
    if (status != NO_ERROR || row->NlMtu < (row->Family == AF_INET6 ? kSmallestSetMtu6 : kSmallestSetMtu)) {
        return status != NO_ERROR ? status : ERROR_INVALID_PARAMETER;
    }
    if (NlMtu(row->Family, found.InterfaceIndex, row->NlMtu) == 0) {
        return ERROR_GEN_FAILURE;
    }
    row->InterfaceLuid = found.InterfaceLuid;
    return NO_ERROR;
}

// Forgets every path MTU learnt for the family (AF_UNSPEC: both).
DWORD WINAPI FlushIpPathTable(ADDRESS_FAMILY family) {
    if (family != AF_INET && family != AF_INET6 && family != AF_UNSPEC) {
        return ERROR_INVALID_PARAMETER;
    }
    for (const ADDRESS_FAMILY flushed : {AF_INET, AF_INET6}) {
        if (family != AF_UNSPEC && family != flushed) {
            continue;
        }
        const LSTATUS status =
            RegDeleteKeyExW(HKEY_CURRENT_USER, flushed == AF_INET ? kPathKey : kPathKey6, KEY_WOW64_64KEY, 0);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            return static_cast<DWORD>(status);
        }
    }
    return NO_ERROR;
}

}  // extern "C"
