#pragma once
// Windows Sockets as the console program finds it at run time, and names
// resolved through it: version 2 (ws2_32.dll), or version 1.1 (wsock32.dll)
// where there is no version 2. The raw socket sends through the same
// functions.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "net/Icmp.h"

namespace quillon::net {

class Winsock {
public:
    Winsock() = default;
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    ~Winsock();

    // Loads and starts Windows Sockets; on failure says why.
    bool Load(std::string& failure);
    // The IPv4 address `host` names: dotted as ping reads it, else through
    // the system's name look-up. On failure says why.
    bool Resolve(const std::string& host, Address& address, std::string& failure) const;
    // The IPv6 address `host` names or is (getaddrinfo, from XP on), and it
    // as text. On failure says why.
    bool Resolve6(const std::string& host, sockaddr_in6& address, std::string& shown, std::string& failure) const;
    // An IPv6 address as text (getnameinfo), empty where it cannot be said.
    std::string Numeric(const Address6& address) const;
    std::string Numeric(const sockaddr_in6& address) const;

    // Waits at most `milliseconds` for `waited` to have something to read:
    // what select says (above 0: it has). A socket that cannot be waited on
    // takes the time all the same, so that no caller loops busily.
    int WaitReadable(SOCKET waited, DWORD milliseconds) const;

    int(WINAPI* startup)(WORD, LPWSADATA) = nullptr;
    int(WINAPI* cleanup)() = nullptr;
    int(WINAPI* lastError)() = nullptr;
    SOCKET(WINAPI* socket)(int, int, int) = nullptr;
    int(WINAPI* setOption)(SOCKET, int, int, const char*, int) = nullptr;
    int(WINAPI* sendTo)(SOCKET, const char*, int, int, const sockaddr*, int) = nullptr;
    int(WINAPI* receiveFrom)(SOCKET, char*, int, int, sockaddr*, int*) = nullptr;
    int(WINAPI* select)(int, fd_set*, fd_set*, fd_set*, const timeval*) = nullptr;
    int(WINAPI* close)(SOCKET) = nullptr;
    hostent*(WINAPI* hostByName)(const char*) = nullptr;
    int(WINAPI* connect)(SOCKET, const sockaddr*, int) = nullptr;
    int(WINAPI* send)(SOCKET, const char*, int, int) = nullptr;
    int(WINAPI* receive)(SOCKET, char*, int, int) = nullptr;
    int(WINAPI* getOption)(SOCKET, int, int, char*, int*) = nullptr;
    // From XP on.
    int(WINAPI* getAddressInfo)(const char*, const char*, const addrinfo*, addrinfo**) = nullptr;
    void(WINAPI* freeAddressInfo)(addrinfo*) = nullptr;
    int(WINAPI* getNameInfo)(const sockaddr*, int, char*, DWORD, char*, DWORD, int) = nullptr;
    int dontFragment = 0;  // IP_DONTFRAGMENT: its number differs between the two versions

private:
    HMODULE module_ = nullptr;
    bool started_ = false;
};

}  // namespace quillon::net
