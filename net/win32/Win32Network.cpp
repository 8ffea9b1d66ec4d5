#include "net/win32/Win32Network.h"

#include <iphlpapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "net/Icmp.h"

namespace quillon::net {

std::atomic<bool> Win32Network::interrupted_{false};

namespace {

// The IP_DONTFRAGMENT option of each version of Windows Sockets.
constexpr int kDontFragmentWinsock2 = 14;
constexpr int kDontFragmentWinsock1 = 9;
constexpr int kSmallestEcho = 28;       // IP and ICMP headers
constexpr unsigned kWaitSliceMs = 100;  // how often a wait looks for Ctrl+C
constexpr int kReceiveBytes = 4096;

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
    if (ipHelperModule_ != nullptr) {
        FreeLibrary(ipHelperModule_);
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
    winsockModule_ = LoadLibraryA("ws2_32.dll");
    if (winsockModule_ == nullptr) {
        winsock_.dontFragment = kDontFragmentWinsock1;
        winsockModule_ = LoadLibraryA("wsock32.dll");
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
            "This system has no usable Windows Sockets (ws2_32.dll or wsock32.dll), so it cannot send a "
            "probe. Install the Windows Sockets 2 update or TCP/IP and try again.";
        return false;
    }
    WSADATA data{};
    const WORD version = winsock_.dontFragment == kDontFragmentWinsock2 ? MAKEWORD(2, 0) : MAKEWORD(1, 1);
    const int status = winsock_.startup(version, &data);
    if (status != 0) {
        failure = "Windows Sockets would not start (error " + std::to_string(status) + ").";
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
                      std::to_string(entry == nullptr ? winsock_.lastError() : 0) +
                      "). Check the name, or give the host's address.";
            return false;
        }
        std::memcpy(address.data(), entry->h_addr_list[0], address.size());
    }
    target_.sin_family = AF_INET;
    std::memcpy(&target_.sin_addr, address.data(), address.size());
    return true;
}

bool Win32Network::OpenPath(const std::string& host, std::string& address, std::string& failure) {
    if (!LoadWinsock(failure) || !Resolve(host, failure)) {
        return false;
    }
    address = Dotted(address_);
    socket_ = winsock_.socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (socket_ == INVALID_SOCKET) {
        const int error = winsock_.lastError();
        failure =
            "This system would not open a raw ICMP socket (Windows Sockets error " + std::to_string(error) +
            "), which the probe needs to send packets that may not be fragmented. " +
            (error == WSAEACCES ? "Run quillon-mtu-cli from an elevated prompt (as an administrator) and "
                                  "try again."
                                : "This version of Windows cannot probe the path.");
        return false;
    }
    const DWORD on = 1;
    if (winsock_.setOption(socket_, IPPROTO_IP, winsock_.dontFragment, reinterpret_cast<const char*>(&on),
                           sizeof on) != 0) {
        failure = "This system would not set don't-fragment on the probe's socket (Windows Sockets error " +
                  std::to_string(winsock_.lastError()) + "), so it cannot send an unfragmented probe.";
        return false;
    }
    probes_.emplace(address_, static_cast<std::uint16_t>(GetCurrentProcessId()));
    controlHandler_ = SetConsoleCtrlHandler(&OnControl, TRUE) != FALSE;
    return true;
}

void Win32Network::Pause(unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds && !Interrupted(); elapsed = GetTickCount() - start) {
        Sleep(std::min<DWORD>(milliseconds - elapsed, kWaitSliceMs));
    }
}

Echo Win32Network::Send(int packetSize, unsigned timeoutMs) {
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
                "this system has no route to the host (Windows Sockets error " + std::to_string(error) + ")";
        } else {
            echo.outcome = EchoOutcome::kCannotSend;
            echo.reason = "the probe could not be sent (Windows Sockets error " + std::to_string(error) + ")";
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

std::optional<unsigned> Win32Network::MtuInUse(const std::string& serviceName) {
    using GetAdaptersInfoFunction = DWORD(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
    using GetIfEntryFunction = DWORD(WINAPI*)(PMIB_IFROW);
    if (ipHelperModule_ == nullptr) {
        ipHelperModule_ = LoadLibraryA("iphlpapi.dll");
        if (ipHelperModule_ == nullptr) {
            return std::nullopt;
        }
    }
    GetAdaptersInfoFunction getAdaptersInfo = nullptr;
    GetIfEntryFunction getIfEntry = nullptr;
    Find(ipHelperModule_, "GetAdaptersInfo", getAdaptersInfo);
    Find(ipHelperModule_, "GetIfEntry", getIfEntry);
    if (getAdaptersInfo == nullptr || getIfEntry == nullptr) {
        return std::nullopt;
    }
    ULONG bytes = 0;
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt != 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes == 0 ? sizeof(IP_ADAPTER_INFO) : bytes, 0);
        bytes = static_cast<ULONG>(buffer.size());
        status = getAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &bytes);
    }
    if (status != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // An NT adapter is known by its service name; a 9x transport by its IP address.
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        bool match = SameText(serviceName, adapter->AdapterName);
        for (const IP_ADDR_STRING* ip = &adapter->IpAddressList; ip != nullptr && !match; ip = ip->Next) {
            match = std::strcmp(ip->IpAddress.String, serviceName.c_str()) == 0 &&
                    ip->IpAddress.String[0] != '\0';
        }
        if (match) {
            MIB_IFROW row{};
            row.dwIndex = adapter->Index;
            if (getIfEntry(&row) == NO_ERROR && row.dwMtu != 0) {
                return static_cast<unsigned>(row.dwMtu);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace quillon::net
