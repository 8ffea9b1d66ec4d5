// export: a registry file that puts back every value apply and remove may
// change, as it is now.

#include "ui/console/RegFile.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

int RunExport(Session& session) {
    std::string file = kRegFileHeader;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        if (!session.Acts(family)) {
            continue;
        }
        file += RegSectionHeader(Caption(session.ProductName(family)));
        // Every value is read, also after one that cannot go into the file.
        std::string unreadable;
        for (const settings::ToolValue& tool : session.engine.ToolValues(family)) {
            const reg::RawValue value =
                session.registry.GetRawValue(reg::kHkeyLocalMachine, tool.path, tool.name);
            if (unreadable.empty()) {
                AppendRegValue(family, tool, value, file, unreadable);
            }
        }
        if (!unreadable.empty()) {
            session.output.Err("% Nothing was exported.\n", {unreadable});
            return kExitFailure;
        }
    }
    // The program writes the file itself where it is named, so that no shell
    // re-encodes what it writes on the way.
    std::string failure;
    const std::string& path = session.line.file;
    if (path.empty() ? !session.output.OutWhole(file, failure) : !session.output.Save(path, file, failure)) {
        if (path.empty()) {
            session.output.Err(
                "The registry file could not be written to standard output: %; what it got is not a whole "
                "registry file.\n",
                {failure});
        } else {
            // The reason says what became of a file that was there.
            session.output.Err("The registry file could not be written to %: %\n", {path, failure});
        }
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace quillon::ui
