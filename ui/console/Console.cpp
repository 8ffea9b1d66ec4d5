#include "ui/console/Console.h"

#include "ui/console/Session.h"

namespace quillon::ui {

int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Network* network) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "/?")) {
        output.Out(std::string(kUsage) + "\n" + kHelp);
        return kExitSuccess;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        output.Out(std::string(settings::kToolTitle) + " " + QUILLON_VERSION + "\n");
        return kExitSuccess;
    }
    std::string error;
    const std::optional<CommandLine> line = ParseCommandLine(arguments, error);
    if (!line) {
        output.Err("quillon-mtu-cli: " + error + "\n" + kUsage);
        return kExitUsage;
    }
    ConsoleWindows windows(output);
    settings::Module1 module(registry, windows);
    Session session{*line, registry, output, network, windows, module, {}};
    // A probe that applies nothing needs no Windows to apply to.
    if (line->command == Command::kProbe && !line->applyProbed) {
        return RunProbe(session);
    }
    session.names = ReadProductNames(registry);
    session.nt = !session.names.nt.empty() && line->family.value_or("nt") == "nt";
    session.nineX = !session.names.nineX.empty() && line->family.value_or("9x") == "9x";
    if (!session.nt && !session.nineX) {
        output.Err(line->family
                       ? "The " + *line->family + " family of Windows was not found on this machine.\n"
                       : std::string(kNoSupportedWindows) + "\n");
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
