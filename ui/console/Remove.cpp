// remove: the window's own Remove for every family acted on, or for the one
// adapter --adapter names.

#include "ui/console/Adapter.h"
#include "ui/console/Session.h"

namespace quillon::ui {

int RunRemove(Session& session) {
    std::optional<Adapter> one;
    if (!ChooseAdapter(session, one)) {
        return kExitFailure;
    }
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            family9x ? module.RemoveMtu9x() : module.RemoveMtuNt();
        }
    }
    if (windows.Failed()) {
        return kExitFailure;
    }
    if (one) {
        session.output.Out(
            "The MTU was removed from % only; path-MTU discovery is on again (the default), "
            "since not every adapter holds an MTU of its own now.\n",
            {Describe(*one)});
    }
    return kExitSuccess;
}

}  // namespace quillon::ui
