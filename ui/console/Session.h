#pragma once
// What every command of the console program works with: its command line,
// the registry, the streams, the network and the families of Windows it acts
// on; and the stand-ins for the window's MTU boxes and message boxes through
// which it drives Module1's own operations.

#include <optional>
#include <string>

#include "net/InterfaceTable.h"
#include "net/Prober.h"
#include "registry/Registry.h"
#include "settings/Module1.h"
#include "ui/ProductNames.h"
#include "ui/WindowServices.h"
#include "ui/console/CommandLine.h"
#include "ui/console/Console.h"

namespace quillon::ui {

// The MTU box of a family as the console has it: text that it sets itself.
class ConsoleTextBox final : public TextBox {
public:
    void SetMaxLength(int) override {}
    [[nodiscard]] std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }
    void OnChange(Handler) override {}

private:
    std::string text_;
};

// Message boxes become lines: information on standard output, warnings and
// errors on standard error, which mean that the command failed.
class ConsoleMessages final : public MessageBoxes {
public:
    explicit ConsoleMessages(ConsoleOutput& output) : output_(output) {}
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    [[nodiscard]] bool Failed() const { return failed_; }

private:
    ConsoleOutput& output_;
    bool failed_ = false;
};

class ConsoleWindows final : public settings::SettingsWindows {
public:
    explicit ConsoleWindows(ConsoleOutput& output) : messages_(output) {}
    TextBox& NtMtuBox() override { return nt_; }
    TextBox& MtuBox9x() override { return nineX_; }
    TextBox& Box(bool family9x) { return family9x ? nineX_ : nt_; }
    MessageBoxes& Messages() override { return messages_; }
    [[nodiscard]] bool Failed() const { return messages_.Failed(); }

private:
    ConsoleTextBox nt_;
    ConsoleTextBox nineX_;
    ConsoleMessages messages_;
};

struct Session {
    const CommandLine& line;
    reg::Registry& registry;
    ConsoleOutput& output;
    net::Prober* prober;         // none: probe finds nothing
    net::InterfaceTable* table;  // none: no MTU in use and no route's adapter is known
    ConsoleWindows& windows;
    settings::Module1& module;
    ProductNames names;
    bool nt = false;     // the NT family is acted on
    bool nineX = false;  // the 9x family is acted on

    [[nodiscard]] bool Acts(bool family9x) const { return family9x ? nineX : nt; }
    [[nodiscard]] const std::string& ProductName(bool family9x) const {
        return family9x ? names.nineX : names.nt;
    }
};

// The commands, one file each; each gives the exit code.
int RunShow(Session& session);
int RunApply(Session& session);
int RunRemove(Session& session);
int RunProbe(Session& session);
int RunExport(Session& session);

struct Adapter;
// Applies the MTU text to every family acted on, as apply does; `one` is the
// adapter --adapter chose, if any.
int ApplyMtu(Session& session, const std::string& mtu, const std::optional<Adapter>& one);

}  // namespace quillon::ui
