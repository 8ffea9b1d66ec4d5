#include "net/win32/Win32Prober.h"

namespace quillon::net {

bool Win32Prober::OpenPath(const std::string& host, PathInfo& path, std::string& failure) {
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

Echo Win32Prober::Send(int packetSize, unsigned timeoutMs) {
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
