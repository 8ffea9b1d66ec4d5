#pragma once
// Which families of Windows this machine belongs to, by the product name
// under each family's version key, and the caption of a family's window.

#include <string>

#include "registry/Registry.h"
#include "settings/SettingsEngine.h"

namespace quillon::ui {

// A family is there when its product name is not empty.
struct ProductNames {
    std::string nt;
    std::string nineX;

    [[nodiscard]] std::string& Of(settings::WindowsFamily family) {
        return family == settings::WindowsFamily::kNt ? nt : nineX;
    }
    [[nodiscard]] const std::string& Of(settings::WindowsFamily family) const {
        return family == settings::WindowsFamily::kNt ? nt : nineX;
    }
};
ProductNames ReadProductNames(reg::Registry& registry);

// A family's window caption: the tool title and the product name.
std::string Caption(const std::string& productName);

inline constexpr const char* kNoSupportedWindows = "No supported version of Windows was found.";

}  // namespace quillon::ui
