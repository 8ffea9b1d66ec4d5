#pragma once
// The settings module wired to headless MTU boxes and message boxes, over
// whichever registry platform a test gives it.

#include "registry/Registry.h"
#include "registry/RegistryApi.h"
#include "settings/Module1.h"
#include "ui/MessageStyle.h"
#include "ui/headless/HeadlessUi.h"

namespace quillon::test {

class SettingsRig final : public settings::SettingsWindows {
public:
    explicit SettingsRig(reg::RegistryApi& platform) : routines(platform) {}

    std::string MtuText(settings::WindowsFamily family) override { return Box(family).Text(); }
    void SetMtuText(settings::WindowsFamily family, const std::string& text) override { Box(family).SetText(text); }
    void ShowMessage(const settings::Message& message) override {
        ui.MsgBox(message.text, ui::MessageStyle(message.notice), settings::kToolTitle);
    }

    reg::Registry routines;
    ui::headless::HeadlessWindowSystem ui;
    ui::headless::HeadlessTextBox text3{{}, 0};
    ui::headless::HeadlessTextBox text4{{}, 0};
    settings::Module1 module{routines, *this};

private:
    ui::headless::HeadlessTextBox& Box(settings::WindowsFamily family) {
        return family == settings::WindowsFamily::kNt ? text3 : text4;
    }
};

}  // namespace quillon::test
