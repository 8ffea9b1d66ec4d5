#include "net/win32/Win32InterfaceTable.h"

#include <cstring>

#include "net/EchoHelper.h"
#include "net/Mtu.h"
#include "net/win32/PersistentStore.h"
#include "net/win32/SystemLibrary.h"

namespace quillon::net {

namespace {


char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Service names are GUIDs, whose letters may come in either case.
bool SameText(const std::string& a, const char* b) {
    const std::size_t length = std::strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (std::size_t i = 0; i != length; ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

Win32InterfaceTable::~Win32InterfaceTable() {
    if (module_ != nullptr) {
        FreeLibrary(module_);
    }
}

void Win32InterfaceTable::Load() {
    if (loaded_) {
        return;
    }
    loaded_ = true;
    module_ = LoadSystemLibrary("iphlpapi.dll");
    // Each is used where it is there: the newer ones from Vista on.
    FindFunctions(module_,
                  "GetBestInterface\0GetIfEntry\0GetAdaptersInfo\0GetAdaptersAddresses\0GetIpInterfaceTable\0"
                  "GetIpPathTable\0FreeMibTable\0GetIpInterfaceEntry\0SetIpInterfaceEntry\0GetBestInterfaceEx",
                  {getBestInterface_, getIfEntry_, getAdaptersInfo_, getAdaptersAddresses_, getIpInterfaceTable_,
                   getIpPathTable_, freeMibTable_, ipInterface_.getEntry, ipInterface_.setEntry,
                   getBestInterfaceEx_});
    if (freeMibTable_ == nullptr) {
        getIpInterfaceTable_ = nullptr;
        getIpPathTable_ = nullptr;
    }
}

std::optional<DWORD> Win32InterfaceTable::RouteIndex(const Address& host) {
    Load();
    IPAddr to = 0;
    std::memcpy(&to, host.data(), host.size());
    DWORD index = 0;
    if (getBestInterface_ != nullptr && getBestInterface_(to, &index) == NO_ERROR) {
        return index;
    }
    return std::nullopt;
}

RouteAdapter Win32InterfaceTable::Route(const std::string& address) {
    RouteAdapter route;
    Address host{};
    const std::optional<DWORD> index = ParseDotted(address, host) ? RouteIndex(host) : std::nullopt;
    std::vector<unsigned char> buffer;
    if (!index || !Adapters(buffer)) {
        return route;
    }
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->Index == *index) {
            route.name = adapter->AdapterName;
            route.address = adapter->IpAddressList.IpAddress.String;
        }
    }
    return route;
}

std::optional<unsigned> Win32InterfaceTable::LearntMtu(const Address& host, DWORD routeIndex) {
    return Learnt(AF_INET, host.data(), host.size(), routeIndex);
}

std::optional<unsigned> Win32InterfaceTable::LearntMtu(const Address6& host, DWORD routeIndex) {
    return Learnt(AF_INET6, host.data(), host.size(), routeIndex);
}

std::optional<unsigned> Win32InterfaceTable::Learnt(ADDRESS_FAMILY family, const std::uint8_t* host,
                                                    std::size_t bytes, DWORD routeIndex) {
    Load();
    PMIB_IPPATH_TABLE table = nullptr;
    if (getIpPathTable_ == nullptr || getIpPathTable_(family, &table) != NO_ERROR || table == nullptr) {
        return std::nullopt;
    }
    // Each address in the first `bytes` of a row's, the rest zero.
    std::vector<BasicLearntPath<Address6>> rows;
    for (ULONG i = 0; i != table->NumEntries; ++i) {
        const MIB_IPPATH_ROW& row = table->Table[i];
        if (row.Destination.si_family == family) {
            BasicLearntPath<Address6>& path = rows.emplace_back();
            std::memcpy(path.destination.data(),
                        family == AF_INET6 ? static_cast<const void*>(&row.Destination.Ipv6.sin6_addr)
                                           : static_cast<const void*>(&row.Destination.Ipv4.sin_addr),
                        bytes);
            path.interfaceIndex = row.InterfaceIndex;
            path.pathMtu = row.PathMtu;
        }
    }
    freeMibTable_(table);
    Address6 key{};
    std::memcpy(key.data(), host, bytes);
    return LearntOnRoute(rows, key, routeIndex);
}

std::optional<DWORD> Win32InterfaceTable::RouteIndex(const sockaddr_in6& host) {
    Load();
    sockaddr_in6 to = host;
    DWORD index = 0;
    if (getBestInterfaceEx_ != nullptr && getBestInterfaceEx_(reinterpret_cast<sockaddr*>(&to), &index) == NO_ERROR) {
        return index;
    }
    return std::nullopt;
}

std::optional<unsigned> Win32InterfaceTable::Ipv6Mtu(DWORD index) {
    Load();
    MIB_IPINTERFACE_ROW row{};
    row.Family = AF_INET6;
    row.InterfaceIndex = index;
    const DWORD status = ipInterface_.getEntry != nullptr ? ipInterface_.getEntry(&row) : ERROR_NOT_SUPPORTED;
    if (status == ERROR_NOT_FOUND) {
        return 0;  // no IPv6 interface: IPv6 is off there
    }
    return status == NO_ERROR && row.NlMtu != 0 && row.NlMtu <= kLargestIpv4Packet
               ? std::optional<unsigned>(row.NlMtu)
               : std::nullopt;
}

std::optional<RouteAdapter> Win32InterfaceTable::AdapterOf(DWORD index) {
    std::vector<unsigned char> buffer;
    bool any = false;
    if (!AdapterList(buffer, any)) {
        return std::nullopt;
    }
    for (auto* info = any ? reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()) : nullptr;
         info != nullptr; info = info->Next) {
        if (info->Ipv6IfIndex == index || info->IfIndex == index) {
            return RouteAdapter{info->AdapterName, std::string()};
        }
    }
    return std::nullopt;
}

bool Win32InterfaceTable::Adapters(std::vector<unsigned char>& buffer) const {
    if (getAdaptersInfo_ == nullptr) {
        return false;
    }
    ULONG bytes = 0;
    DWORD status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt != 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes == 0 ? sizeof(IP_ADAPTER_INFO) : bytes, 0);
        bytes = static_cast<ULONG>(buffer.size());
        status = getAdaptersInfo_(reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data()), &bytes);
    }
    return status == ERROR_SUCCESS;
}

std::optional<unsigned> Win32InterfaceTable::InterfaceMtu(DWORD index) {
    Load();
    PMIB_IPINTERFACE_TABLE table = nullptr;
    if (getIpInterfaceTable_ != nullptr && getIpInterfaceTable_(AF_INET, &table) == NO_ERROR &&
        table != nullptr) {
        std::optional<unsigned> mtu;
        for (ULONG i = 0; i != table->NumEntries; ++i) {
            // The loopback's is 0xFFFFFFFF: no MTU a probe could use.
            if (table->Table[i].InterfaceIndex == index && table->Table[i].NlMtu != 0 &&
                table->Table[i].NlMtu <= kLargestIpv4Packet) {
                mtu = table->Table[i].NlMtu;
            }
        }
        freeMibTable_(table);
        if (mtu) {
            return mtu;
        }
    }
    return IndexLinkMtu(index);
}

std::optional<unsigned> Win32InterfaceTable::IndexLinkMtu(DWORD index) const {
    MIB_IFROW row{};
    row.dwIndex = index;
    if (getIfEntry_ != nullptr && getIfEntry_(&row) == NO_ERROR && row.dwMtu != 0 &&
        row.dwMtu <= kLargestIpv4Packet) {
        return static_cast<unsigned>(row.dwMtu);
    }
    return std::nullopt;
}

std::optional<unsigned> Win32InterfaceTable::MtuInUse(const std::string& adapter, IpVersion version) {
    bool listed = false;
    const std::optional<DWORD> index = IndexOf(adapter, version, &listed);
    if (version == IpVersion::k4) {
        return index ? InterfaceMtu(*index) : std::nullopt;
    }
    if (!index || ipInterface_.getEntry == nullptr) {
        return listed && ipInterface_.getEntry != nullptr ? std::optional<unsigned>(0) : std::nullopt;
    }
    return Ipv6Mtu(*index);
}

std::optional<unsigned> Win32InterfaceTable::LinkMtu(const std::string& adapter) {
    std::optional<DWORD> index = AdapterIndex(adapter);
    index = index ? index : Ipv6Index(adapter);
    return index ? IndexLinkMtu(*index) : std::nullopt;
}

MtuChange Win32InterfaceTable::SetMtuInUse(const std::string& adapter, unsigned mtu, IpVersion version) {
    Load();
    if (ipInterface_.getEntry == nullptr || ipInterface_.setEntry == nullptr) {
        return MtuChange{};  // before Vista: from the next restart
    }
    bool listed = false;
    const std::optional<DWORD> index = IndexOf(adapter, version, &listed);
    if (!index) {
        // Not among the adapters listed: no interface now. Where they could
        // not be listed, that says nothing of the adapter.
        MtuChange none;
        none.outcome = listed ? MtuSetting::kNoInterface : MtuSetting::kFailed;
        none.error = ERROR_GEN_FAILURE;
        return none;
    }
    const bool six = version == IpVersion::k6;
    MtuChange change =
        SetInterfaceMtu(ipInterface_, six ? AF_INET6 : AF_INET, *index, mtu, IndexLinkMtu(*index).value_or(0));
    // IPv4's MTU lasts in the registry, where the console program stored it;
    // IPv6's only where Windows' persistent store keeps it too.
    if (six && change.outcome == MtuSetting::kSet && change.inUse != 0) {
        KeepIpv6Mtu(*index, change.inUse, change);
    }
    return change;
}

std::optional<DWORD> Win32InterfaceTable::IndexOf(const std::string& adapter, IpVersion version, bool* listed) {
    return version == IpVersion::k4 ? AdapterIndex(adapter, listed) : Ipv6Index(adapter, listed);
}

bool Win32InterfaceTable::AdapterList(std::vector<unsigned char>& buffer, bool& any) {
    Load();
    if (getAdaptersAddresses_ == nullptr) {
        return false;
    }
    constexpr ULONG kNamesOnly = GAA_FLAG_SKIP_UNICAST | GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                                 GAA_FLAG_SKIP_DNS_SERVER;
    ULONG bytes = 16384;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt != 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.assign(bytes, 0);
        status = getAdaptersAddresses_(AF_UNSPEC, kNamesOnly, nullptr,
                                       reinterpret_cast<PIP_ADAPTER_ADDRESSES>(buffer.data()), &bytes);
    }
    any = status == ERROR_SUCCESS;
    return any || status == ERROR_NO_DATA;
}

std::optional<DWORD> Win32InterfaceTable::Ipv6Index(const std::string& adapter, bool* listed) {
    std::vector<unsigned char> buffer;
    bool any = false;
    if (!AdapterList(buffer, any)) {
        return std::nullopt;
    }
    if (listed != nullptr) {
        *listed = true;
    }
    for (auto* info = any ? reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data()) : nullptr;
         info != nullptr; info = info->Next) {
        // Wine leaves Ipv6IfIndex 0; Windows gives both indexes alike, and
        // an interface without IPv6 has no IPv6 row (ERROR_NOT_FOUND).
        if (SameText(adapter, info->AdapterName)) {
            return info->Ipv6IfIndex != 0 ? info->Ipv6IfIndex : info->IfIndex;
        }
    }
    return std::nullopt;
}

std::optional<DWORD> Win32InterfaceTable::AdapterIndex(const std::string& adapter, bool* listed) {
    Load();
    std::vector<unsigned char> buffer;
    if (!Adapters(buffer)) {
        return std::nullopt;
    }
    if (listed != nullptr) {
        *listed = true;
    }
    // An NT adapter is known by its service name; a 9x transport by its IP
    // address, where it has one of its own (not the 0.0.0.0 of one that has
    // its address from DHCP).
    const bool byAddress = adapter != "0.0.0.0";
    for (auto* info = reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()); info != nullptr;
         info = info->Next) {
        bool match = SameText(adapter, info->AdapterName);
        for (const IP_ADDR_STRING* ip = &info->IpAddressList; ip != nullptr && !match && byAddress;
             ip = ip->Next) {
            match =
                std::strcmp(ip->IpAddress.String, adapter.c_str()) == 0 && ip->IpAddress.String[0] != '\0';
        }
        if (match) {
            return info->Index;
        }
    }
    return std::nullopt;
}

}  // namespace quillon::net
