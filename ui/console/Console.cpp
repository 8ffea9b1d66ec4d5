#include "ui/console/Console.h"

#include "ui/console/Session.h"

namespace quillon::ui {

void ConsoleMessages::MsgBox(const std::string& prompt, int style, const std::string&) {
    if (style == kMbIconInformation) {
        output_.Out({prompt, "\n"});
    } else {
        output_.Err({prompt, "\n"});
        failed_ = true;
    }
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
    ConsoleWindows windows(output);
    settings::Module1 module(registry, windows);
    Session session{*line, registry, output, prober, table, windows, module, {}};
    session.names = ReadProductNames(registry);
    session.nt = !session.names.nt.empty() && line->family.value_or("nt") == "nt";
    session.nineX = !session.names.nineX.empty() && line->family.value_or("9x") == "9x";
    // A probe that applies nothing needs no Windows to apply to.
    if (line->command == Command::kProbe && !line->applyProbed) {
        return RunProbe(session);
    }
    if (!session.nt && !session.nineX) {
        if (line->family) {
            output.Err({"The ", *line->family, " family of Windows was not found on this machine.\n"});
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
