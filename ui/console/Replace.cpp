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

Replaced ReplaceKeepingBackup(FileRenames& files, const std::string& fresh, const std::string& path,
                              const std::string& backup) {
    if (files.ReplaceInOneStep(path, fresh, backup)) {
        files.Remove(backup);
        return Replaced::kDone;
    }
    // Where the new one could not take the name after the old one had left
    // it (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2), the old one is under the
    // backup name: it goes back. By what is there, not by the error, so
    // that every failure is covered.
    if (!files.Exists(path)) {
        if (files.Exists(backup)) {
            return files.Rename(backup, path) ? Replaced::kOldKept : Replaced::kOldAside;
        }
        // The old one is gone altogether: the new one, whole, takes its name.
        return files.Rename(fresh, path) ? Replaced::kDone : Replaced::kNewAside;
    }
    // Both keep their names: a backup ReplaceFile may have left is no file of ours.
    if (files.Exists(backup)) {
        files.Remove(backup);
    }
    return Replaced::kOldKept;
}

}  // namespace quillon::ui
