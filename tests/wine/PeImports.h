#pragma once
// The DLLs a program file imports, read from its import directory.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace quillon::test {

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The names in the import directory, read from the file itself.
inline std::set<std::string> ImportedDlls(const std::vector<char>& file) {
    std::set<std::string> names;
    const auto at = [&](std::size_t offset, std::size_t size) {
        return offset + size <= file.size() ? file.data() + offset : nullptr;
    };
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS64 nt{};
    if (at(0, sizeof dos) == nullptr) {
        return names;
    }
    std::memcpy(&dos, file.data(), sizeof dos);
    const char* ntAt = at(static_cast<std::size_t>(dos.e_lfanew), sizeof nt);
    if (ntAt == nullptr) {
        return names;
    }
    std::memcpy(&nt, ntAt, sizeof nt);
    const DWORD importRva = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    const std::size_t sections = static_cast<std::size_t>(dos.e_lfanew) +
                                 offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                 nt.FileHeader.SizeOfOptionalHeader;
    const auto toOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s{};
            const char* sAt = at(sections + i * sizeof s, sizeof s);
            if (sAt == nullptr) {
                break;
            }
            std::memcpy(&s, sAt, sizeof s);
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return file.size();
    };
    for (std::size_t offset = toOffset(importRva);; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry{};
        const char* eAt = at(offset, sizeof entry);
        if (eAt == nullptr) {
            break;
        }
        std::memcpy(&entry, eAt, sizeof entry);
        if (entry.Name == 0) {
            break;
        }
        const std::size_t nameAt = toOffset(entry.Name);
        if (nameAt >= file.size()) {
            break;
        }
        names.insert(
            Lower(std::string(file.data() + nameAt, strnlen(file.data() + nameAt, file.size() - nameAt))));
    }
    return names;
}

inline std::set<std::string> ImportedDlls(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ImportedDlls(file);
}

}  // namespace quillon::test
