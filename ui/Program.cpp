#include "ui/Program.h"

#include <string>

#include "ui/MessageStyle.h"

namespace quillon::ui {

namespace {

constexpr int kExitNoSupportedWindows = 1;

}  // namespace

Program::Program(reg::Registry& registry, WindowSystem& system)
    : registry_(registry), system_(system), module_(registry, *this) {}

void Program::ShowMessage(const settings::Message& message) {
    system_.MsgBox(message.text, MessageStyle(message.notice), settings::kToolTitle);
}

Form1& Program::TheForm1() {
    if (!form1_) {
        form1_ = std::make_unique<Form1>(system_, module_, [this] { Exit(); });
    }
    return *form1_;
}

Form2& Program::TheForm2() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(system_, module_, [this] { Exit(); });
        form2_->SetUpControls();
    }
    return *form2_;
}

void Program::Start() {
    TheForm1();
    StartUp();
}

void Program::StartUp() {
    const ProductNames names = ReadProductNames(registry_);
    const std::string& ntName = names.nt;
    const std::string& name9x = names.nineX;

    TheForm1().TheWindow().Hide();
    TheForm2().TheWindow().Hide();
    TheForm1().SetUpControls();

    if (!ntName.empty()) {
        TheForm1().TheWindow().Show();
        TheForm1().TheWindow().SetCaption(Caption(ntName));
        module_.RetrieveMtuNt();
    }
    if (!name9x.empty()) {
        TheForm2().TheWindow().Show();
        TheForm2().TheWindow().SetCaption(Caption(name9x));
        module_.RetrieveMtu9x();
    }
    if (ntName.empty() && name9x.empty()) {
        // With no window to show the program could never be ended.
        system_.MsgBox(kNoSupportedWindows, kMbIconError, settings::kToolTitle);
        Exit(kExitNoSupportedWindows);
    }
}

void Program::Exit(int exitCode) {
    if (ended_) {
        return;
    }
    ended_ = true;
    TheForm1().TheWindow().Close();
    TheForm2().TheWindow().Close();
    system_.EndProgram(exitCode);
}

}  // namespace quillon::ui
