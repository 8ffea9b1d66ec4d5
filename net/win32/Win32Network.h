#pragma once
// The network as Windows gives it to the console program. Everything is
// looked up at run time, so that the program still loads on the oldest
// systems: the probes go through a raw ICMP socket of Windows Sockets 2
// (ws2_32.dll), or of Windows Sockets 1.1 (wsock32.dll) where there is no
// version 2, with don't-fragment set on the socket; the MTU in use comes from
// the IP helper (iphlpapi.dll).
//
// A raw socket is used rather than IcmpSendEcho because only the socket's
// don't-fragment option is honoured everywhere the program runs: Wine
// ignores the don't-fragment flag that IcmpSendEcho takes, and a path then
// seems to carry whatever the host fragments for it.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <optional>

#include "net/Icmp.h"
#include "net/Network.h"

namespace quillon::net {

class Win32Network final : public Network {
public:
    Win32Network();
    Win32Network(const Win32Network&) = delete;
    Win32Network& operator=(const Win32Network&) = delete;
    ~Win32Network() override;

    bool OpenPath(const std::string& host, std::string& address, std::string& failure) override;
    Echo Send(int packetSize, unsigned timeoutMs) override;
    void Pause(unsigned milliseconds) override;
    bool Interrupted() override { return interrupted_.load(); }
    std::optional<unsigned> MtuInUse(const std::string& serviceName) override;

private:
    struct Winsock {
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
        int dontFragment = 0;  // IP_DONTFRAGMENT: its number differs between the two versions
    };

    bool LoadWinsock(std::string& failure);
    bool Resolve(const std::string& host, std::string& failure);
    static BOOL WINAPI OnControl(DWORD event);

    // Ctrl+C and Ctrl+Break arrive on a thread of their own, with no way to
    // name the object they are for: the one flag is the class's.
    static std::atomic<bool> interrupted_;

    HMODULE winsockModule_ = nullptr;
    HMODULE ipHelperModule_ = nullptr;
    Winsock winsock_;
    bool started_ = false;
    bool controlHandler_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in target_{};
    Address address_{};
    std::optional<ProbeLog> probes_;
};

}  // namespace quillon::net
