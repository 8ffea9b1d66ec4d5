#include "net/win32/RawSocket.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "net/win32/CtrlC.h"
#include "text/Fill.h"

namespace quillon::net {

namespace {

constexpr int kReceiveBytes = 4096;
// GetVersion's flag of 95, 98 and Me, and the major version of Windows 2000,
// from which on a raw socket needs administrator rights.
constexpr DWORD kWindows9x = 0x80000000U;
constexpr BYTE kWindows2000 = 5;

}  // namespace

RawSocket::~RawSocket() {
    if (socket_ != INVALID_SOCKET) {
        winsock_.close(socket_);
    }
}

bool RawSocket::Open(const Address& target, std::string& failure) {
    target_.sin_family = AF_INET;
    std::memcpy(&target_.sin_addr, target.data(), target.size());
    probes_.emplace(target, static_cast<std::uint16_t>(GetCurrentProcessId()));
    socket_ = winsock_.socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (socket_ == INVALID_SOCKET) {
        const int error = winsock_.lastError();
        failure =
            text::Fill("it would not open a raw ICMP socket (Windows Sockets error %). %",
                       {error, error == WSAEACCES
                                   ? "A raw socket needs administrator rights: run quillon-mtu-cli from an "
                                     "elevated prompt (as an administrator) and try again."
                                   : "This version of Windows cannot probe the path."});
        return false;
    }
    const DWORD on = 1;
    if (winsock_.setOption(socket_, IPPROTO_IP, winsock_.dontFragment, reinterpret_cast<const char*>(&on),
                           sizeof on) != 0) {
        failure =
            text::Fill("it would not set don't-fragment on a raw ICMP socket (Windows Sockets error %).",
                       {winsock_.lastError()});
        return false;
    }
    return true;
}

bool RawSocket::NeedsRights() {
    // GetVersion: the high bit set on 95, 98 and Me; the major version in
    // the low byte.
    const DWORD version = GetVersion();
    return (version & kWindows9x) == 0 && LOBYTE(LOWORD(version)) >= kWindows2000;
}

Echo RawSocket::Send(int packetSize, unsigned timeoutMs) {
    Echo echo;
    if (socket_ == INVALID_SOCKET || !probes_ || packetSize < kIpAndIcmpHeaders) {
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
        } else {
            const bool unreachable = error == WSAENETUNREACH || error == WSAEHOSTUNREACH;
            echo.outcome = unreachable ? EchoOutcome::kUnreachable : EchoOutcome::kCannotSend;
            echo.reason =
                text::Fill(unreachable ? "this system has no route to the host (Windows Sockets error %)"
                                       : "the probe could not be sent (Windows Sockets error %)",
                           {error});
        }
        echo.elapsedMs = GetTickCount() - start;
        return echo;
    }

    std::vector<std::uint8_t> received(kReceiveBytes);
    while (true) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs || CtrlC::Pressed()) {
            echo.outcome = EchoOutcome::kNoAnswer;
            echo.elapsedMs = elapsed;
            return echo;
        }
        const DWORD wait = std::min<DWORD>(timeoutMs - elapsed, CtrlC::kSliceMs);
        const int ready = winsock_.WaitReadable(socket_, wait);
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

}  // namespace quillon::net
