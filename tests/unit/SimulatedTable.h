#pragma once
// The route and interface table for the console's tests: the adapter the
// route leaves through, each adapter's MTU in use and link MTU as given, and
// changes of the MTU in use that succeed or are refused per adapter.

#include <map>
#include <optional>
#include <string>

#include "net/InterfaceTable.h"

namespace quillon::test {

class SimulatedTable final : public net::InterfaceTable {
public:
    std::string routeAdapter;  // what Route says
    std::string routeAddress;
    std::map<std::string, unsigned> inUse;            // MtuInUse's answers, and what SetMtuInUse sets
    std::map<std::string, unsigned> inUse6;           // the same for IPv6 (0: no IPv6 interface)
    std::map<std::string, unsigned> linkMtu;          // LinkMtu's answers
    std::map<std::string, net::MtuSetting> refusals;  // SetMtuInUse's refusals, by adapter (IPv6: "NAME/6")
    bool canSetInUse = true;                          // false: a system before Vista
    net::Kept keeps = net::Kept::kNotTried;           // what Windows' persistent store makes of IPv6's, error 2

    net::RouteAdapter Route(const std::string&) override { return {routeAdapter, routeAddress}; }

    std::optional<unsigned> MtuInUse(const std::string& serviceName, net::IpVersion version) override {
        const std::map<std::string, unsigned>& table = version == net::IpVersion::k4 ? inUse : inUse6;
        const auto found = table.find(serviceName);
        return found == table.end() ? std::nullopt : std::optional<unsigned>(found->second);
    }

    std::optional<unsigned> LinkMtu(const std::string& adapter) override {
        const auto found = linkMtu.find(adapter);
        return found == linkMtu.end() ? std::nullopt : std::optional<unsigned>(found->second);
    }

    net::MtuChange SetMtuInUse(const std::string& adapter, unsigned mtu, net::IpVersion version) override {
        net::MtuChange change;
        const bool six = version == net::IpVersion::k6;
        const auto refusal = refusals.find(six ? adapter + "/6" : adapter);
        change.outcome = !canSetInUse                ? net::MtuSetting::kMissing
                         : refusal == refusals.end() ? net::MtuSetting::kSet
                                                     : refusal->second;
        change.linkMtu = LinkMtu(adapter).value_or(0);
        change.aboveLink = mtu != 0 && change.linkMtu != 0 && mtu > change.linkMtu;
        change.error = 31;
        std::map<std::string, unsigned>& table = six ? inUse6 : inUse;
        const auto now = table.find(adapter);
        if (six && change.outcome == net::MtuSetting::kSet && (now == table.end() || now->second == 0)) {
            change.outcome = net::MtuSetting::kNoInterface;  // as Windows says ERROR_NOT_FOUND
        }
        if (change.outcome == net::MtuSetting::kSet) {
            table[adapter] = mtu == 0 || change.aboveLink ? change.linkMtu : mtu;
        }
        if (six && change.outcome == net::MtuSetting::kSet) {
            change.kept = keeps;
            change.keepError = keeps == net::Kept::kKept ? 0 : 2;
        }
        const auto after = table.find(adapter);
        change.inUse = after == table.end() ? 0 : after->second;
        return change;
    }
};

}  // namespace quillon::test
