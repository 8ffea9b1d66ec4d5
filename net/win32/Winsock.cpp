#include "net/win32/Winsock.h"

#include <cstring>
#include <string>

#include "net/win32/SystemLibrary.h"
#include "text/Fill.h"

namespace quillon::net {

namespace {

// The IP_DONTFRAGMENT option of each version of Windows Sockets.
constexpr int kDontFragmentWinsock2 = 14;
constexpr int kDontFragmentWinsock1 = 9;

}  // namespace

Winsock::~Winsock() {
    if (started_) {
        cleanup();
    }
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

bool Winsock::Load(std::string& failure) {
    dontFragment = kDontFragmentWinsock2;
    module_ = LoadSystemLibrary("ws2_32.dll");
    if (module_ == nullptr) {
        dontFragment = kDontFragmentWinsock1;
        module_ = LoadSystemLibrary("wsock32.dll");
    }
    if (!FindFunctions(module_,
                       "WSAStartup\0WSACleanup\0WSAGetLastError\0socket\0setsockopt\0sendto\0recvfrom\0select\0"
                       "closesocket\0gethostbyname\0connect\0send\0recv\0getsockopt",
                       {startup, cleanup, lastError, socket, setOption, sendTo, receiveFrom, select, close,
                        hostByName, connect, send, receive, getOption})) {
        failure =
            "This system has no usable Windows Sockets (ws2_32.dll or wsock32.dll): install TCP/IP and try "
            "again.";
        return false;
    }
    WSADATA data{};
    const WORD version = dontFragment == kDontFragmentWinsock2 ? MAKEWORD(2, 0) : MAKEWORD(1, 1);
    const int status = startup(version, &data);
    if (status != 0) {
        failure = text::Fill("Windows Sockets would not start (error %).", {status});
        return false;
    }
    started_ = true;
    // All three or none: a name looked up is a list to free.
    if (!FindFunctions(module_, "getaddrinfo\0freeaddrinfo\0getnameinfo",
                       {getAddressInfo, freeAddressInfo, getNameInfo})) {
        getAddressInfo = nullptr;
        freeAddressInfo = nullptr;
        getNameInfo = nullptr;
    }
    return true;
}

bool Winsock::Resolve(const std::string& host, Address& address, std::string& failure) const {
    if (ParseDotted(host, address)) {
        return true;
    }
    const hostent* entry = host.empty() ? nullptr : hostByName(host.c_str());
    if (entry == nullptr || entry->h_addrtype != AF_INET || entry->h_length != 4 ||
        entry->h_addr_list == nullptr || entry->h_addr_list[0] == nullptr) {
        failure = text::Fill(
            "The name '%' did not resolve to an IPv4 address (Windows Sockets error %). Check "
            "the name, or give the host's address.",
            {host, entry == nullptr ? lastError() : 0});
        return false;
    }
    std::memcpy(address.data(), entry->h_addr_list[0], address.size());
    return true;
}

}  // namespace quillon::net

namespace quillon::net {

bool Winsock::Resolve6(const std::string& host, sockaddr_in6& address, std::string& shown,
                       std::string& failure) const {
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    const int status = host.empty() || getAddressInfo == nullptr ? WSAHOST_NOT_FOUND
                                                                 : getAddressInfo(host.c_str(), nullptr, &hints, &found);
    const bool resolved = status == 0 && found != nullptr && found->ai_family == AF_INET6 &&
                          found->ai_addr != nullptr && found->ai_addrlen >= sizeof address;
    if (resolved) {
        std::memcpy(&address, found->ai_addr, sizeof address);
    }
    if (found != nullptr) {
        freeAddressInfo(found);
    }
    if (!resolved) {
        failure = text::Fill(
            "The name '%' did not resolve to an IPv6 address (Windows Sockets error %). Check "
            "the name, or give the host's address.",
            {host, std::to_string(status)});  // Wine passes on the C library's negative codes
        return false;
    }
    shown = Numeric(address);  // with its zone (fe80::1%3) where it has one
    if (shown.empty()) {
        shown = host;
    }
    return true;
}

std::string Winsock::Numeric(const Address6& address) const {
    sockaddr_in6 socketAddress{};
    socketAddress.sin6_family = AF_INET6;
    std::memcpy(&socketAddress.sin6_addr, address.data(), address.size());
    return Numeric(socketAddress);
}

std::string Winsock::Numeric(const sockaddr_in6& socketAddress) const {
    char numeric[NI_MAXHOST] = {};
    return getNameInfo != nullptr &&
                   getNameInfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, numeric,
                               sizeof numeric, nullptr, 0, NI_NUMERICHOST) == 0
               ? numeric
               : std::string();
}

}  // namespace quillon::net

namespace quillon::net {

int Winsock::WaitReadable(SOCKET waited, DWORD milliseconds) const {
    fd_set readable{};
    readable.fd_count = 1;
    readable.fd_array[0] = waited;
    const timeval slice{0, static_cast<long>(milliseconds * 1000)};
    const int ready = select(0, &readable, nullptr, nullptr, &slice);
    if (ready == SOCKET_ERROR) {
        Sleep(milliseconds);
    }
    return ready;
}

}  // namespace quillon::net
