#pragma once
// The route and interface table as the IP helper (iphlpapi.dll, looked up at
// run time) gives it: the adapters (GetAdaptersInfo; for IPv6, which an
// adapter may have without IPv4, GetAdaptersAddresses), the interface the
// route to a host leaves through (GetBestInterface), the MTU an interface
// uses (IPv4: GetIpInterfaceTable from Vista on, else GetIfEntry; IPv6:
// GetIpInterfaceEntry) and its link's
// (GetIfEntry), the path MTUs the system learnt (GetIpPathTable), and the MTU
// in use changed at once (net/win32/IpInterface.h).

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <optional>
#include <vector>

#include "net/Icmp.h"
#include "net/InterfaceTable.h"
#include "net/win32/IpInterface.h"

namespace quillon::net {

class Win32InterfaceTable final : public InterfaceTable {
public:
    Win32InterfaceTable() = default;
    Win32InterfaceTable(const Win32InterfaceTable&) = delete;
    Win32InterfaceTable& operator=(const Win32InterfaceTable&) = delete;
    ~Win32InterfaceTable() override;

    RouteAdapter Route(const std::string& address) override;
    std::optional<unsigned> MtuInUse(const std::string& adapter, IpVersion version) override;
    std::optional<unsigned> LinkMtu(const std::string& adapter) override;
    MtuChange SetMtuInUse(const std::string& adapter, unsigned mtu, IpVersion version) override;

    // For the probe: the index of the interface the route to `host` leaves
    // through; the IPv4 MTU of an interface, its NlMtu in the interface
    // table of Vista and later, else the link's MTU; and the path MTU the
    // system learnt for `host` on the route's interface.
    std::optional<DWORD> RouteIndex(const Address& host);
    std::optional<unsigned> InterfaceMtu(DWORD index);
    std::optional<unsigned> LearntMtu(const Address& host, DWORD routeIndex);
    // The same for IPv6 (GetBestInterfaceEx, GetIpInterfaceEntry), and the
    // adapter of an interface index, where the system lists it.
    std::optional<DWORD> RouteIndex(const sockaddr_in6& host);
    std::optional<unsigned> Ipv6Mtu(DWORD index);
    std::optional<unsigned> LearntMtu(const Address6& host, DWORD routeIndex);
    std::optional<RouteAdapter> AdapterOf(DWORD index);

private:
    void Load();
    // The adapters as the IP helper lists them (a buffer of IP_ADAPTER_INFO).
    bool Adapters(std::vector<unsigned char>& buffer) const;
    // The IP helper's index of an adapter named as MtuInUse names it;
    // `listed`, where given, says whether the adapters could be listed.
    std::optional<DWORD> AdapterIndex(const std::string& adapter, bool* listed = nullptr);
    // The index of the adapter's IPv6 interface, from GetAdaptersAddresses.
    std::optional<DWORD> Ipv6Index(const std::string& adapter, bool* listed = nullptr);
    // The adapter's index for `version`.
    std::optional<DWORD> IndexOf(const std::string& adapter, IpVersion version, bool* listed = nullptr);
    std::optional<unsigned> IndexLinkMtu(DWORD index) const;
    // The path MTU learnt for a host of `family`, its address `bytes` long.
    std::optional<unsigned> Learnt(ADDRESS_FAMILY family, const std::uint8_t* host, std::size_t bytes,
                                   DWORD routeIndex);
    // The adapters with their interface indexes (a buffer of
    // IP_ADAPTER_ADDRESSES, names only); false where they cannot be listed.
    bool AdapterList(std::vector<unsigned char>& buffer, bool& any);

    HMODULE module_ = nullptr;
    bool loaded_ = false;
    DWORD(WINAPI* getBestInterface_)(IPAddr, PDWORD) = nullptr;
    DWORD(WINAPI* getBestInterfaceEx_)(sockaddr*, PDWORD) = nullptr;
    DWORD(WINAPI* getIfEntry_)(PMIB_IFROW) = nullptr;
    DWORD(WINAPI* getAdaptersInfo_)(PIP_ADAPTER_INFO, PULONG) = nullptr;
    ULONG(WINAPI* getAdaptersAddresses_)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG) = nullptr;
    DWORD(WINAPI* getIpInterfaceTable_)(ADDRESS_FAMILY, PMIB_IPINTERFACE_TABLE*) = nullptr;
    DWORD(WINAPI* getIpPathTable_)(ADDRESS_FAMILY, PMIB_IPPATH_TABLE*) = nullptr;
    void(WINAPI* freeMibTable_)(PVOID) = nullptr;
    IpInterfaceCalls ipInterface_;
};

}  // namespace quillon::net
