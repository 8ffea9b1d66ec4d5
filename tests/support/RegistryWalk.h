#pragma once
// A walk of a whole registry tree through advapi32, for before-and-after
// comparisons of what the program changed.

#include <map>
#include <string>
#include <vector>

namespace quillon::test {

struct WalkedValue {
    unsigned long type = 0;
    std::vector<unsigned char> bytes;
    bool operator==(const WalkedValue&) const = default;
};

// Keys appear as "KEY path" and values as "VAL path|name", names in upper
// case so that the comparison ignores case as the registry does.
using RegistryImage = std::map<std::string, WalkedValue>;

RegistryImage WalkLocalMachine(const std::string& below = "");

bool KeyExists(const std::string& path);

// The image's name for a value, for lists of expected differences.
std::string ValueEntry(const std::string& path, const std::string& name);
std::string KeyEntry(const std::string& path);

// What differs between two images, one line per entry; keys in `allowedNewKeys`
// (and the entries below them) may have been created if they hold no values.
std::vector<std::string> Differences(const RegistryImage& before, const RegistryImage& after,
                                     const std::vector<std::string>& allowedNewKeys = {});

}  // namespace quillon::test
