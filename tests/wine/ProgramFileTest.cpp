// The program file as it ships: it needs only DLLs that every Windows has,
// and it carries its version information, its manifest and its icon.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + "quillon-mtu.exe";
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The names in the import directory, read from the file itself.
std::set<std::string> ImportedDlls(const std::vector<char>& file) {
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

TEST(ProgramFile, ImportsOnlyDllsThatEveryWindowsHas) {
    std::ifstream in(ProgramPath(), std::ios::binary);
    ASSERT_TRUE(in.good()) << ProgramPath();
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::set<std::string> imports = ImportedDlls(file);
    ASSERT_FALSE(imports.empty());
    const std::set<std::string> everywhere{"kernel32.dll", "user32.dll",   "gdi32.dll",
                                           "advapi32.dll", "comctl32.dll", "msvcrt.dll"};
    for (const std::string& dll : imports) {
        EXPECT_TRUE(everywhere.count(dll) == 1 || dll.rfind("api-ms-win-crt-", 0) == 0) << dll;
    }
    for (const char* needed : {"advapi32.dll", "user32.dll", "comctl32.dll"}) {
        EXPECT_EQ(imports.count(needed), 1U) << needed;
    }
}

TEST(ProgramFile, CarriesVersionManifestAndIcon) {
    const std::string path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0U);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    char* product = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_STREQ(product, "Quillon MTU Tool");
    VS_FIXEDFILEINFO* fixed = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const auto* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    const std::string xml(text, SizeofResource(module, manifest));
    EXPECT_NE(xml.find("requireAdministrator"), std::string::npos);
    EXPECT_NE(xml.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(xml.find("PerMonitorV2"), std::string::npos);
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    FreeLibrary(module);
}

}  // namespace
}  // namespace quillon::test
