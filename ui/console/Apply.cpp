// apply MTU: the window's own Apply for every family acted on, or for the
// one adapter --adapter names.

#include "ui/console/Adapter.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

int ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one) {
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            windows.Box(family9x).SetText(mtu);
            family9x ? module.ApplyMtu9x() : module.ApplyMtuNt();
        }
    }
    if (windows.Failed()) {
        return kExitFailure;
    }
    if (one) {
        session.output.Out(
            "The MTU was stored for % only; path-MTU discovery is off for the whole machine, as apply "
            "sets it.\n",
            {Describe(*one)});
    }
    return kExitSuccess;
}

int RunApply(Session& session) {
    std::optional<Adapter> one;
    return ChooseAdapter(session, one) ? ApplyMtu(session, session.line.mtu, one) : kExitFailure;
}

}  // namespace quillon::ui
