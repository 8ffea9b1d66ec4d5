#include "net/win32/UdpProbe.h"

#include <algorithm>
#include <vector>

#include "net/Mtu.h"
#include "net/win32/CtrlC.h"
#include "text/Fill.h"

namespace quillon::net {

namespace {

// A port hosts seldom listen on, in network byte order.
constexpr unsigned kClosedPort = 33434;
constexpr u_short kClosedPortOnWire = static_cast<u_short>((kClosedPort >> 8) | ((kClosedPort & 0xFF) << 8));
constexpr int kDontFragment6 = 14;  // IPV6_DONTFRAG
constexpr int kPathMtu6 = 72;       // IPV6_MTU: of a connected socket, the path MTU the system knows
constexpr int kHeaders = kIpv6HeaderBytes + kIcmpHeaderBytes;
// How often a wait looks for the host's answer: often, since the time an
// answer takes sets the later probes' time-outs.
constexpr DWORD kLookMs = 5;
// The largest UDP datagram's data.
constexpr std::size_t kLargestDatagram = 65535;
// What Wait gives where a datagram came back: the host got the probe whole.
constexpr int kAnswered = -1;

}  // namespace

SOCKET UdpProbe::Connected(int& error) const {
    const SOCKET probe = winsock_.socket(AF_INET6, SOCK_DGRAM, IPPROTO_UDP);
    const DWORD on = 1;
    if (probe != INVALID_SOCKET &&
        winsock_.setOption(probe, IPPROTO_IPV6, kDontFragment6, reinterpret_cast<const char*>(&on), sizeof on) ==
            0 &&
        winsock_.connect(probe, reinterpret_cast<const sockaddr*>(&target_), sizeof target_) == 0) {
        return probe;
    }
    error = winsock_.lastError();
    if (probe != INVALID_SOCKET) {
        winsock_.close(probe);
    }
    return INVALID_SOCKET;
}

bool UdpProbe::Open(const sockaddr_in6& target, std::string& failure) {
    target_ = target;
    target_.sin6_port = kClosedPortOnWire;
    int error = 0;
    const SOCKET probe = Connected(error);
    if (probe != INVALID_SOCKET) {
        winsock_.close(probe);
        return true;
    }
    // No route to the host is no failure to send: each probe says it is
    // unreachable, as the IPv6 echo does.
    if (error == WSAENETUNREACH || error == WSAEHOSTUNREACH) {
        return true;
    }
    failure =
        text::Fill("it would not open a UDP socket that may not fragment (Windows Sockets error %).", {error});
    return false;
}

int UdpProbe::Wait(SOCKET probe, DWORD start, unsigned timeoutMs) const {
    while (true) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || CtrlC::Pressed()) {
            return 0;
        }
        const DWORD wait = std::min<DWORD>(timeoutMs - elapsed, kLookMs);
        const int ready = winsock_.WaitReadable(probe, wait);
        if (ready > 0) {
            // Windows gives the host's answer here (WSAECONNRESET); a
            // datagram back says as much. Room for the largest, so that
            // WSAEMSGSIZE is never a datagram cut to fit, always the probe's.
            std::vector<char> datagram(kLargestDatagram);
            const int got = winsock_.receive(probe, datagram.data(), static_cast<int>(datagram.size()), 0);
            return got == SOCKET_ERROR ? winsock_.lastError() : kAnswered;
        }
        int pending = 0;
        int length = sizeof pending;
        if (winsock_.getOption(probe, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) == 0 &&
            pending != 0) {
            return pending;
        }
    }
}

Echo UdpProbe::Send(int packetSize, unsigned timeoutMs) {
    Echo echo;
    const DWORD start = GetTickCount();
    int error = 0;
    bool sent = false;
    const SOCKET probe = Connected(error);
    if (probe != INVALID_SOCKET) {
        const std::vector<char> data(static_cast<std::size_t>(std::max(packetSize - kHeaders, 0)));
        sent = winsock_.send(probe, data.data(), static_cast<int>(data.size()), 0) != SOCKET_ERROR;
        error = sent ? Wait(probe, start, timeoutMs) : winsock_.lastError();
        int mtu = 0;
        int length = sizeof mtu;
        if (error == WSAEMSGSIZE &&
            winsock_.getOption(probe, IPPROTO_IPV6, kPathMtu6, reinterpret_cast<char*>(&mtu), &length) == 0 &&
            mtu >= static_cast<int>(kSmallestIpv6Mtu) && mtu < packetSize) {
            echo.nextHopMtu = mtu;
            echo.mtuLearnt = true;
        }
        winsock_.close(probe);
    }
    echo.elapsedMs = GetTickCount() - start;
    switch (error) {
        case 0:
            break;  // no answer in time
        case kAnswered:
        case WSAECONNRESET:
        case WSAECONNREFUSED:
            echo.outcome = EchoOutcome::kPassed;
            break;
        case WSAEMSGSIZE:
            // Refused here, or a router's "too big" whose MTU the system now knows.
            echo.outcome = EchoOutcome::kTooBig;
            echo.refusedHere = !sent;
            break;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
        case WSAENETRESET:  // its time to live ran out on the way
        case WSAEACCES:
            echo.outcome = EchoOutcome::kUnreachable;
            echo.reason = text::Fill(sent ? "the host or a router on the way says it is unreachable (Windows "
                                            "Sockets error %)"
                                          : "this system has no route to the host (Windows Sockets error %)",
                                     {error});
            break;
        default:
            echo.outcome = EchoOutcome::kCannotSend;
            echo.reason = text::Fill("the probe could not be sent (Windows Sockets error %)", {error});
            break;
    }
    return echo;
}

}  // namespace quillon::net
