#include "net/win32/Win32Prober.h"

#include <cstring>

#include "text/Fill.h"

namespace quillon::net {

namespace {

constexpr int kIpv6Headers = kIpv6HeaderBytes + kIcmpHeaderBytes;
constexpr BYTE kWindowsVista = 6;  // the major version, in GetVersion's low byte

}  // namespace

bool Win32Prober::OpenPath(const std::string& host, IpVersion version, PathInfo& path, std::string& failure) {
    if (version == IpVersion::k6) {
        return OpenPath6(host, path, failure);
    }
    if (!winsock_.Load(failure) || !winsock_.Resolve(host, address_, failure)) {
        return false;
    }
    path.address = Dotted(address_);
    echo_.Load();
    routeIndex_ = table_.RouteIndex(address_);
    // The route interface's own address: a "too big" from it is this system's.
    if (!ParseDotted(table_.Route(path.address).address, local_)) {
        local_ = Address{};
    }
    const MeansChosen chosen = ChooseMeans(*this);
    if (chosen.means == Means::kNone) {
        failure = chosen.failure;
        return false;
    }
    means_ = chosen.means;
    path.means = MeansName(means_);
    ctrlC_.Catch();
    return true;
}

std::optional<unsigned> Win32Prober::RouteMtu() {
    return routeIndex_ ? table_.InterfaceMtu(*routeIndex_) : std::nullopt;
}

bool Win32Prober::OpenPath6(const std::string& host, PathInfo& path, std::string& failure) {
    if (LOBYTE(LOWORD(GetVersion())) < kWindowsVista) {
        failure = "The IPv6 probe needs Windows Vista or later.";
        return false;
    }
    if (!winsock_.Load(failure) || !winsock_.Resolve6(host, target6_, path.address, failure)) {
        return false;
    }
    six_ = true;
    std::memcpy(address6_.data(), &target6_.sin6_addr, address6_.size());
    routeIndex_ = table_.RouteIndex(target6_);
    if (routeIndex_) {
        path.routeMtu = table_.Ipv6Mtu(*routeIndex_).value_or(0);
        path.via = table_.AdapterOf(*routeIndex_);
    }
    if (echo6_.Open()) {
        means_ = Means::kEchoHelper;
    } else if (udp_.Open(target6_, failure)) {
        means_ = Means::kUdp;
    } else {
        failure = text::Cat({"This system cannot send an unfragmented IPv6 probe: it has no IP helper echo "
                             "function for IPv6 (Icmp6SendEcho2), and ",
                             failure});
        return false;
    }
    path.means = MeansName(means_);
    ctrlC_.Catch();
    return true;
}

Echo Win32Prober::Send6(int packetSize, unsigned timeoutMs) {
    if (means_ == Means::kUdp) {
        // After a "too big" or a silence, what the system learnt of the path.
        Echo echo = udp_.Send(packetSize, timeoutMs);
        const bool heard = echo.outcome == EchoOutcome::kTooBig || echo.outcome == EchoOutcome::kNoAnswer;
        const std::optional<unsigned> learnt =
            heard && routeIndex_ ? table_.LearntMtu(address6_, *routeIndex_) : std::nullopt;
        if (learnt && *learnt < static_cast<unsigned>(packetSize)) {
            echo.outcome = EchoOutcome::kTooBig;
            echo.nextHopMtu = static_cast<int>(*learnt);
            echo.mtuLearnt = true;
        }
        return echo;
    }
    const DWORD start = GetTickCount();
    Address6 from{};
    const HelperAnswer answer =
        echo6_.Send(target6_, static_cast<std::uint32_t>(packetSize - kIpv6Headers), timeoutMs, from);
    // After every answer: a reply to an echo the system fragmented proves nothing.
    const std::optional<unsigned> learnt = routeIndex_ ? table_.LearntMtu(address6_, *routeIndex_) : std::nullopt;
    AnswerSource source;
    if (answer.replied) {
        Address6 loopback{};
        loopback.back() = 1;
        source.who = winsock_.Numeric(from);
        source.host = from == address6_;
        source.self = from == Address6{} || from == loopback;
    }
    Echo echo = ReadAnswer(answer, source, packetSize, kIpv6Headers, learnt);
    echo.elapsedMs = GetTickCount() - start;
    return echo;
}

Echo Win32Prober::Send(int packetSize, unsigned timeoutMs) {
    if (six_) {
        return Send6(packetSize, timeoutMs);
    }
    // Where the IP helper sends, the raw socket was never opened: for a probe
    // too small to send it says so as it does for its own.
    if (means_ != Means::kEchoHelper || packetSize < kIpAndIcmpHeaders) {
        return raw_.Send(packetSize, timeoutMs);
    }
    return SendThroughHelper(packetSize, timeoutMs);
}

Echo Win32Prober::SendThroughHelper(int packetSize, unsigned timeoutMs) {
    const DWORD start = GetTickCount();
    const HelperAnswer answer =
        echo_.Send(address_, static_cast<std::uint32_t>(packetSize - kIpAndIcmpHeaders), timeoutMs);
    const std::optional<unsigned> learnt = answer.status == kIpPacketTooBig && routeIndex_
                                               ? table_.LearntMtu(address_, *routeIndex_)
                                               : std::nullopt;
    Echo echo = ReadHelperAnswer(answer, packetSize, address_, learnt, local_);
    echo.elapsedMs = GetTickCount() - start;
    return echo;
}

}  // namespace quillon::net
