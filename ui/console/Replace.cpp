#include "ui/console/Replace.h"

namespace quillon::ui {

Replaced ReplaceByRenames(FileRenames& files, const std::string& fresh, const std::string& path,
                          const std::string& aside) {
    if (!files.Rename(path, aside)) {
        return Replaced::kOldKept;
    }
    if (!files.Rename(fresh, path)) {
        return files.Rename(aside, path) ? Replaced::kOldKept : Replaced::kOldAside;
    }
    files.Remove(aside);
    return Replaced::kDone;
}

}  // namespace quillon::ui
