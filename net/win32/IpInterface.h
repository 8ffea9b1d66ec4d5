#pragma once
// The IPv4 and IPv6 interface rows of Vista and later (MIB_IPINTERFACE_ROW): its MTU
// put into use at once with SetIpInterfaceEntry and read back with
// GetIpInterfaceEntry. Both come from the IP helper, looked up at run time.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "net/InterfaceTable.h"

namespace quillon::net {

struct IpInterfaceCalls {
    DWORD(WINAPI* getEntry)(PMIB_IPINTERFACE_ROW) = nullptr;
    DWORD(WINAPI* setEntry)(PMIB_IPINTERFACE_ROW) = nullptr;
};

// Puts `mtu` (0: the link's) into use on the interface of `family` (AF_INET,
// AF_INET6) with this index, never more than `linkMtu` (0: not known), and
// reads back what it uses. Without both calls: MtuSetting::kMissing.
MtuChange SetInterfaceMtu(const IpInterfaceCalls& calls, ADDRESS_FAMILY family, NET_IFINDEX index, unsigned mtu,
                          unsigned linkMtu);

}  // namespace quillon::net
