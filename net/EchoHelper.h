#pragma once
// The probe's two ways to send, and the choice between them by how the
// system behaves. The IP helper's echo function (IcmpSendEcho with
// don't-fragment in its options, what ping uses) needs no administrator
// rights and its answers pass the firewall as ping's do; but not every
// system honours don't-fragment there (Wine sends the echo fragmented). A raw
// ICMP socket with don't-fragment set honours it, but needs administrator
// rights. So before probing, one echo larger than the MTU of the interface
// the route to the host leaves through goes through the IP helper: a system
// that honours the flag refuses it at once, and then the IP helper serves;
// otherwise the raw socket does, where the echo was sent. An echo the IP
// helper did not send at all (a local failure, a firewall, a host that does
// not answer ARP, a restricted token) says nothing of the flag: from Windows
// 2000 on, where a raw socket needs administrator rights, the probe then ends
// with what the IP helper said. Portable: the Win32 back end gives the
// functions, the tests a stand-in.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "net/Icmp.h"
#include "net/Prober.h"

namespace quillon::net {

// The IP_STATUS codes of the IP helper that the probe tells apart, and the
// system error an echo of a restricted token gives.
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kIpSuccess = 0;
inline constexpr std::uint32_t kIpDestNetUnreachable = 11002;
inline constexpr std::uint32_t kIpDestHostUnreachable = 11003;
inline constexpr std::uint32_t kIpDestProtUnreachable = 11004;
inline constexpr std::uint32_t kIpDestPortUnreachable = 11005;
inline constexpr std::uint32_t kIpPacketTooBig = 11009;
inline constexpr std::uint32_t kIpReqTimedOut = 11010;
inline constexpr std::uint32_t kIpBadRoute = 11012;
inline constexpr std::uint32_t kIpTtlExpiredTransit = 11013;
inline constexpr std::uint32_t kIpParamProblem = 11015;
inline constexpr std::uint32_t kIpSourceQuench = 11016;
inline constexpr std::uint32_t kIpDestUnreachable = 11040;  // Vista and later
inline constexpr std::uint32_t kIpTimeExceeded = 11041;
inline constexpr std::uint32_t kIpGeneralFailure = 11050;

// What one call of the echo function gave.
struct HelperAnswer {
    bool replied = false;      // it returned a reply; otherwise `status` is its last error
    std::uint32_t status = 0;  // the reply's status, or the error
    Address from{};            // who answered
    std::uint32_t dataBytes = 0;
    bool otherData = false;    // its data is not the start of what the echo carried
};

// The sending means as the system has them.
class Senders {
public:
    Senders() = default;
    Senders(const Senders&) = delete;
    Senders& operator=(const Senders&) = delete;
    virtual ~Senders() = default;
    // Whether the IP helper's echo functions are there.
    virtual bool HasEchoHelper() = 0;
    // One echo of `dataBytes` bytes of data to the host, with don't-fragment.
    virtual HelperAnswer HelperEcho(std::uint32_t dataBytes, unsigned timeoutMs) = 0;
    // The MTU of the interface the route to the host leaves through, where
    // the system says.
    virtual std::optional<unsigned> RouteMtu() = 0;
    // Opens the raw socket; on failure says why.
    virtual bool OpenRawSocket(std::string& failure) = 0;
    // Whether a raw socket needs administrator rights here: on NT from
    // Windows 2000 on; not on 95, 98, Me and NT 4.0.
    virtual bool RawSocketNeedsRights() = 0;
};

enum class Means { kEchoHelper, kRawSocket, kUdp, kNone };

struct MeansChosen {
    Means means = Means::kNone;
    std::string failure;  // kNone: why neither can send an unfragmented probe
};

MeansChosen ChooseMeans(Senders& senders);

// One row of the path MTUs the system learnt (GetIpPathTable), of IPv4
// (Address) or IPv6 (Address6).
template <class HostAddress>
struct BasicLearntPath {
    HostAddress destination{};
    std::uint32_t interfaceIndex = 0;
    unsigned pathMtu = 0;
};
using LearntPath = BasicLearntPath<Address>;

// The path MTU learnt for the host on the interface the route to it leaves
// through; a row of another interface (a VPN's beside the card's, Wi-Fi's
// beside Ethernet's) is another path's.
template <class HostAddress>
std::optional<unsigned> LearntOnRoute(const std::vector<BasicLearntPath<HostAddress>>& rows,
                                      const HostAddress& host, std::uint32_t routeInterface) {
    std::optional<unsigned> learnt;
    for (const BasicLearntPath<HostAddress>& row : rows) {
        if (row.destination == host && row.interfaceIndex == routeInterface && row.pathMtu != 0) {
            learnt = row.pathMtu;
        }
    }
    return learnt;
}

// Who gave an answer, as the back end of its IP version tells it.
struct AnswerSource {
    std::string who;    // the answering address, as text (empty: no reply came)
    bool host = false;  // the host probed
    bool self = false;  // this system (the zero address, a loopback or its own): a refusal of its own
};

// What the search makes of an answer of the echo function to a probe of
// `packetSize` bytes; `learnt` is the MTU the system learnt for the path on
// the route's interface, asked after a "too big": a size to try next.
// `local` is the address of the route's interface (zero: not known): a "too
// big" that this system gives without a reply, or as a reply from itself
// (that address, a loopback or the zero address), is its own refusal.
Echo ReadHelperAnswer(const HelperAnswer& answer, int packetSize, const Address& target,
                      std::optional<unsigned> learnt, const Address& local = {});
// The same for either IP version, who answered told by `from`, `headers`
// the probe's IP and ICMP headers. A reply to a probe larger than the MTU
// the system learnt for the path proves nothing of that size: IPv6 has no
// don't-fragment bit, so the system fragmented it itself. It is "too big",
// as is a silence where the system has learnt meanwhile that it is.
Echo ReadAnswer(const HelperAnswer& answer, const AnswerSource& from, int packetSize, int headers,
                std::optional<unsigned> learnt);

// How the first line of probe's output names each means.
const char* MeansName(Means means);

}  // namespace quillon::net
