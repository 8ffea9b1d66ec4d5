#pragma once
// The program: the two settings windows and the settings module, from
// start-up to Exit. Form1 is the start-up window; its load handler, StartUp,
// finds which family of Windows this is and shows the window of each family
// it finds. Form2 is created and set up when it is first referred to.

#include <memory>
#include <string>

#include "registry/Registry.h"
#include "settings/Module1.h"
#include "ui/ProductNames.h"
#include "ui/SettingsForm.h"
#include "ui/WindowServices.h"

namespace quillon::ui {

class Program final : public settings::SettingsWindows {
public:
    Program(reg::Registry& registry, WindowSystem& system);

    // Loads Form1, which runs StartUp.
    void Start();
    void StartUp();
    // Closes Form1, then Form2, and ends the program.
    void Exit(int exitCode = 0);

    Form1& TheForm1();
    // Loads Form2 on first reference.
    Form2& TheForm2();

    std::string MtuText(settings::WindowsFamily family) override { return MtuBox(family).Text(); }
    void SetMtuText(settings::WindowsFamily family, const std::string& text) override {
        MtuBox(family).SetText(text);
    }
    void ShowMessage(const settings::Message& message) override;

private:
    TextBox& MtuBox(settings::WindowsFamily family) {
        return family == settings::WindowsFamily::kNt ? TheForm1().Text3() : TheForm2().Text4();
    }

    reg::Registry& registry_;
    WindowSystem& system_;
    settings::Module1 module_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
    bool ended_ = false;
};

}  // namespace quillon::ui
