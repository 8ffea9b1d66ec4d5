#pragma once
// Module1: the MTU settings of both families of Windows. It finds the
// adapters (NT) or transports (9x) in 30 numbered slots, writes, deletes and
// reads their MTU value, and switches path-MTU discovery off and on beside it.
// The operations read and write their window's MTU box and show their own
// message boxes.
//
// This object holds the module's state for the whole run: the slot tables,
// the texts and the one shared slot counter.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/Registry.h"
#include "ui/WindowServices.h"

namespace quillon::settings {

inline constexpr const char* kToolTitle = "Quillon MTU Tool";

// How the operations reach their windows.
class SettingsWindows {
public:
    SettingsWindows() = default;
    SettingsWindows(const SettingsWindows&) = delete;
    SettingsWindows& operator=(const SettingsWindows&) = delete;
    virtual ~SettingsWindows() = default;
    virtual ui::TextBox& NtMtuBox() = 0;  // Text3 of Form1
    virtual ui::TextBox& MtuBox9x() = 0;  // Text4 of Form2
    virtual ui::MessageBoxes& Messages() = 0;
};

// One adapter (NT) or transport (9x) in use, as the console's show lists it.
struct SlotReport {
    std::int16_t index = 0;          // the slot: 0 to 29
    std::string slot;                // card number, or transport name
    std::string name;                // service name, or IP address
    std::optional<std::string> mtu;  // the MTU stored there, if any
    std::string description;         // the card's "Description", the transport's "DriverDesc"
};

// A value that Apply or Remove may change, by its key below HKLM.
struct ToolValue {
    std::string path;
    std::string name;
};

class Module1 {
public:
    // Every loop visits slots 0 to 29; cell 30 of each table is never used.
    static constexpr std::int16_t kSlots = 30;
    static constexpr std::size_t kCells = 31;

    Module1(reg::Registry& registry, SettingsWindows& windows) : registry_(registry), windows_(windows) {}

    // NT family: "MTU" under each adapter's TCP/IP interface key, and on NT
    // 3.51 and 4.0, which read it elsewhere, also under the TCP/IP key of the
    // adapter's service.
    void ApplyMtuNt();
    void RemoveMtuNt();
    void RetrieveMtuNt();
    void ScanNtAdapters();
    [[nodiscard]] bool DisablePmtuDiscoveryNt();
    // Every adapter in use with its service name and stored "MTU" (none where
    // it reads as 0), after a scan of its own.
    std::vector<SlotReport> ListAdaptersNt();
    [[nodiscard]] bool RestorePmtuDiscoveryNt();
    // Every value Apply or Remove may change now, the adapters' first and the
    // path-MTU-discovery switch last.
    std::vector<ToolValue> ToolValuesNt();

    // The console's --adapter: Apply and Remove of either family act on the
    // adapter or transport in this one slot only (from 0 to 29; -1: every
    // slot, as the windows always do). The path-MTU-discovery switch is then
    // off only while every adapter of the family holds an MTU of its own:
    // with it off, Windows sends at most 576 bytes beyond the local network
    // on an adapter that holds none. Apply switches it off once that holds
    // and otherwise deletes it (it may be off from an Apply of every slot);
    // Remove deletes it, since the adapter it removed from holds none any
    // more.
    void ActOnSlot(std::int16_t slot) { OnlySlot = slot; }
    enum class SwitchChange {
        kNone,         // every slot: the switch goes with the MTU, as in the windows
        kSwitchedOff,  // every adapter of the family holds an MTU now
        kRestored,     // another adapter holds no MTU of its own: the default (on) holds
    };
    // What the last Apply or Remove did with the switch.
    [[nodiscard]] SwitchChange SwitchDone() const { return SwitchChanged; }

    // 9x family: "MaxMTU" under each network transport's class key.
    void ApplyMtu9x();
    void RemoveMtu9x();
    void RetrieveMtu9x();
    // Reads `probe` for every slot; where it gives no text and `fallback` is
    // named, reads `fallback` instead.
    void ScanTransports9x(const char* probe, const char* fallback = nullptr);
    [[nodiscard]] bool DisablePmtuDiscovery9x();
    // Every transport in use (as Apply finds them) with its IP address and
    // stored "MaxMTU".
    std::vector<SlotReport> ListTransports9x();
    [[nodiscard]] bool RestorePmtuDiscovery9x();
    // Every value Apply or Remove may change now (the transports Remove
    // visits), the switch last.
    std::vector<ToolValue> ToolValues9x();

private:
    using ProbeTable = std::array<std::optional<std::string>, kCells>;

    template <typename Visit>
    bool ForEachSlotInUse(const ProbeTable& probes, Visit&& visit);
    // The slots in use that Apply and Remove act on: every one, or OnlySlot.
    template <typename Visit>
    bool ForEachChosenSlot(const ProbeTable& probes, Visit&& visit);
    // Whether every slot in use holds a value `name` of `type` under the key
    // that `key` gives.
    template <typename Key>
    bool EverySlotHolds(const ProbeTable& probes, Key&& key, const std::string& name, reg::ValueType type);
    // Apply of one slot, once its MTU is stored: switches path-MTU discovery
    // off where every slot in use holds an MTU, else restores it; false
    // where that write or delete failed.
    template <typename Key, typename Disable, typename Restore>
    bool SwitchOffWhereAllHold(const ProbeTable& probes, Key&& key, const std::string& name,
                               reg::ValueType type, Disable&& disable, Restore&& restore);
    // Whether "CurrentVersion" says NT 3.51 or 4.0; read once per operation.
    bool UsesServiceTcpipKeysNt();
    void ReportApply(bool anySlotInUse, bool allSaved);
    void FinishRemove(ui::TextBox& box, bool allRemoved);
    [[nodiscard]] std::size_t Cell() const { return static_cast<std::size_t>(SlotIndex); }

    reg::Registry& registry_;
    SettingsWindows& windows_;

    // The loop variable of every slot loop, shared by both families.
    std::int16_t SlotIndex = 0;
    std::int16_t OnlySlot = -1;
    SwitchChange SwitchChanged = SwitchChange::kNone;

    std::array<std::int32_t, kCells> CardNumbers{};
    std::array<std::string, kCells> CardKeyPaths;
    ProbeTable ServiceNames;
    std::string NtMtuText;
    std::string NtCurrentMtu;

    std::array<std::string, kCells> TransportIndexes;
    ProbeTable TransportProbes;
    std::string MtuText9x;
    std::string CurrentMaxMtu9x;
};

}  // namespace quillon::settings
