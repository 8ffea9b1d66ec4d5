#pragma once
// Putting a new file, written whole, in the place of an old one. Where the
// system replaces a file in one step keeping the old one's security,
// attributes and streams (ReplaceFile, XP and later), that is done with the
// old one kept under a backup name until the new one is in place; should a
// step fail with the old one left under the backup name, it is put back. On
// systems without it (95, 98 and Me) the old one is renamed aside, the new
// one takes its name, and then the old one is deleted; should the new one
// not take the name, the old one is put back.

#include <string>

namespace quillon::ui {

// The file system's steps, as the console program's back end makes them.
class FileRenames {
public:
    FileRenames() = default;
    FileRenames(const FileRenames&) = delete;
    FileRenames& operator=(const FileRenames&) = delete;
    virtual ~FileRenames() = default;
    // False where `from` could not be given the name `to`, which is not there.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // `fresh` takes the place of `path`, which goes to `backup`, in one step
    // (ReplaceFile); false where the system said no, whatever it left.
    virtual bool ReplaceInOneStep(const std::string& path, const std::string& fresh,
                                  const std::string& backup) = 0;
};

enum class Replaced {
    kDone,      // `path` is the new file; the old one is gone
    kOldKept,   // `path` is the old file, as it was; `fresh` is still there
    kOldAside,  // the old file could not be put back: it is `aside`
    kNewAside,  // the old file is gone, and the new one could not take its name: it is `fresh`
};

// `aside` names no file, in the folder of `path`.
Replaced ReplaceByRenames(FileRenames& files, const std::string& fresh, const std::string& path,
                          const std::string& aside);

// The same through ReplaceInOneStep, with `backup` (no file, in the folder
// of `path`) as the old one's name until the new one is in place.
Replaced ReplaceKeepingBackup(FileRenames& files, const std::string& fresh, const std::string& path,
                              const std::string& backup);

}  // namespace quillon::ui
