#pragma once
// The two settings windows share one design: a frame holding the Apply
// button, the MTU box, its label and the Remove button, and a File menu with
// Retrieve MTU and Exit. Form1 serves the NT family, Form2 the 9x family.

#include <memory>
#include <string>

#include "settings/Module1.h"
#include "ui/WindowServices.h"

namespace quillon::ui {

// Layout in twips, relative to the parent.
inline constexpr int kClientWidth = 4575;
inline constexpr int kClientHeight = 2265;
inline constexpr TwipsRect kFrameBounds{120, 0, 4335, 2175};
inline constexpr TwipsRect kApplyBounds{480, 1560, 1455, 375};
inline constexpr TwipsRect kMtuBoxBounds{1920, 840, 615, 285};
inline constexpr TwipsRect kLabelBounds{1440, 840, 495, 255};
inline constexpr TwipsRect kRemoveBounds{2280, 1560, 1455, 375};
inline constexpr int kMtuMaxLength = 4;

class SettingsForm {
    // First, so that it exists before the controls that live in it.
    std::unique_ptr<Window> window_;

public:
    SettingsForm(const SettingsForm&) = delete;
    SettingsForm& operator=(const SettingsForm&) = delete;
    virtual ~SettingsForm() = default;

    // The load set-up: captions, both buttons disabled, the box's limit.
    void SetUpControls();
    // Enables Apply and Remove exactly while the box holds a number from 88
    // to 1500.
    void MtuInputCheck();

    [[nodiscard]] Window& TheWindow() { return *window_; }

protected:
    SettingsForm(WindowSystem& system, const std::string& name, settings::Module1& module, Handler exit);

    Frame& frame_;
    Button& apply_;
    TextBox& mtuBox_;
    Label& label_;
    Button& remove_;
    settings::Module1& module_;

private:
    virtual void ApplyClicked() = 0;
    virtual void RemoveClicked() = 0;
    virtual void RetrieveChosen() = 0;

    Handler exit_;
};

// The NT-family window.
class Form1 final : public SettingsForm {
public:
    Form1(WindowSystem& system, settings::Module1& module, Handler exit)
        : SettingsForm(system, "Form1", module, std::move(exit)) {}
    Frame& Frame1() { return frame_; }
    Button& Command1() { return apply_; }
    TextBox& Text3() { return mtuBox_; }
    Label& Label1() { return label_; }
    Button& Command2() { return remove_; }

private:
    void ApplyClicked() override { module_.ApplyMtuNt(); }
    void RemoveClicked() override { module_.RemoveMtuNt(); }
    void RetrieveChosen() override { module_.RetrieveMtuNt(); }
};

// The 9x-family window.
class Form2 final : public SettingsForm {
public:
    Form2(WindowSystem& system, settings::Module1& module, Handler exit)
        : SettingsForm(system, "Form2", module, std::move(exit)) {}
    Frame& Frame1() { return frame_; }
    Button& Command3() { return apply_; }
    TextBox& Text4() { return mtuBox_; }
    Label& Label2() { return label_; }
    Button& Command4() { return remove_; }

private:
    void ApplyClicked() override { module_.ApplyMtu9x(); }
    void RemoveClicked() override { module_.RemoveMtu9x(); }
    void RetrieveChosen() override { module_.RetrieveMtu9x(); }
};

}  // namespace quillon::ui
