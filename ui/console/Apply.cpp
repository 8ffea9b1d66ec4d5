// apply MTU and remove: the window's own Apply and Remove for every family
// acted on.

#include "ui/console/Session.h"

namespace quillon::ui {

void ConsoleMessages::MsgBox(const std::string& prompt, int style, const std::string&) {
    if (style == kMbIconInformation) {
        output_.Out(prompt + "\n");
    } else {
        output_.Err(prompt + "\n");
        failed_ = true;
    }
}

int ApplyMtu(Session& session, const std::string& mtu) {
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            windows.Box(family9x).SetText(mtu);
            family9x ? module.ApplyMtu9x() : module.ApplyMtuNt();
        }
    }
    return windows.Failed() ? kExitFailure : kExitSuccess;
}

int RunApply(Session& session) { return ApplyMtu(session, session.line.mtu); }

int RunRemove(Session& session) {
    ConsoleWindows& windows = session.windows;
    settings::Module1& module = session.module;
    for (const bool family9x : {false, true}) {
        if (session.Acts(family9x)) {
            family9x ? module.RemoveMtu9x() : module.RemoveMtuNt();
        }
    }
    return windows.Failed() ? kExitFailure : kExitSuccess;
}

}  // namespace quillon::ui
