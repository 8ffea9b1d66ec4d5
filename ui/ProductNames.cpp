#include "ui/ProductNames.h"

#include "text/Fill.h"

namespace quillon::ui {

ProductNames ReadProductNames(reg::Registry& registry) {
    ProductNames names;
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        names.Of(family) = registry
                               .GetStringValue(reg::kHkeyLocalMachine,
                                               family == settings::WindowsFamily::kNt ? settings::kNtVersionKey
                                                                               : settings::k9xVersionKey,
                                               settings::kProductName)
                               .value_or("");
    }
    return names;
}

std::string Caption(const std::string& productName) {
    return text::Fill("% (%)", {settings::kToolTitle, productName});
}

}  // namespace quillon::ui
