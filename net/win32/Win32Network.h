#pragma once
// The network as Windows gives it to the console program. Everything is
// looked up at run time, so that the program still loads on the oldest
// systems: names are resolved through Windows Sockets 2 (ws2_32.dll), or
// Windows Sockets 1.1 (wsock32.dll) where there is no version 2; the probes go
// through the IP helper's echo function (iphlpapi.dll, or icmp.dll on the
// oldest systems) where the system honours don't-fragment there, else
// through a raw ICMP socket with don't-fragment set (net/EchoHelper.h says how
// the choice is made); the MTU in use and the route come from the IP helper.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <atomic>
#include <optional>

#include "net/EchoHelper.h"
#include "net/Icmp.h"
#include "net/Network.h"
#include "net/win32/IpInterface.h"

namespace quillon::net {

class Win32Network final : public Network, private Senders {
public:
    Win32Network();
    Win32Network(const Win32Network&) = delete;
    Win32Network& operator=(const Win32Network&) = delete;
    ~Win32Network() override;

    bool OpenPath(const std::string& host, PathInfo& path, std::string& failure) override;
    Echo Send(int packetSize, unsigned timeoutMs) override;
    void Pause(unsigned milliseconds) override;
    bool Interrupted() override { return interrupted_.load(); }
    std::optional<unsigned> MtuInUse(const std::string& adapter) override;
    std::optional<unsigned> LinkMtu(const std::string& adapter) override;
    MtuChange SetMtuInUse(const std::string& adapter, unsigned mtu) override;

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
    struct IpHelper {
        DWORD(WINAPI* getBestInterface)(IPAddr, PDWORD) = nullptr;
        DWORD(WINAPI* getIfEntry)(PMIB_IFROW) = nullptr;
        DWORD(WINAPI* getAdaptersInfo)(PIP_ADAPTER_INFO, PULONG) = nullptr;
        DWORD(WINAPI* getIpInterfaceTable)(ADDRESS_FAMILY, PMIB_IPINTERFACE_TABLE*) = nullptr;
        DWORD(WINAPI* getIpPathTable)(ADDRESS_FAMILY, PMIB_IPPATH_TABLE*) = nullptr;
        void(WINAPI* freeMibTable)(PVOID) = nullptr;
        HANDLE(WINAPI* icmpCreateFile)() = nullptr;
        BOOL(WINAPI* icmpCloseHandle)(HANDLE) = nullptr;
        DWORD(WINAPI* icmpSendEcho)
        (HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD) = nullptr;
        IpInterfaceCalls ipInterface;
    };

    bool LoadWinsock(std::string& failure);
    bool Resolve(const std::string& host, std::string& failure);
    void LoadIpHelper();
    // The adapters as the IP helper lists them (a buffer of IP_ADAPTER_INFO).
    bool Adapters(std::vector<unsigned char>& buffer) const;
    std::optional<unsigned> InterfaceMtu(DWORD index) const;
    // The IP helper's index of an adapter named as MtuInUse names it.
    std::optional<DWORD> AdapterIndex(const std::string& adapter);
    std::optional<unsigned> IndexLinkMtu(DWORD index) const;
    Echo SendRaw(int packetSize, unsigned timeoutMs);
    static BOOL WINAPI OnControl(DWORD event);

    // The sending means, for ChooseMeans.
    bool HasEchoHelper() override;
    HelperAnswer HelperEcho(std::uint32_t dataBytes, unsigned timeoutMs) override;
    std::optional<unsigned> RouteMtu() override;
    bool OpenRawSocket(std::string& failure) override;
    bool RawSocketNeedsRights() override;
    std::optional<unsigned> LearntMtu() const;

    // Ctrl+C and Ctrl+Break arrive on a thread of their own, with no way to
    // name the object they are for: the one flag is the class's.
    static std::atomic<bool> interrupted_;

    HMODULE winsockModule_ = nullptr;
    HMODULE ipHelperModule_ = nullptr;
    HMODULE icmpModule_ = nullptr;
    bool ipHelperLoaded_ = false;
    Winsock winsock_;
    IpHelper ipHelper_;
    HANDLE icmp_ = INVALID_HANDLE_VALUE;
    bool started_ = false;
    bool controlHandler_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in target_{};
    Address address_{};
    std::optional<DWORD> routeIndex_;
    Means means_ = Means::kNone;
    std::optional<ProbeLog> probes_;
};

}  // namespace quillon::net
