#pragma once
// The MTU of an interface kept past a restart, in the store that Windows
// copies into use at each start-up: netsh, run by its full path in the
// system folder, with no window and nothing it prints shown. Microsoft
// documents `netsh interface ipv6 set subinterface ... store=persistent` as
// "retained after reboot"; nothing it documents says that of
// SetIpInterfaceEntry, which puts the MTU into use at once.

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "net/InterfaceTable.h"

namespace quillon::net {

// Stores `mtu` for the IPv6 interface with this index, and says in
// `change.kept` (and `change.keepError`) what came of it.
void KeepIpv6Mtu(NET_IFINDEX index, unsigned mtu, MtuChange& change);

}  // namespace quillon::net
