// apply MTU and remove: the window's own Apply and Remove for every family
// acted on.

#include "ui/console/Adapter.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

void ConsoleMessages::MsgBox(const std::string& prompt, int style, const std::string&) {
    if (style == kMbIconInformation) {
        output_.Out({prompt, "\n"});
    } else {
        output_.Err({prompt, "\n"});
        failed_ = true;
    }
}

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

bool ChooseAdapter(Session& session, std::optional<Adapter>& one) {
    if (session.line.adapter) {
        one = FindAdapter(session, *session.line.adapter);
        if (!one) {
            return false;
        }
        ActOnOneFamily(session, *one);
    }
    return true;
}

int RunApply(Session& session) {
    std::optional<Adapter> one;
    return ChooseAdapter(session, one) ? ApplyMtu(session, session.line.mtu, one) : kExitFailure;
}

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
        session.output.Out(module.SwitchKept()
                               ? "The MTU was removed from % only; path-MTU discovery stays off, "
                                 "since another adapter keeps an MTU.\n"
                               : "The MTU was removed from % only; path-MTU discovery is on again, "
                                 "since no other adapter keeps an MTU.\n",
                           {Describe(*one)});
    }
    return kExitSuccess;
}

}  // namespace quillon::ui
