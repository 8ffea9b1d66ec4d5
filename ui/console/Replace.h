#pragma once
// Putting a new file, written whole, in the place of an old one on a system
// that cannot replace a file in one step (95, 98 and Me): the old one is
// renamed aside, the new one takes its name, and then the old one is
// deleted. Should the new one not take the name, the old one is put back.

#include <string>

namespace quillon::ui {

// The file system's renames and deletions, as the console program's back
// end makes them.
class FileRenames {
public:
    FileRenames() = default;
    FileRenames(const FileRenames&) = delete;
    FileRenames& operator=(const FileRenames&) = delete;
    virtual ~FileRenames() = default;
    // False where `from` could not be given the name `to`, which is not there.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;
    virtual void Remove(const std::string& path) = 0;
};

enum class Replaced {
    kDone,      // `path` is the new file; the old one is gone
    kOldKept,   // `path` is the old file, as it was; `fresh` is still there
    kOldAside,  // the old file could not be put back: it is `aside`
};

// `aside` names no file, in the folder of `path`.
Replaced ReplaceByRenames(FileRenames& files, const std::string& fresh, const std::string& path,
                          const std::string& aside);

}  // namespace quillon::ui
