#pragma once
// The registry file that export writes: every value the tool may change,
// exactly as it is now, so that importing the file with regedit puts each
// one back. It is a REGEDIT4 file in the system's ANSI code page, the format
// the regedit of every Windows from 95 and NT 4.0 on reads.

#include <string>
#include <vector>

#include "registry/Registry.h"
#include "settings/SettingsEngine.h"

namespace quillon::ui {

struct ExportedValue {
    settings::ToolValue where;
    reg::RawValue value;
};

inline constexpr const char* kRegFileHeader =
    "REGEDIT4\n"
    "\n"
    "; Quillon MTU Tool: every value that apply and remove change, as it was when\n"
    "; this file was written. \"regedit /s FILE\" puts them back: values that were\n"
    "; there are written again with their type and data, the others are deleted.\n";

// The line that begins the part of the family that `caption` names.
std::string RegSectionHeader(const std::string& caption);

// Appends one value of a family's part. False, with the reason, where the
// value could not be read or its key cannot be named in a registry file; then
// the file must not be written.
bool AppendRegValue(settings::WindowsFamily family, const settings::ToolValue& where,
                    const reg::RawValue& value, std::string& text, std::string& error);

// Appends the part of one family, which `caption` names. False, with the
// reason, where a value could not be read or a key cannot be named in a
// registry file; then the file must not be written.
bool AppendRegSection(settings::WindowsFamily family, const std::string& caption,
                      const std::vector<ExportedValue>& values, std::string& text, std::string& error);

}  // namespace quillon::ui
