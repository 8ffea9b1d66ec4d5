#pragma once
// --adapter: the one adapter (NT) or transport (9x) a command acts on.

#include <optional>
#include <string>

#include "ui/console/Session.h"

namespace quillon::ui {

struct Adapter {
    settings::WindowsFamily family = settings::WindowsFamily::kNt;
    settings::SlotReport slot;
};

// "card 2  {GUID}  "eth0"", as show begins its line.
std::string Describe(settings::WindowsFamily family, const settings::SlotReport& slot);
std::string Describe(const Adapter& adapter);

// The adapter of the families acted on that `name` names whole, in any case:
// its card or transport number, service name or IP address, or its name as
// Windows shows it, into `picked` (none so far). Where none or several are
// named, `picked` is none, and `failure` says so with the list of adapters.
void FindAdapter(Session& session, const std::string& name, std::optional<Adapter>& picked,
                 std::string& failure);

// The adapter the route to the probed host leaves through, where the system
// said and it is one of the adapters the tool knows.
std::optional<Adapter> FindRouteAdapter(Session& session, const net::RouteAdapter& via);

// From now on the session acts on this adapter's family and this adapter only.
void ActOnOneFamily(Session& session, const Adapter& adapter);

// The adapter --adapter names, and from then on the session acts on it only;
// false where it names none or several: then result's failure says so, and
// its exit code is 1.
bool ChooseAdapter(Session& session, std::optional<Adapter>& one, RunResult& result);

}  // namespace quillon::ui
