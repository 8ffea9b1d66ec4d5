#pragma once
// The IPv6 probe's other way to send, where the system has no IPv6 echo
// function: a UDP datagram of the probe's size, which may not be fragmented
// (IPV6_DONTFRAG), to a port of the host where nothing listens. The host
// that receives it whole says the port is unreachable; one too big for what
// the system knows of the path is refused at once (WSAEMSGSIZE). UDP's
// header is as long as an echo's, so the sizes are an echo's. Windows
// reports the host's answer to the next receive (WSAECONNRESET), Wine only
// as the socket's pending error (SO_ERROR), which stays: so each probe
// has a socket of its own. No rights are needed.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <string>

#include "net/Prober.h"
#include "net/win32/Winsock.h"

namespace quillon::net {

class UdpProbe {
public:
    explicit UdpProbe(const Winsock& winsock) : winsock_(winsock) {}
    UdpProbe(const UdpProbe&) = delete;
    UdpProbe& operator=(const UdpProbe&) = delete;
    ~UdpProbe() = default;

    // Whether a socket for probes of `target` can be made (where there is no
    // route to it, the probes say so); on failure says why.
    bool Open(const sockaddr_in6& target, std::string& failure);
    // Sends one probe of `packetSize` bytes and waits at most `timeoutMs`
    // for its answer, or until the user presses Ctrl+C.
    Echo Send(int packetSize, unsigned timeoutMs);

private:
    // A socket connected to the target with don't-fragment set, or
    // INVALID_SOCKET with `error` set.
    SOCKET Connected(int& error) const;
    // Waits for the host's answer to the probe just sent: the socket's
    // error, kAnswered (a datagram came back) or 0 (none in time).
    int Wait(SOCKET probe, DWORD start, unsigned timeoutMs) const;

    const Winsock& winsock_;
    sockaddr_in6 target_{};
};

}  // namespace quillon::net
