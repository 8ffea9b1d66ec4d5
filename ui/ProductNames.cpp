#include "ui/ProductNames.h"

#include "settings/Module1.h"

namespace quillon::ui {

namespace {

const std::string kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::string k9xVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kProductName = "ProductName";

}  // namespace

ProductNames ReadProductNames(reg::Registry& registry) {
    ProductNames names;
    names.nt = registry.GetStringValue(reg::kHkeyLocalMachine, kNtVersionKey, kProductName).value_or("");
    names.nineX = registry.GetStringValue(reg::kHkeyLocalMachine, k9xVersionKey, kProductName).value_or("");
    return names;
}

std::string Caption(const std::string& productName) {
    return std::string(settings::kToolTitle) + " (" + productName + ")";
}

}  // namespace quillon::ui
