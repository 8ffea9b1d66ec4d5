#pragma once
// The probe as Windows gives it to the console program. Everything is looked
// up at run time, so that the program still loads on the oldest systems:
// names are resolved through Windows Sockets (net/win32/Winsock.h); IPv4's
// probes go through the IP helper's echo function (net/win32/IcmpEcho.h)
// where the system honours don't-fragment there, else through a raw ICMP
// socket with don't-fragment set (net/win32/RawSocket.h; net/EchoHelper.h
// says how the choice is made). IPv6's go through the IP helper's IPv6 echo
// function, else as UDP datagrams (net/win32/UdpProbe.h). The route's
// interface, its MTU and the path MTU the system learnt come from the
// interface table.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <windows.h>

#include <optional>

#include "net/EchoHelper.h"
#include "net/Icmp.h"
#include "net/Prober.h"
#include "net/win32/CtrlC.h"
#include "net/win32/IcmpEcho.h"
#include "net/win32/RawSocket.h"
#include "net/win32/UdpProbe.h"
#include "net/win32/Win32InterfaceTable.h"
#include "net/win32/Winsock.h"

namespace quillon::net {

class Win32Prober final : public Prober, private Senders {
public:
    explicit Win32Prober(Win32InterfaceTable& table) : table_(table) {}
    Win32Prober(const Win32Prober&) = delete;
    Win32Prober& operator=(const Win32Prober&) = delete;
    ~Win32Prober() override = default;

    bool OpenPath(const std::string& host, IpVersion version, PathInfo& path, std::string& failure) override;
    Echo Send(int packetSize, unsigned timeoutMs) override;
    void Pause(unsigned milliseconds) override { CtrlC::Pause(milliseconds); }
    bool Interrupted() override { return CtrlC::Pressed(); }

private:
    // The sending means, for ChooseMeans.
    bool HasEchoHelper() override { return echo_.Open(); }
    HelperAnswer HelperEcho(std::uint32_t dataBytes, unsigned timeoutMs) override {
        return echo_.Send(address_, dataBytes, timeoutMs);
    }
    std::optional<unsigned> RouteMtu() override;
    // Send's probe through the IP helper's echo function; its own routine,
    // so that the answer is made where Send gives it back, not copied there.
    Echo SendThroughHelper(int packetSize, unsigned timeoutMs);
    bool OpenPath6(const std::string& host, PathInfo& path, std::string& failure);
    Echo Send6(int packetSize, unsigned timeoutMs);
    bool OpenRawSocket(std::string& failure) override { return raw_.Open(address_, failure); }
    bool RawSocketNeedsRights() override { return RawSocket::NeedsRights(); }

    Win32InterfaceTable& table_;
    // Each goes before the one it needs: the socket is closed before Windows
    // Sockets is.
    Winsock winsock_;
    IcmpEcho echo_;
    RawSocket raw_{winsock_};
    Icmp6Echo echo6_;
    UdpProbe udp_{winsock_};
    CtrlC ctrlC_;
    Address address_{};
    Address local_{};
    sockaddr_in6 target6_{};
    Address6 address6_{};
    bool six_ = false;  // the path is IPv6's
    std::optional<DWORD> routeIndex_;
    Means means_ = Means::kNone;
};

}  // namespace quillon::net
