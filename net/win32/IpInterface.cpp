#include "net/win32/IpInterface.h"

namespace quillon::net {

namespace {

// What a failed call says to the user.
MtuSetting Refusal(DWORD status) {
    switch (status) {
        case ERROR_ACCESS_DENIED:
            return MtuSetting::kNoRights;
        case ERROR_INVALID_PARAMETER:
            return MtuSetting::kRefused;
        case ERROR_NOT_FOUND:       // no row of this family
        case ERROR_FILE_NOT_FOUND:  // no such interface
            return MtuSetting::kNoInterface;
        default:
            return MtuSetting::kFailed;
    }
}

}  // namespace

MtuChange SetInterfaceMtu(const IpInterfaceCalls& calls, ADDRESS_FAMILY family, NET_IFINDEX index, unsigned mtu,
                          unsigned linkMtu) {
    MtuChange change;
    change.linkMtu = linkMtu;
    if (calls.getEntry == nullptr || calls.setEntry == nullptr) {
        return change;
    }
    // Above the link's MTU the link's is what counts: that is what is set.
    change.aboveLink = mtu != 0 && linkMtu != 0 && mtu > linkMtu;
    const unsigned wanted = mtu == 0 || change.aboveLink ? linkMtu : mtu;
    if (wanted == 0) {
        change.outcome = MtuSetting::kLinkUnknown;
        return change;
    }
    MIB_IPINTERFACE_ROW row{};
    row.Family = family;
    row.InterfaceIndex = index;
    DWORD status = calls.getEntry(&row);
    if (status == NO_ERROR) {
        change.inUse = row.NlMtu;
        if (family == AF_INET) {
            row.SitePrefixLength = 0;  // what SetIpInterfaceEntry requires of an IPv4 row
        }
        row.NlMtu = wanted;
        status = calls.setEntry(&row);
    }
    if (status == NO_ERROR) {
        // Set: a read-back that fails leaves only what is in use unknown.
        MIB_IPINTERFACE_ROW back{};
        back.Family = family;
        back.InterfaceIndex = index;
        change.outcome = MtuSetting::kSet;
        change.inUse = calls.getEntry(&back) == NO_ERROR ? back.NlMtu : 0;
        return change;
    }
    change.outcome = Refusal(status);
    change.error = status;
    return change;
}

}  // namespace quillon::net
