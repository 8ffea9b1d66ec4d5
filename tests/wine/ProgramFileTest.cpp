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

#include "tests/wine/PeImports.h"

namespace quillon::test {
namespace {

std::string ProgramPath() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + "quillon-mtu.exe";
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
