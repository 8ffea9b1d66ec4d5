#pragma once
// The settings module wired to headless MTU boxes and message boxes, over
// whichever registry platform a test gives it.

#include "registry/Registry.h"
#include "registry/RegistryApi.h"
#include "settings/Module1.h"
#include "ui/headless/HeadlessUi.h"

namespace quillon::test {

class SettingsRig final : public settings::SettingsWindows {
public:
    explicit SettingsRig(reg::RegistryApi& platform) : routines(platform) {}

    ui::TextBox& NtMtuBox() override { return text3; }
    ui::TextBox& MtuBox9x() override { return text4; }
    ui::MessageBoxes& Messages() override { return ui; }

    reg::Registry routines;
    ui::headless::HeadlessWindowSystem ui;
    ui::headless::HeadlessTextBox text3{{}, 0};
    ui::headless::HeadlessTextBox text4{{}, 0};
    settings::Module1 module{routines, *this};
};

}  // namespace quillon::test
