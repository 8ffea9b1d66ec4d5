#pragma once
// How the windows show what an operation says: a message box with the icon
// that fits it and one OK button.

#include "settings/SettingsEngine.h"
#include "ui/WindowServices.h"

namespace quillon::ui {

inline int MessageStyle(settings::Notice notice) {
    switch (notice) {
        case settings::Notice::kWarning:
            return kMbIconWarning;
        case settings::Notice::kError:
            return kMbIconError;
        case settings::Notice::kInformation:
            break;
    }
    return kMbIconInformation;
}

}  // namespace quillon::ui
