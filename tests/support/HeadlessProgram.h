#pragma once
// The whole window program on the in-memory registry and the headless
// window system, and one settings window as the user sees it: its Apply
// button, MTU box, label and Remove button.

#include <string>

#include "registry/MemoryRegistry.h"
#include "registry/Registry.h"
#include "ui/Program.h"
#include "ui/headless/HeadlessUi.h"

namespace quillon::test {

struct View {
    ui::headless::HeadlessWindow& window;
    ui::headless::HeadlessButton& apply;
    ui::headless::HeadlessTextBox& box;
    ui::headless::HeadlessLabel& label;
    ui::headless::HeadlessButton& remove;

    static View Of(ui::headless::HeadlessWindow& w) {
        const auto& c = w.Controls();
        return View{w, dynamic_cast<ui::headless::HeadlessButton&>(*c.at(1)),
                    dynamic_cast<ui::headless::HeadlessTextBox&>(*c.at(2)),
                    dynamic_cast<ui::headless::HeadlessLabel&>(*c.at(3)),
                    dynamic_cast<ui::headless::HeadlessButton&>(*c.at(4))};
    }
    void Choose(const std::string& item) const { window.FindMenuItem(item)->Click(); }
    [[nodiscard]] bool BothEnabled() const { return apply.Enabled() && remove.Enabled(); }
    [[nodiscard]] bool BothDisabled() const { return !apply.Enabled() && !remove.Enabled(); }
};

struct HeadlessProgram {
    reg::MemoryRegistry model;
    reg::Registry routines{model};
    ui::headless::HeadlessWindowSystem ui;
    ui::Program program{routines, ui};

    // "Form1" or "Form2", once the program has started.
    View Form(const char* name) { return View::Of(*ui.Find(name)); }
};

}  // namespace quillon::test
