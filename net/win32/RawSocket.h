#pragma once
// The probe's other way to send: a raw ICMP socket with don't-fragment set,
// through Windows Sockets. It honours the flag where the IP helper's echo
// does not, but needs administrator rights from Windows 2000 on.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <windows.h>

#include <optional>
#include <string>

#include "net/Icmp.h"
#include "net/Prober.h"
#include "net/win32/Winsock.h"

namespace quillon::net {

class RawSocket {
public:
    explicit RawSocket(const Winsock& winsock) : winsock_(winsock) {}
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;
    ~RawSocket();

    // Opens the socket for probes of `target`; on failure says why.
    bool Open(const Address& target, std::string& failure);
    // Whether a raw socket needs administrator rights on this system.
    static bool NeedsRights();
    // Sends one probe of `packetSize` bytes and waits at most `timeoutMs`
    // for its answer, or until the user presses Ctrl+C.
    Echo Send(int packetSize, unsigned timeoutMs);

private:
    const Winsock& winsock_;
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in target_{};
    std::optional<ProbeLog> probes_;
};

}  // namespace quillon::net
