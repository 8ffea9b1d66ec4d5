#include "net/win32/Win32Network.h"

#include "text/Decimal.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/Icmp.h"
#include "net/win32/SystemLibrary.h"

namespace quillon::net {

std::atomic<bool> Win32Network::interrupted_{false};

namespace {

// The IP_DONTFRAGMENT option of each version of Windows Sockets.
constexpr int kDontFragmentWinsock2 = 14;
constexpr int kDontFragmentWinsock1 = 9;
constexpr int kSmallestEcho = 28;       // IP and ICMP headers
constexpr unsigned kWaitSliceMs = 100;  // how often a wait looks for Ctrl+C
constexpr int kReceiveBytes = 4096;
// The IP helper's probes go with Windows' own time to live; the reply buffer
// holds the reply, its data, the eight bytes more that an ICMP error needs,
// and 40 to spare for the IP options a reply may carry.
constexpr UCHAR kTimeToLive = 128;
constexpr DWORD kReplySlack = 8 + 40;
constexpr ULONG kLargestMtu = 65535;  // an IPv4 packet's largest size
constexpr std::uint32_t kLargestEchoData = 65500;
// GetVersion's flag of 95, 98 and Me, and the major version of Windows 2000,
// from which on a raw socket needs administrator rights.
constexpr DWORD kWindows9x = 0x80000000U;
constexpr BYTE kWindows2000 = 5;

template <typename Function>
void Find(HMODULE module, const char* name, Function& function) {
    const FARPROC found = GetProcAddress(module, name);
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Service names are GUIDs, whose letters may come in either case.
bool SameText(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (std::size_t i = 0; i != length; ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

Win32Network::Win32Network() = default;

Win32Network::~Win32Network() {
    if (socket_ != INVALID_SOCKET) {
        winsock_.close(socket_);
    }
    if (started_) {
        winsock_.cleanup();
    }
    if (winsockModule_ != nullptr) {
        FreeLibrary(winsockModule_);
    }
    if (icmp_ != INVALID_HANDLE_VALUE) {
        ipHelper_.icmpCloseHandle(icmp_);
    }
    if (ipHelperModule_ != nullptr) {
        FreeLibrary(ipHelperModule_);
    }
    if (icmpModule_ != nullptr) {
        FreeLibrary(icmpModule_);
    }
    if (controlHandler_) {
        SetConsoleCtrlHandler(&OnControl, FALSE);
    }
}

BOOL WINAPI Win32Network::OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted_.store(true);
        return TRUE;
    }
    return FALSE;
}

bool Win32Network::LoadWinsock(std::string& failure) {
    winsock_.dontFragment = kDontFragmentWinsock2;
    winsockModule_ = LoadSystemLibrary("ws2_32.dll");
    if (winsockModule_ == nullptr) {
        winsock_.dontFragment = kDontFragmentWinsock1;
        winsockModule_ = LoadSystemLibrary("wsock32.dll");
    }
    if (winsockModule_ != nullptr) {
        Find(winsockModule_, "WSAStartup", winsock_.startup);
        Find(winsockModule_, "WSACleanup", winsock_.cleanup);
        Find(winsockModule_, "WSAGetLastError", winsock_.lastError);
        Find(winsockModule_, "socket", winsock_.socket);
        Find(winsockModule_, "setsockopt", winsock_.setOption);
        Find(winsockModule_, "sendto", winsock_.sendTo);
        Find(winsockModule_, "recvfrom", winsock_.receiveFrom);
        Find(winsockModule_, "select", winsock_.select);
        Find(winsockModule_, "closesocket", winsock_.close);
        Find(winsockModule_, "gethostbyname", winsock_.hostByName);
    }
    const Winsock& w = winsock_;
    if (w.startup == nullptr || w.cleanup == nullptr || w.lastError == nullptr || w.socket == nullptr ||
        w.setOption == nullptr || w.sendTo == nullptr || w.receiveFrom == nullptr || w.select == nullptr ||
        w.close == nullptr || w.hostByName == nullptr) {
        failure =
            "This system has no usable Windows Sockets (ws2_32.dll or wsock32.dll): install TCP/IP and try "
            "again.";
        return false;
    }
    WSADATA data{};
    const WORD version = winsock_.dontFragment == kDontFragmentWinsock2 ? MAKEWORD(2, 0) : MAKEWORD(1, 1);
    const int status = winsock_.startup(version, &data);
    if (status != 0) {
        failure = "Windows Sockets would not start (error " + text::Decimal(status) + ").";
        return false;
    }
    started_ = true;
    return true;
}

bool Win32Network::Resolve(const std::string& host, std::string& failure) {
    Address& address = address_;
    if (!ParseDotted(host, address)) {
        const hostent* entry = host.empty() ? nullptr : winsock_.hostByName(host.c_str());
        if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
            entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
            failure = "The name '" + host + "' did not resolve to an IPv4 address (Windows Sockets error " +
                      text::Decimal(entry == nullptr ? winsock_.lastError() : 0) +
                      "). Check the name, or give the host's address.";
            return false;
        }
        std::memcpy(address.data(), entry->h_addr_list[0], address.size());
    }
    target_.sin_family = AF_INET;
    std::memcpy(&target_.sin_addr, address.data(), address.size());
    return true;
}

bool Win32Network::OpenPath(const std::string& host, PathInfo& path, std::string& failure) {
    if (!LoadWinsock(failure) || !Resolve(host, failure)) {
        return false;
    }
    path.address = Dotted(address_);
    LoadIpHelper();
    DWORD index = 0;
    if (ipHelper_.getBestInterface != nullptr &&
        ipHelper_.getBestInterface(target_.sin_addr.s_addr, &index) == NO_ERROR) {
        routeIndex_ = index;
        std::vector<unsigned char> buffer;
        for (auto* adapter = Adapters(buffer) ? reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data())
                                              : nullptr;
             adapter != nullptr; adapter = adapter->Next) {
            if (adapter->Index == index) {
                path.routeAdapter = adapter->AdapterName;
                path.routeAddress = adapter->IpAddressList.IpAddress.String;
            }
        }
    }
    const MeansChosen chosen = ChooseMeans(*this);
    if (chosen.means == Means::kNone) {
        failure = chosen.failure;
        return false;
    }
    means_ = chosen.means;
    path.means = MeansName(means_);
    probes_.emplace(address_, static_cast<std::uint16_t>(GetCurrentProcessId()));
    controlHandler_ = SetConsoleCtrlHandler(&OnControl, TRUE) != FALSE;
    return true;
}

void Win32Network::LoadIpHelper() {
    if (ipHelperLoaded_) {
        return;
    }
    ipHelperLoaded_ = true;
    IpHelper& h = ipHelper_;
    ipHelperModule_ = LoadSystemLibrary("iphlpapi.dll");
    if (ipHelperModule_ != nullptr) {
        Find(ipHelperModule_, "GetBestInterface", h.getBestInterface);
        Find(ipHelperModule_, "GetIfEntry", h.getIfEntry);
        Find(ipHelperModule_, "GetAdaptersInfo", h.getAdaptersInfo);
        Find(ipHelperModule_, "GetIpInterfaceTable", h.getIpInterfaceTable);
        Find(ipHelperModule_, "GetIpPathTable", h.getIpPathTable);
        Find(ipHelperModule_, "FreeMibTable", h.freeMibTable);
        Find(ipHelperModule_, "IcmpCreateFile", h.icmpCreateFile);
        Find(ipHelperModule_, "IcmpCloseHandle", h.icmpCloseHandle);
        Find(ipHelperModule_, "IcmpSendEcho", h.icmpSendEcho);
        Find(ipHelperModule_, "GetIpInterfaceEntry", h.ipInterface.getEntry);
        Find(ipHelperModule_, "SetIpInterfaceEntry", h.ipInterface.setEntry);
    }
    // Before XP the echo functions are in a library of their own.
    if (h.icmpCreateFile == nullptr || h.icmpCloseHandle == nullptr || h.icmpSendEcho == nullptr) {
        icmpModule_ = LoadSystemLibrary("icmp.dll");
        if (icmpModule_ != nullptr) {
            Find(icmpModule_, "IcmpCreateFile", h.icmpCreateFile);
            Find(icmpModule_, "IcmpCloseHandle", h.icmpCloseHandle);
            Find(icmpModule_, "IcmpSendEcho", h.icmpSendEcho);
        }
    }
    if (h.freeMibTable == nullptr) {
        h.getIpInterfaceTable = nullptr;
        h.getIpPathTable = nullptr;
    }
}

bool Win32Network::HasEchoHelper() {
    const IpHelper& h = ipHelper_;
    if (h.icmpCreateFile == nullptr || h.icmpCloseHandle == nullptr || h.icmpSendEcho == nullptr) {
        return false;
    }
    if (icmp_ == INVALID_HANDLE_VALUE) {
        icmp_ = h.icmpCreateFile();
    }
    return icmp_ != INVALID_HANDLE_VALUE;
}

HelperAnswer Win32Network::HelperEcho(std::uint32_t dataBytes, unsigned timeoutMs) {
    HelperAnswer answer;
    if (dataBytes > kLargestEchoData) {
        answer.status = ERROR_INVALID_PARAMETER;
        return answer;
    }
    std::vector<unsigned char> data(dataBytes);
    for (std::size_t i = 0; i != data.size(); ++i) {
        data[i] = EchoFiller(i);
    }
    std::vector<unsigned char> reply(sizeof(ICMP_ECHO_REPLY) + dataBytes + kReplySlack);
    IP_OPTION_INFORMATION options{};
    options.Ttl = kTimeToLive;
    options.Flags = IP_FLAG_DF;
    SetLastError(ERROR_SUCCESS);
    const DWORD replies =
        ipHelper_.icmpSendEcho(icmp_, target_.sin_addr.s_addr, data.data(), static_cast<WORD>(dataBytes),
                               &options, reply.data(), static_cast<DWORD>(reply.size()), timeoutMs);
    if (replies == 0) {
        answer.status = GetLastError();
        return answer;
    }
    const auto* first = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
    answer.replied = true;
    answer.status = first->Status;
    std::memcpy(answer.from.data(), &first->Address, answer.from.size());
    answer.dataBytes = first->DataSize;
    // The reply's data, which the IP helper leaves in the buffer, must be
    // the start of what this echo carried.
    const auto at = reinterpret_cast<std::uintptr_t>(first->Data);
    const auto begin = reinterpret_cast<std::uintptr_t>(reply.data());
    const bool inside =
        at >= begin && at - begin <= reply.size() && first->DataSize <= reply.size() - (at - begin);
    answer.otherData = first->DataSize > dataBytes ||
                       (first->DataSize != 0 && (!inside || std::memcmp(first->Data, data.data(),
                                                                        first->DataSize) != 0));
    return answer;
}

std::optional<unsigned> Win32Network::RouteMtu() {
    return routeIndex_ ? InterfaceMtu(*routeIndex_) : std::nullopt;
}

bool Win32Network::OpenRawSocket(std::string& failure) {
    socket_ = winsock_.socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (socket_ == INVALID_SOCKET) {
        const int error = winsock_.lastError();
        failure =
            "it would not open a raw ICMP socket (Windows Sockets error " + text::Decimal(error) + "). " +
            (error == WSAEACCES ? "A raw socket needs administrator rights: run quillon-mtu-cli from an "
                                  "elevated prompt (as an administrator) and try again."
                                : "This version of Windows cannot probe the path.");
        return false;
    }
    const DWORD on = 1;
    if (winsock_.setOption(socket_, IPPROTO_IP, winsock_.dontFragment, reinterpret_cast<const char*>(&on),
                           sizeof on) != 0) {
        failure = "it would not set don't-fragment on a raw ICMP socket (Windows Sockets error " +
                  text::Decimal(winsock_.lastError()) + ").";
        return false;
    }
    return true;
}

bool Win32Network::RawSocketNeedsRights() {
    // GetVersion: the high bit set on 95, 98 and Me; the major version in
    // the low byte.
    const DWORD version = GetVersion();
    return (version & kWindows9x) == 0 && LOBYTE(LOWORD(version)) >= kWindows2000;
}

std::optional<unsigned> Win32Network::LearntMtu() const {
    PMIB_IPPATH_TABLE table = nullptr;
    if (!routeIndex_ || ipHelper_.getIpPathTable == nullptr ||
        ipHelper_.getIpPathTable(AF_INET, &table) != NO_ERROR || table == nullptr) {
        return std::nullopt;
    }
    std::vector<LearntPath> rows;
    for (ULONG i = 0; i != table->NumEntries; ++i) {
        const MIB_IPPATH_ROW& row = table->Table[i];
        if (row.Destination.si_family == AF_INET) {
            LearntPath path;
            std::memcpy(path.destination.data(), &row.Destination.Ipv4.sin_addr, path.destination.size());
            path.interfaceIndex = row.InterfaceIndex;
            path.pathMtu = row.PathMtu;
            rows.push_back(path);
        }
    }
    ipHelper_.freeMibTable(table);
    return LearntOnRoute(rows, address_, *routeIndex_);
}

bool Win32Network::Adapters(std::vector<unsigned char>& buffer) const {
    if (ipHelper_.getAdaptersInfo == nullptr) {
        return false;
    }
    ULONG bytes = 0;
    DWORD status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt != 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes == 0 ? sizeof(IP_ADAPTER_INFO) : bytes, 0);
        bytes = static_cast<ULONG>(buffer.size());
        status = ipHelper_.getAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &bytes);
    }
    return status == ERROR_SUCCESS;
}

// The IPv4 MTU of an interface: its NlMtu in the interface table of Vista and
// later, else the link's MTU.
std::optional<unsigned> Win32Network::InterfaceMtu(DWORD index) const {
    PMIB_IPINTERFACE_TABLE table = nullptr;
    if (ipHelper_.getIpInterfaceTable != nullptr &&
        ipHelper_.getIpInterfaceTable(AF_INET, &table) == NO_ERROR && table != nullptr) {
        std::optional<unsigned> mtu;
        for (ULONG i = 0; i != table->NumEntries; ++i) {
            // The loopback's is 0xFFFFFFFF: no MTU a probe could use.
            if (table->Table[i].InterfaceIndex == index && table->Table[i].NlMtu != 0 &&
                table->Table[i].NlMtu <= kLargestMtu) {
                mtu = table->Table[i].NlMtu;
            }
        }
        ipHelper_.freeMibTable(table);
        if (mtu) {
            return mtu;
        }
    }
    return IndexLinkMtu(index);
}

std::optional<unsigned> Win32Network::IndexLinkMtu(DWORD index) const {
    MIB_IFROW row{};
    row.dwIndex = index;
    if (ipHelper_.getIfEntry != nullptr && ipHelper_.getIfEntry(&row) == NO_ERROR && row.dwMtu != 0 &&
        row.dwMtu <= kLargestMtu) {
        return static_cast<unsigned>(row.dwMtu);
    }
    return std::nullopt;
}

void Win32Network::Pause(unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds && !Interrupted(); elapsed = GetTickCount() - start) {
        Sleep(std::min<DWORD>(milliseconds - elapsed, kWaitSliceMs));
    }
}

Echo Win32Network::Send(int packetSize, unsigned timeoutMs) {
    if (means_ != Means::kEchoHelper) {
        return SendRaw(packetSize, timeoutMs);
    }
    Echo echo;
    if (packetSize < kSmallestEcho) {
        echo.outcome = EchoOutcome::kCannotSend;
        echo.reason = "no probe can be sent";
        return echo;
    }
    const DWORD start = GetTickCount();
    const HelperAnswer answer =
        HelperEcho(static_cast<std::uint32_t>(packetSize - kIpAndIcmpHeaders), timeoutMs);
    echo = ReadHelperAnswer(answer, packetSize, address_,
                            answer.status == kIpPacketTooBig ? LearntMtu() : std::nullopt);
    echo.elapsedMs = GetTickCount() - start;
    return echo;
}

Echo Win32Network::SendRaw(int packetSize, unsigned timeoutMs) {
    Echo echo;
    if (socket_ == INVALID_SOCKET || !probes_ || packetSize < kSmallestEcho) {
        echo.outcome = EchoOutcome::kCannotSend;
        echo.reason = "no probe can be sent";
        return echo;
    }
    const DWORD start = GetTickCount();
    const std::vector<std::uint8_t> packet = probes_->Next(packetSize, start);
    if (winsock_.sendTo(socket_, reinterpret_cast<const char*>(packet.data()),
                        static_cast<int>(packet.size()), 0, reinterpret_cast<const sockaddr*>(&target_),
                        sizeof target_) == SOCKET_ERROR) {
        const int error = winsock_.lastError();
        if (error == WSAEMSGSIZE) {
            echo.outcome = EchoOutcome::kTooBig;
            echo.refusedHere = true;
        } else if (error == WSAENETUNREACH || error == WSAEHOSTUNREACH) {
            echo.outcome = EchoOutcome::kUnreachable;
            echo.reason =
                "this system has no route to the host (Windows Sockets error " + text::Decimal(error) + ")";
        } else {
            echo.outcome = EchoOutcome::kCannotSend;
            echo.reason = "the probe could not be sent (Windows Sockets error " + text::Decimal(error) + ")";
        }
        echo.elapsedMs = GetTickCount() - start;
        return echo;
    }

    std::vector<std::uint8_t> received(kReceiveBytes);
    while (true) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || Interrupted()) {
            echo.outcome = EchoOutcome::kNoAnswer;
            echo.elapsedMs = elapsed;
            return echo;
        }
        const DWORD wait = std::min<DWORD>(timeoutMs - elapsed, kWaitSliceMs);
        fd_set readable{};
        readable.fd_count = 1;
        readable.fd_array[0] = socket_;
        const timeval slice{0, static_cast<long>(wait * 1000)};
        const int ready = winsock_.select(0, &readable, nullptr, nullptr, &slice);
        if (ready == SOCKET_ERROR) {
            Sleep(wait);  // no busy loop on a socket that cannot be waited on
        }
        if (ready <= 0) {
            continue;
        }
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int length =
            winsock_.receiveFrom(socket_, reinterpret_cast<char*>(received.data()), kReceiveBytes, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        // A failed receive is the socket reporting an earlier error (such as
        // the "fragmentation needed" it has already passed on): wait on.
        if (length > 0 && probes_->Read(received.data(), static_cast<std::size_t>(length), GetTickCount(),
                                        echo) == ProbeLog::Reading::kInFlight) {
            return echo;
        }
    }
}

std::optional<unsigned> Win32Network::MtuInUse(const std::string& adapter) {
    const std::optional<DWORD> index = AdapterIndex(adapter);
    return index ? InterfaceMtu(*index) : std::nullopt;
}

std::optional<unsigned> Win32Network::LinkMtu(const std::string& adapter) {
    const std::optional<DWORD> index = AdapterIndex(adapter);
    return index ? IndexLinkMtu(*index) : std::nullopt;
}

MtuChange Win32Network::SetMtuInUse(const std::string& adapter, unsigned mtu) {
    LoadIpHelper();
    const IpInterfaceCalls& calls = ipHelper_.ipInterface;
    if (calls.getEntry == nullptr || calls.setEntry == nullptr) {
        return MtuChange{};  // before Vista: from the next restart
    }
    const std::optional<DWORD> index = AdapterIndex(adapter);
    if (!index) {
        MtuChange none;
        none.outcome = MtuSetting::kNoInterface;
        return none;
    }
    return SetInterfaceMtu(calls, *index, mtu, IndexLinkMtu(*index).value_or(0));
}

std::optional<DWORD> Win32Network::AdapterIndex(const std::string& adapter) {
    LoadIpHelper();
    std::vector<unsigned char> buffer;
    if (!Adapters(buffer)) {
        return std::nullopt;
    }
    // An NT adapter is known by its service name; a 9x transport by its IP
    // address, where it has one of its own (not the 0.0.0.0 of one that has
    // its address from DHCP).
    const bool byAddress = adapter != "0.0.0.0";
    for (auto* info = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); info != nullptr;
         info = info->Next) {
        bool match = SameText(adapter, info->AdapterName);
        for (const IP_ADDR_STRING* ip = &info->IpAddressList; ip != nullptr && !match && byAddress;
             ip = ip->Next) {
            match =
                std::strcmp(ip->IpAddress.String, adapter.c_str()) == 0 && ip->IpAddress.String[0] != '\0';
        }
        if (match) {
            return info->Index;
        }
    }
    return std::nullopt;
}

}  // namespace quillon::net
