#pragma once
// What a program file says of itself in its PE headers, read from the file:
// the processor, the subsystem and the versions of Windows it asks for, and
// every function it imports, by DLL. Both PE32 (x86) and PE32+ (x64).

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quillon::test {

inline std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct PeFile {
    bool valid = false;
    WORD machine = 0;
    WORD subsystem = 0;
    WORD osMajor = 0;
    WORD osMinor = 0;
    WORD subsystemMajor = 0;
    WORD subsystemMinor = 0;
    std::size_t size = 0;
    // DLL name in lower case -> the functions imported by name ("#n" for an ordinal).
    std::map<std::string, std::set<std::string>> imports;
};

inline PeFile ReadPe(const std::vector<char>& file) {
    PeFile pe;
    pe.size = file.size();
    const auto read = [&](std::size_t offset, void* out, std::size_t size) {
        if (offset > file.size() || size > file.size() - offset) {
            return false;
        }
        std::memcpy(out, file.data() + offset, size);
        return true;
    };
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    if (!read(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !read(static_cast<std::size_t>(dos.e_lfanew), &signature, sizeof signature) ||
        signature != IMAGE_NT_SIGNATURE ||
        !read(static_cast<std::size_t>(dos.e_lfanew) + sizeof signature, &header, sizeof header)) {
        return pe;
    }
    const std::size_t optional = static_cast<std::size_t>(dos.e_lfanew) + sizeof signature + sizeof header;
    WORD magic = 0;
    read(optional, &magic, sizeof magic);
    const bool wide = magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    IMAGE_DATA_DIRECTORY importDirectory{};
    const auto take = [&](const auto& o) {
        pe.subsystem = o.Subsystem;
        pe.osMajor = o.MajorOperatingSystemVersion;
        pe.osMinor = o.MinorOperatingSystemVersion;
        pe.subsystemMajor = o.MajorSubsystemVersion;
        pe.subsystemMinor = o.MinorSubsystemVersion;
        importDirectory = o.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    };
    IMAGE_OPTIONAL_HEADER64 header64{};
    IMAGE_OPTIONAL_HEADER32 header32{};
    if (wide ? !read(optional, &header64, sizeof header64) : !read(optional, &header32, sizeof header32)) {
        return pe;
    }
    if (wide) {
        take(header64);
    } else {
        take(header32);
    }
    pe.machine = header.Machine;
    const std::size_t sections = optional + header.SizeOfOptionalHeader;
    const auto toOffset = [&](std::uint32_t rva) -> std::size_t {
        for (WORD i = 0; i < header.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER s{};
            if (!read(sections + i * sizeof s, &s, sizeof s)) {
                break;
            }
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData) {
                return rva - s.VirtualAddress + s.PointerToRawData;
            }
        }
        return file.size();
    };
    const auto text = [&](std::uint32_t rva) {
        const std::size_t at = toOffset(rva);
        return at < file.size() ? std::string(file.data() + at, strnlen(file.data() + at, file.size() - at))
                                : std::string();
    };
    for (std::size_t entry = toOffset(importDirectory.VirtualAddress);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor{};
        if (!read(entry, &descriptor, sizeof descriptor) || descriptor.Name == 0) {
            break;
        }
        std::set<std::string>& functions = pe.imports[Lower(text(descriptor.Name))];
        const DWORD lookup = descriptor.OriginalFirstThunk != 0 ? descriptor.OriginalFirstThunk
                                                                : descriptor.FirstThunk;
        const std::size_t step = wide ? 8 : 4;
        for (std::size_t at = toOffset(lookup);; at += step) {
            std::uint64_t thunk = 0;
            if (!read(at, &thunk, step) || thunk == 0) {
                break;
            }
            const std::uint64_t ordinalFlag = wide ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
            if ((thunk & ordinalFlag) != 0) {
                functions.insert(std::string("#").append(std::to_string(thunk & 0xFFFFU)));
            } else {
                functions.insert(text(static_cast<std::uint32_t>(thunk) + sizeof(WORD)));  // after the hint
            }
        }
    }
    pe.valid = true;
    return pe;
}

inline PeFile ReadPe(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ReadPe(file);
}

inline std::set<std::string> ImportedDlls(const std::string& path) {
    std::set<std::string> dlls;
    for (const auto& [dll, functions] : ReadPe(path).imports) {
        dlls.insert(dll);
    }
    return dlls;
}

}  // namespace quillon::test
