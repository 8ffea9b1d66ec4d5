#pragma once
// A machine for the settings operations: the in-memory registry, the
// headless window system and the two MTU boxes, wired to one Module1.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "tests/support/KeysAndTexts.h"
#include "tests/unit/SettingsRig.h"

namespace quillon::test {

inline const ui::headless::RecordedBox kAppliedBox{kApplied, 64, kTitle};
inline const ui::headless::RecordedBox kRemovedBox{kRemoved, 64, kTitle};
inline const ui::headless::RecordedBox kNoAdapterBox{
    "No network adapter was found. The MTU setting was not applied.", 48, kTitle};
inline const ui::headless::RecordedBox kNotSavedBox{kNotSaved, 16, kTitle};
inline const ui::headless::RecordedBox kNotRemovedBox{kNotRemoved, 16, kTitle};

inline std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }
inline reg::StoredValue Dword(std::uint32_t n) {
    return reg::StoredValue{reg::kRegDword,
                            {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                             static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)}};
}
inline reg::StoredValue Sz(std::string_view text) { return reg::StoredValue{reg::kRegSz, Bytes(text)}; }

class SettingsMachine : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(model.OpenHandles(), 0U) << "a registry handle was left open"; }

    void Card(int number, std::string_view serviceName) {
        model.SeedString(kCards + std::to_string(number), "ServiceName", serviceName);
    }
    std::optional<reg::StoredValue> Mtu(const std::string& serviceName) const {
        return model.Value(kInterfaces + serviceName, "MTU");
    }
    void Transport(const std::string& name, std::optional<std::string> ip, std::optional<std::string> date) {
        model.SeedKey(kNetTrans + name);
        if (ip) {
            model.SeedString(kNetTrans + name, "IPAddress", *ip);
        }
        if (date) {
            model.SeedString(kNetTrans + name, "DriverDate", *date);
        }
    }
    std::optional<reg::StoredValue> MaxMtu(const std::string& name) const {
        return model.Value(kNetTrans + name, "MaxMTU");
    }
    // The calls of one kind, as "key|value", in the order they were made;
    // only those on keys whose path begins with `below`, where it is given.
    std::vector<std::string> CallsOf(reg::Op op, const std::string& below = "") const {
        std::vector<std::string> out;
        for (const reg::Call& call : model.Calls()) {
            if (call.op == op && call.key.rfind(below, 0) == 0) {
                out.push_back(call.key + "|" + call.value);
            }
        }
        return out;
    }
    std::vector<ui::headless::RecordedBox> Boxes() const { return ui.Boxes(); }

    reg::MemoryRegistry model;
    SettingsRig rig{model};
    reg::Registry& routines = rig.routines;
    ui::headless::HeadlessWindowSystem& ui = rig.ui;
    ui::headless::HeadlessTextBox& text3 = rig.text3;
    ui::headless::HeadlessTextBox& text4 = rig.text4;
    settings::Module1& module = rig.module;
};

}  // namespace quillon::test
