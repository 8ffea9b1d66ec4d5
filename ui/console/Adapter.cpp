// --adapter: the one adapter (NT) or transport (9x) a command acts on, named
// as show names it, and the one the route to a host leaves through.

#include "ui/console/Adapter.h"

#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) {
        return false;
    }
    for (std::size_t i = 0; i != a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Every adapter of the families acted on, one line each in `all`; `picked`
// is the one that `name` names (or, where `route` is given, the one it leaves
// through), none where none or several are; and how many were named.
void Pick(Session& session, const std::string& name, const net::RouteAdapter* route, std::string& all,
          int& named, std::optional<Adapter>& picked) {
    named = 0;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        for (settings::SlotReport& slot : session.engine.List(family)) {
            const bool match = route == nullptr ? SameName(name, slot.slot) || SameName(name, slot.name) ||
                                                      SameName(name, slot.description)
                               : family == settings::WindowsFamily::k9x
                                   ? slot.name == route->address && !route->address.empty()
                                   : SameName(slot.name, route->name);
            all += Fill("  %\n", {Describe(family, slot)});
            if (match) {
                picked = Adapter{family, std::move(slot)};
                ++named;
            }
        }
    }
    if (named != 1) {
        picked.reset();
    }
}

}  // namespace

std::string Describe(settings::WindowsFamily family, const settings::SlotReport& slot) {
    return Fill(
        slot.description.empty() ? "% %  %" : "% %  %  \"%\"",
        {family == settings::WindowsFamily::k9x ? "transport" : "card", slot.slot, slot.name, slot.description});
}

std::string Describe(const Adapter& adapter) { return Describe(adapter.family, adapter.slot); }

void FindAdapter(Session& session, const std::string& name, std::optional<Adapter>& picked,
                 std::string& failure) {
    std::string all;
    int named = 0;
    Pick(session, name, nullptr, all, named, picked);
    if (!picked) {
        failure = Fill(named == 0 ? "No adapter is named '%'. Nothing was written. The adapters are:\n%"
                                  : "More than one adapter is named '%': name it by its card or transport "
                                    "number. Nothing was written. The adapters are:\n%",
                       {name, all.empty() ? std::string_view("  (none)\n") : std::string_view(all)});
    }
}

std::optional<Adapter> FindRouteAdapter(Session& session, const net::RouteAdapter& via) {
    std::string all;
    int named = 0;
    std::optional<Adapter> route;
    Pick(session, std::string(), &via, all, named, route);
    return route;
}

void ActOnOneFamily(Session& session, const Adapter& adapter) {
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        session.Act(family, family == adapter.family);
    }
    session.slot = adapter.slot.index;
}

bool ChooseAdapter(Session& session, std::optional<Adapter>& one, RunResult& result) {
    if (session.line.adapter) {
        FindAdapter(session, *session.line.adapter, one, result.failure);
        if (!one) {
            result.exitCode = kExitFailure;
            return false;
        }
        ActOnOneFamily(session, *one);
    }
    return true;
}

}  // namespace quillon::ui
