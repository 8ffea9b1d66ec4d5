// The settings operations against the real registry of the test Wine prefix,
// with headless windows: every adapter that Wine found on the host gets its
// MTU, Retrieve reads it back, Remove leaves nothing behind, and nothing else
// under HKEY_LOCAL_MACHINE changes.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "registry/Win32Registry.h"
#include "tests/unit/SettingsRig.h"
#include "tests/wine/RegistryWalk.h"

namespace quillon::test {
namespace {

const std::string kCards = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
const std::string kInterfaces = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
const std::string kParameters = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const std::string kNetTrans = "System\\CurrentControlSet\\Services\\Class\\NetTrans";
const std::string kMstcp = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";

struct Raw {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = 0;
    std::vector<unsigned char> bytes;
};

Raw Query(const std::string& path, const std::string& name) {
    Raw raw;
    HKEY key = nullptr;
    raw.status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key);
    if (raw.status != ERROR_SUCCESS) {
        return raw;
    }
    DWORD size = 0;
    raw.status = RegQueryValueExA(key, name.c_str(), nullptr, &raw.type, nullptr, &size);
    if (raw.status == ERROR_SUCCESS) {
        raw.bytes.resize(size);
        raw.status = RegQueryValueExA(key, name.c_str(), nullptr, &raw.type, raw.bytes.data(), &size);
        raw.bytes.resize(size);
    }
    RegCloseKey(key);
    return raw;
}

std::optional<std::uint32_t> DwordAt(const std::string& path, const std::string& name) {
    const Raw raw = Query(path, name);
    if (raw.status != ERROR_SUCCESS || raw.type != REG_DWORD || raw.bytes.size() != 4) {
        return std::nullopt;
    }
    std::uint32_t n = 0;
    std::memcpy(&n, raw.bytes.data(), 4);
    return n;
}

// A REG_SZ read through advapi32, with the one NUL that Windows may keep.
std::optional<std::string> TextAt(const std::string& path, const std::string& name) {
    const Raw raw = Query(path, name);
    if (raw.status != ERROR_SUCCESS || raw.type != REG_SZ) {
        return std::nullopt;
    }
    std::string text(raw.bytes.begin(), raw.bytes.end());
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

void SetText(const std::string& path, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

class OnWine : public ::testing::Test {
protected:
    std::string LastBox() const { return rig.ui.Boxes().empty() ? "" : rig.ui.Boxes().back().prompt; }

    reg::Win32Registry api;
    SettingsRig rig{api};
    ui::headless::HeadlessTextBox& text3 = rig.text3;
    ui::headless::HeadlessTextBox& text4 = rig.text4;
    settings::Module1& module = rig.module;
};

TEST_F(OnWine, NtApplyRetrieveRemoveOnTheHostsAdapters) {
    std::vector<std::string> services;
    for (int card = 1; card <= 30; ++card) {
        if (const auto name = TextAt(kCards + std::to_string(card), "ServiceName"); name && !name->empty()) {
            services.push_back(*name);
        }
    }
    ASSERT_FALSE(services.empty()) << "Wine listed no network card of the host";
    ASSERT_FALSE(DwordAt(kParameters, "EnablePMTUDiscovery").has_value()) << "the prefix is not clean";

    // The writes may create the interface keys, and their parent.
    std::vector<std::string> created{kInterfaces.substr(0, kInterfaces.size() - 1)};
    for (const std::string& service : services) {
        created.push_back(kInterfaces + service);
    }
    const RegistryImage before = WalkLocalMachine();

    text3.SetText("1400");
    module.ApplyMtuNt();
    EXPECT_EQ(LastBox(), "MTU setting applied successfully.");
    for (const std::string& service : services) {
        EXPECT_EQ(DwordAt(kInterfaces + service, "MTU"), 1400U) << service;
    }
    EXPECT_EQ(DwordAt(kParameters, "EnablePMTUDiscovery"), 0U);

    text3.SetText("");
    module.RetrieveMtuNt();
    EXPECT_EQ(text3.Text(), "1400");

    module.RemoveMtuNt();
    EXPECT_EQ(LastBox(), "Your MTU setting has been removed.");
    EXPECT_EQ(text3.Text(), "");
    for (const std::string& service : services) {
        EXPECT_EQ(Query(kInterfaces + service, "MTU").status, ERROR_FILE_NOT_FOUND) << service;
    }
    EXPECT_EQ(Query(kParameters, "EnablePMTUDiscovery").status, ERROR_FILE_NOT_FOUND);

    for (const std::string& line : Differences(before, WalkLocalMachine(), created)) {
        ADD_FAILURE() << line;
    }
}

TEST_F(OnWine, NineXApplyRetrieveRemoveOnSeededTransports) {
    const std::string classKey = "System\\CurrentControlSet\\Services\\Class";
    const std::string vxdKey = "System\\CurrentControlSet\\Services\\VxD";
    ASSERT_FALSE(KeyExists(classKey)) << "the prefix is not clean";
    const bool vxdExisted = KeyExists(vxdKey);
    const RegistryImage before = WalkLocalMachine();
    SetText(kNetTrans + "\\0000", "IPAddress", "192.168.0.2");
    SetText(kNetTrans + "\\0000", "DriverDate", "6-1-1999");
    SetText(kNetTrans + "\\0001", "IPAddress", "10.0.0.2");
    SetText(kNetTrans + "\\0001", "DriverDate", "6-1-1999");
    SetText(kNetTrans + "\\0002", "IPAddress", "10.0.0.3");
    const RegistryImage seeded = WalkLocalMachine();

    text4.SetText("1400");
    module.ApplyMtu9x();
    EXPECT_EQ(LastBox(), "MTU setting applied successfully.");
    for (const char* name : {"\\0000", "\\0001", "\\0002"}) {
        EXPECT_EQ(TextAt(kNetTrans + name, "MaxMTU"), "1400") << name;
    }
    EXPECT_EQ(TextAt(kMstcp, "PMTUDiscovery"), "0");

    text4.SetText("");
    module.RetrieveMtu9x();
    EXPECT_EQ(text4.Text(), "1400");

    module.RemoveMtu9x();
    EXPECT_EQ(LastBox(), "Your MTU setting has been removed.");
    EXPECT_EQ(text4.Text(), "");
    for (const char* name : {"\\0000", "\\0001", "\\0002"}) {
        EXPECT_EQ(Query(kNetTrans + name, "MaxMTU").status, ERROR_FILE_NOT_FOUND) << name;
    }
    EXPECT_EQ(Query(kMstcp, "PMTUDiscovery").status, ERROR_FILE_NOT_FOUND);
    // The write of "PMTUDiscovery" may create the MSTCP key and its parent.
    for (const std::string& line : Differences(seeded, WalkLocalMachine(), {vxdKey})) {
        ADD_FAILURE() << line;
    }

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, classKey.c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, classKey.c_str());
    if (!vxdExisted) {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, vxdKey.c_str());
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, vxdKey.c_str());
    }
    for (const std::string& line : Differences(before, WalkLocalMachine())) {
        ADD_FAILURE() << "left behind: " << line;
    }
}

}  // namespace
}  // namespace quillon::test
