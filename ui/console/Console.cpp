#include "ui/console/Console.h"

#include "ui/console/Session.h"

namespace quillon::ui {

bool Say(ConsoleOutput& output, const settings::Message& message) {
    if (message.notice == settings::Notice::kInformation) {
        output.Out({message.text, "\n"});
        return true;
    }
    output.Err({message.text, "\n"});
    return false;
}

int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Prober* prober, net::InterfaceTable* table) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "/?")) {
        output.Out({kUsage, "\n", kHelp});
        return kExitSuccess;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        output.Out({settings::kToolTitle, " " QUILLON_VERSION "\n"});
        return kExitSuccess;
    }
    std::string error;
    const std::optional<CommandLine> line = ParseCommandLine(arguments, error);
    if (!line) {
        output.Err({"quillon-mtu-cli: ", error, "\n", kUsage});
        return kExitUsage;
    }
    settings::SettingsEngine engine(registry);
    Session session{*line, registry, output, prober, table, engine, ReadProductNames(registry)};
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        session.Act(family, !session.names.Of(family).empty() && line->family.value_or(family) == family);
    }
    // A probe that applies nothing needs no Windows to apply to.
    if (line->command == Command::kProbe && !line->applyProbed) {
        return RunProbe(session);
    }
    if (!session.Acts(settings::WindowsFamily::kNt) && !session.Acts(settings::WindowsFamily::k9x)) {
        if (line->family) {
            output.Err(
                {"The ", FamilyOption(*line->family), " family of Windows was not found on this machine.\n"});
        } else {
            output.Err({kNoSupportedWindows, "\n"});
        }
        return kExitFailure;
    }
    switch (line->command) {
        case Command::kShow:
            return RunShow(session);
        case Command::kApply:
            return RunApply(session);
        case Command::kRemove:
            return RunRemove(session);
        case Command::kProbe:
            return RunProbe(session);
        case Command::kExport:
            return RunExport(session);
    }
    return kExitUsage;
}

}  // namespace quillon::ui
