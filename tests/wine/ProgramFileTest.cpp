// The program files as they ship: each asks in its PE header for no newer
// Windows than the oldest it serves, imports only functions that the table
// of imports (docs/imports.md) shows that Windows to export, stays within
// its size (64 KiB for a window program, 96 KiB for a console program), and
// carries its version information, manifest and icon.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/KeysAndTexts.h"
#include "tests/support/PeImports.h"

namespace quillon::test {
namespace {

struct Program {
    const char* name;
    const char* folder;  // environment variable naming the release folder
    WORD machine;
    WORD subsystem;
    double floor;  // the oldest NT version it serves (4.0 or 5.2)
    bool serves9x;
    const char* executionLevel;
    std::size_t mostBytes;
};

constexpr std::size_t kWindowBytes = 64 * 1024;
constexpr std::size_t kConsoleBytes = 96 * 1024;

const Program kPrograms[] = {
    {"quillon-mtu.exe", "QUILLON_RELEASE32", IMAGE_FILE_MACHINE_I386, IMAGE_SUBSYSTEM_WINDOWS_GUI, 4.0, true,
     "requireAdministrator", kWindowBytes},
    {"quillon-mtu-cli.exe", "QUILLON_RELEASE32", IMAGE_FILE_MACHINE_I386, IMAGE_SUBSYSTEM_WINDOWS_CUI, 4.0, true,
     "asInvoker", kConsoleBytes},
    {"quillon-mtu64.exe", "QUILLON_RELEASE64", IMAGE_FILE_MACHINE_AMD64, IMAGE_SUBSYSTEM_WINDOWS_GUI, 5.2, false,
     "requireAdministrator", kWindowBytes},
    {"quillon-mtu-cli64.exe", "QUILLON_RELEASE64", IMAGE_FILE_MACHINE_AMD64, IMAGE_SUBSYSTEM_WINDOWS_CUI, 5.2, false,
     "asInvoker", kConsoleBytes},
};

std::string PathOf(const Program& program) {
    char folder[MAX_PATH] = {};
    GetEnvironmentVariableA(program.folder, folder, MAX_PATH);
    return std::string(folder) + "/" + program.name;
}

struct FirstVersions {
    std::string nineX;  // "95", "98", or "-" where no 9x system exports it
    double nt = 0;
};

// "dll function" -> first versions, from the rows of the table.
std::map<std::string, FirstVersions> ImportsTable() {
    std::map<std::string, FirstVersions> table;
    std::ifstream in(QUILLON_IMPORTS_TABLE);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream row(line);
        std::string cell;
        while (std::getline(row, cell, '|')) {
            const auto first = cell.find_first_not_of(' ');
            cells.push_back(first == std::string::npos ? "" : cell.substr(first, cell.find_last_not_of(' ') - first + 1));
        }
        // "| dll | function | 9x | NT | source |" splits into an empty cell and five.
        if (cells.size() >= 6 && cells[1].find(".dll") != std::string::npos) {
            table[cells[1] + " " + cells[2]] = FirstVersions{cells[3], std::stod(cells[4])};
        }
    }
    return table;
}

class ProgramFile : public ::testing::TestWithParam<Program> {};

TEST_P(ProgramFile, HeaderAsksForNoNewerWindowsThanItServes) {
    const Program& program = GetParam();
    const PeFile pe = ReadPe(PathOf(program));
    ASSERT_TRUE(pe.valid) << PathOf(program);
    EXPECT_EQ(pe.machine, program.machine);
    EXPECT_EQ(pe.subsystem, program.subsystem);
    const double os = pe.osMajor + pe.osMinor / 10.0;
    const double subsystem = pe.subsystemMajor + pe.subsystemMinor / 10.0;
    EXPECT_DOUBLE_EQ(os, program.floor) << "operating system version";
    EXPECT_DOUBLE_EQ(subsystem, program.floor) << "subsystem version";
    EXPECT_LE(pe.size, program.mostBytes);
}

TEST_P(ProgramFile, ImportsOnlyWhatItsOldestWindowsExports) {
    const Program& program = GetParam();
    const PeFile pe = ReadPe(PathOf(program));
    ASSERT_TRUE(pe.valid) << PathOf(program);
    const auto table = ImportsTable();
    ASSERT_GT(table.size(), 50U) << "the table of imports was not read: " << QUILLON_IMPORTS_TABLE;
    std::size_t functions = 0;
    for (const auto& [dll, names] : pe.imports) {
        for (const std::string& name : names) {
            ++functions;
            const auto row = table.find(dll + " " + name);
            if (row == table.end()) {
                ADD_FAILURE() << dll << " " << name << " is not in the table of imports";
                continue;
            }
            EXPECT_LE(row->second.nt, program.floor) << dll << " " << name;
            if (program.serves9x) {
                EXPECT_EQ(row->second.nineX, "95") << dll << " " << name << " is not on Windows 95";
                // Wide-character functions are failing stubs on the 9x family.
                EXPECT_NE(name.back(), 'W') << dll << " " << name;
            }
        }
    }
    EXPECT_GT(functions, 20U);
    EXPECT_EQ(pe.imports.count("advapi32.dll"), 1U);
    // The network DLLs are never imported: the console programs look them up
    // at run time, and the window programs open no sockets at all.
    std::ifstream file(PathOf(program), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const bool console = program.subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
    for (const char* dll : {"ws2_32.dll", "wsock32.dll", "iphlpapi.dll"}) {
        EXPECT_EQ(pe.imports.count(dll), 0U) << dll;
        EXPECT_EQ(bytes.find(dll) != std::string::npos, console) << dll << (console ? " is not looked up" : " is named");
    }
}

TEST_P(ProgramFile, CarriesVersionManifestAndIcon) {
    const Program& program = GetParam();
    const std::string path = PathOf(program);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0U) << path;
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    char* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, kTitle.c_str());
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, program.name);

    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const HRSRC manifest = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const auto* xmlText = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
    const std::string xml(xmlText, SizeofResource(module, manifest));
    EXPECT_NE(xml.find(std::string("level=\"") + program.executionLevel + "\""), std::string::npos) << xml;
    // The windows take the common controls of version 6; the console programs draw none.
    EXPECT_EQ(xml.find("Microsoft.Windows.Common-Controls") != std::string::npos,
              std::string(program.name).find("-cli") == std::string::npos)
        << program.name;
    EXPECT_NE(xml.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << "Windows 10 and 11";
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Release, ProgramFile, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& param) {
                             std::string name;
                             for (const char c : std::string(param.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace quillon::test
