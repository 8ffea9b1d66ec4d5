#pragma once
// The IP helper's echo function (IcmpSendEcho), looked up at run time in
// iphlpapi.dll, or in icmp.dll on the systems before XP: one echo with
// don't-fragment set, and what came back.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>

#include "net/EchoHelper.h"
#include "net/Icmp.h"

namespace quillon::net {

class IcmpEcho {
public:
    IcmpEcho() = default;
    IcmpEcho(const IcmpEcho&) = delete;
    IcmpEcho& operator=(const IcmpEcho&) = delete;
    ~IcmpEcho();

    // Looks the echo functions up (once).
    void Load();
    // Whether they are there and give a handle to send with.
    bool Open();
    // One echo of `dataBytes` bytes of data to `target`, with don't-fragment.
    HelperAnswer Send(const Address& target, std::uint32_t dataBytes, unsigned timeoutMs) const;

private:
    HANDLE(WINAPI* createFile_)() = nullptr;
    BOOL(WINAPI* closeHandle_)(HANDLE) = nullptr;
    DWORD(WINAPI* sendEcho_)
    (HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD) = nullptr;
    HMODULE ipHelperModule_ = nullptr;
    HMODULE icmpModule_ = nullptr;
    bool loaded_ = false;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The IP helper's echo function for IPv6 (Icmp6SendEcho2, Vista and
// later): one echo, the answer and who gave it. IPv6 has no don't-fragment
// bit: what passed whole is read from the path table beside it.
class Icmp6Echo {
public:
    Icmp6Echo() = default;
    Icmp6Echo(const Icmp6Echo&) = delete;
    Icmp6Echo& operator=(const Icmp6Echo&) = delete;
    ~Icmp6Echo();

    // Whether the functions are there and give a handle to send with.
    bool Open();
    // One echo of `dataBytes` bytes of data to `target`; `from` is who answered.
    HelperAnswer Send(const sockaddr_in6& target, std::uint32_t dataBytes, unsigned timeoutMs, Address6& from) const;

private:
    HANDLE(WINAPI* createFile_)() = nullptr;
    BOOL(WINAPI* closeHandle_)(HANDLE) = nullptr;
    DWORD(WINAPI* sendEcho_)
    (HANDLE, HANDLE, PVOID, PVOID, sockaddr_in6*, sockaddr_in6*, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
     DWORD, DWORD) = nullptr;
    HMODULE module_ = nullptr;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace quillon::net
