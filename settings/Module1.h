#pragma once
// Module1: the MTU settings operations of the two settings windows. Each
// reads or writes its window's MTU box and shows its own message box, over
// the settings engine that does the registry work.

#include <string>

#include "registry/Registry.h"
#include "settings/SettingsEngine.h"

namespace quillon::settings {

// How the operations reach their windows: the MTU box of each family's
// window (Text3 of Form1, Text4 of Form2) and the message box.
class SettingsWindows {
public:
    SettingsWindows() = default;
    SettingsWindows(const SettingsWindows&) = delete;
    SettingsWindows& operator=(const SettingsWindows&) = delete;
    virtual ~SettingsWindows() = default;
    [[nodiscard]] virtual std::string MtuText(WindowsFamily family) = 0;
    virtual void SetMtuText(WindowsFamily family, const std::string& text) = 0;
    // A modal message box titled with the tool title.
    virtual void ShowMessage(const Message& message) = 0;
};

class Module1 {
public:
    Module1(reg::Registry& registry, SettingsWindows& windows) : engine_(registry), windows_(windows) {}

    // NT family: Text3 of Form1.
    void ApplyMtuNt() { Apply(WindowsFamily::kNt); }
    void RemoveMtuNt() { Remove(WindowsFamily::kNt); }
    void RetrieveMtuNt() { Retrieve(WindowsFamily::kNt); }

    // 9x family: Text4 of Form2.
    void ApplyMtu9x() { Apply(WindowsFamily::k9x); }
    void RemoveMtu9x() { Remove(WindowsFamily::k9x); }
    void RetrieveMtu9x() { Retrieve(WindowsFamily::k9x); }

    [[nodiscard]] SettingsEngine& Engine() { return engine_; }

private:
    // Stores what the box holds for every adapter of the family and says
    // how that went.
    void Apply(WindowsFamily family);
    // Deletes the MTU of every adapter of the family; once that went
    // through, empties the box (otherwise it keeps its value, so that the
    // user can try again); says how it went.
    void Remove(WindowsFamily family);
    // Puts the stored MTU into the box, without a message.
    void Retrieve(WindowsFamily family);

    SettingsEngine engine_;
    SettingsWindows& windows_;
};

}  // namespace quillon::settings
