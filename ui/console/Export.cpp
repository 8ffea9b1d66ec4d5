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
        std::vector<settings::ToolValue> tools = session.engine.ToolValues(family);
        std::vector<ExportedValue> values(tools.size());
        for (std::size_t i = 0; i != tools.size(); ++i) {
            values[i].value =
                session.registry.GetRawValue(reg::kHkeyLocalMachine, tools[i].path, tools[i].name);
            values[i].where = std::move(tools[i]);
        }
        std::string unreadable;
        if (!AppendRegSection(family, Caption(session.ProductName(family)), values, file, unreadable)) {
            session.output.Err({unreadable, " Nothing was exported.\n"});
            return kExitFailure;
        }
    }
    // The program writes the file itself where it is named, so that no shell
    // re-encodes what it writes on the way.
    std::string failure;
    const std::string& path = session.line.file;
    if (path.empty() ? !session.output.OutWhole(file, failure) : !session.output.Save(path, file, failure)) {
        if (path.empty()) {
            session.output.Err({"The registry file could not be written to standard output: ", failure,
                                "; what it got is not a whole registry file.\n"});
        } else {
            // The reason says what became of a file that was there.
            session.output.Err({"The registry file could not be written to ", path, ": ", failure, "\n"});
        }
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace quillon::ui
