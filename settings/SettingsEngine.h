#pragma once
// The MTU settings of both families of Windows, as results rather than as
// talk to windows. The engine finds the adapters (NT) or transports (9x) in
// 30 numbered slots, writes, deletes and reads their MTU value, and switches
// path-MTU discovery off and on beside it; each operation says what it did
// for each adapter. The windows (Module1) and the console program both stand
// on it.
//
// This object holds the settings' state for the whole run: the slot tables,
// the texts and the one shared slot counter.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/Registry.h"

namespace quillon::settings {

inline constexpr const char* kToolTitle = "Quillon MTU Tool";

// The two families of Windows, each with its own values.
enum class WindowsFamily { kNt, k9x };
inline constexpr std::array<WindowsFamily, 2> kWindowsFamilies = {WindowsFamily::kNt, WindowsFamily::k9x};

// Where each family says what it is: the key of its "ProductName".
inline constexpr const char* kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
inline constexpr const char* k9xVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
inline constexpr const char* kProductName = "ProductName";

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

// What Apply or Remove did to one adapter's MTU value, as far as the
// registry routines tell.
enum class Change { kWritten, kDeleted, kRefused };

struct AdapterChange {
    std::int16_t index = 0;  // the slot
    std::string name;        // service name, or IP address
    Change change = Change::kRefused;
};

// What Apply or Remove did with the path-MTU-discovery switch.
enum class SwitchChange {
    kNone,         // every slot: the switch goes with the MTU, as in the windows
    kSwitchedOff,  // every adapter of the family holds an MTU now
    kRestored,     // another adapter holds no MTU of its own: the default (on) holds
};

struct Outcome {
    bool anyInUse = false;    // an adapter (or the one chosen) was found
    bool notANumber = false;  // Apply: the text is no number it can store; nothing was written
    bool switchRefused = false;
    SwitchChange switchChange = SwitchChange::kNone;
    std::vector<AdapterChange> adapters;  // in slot order

    // Every write or delete went through.
    [[nodiscard]] bool AllDone() const;
};

// What the user is told of an Apply or a Remove.
enum class Notice { kInformation, kWarning, kError };
struct Message {
    const char* text = "";
    Notice notice = Notice::kInformation;
};
Message ApplyMessage(const Outcome& outcome);
Message RemoveMessage(const Outcome& outcome);

class SettingsEngine {
public:
    // Every loop visits slots 0 to 29; cell 30 of each table is never used.
    static constexpr std::int16_t kSlots = 30;
    static constexpr std::size_t kCells = 31;
    static constexpr std::int16_t kEverySlot = -1;

    explicit SettingsEngine(reg::Registry& registry) : registry_(registry) {}
    SettingsEngine(const SettingsEngine&) = delete;
    SettingsEngine& operator=(const SettingsEngine&) = delete;

    // Stores `mtu` (NT: as a number; 9x: the text as it is) for every
    // adapter in use, or for the one in slot `only`, and deals with the
    // path-MTU-discovery switch. `only` is a slot from 0 to 29, or
    // kEverySlot (any negative number). With every slot the switch is off after
    // each write, as the windows do it. With one slot it is off only while
    // every adapter of the family holds an MTU of its own: with it off,
    // Windows sends at most 576 bytes beyond the local network on an adapter
    // that holds none. So Apply switches it off once that holds and
    // otherwise deletes it (it may be off from an Apply of every slot);
    // Remove deletes it, since the adapter it removed from holds none any
    // more.
    Outcome Apply(WindowsFamily family, const std::string& mtu, std::int16_t only = kEverySlot);
    Outcome Remove(WindowsFamily family, std::int16_t only = kEverySlot);
    // The MTU text that the last adapter in use stores; where none is in
    // use, what the last Retrieve found.
    std::string Retrieve(WindowsFamily family);
    // Every adapter in use with its name and stored MTU, after a scan of its own.
    std::vector<SlotReport> List(WindowsFamily family);
    // Every value Apply or Remove may change now, the adapters' first and the
    // path-MTU-discovery switch last.
    std::vector<ToolValue> ToolValues(WindowsFamily family);
    // The path-MTU-discovery switch of a family.
    static ToolValue SwitchValue(WindowsFamily family);
    // Its key and its name.
    static const std::string& SwitchPath(WindowsFamily family);
    static const std::string& SwitchName(WindowsFamily family);

    // NT family: "MTU" under each adapter's TCP/IP interface key, and on NT
    // 3.51 and 4.0, which read it elsewhere, also under the TCP/IP key of the
    // adapter's service.
    void ScanNtAdapters();
    [[nodiscard]] bool DisablePmtuDiscoveryNt();
    [[nodiscard]] bool RestorePmtuDiscoveryNt();

    // 9x family: "MaxMTU" under each network transport's class key. The
    // scan reads `probe` for every slot; where it gives no text and
    // `fallback` is named, reads `fallback` instead.
    void ScanTransports9x(const char* probe, const char* fallback = nullptr);
    [[nodiscard]] bool DisablePmtuDiscovery9x();
    [[nodiscard]] bool RestorePmtuDiscovery9x();

private:
    using ProbeTable = std::array<std::optional<std::string>, kCells>;

    // Apply (with the text to store) and Remove (with none), the same way
    // for both families.
    Outcome ApplyOrRemove(WindowsFamily family, const std::string* mtu, std::int16_t only);

    template <typename Visit>
    bool ForEachSlotInUse(const ProbeTable& probes, Visit&& visit);
    // The slots in use that Apply and Remove act on: every one, or `only`.
    template <typename Visit>
    bool ForEachChosenSlot(const ProbeTable& probes, std::int16_t only, Visit&& visit);
    // Whether every slot in use holds a value `name` of `type` under its
    // MTU's key.
    bool EverySlotHolds(bool nt, const ProbeTable& probes, const std::string& name, reg::ValueType type);
    // Switches path-MTU discovery off (apply's switch), or back to the
    // default (on).
    [[nodiscard]] bool SwitchPmtuDiscovery(bool nt, bool off);
    // Scans the family's slots; gives the texts that say which are in use.
    // 9x: `anyTransport` also counts one with only a "DriverDate" text, as
    // Remove does.
    const ProbeTable& ScanSlots(bool nt, bool anyTransport);
    // The key of the slot's MTU: the adapter's interface key (NT), the
    // transport's class key (9x).
    std::string MtuKey(bool nt, const std::string& probe) const;
    // Whether "CurrentVersion" says NT 3.51 or 4.0; read once per operation.
    bool UsesServiceTcpipKeysNt();
    std::string TransportKey() const;
    [[nodiscard]] std::size_t Cell() const { return static_cast<std::size_t>(SlotIndex); }

    reg::Registry& registry_;

    // The loop variable of every slot loop, shared by both families.
    std::int16_t SlotIndex = 0;

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
