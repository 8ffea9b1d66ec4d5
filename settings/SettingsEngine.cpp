#include "settings/SettingsEngine.h"

#include "settings/MtuNumber.h"

#include "text/Decimal.h"

namespace quillon::settings {

namespace {

using reg::kHkeyLocalMachine;

// The names the engine reads and writes, one after another, each ending in
// its NUL. One routine makes the strings of them all at start-up, and one
// frees them at the end.
constexpr char kAllNames[] =
    // NT family.
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\\0"
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\\0"
    "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\\0"
    "ServiceName\0"
    "MTU\0"
    "EnablePMTUDiscovery\0"
    "Description\0"
    "CurrentVersion\0"
    "SYSTEM\\CurrentControlSet\\Services\\\0"
    "\\Parameters\\Tcpip\0"
    // 9x family.
    "System\\CurrentControlSet\\Services\\Class\\NetTrans\\\0"
    "System\\CurrentControlSet\\Services\\VxD\\MSTCP\0"
    "MaxMTU\0"
    "PMTUDiscovery\0"
    "DriverDesc";

struct Names {
    Names() {
        const char* name = kAllNames;
        for (std::string& text : texts) {
            text = name;
            name += text.size() + 1;
        }
    }
    std::array<std::string, 15> texts;
};

const Names kNameTable;
const std::array<std::string, 15>& kNames = kNameTable.texts;

// NT family.
const std::string& kNetworkCardsKey = kNames[0];
const std::string& kInterfacesKey = kNames[1];
const std::string& kTcpipParametersKey = kNames[2];
const std::string& kServiceName = kNames[3];
const std::string& kMtu = kNames[4];
const std::string& kEnablePmtuDiscovery = kNames[5];
const std::string& kDescription = kNames[6];
const std::string& kCurrentVersion = kNames[7];
const std::string& kServicesKey = kNames[8];
const std::string& kServiceTcpipSubkey = kNames[9];

// 9x family.
const std::string& kNetTransKey = kNames[10];
const std::string& kMstcpKey = kNames[11];
const char* const kIpAddress = "IPAddress";
const char* const kDriverDate = "DriverDate";
const std::string& kMaxMtu = kNames[12];
const std::string& kPmtuDiscovery = kNames[13];
const std::string& kDriverDesc = kNames[14];

// What the user is told.
const char* const kApplied = "MTU setting applied successfully.";
const char* const kRemoved = "Your MTU setting has been removed.";
const char* const kNoAdapter = "No network adapter was found. The MTU setting was not applied.";
const char* const kNotSaved =
    "The MTU setting could not be saved. Run Quillon MTU Tool as an administrator and try again.";
const char* const kNotRemoved =
    "The MTU setting could not be removed. Run Quillon MTU Tool as an administrator and try again.";
const char* const kNotANumber = "The MTU setting was not applied: the MTU must be a number from 88 to 1500.";

bool InUse(const std::optional<std::string>& probe) { return probe.has_value() && !probe->empty(); }

std::optional<std::int32_t> ConvertMtuNt(const std::string& text) {
    const auto number = ReadAsNumber(text);
    return number ? RoundToInt32(*number) : std::nullopt;
}

// NT 3.51 and 4.0 ("3.51", "4.0") read an adapter's TCP/IP values from its
// service key; Windows 2000 ("5.0") and later from the Interfaces key. Only a
// decimal major number below 5, with or without a decimal minor one, counts.
bool BeforeWindows2000(const std::optional<std::string>& version) {
    if (!version) {
        return false;
    }
    unsigned major = 0;  // stops growing once it is 5 or more
    int majorDigits = 0;
    int minorDigits = 0;
    bool point = false;
    for (const char c : *version) {
        if (c == '.' && !point) {
            point = true;
        } else if (c < '0' || c > '9') {
            return false;
        } else if (point) {
            ++minorDigits;
        } else {
            ++majorDigits;
            major = major < 5 ? major * 10 + static_cast<unsigned>(c - '0') : major;
        }
    }
    return majorDigits != 0 && (!point || minorDigits != 0) && major < 5;
}

std::string ServiceTcpipKey(const std::string& serviceName) {
    return kServicesKey + serviceName + kServiceTcpipSubkey;
}

// "0000" to "0029": three zeros before one digit, two before two.
std::string TransportName(std::int16_t slot) {
    const std::string digits = text::Decimal(slot);
    return (digits.size() == 1 ? "000" : "00") + digits;
}

}  // namespace

bool Outcome::AllDone() const {
    for (const AdapterChange& adapter : adapters) {
        if (adapter.change == Change::kRefused) {
            return false;
        }
    }
    return !switchRefused;
}

Message ApplyMessage(const Outcome& outcome) {
    if (outcome.notANumber) {
        return {kNotANumber, Notice::kWarning};
    }
    if (!outcome.anyInUse) {
        return {kNoAdapter, Notice::kWarning};
    }
    return outcome.AllDone() ? Message{kApplied, Notice::kInformation} : Message{kNotSaved, Notice::kError};
}

Message RemoveMessage(const Outcome& outcome) {
    return outcome.AllDone() ? Message{kRemoved, Notice::kInformation} : Message{kNotRemoved, Notice::kError};
}

template <typename Visit>
bool SettingsEngine::ForEachSlotInUse(const ProbeTable& probes, Visit&& visit) {
    bool any = false;
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        if (InUse(probes[Cell()])) {
            any = true;
            visit(*probes[Cell()]);
        }
    }
    return any;
}

template <typename Visit>
bool SettingsEngine::ForEachChosenSlot(const ProbeTable& probes, std::int16_t only, Visit&& visit) {
    // A slot outside 0 to 29 is none of the slots, never every slot.
    const bool every = only < 0;
    const bool chosenInUse = every || (only < kSlots && InUse(probes[static_cast<std::size_t>(only)]));
    return ForEachSlotInUse(probes,
                            [&](const std::string& probe) {
                                if (every || SlotIndex == only) {
                                    visit(probe);
                                }
                            }) &&
           chosenInUse;
}

bool SettingsEngine::EverySlotHolds(bool nt, const ProbeTable& probes, const std::string& name,
                                    reg::ValueType type) {
    bool every = true;
    ForEachSlotInUse(probes, [&](const std::string& probe) {
        if (every) {
            const reg::RawValue value = registry_.GetRawValue(kHkeyLocalMachine, MtuKey(nt, probe), name);
            every =
                value.state == reg::RawValue::State::kPresent && value.type == type && !value.data.empty();
        }
    });
    return every;
}

std::string SettingsEngine::MtuKey(bool nt, const std::string& probe) const {
    return nt ? kInterfacesKey + probe : TransportKey();
}

Outcome SettingsEngine::Apply(WindowsFamily family, const std::string& mtu, std::int16_t only) {
    std::string& text = family == WindowsFamily::kNt ? NtMtuText : MtuText9x;
    text = mtu;
    return ApplyOrRemove(family, &text, only);
}

Outcome SettingsEngine::Remove(WindowsFamily family, std::int16_t only) {
    return ApplyOrRemove(family, nullptr, only);
}

Outcome SettingsEngine::ApplyOrRemove(WindowsFamily family, const std::string* mtu, std::int16_t only) {
    const bool nt = family == WindowsFamily::kNt;
    const bool apply = mtu != nullptr;
    Outcome outcome;
    const bool serviceKeys = nt && UsesServiceTcpipKeysNt();
    // A transport that Apply wrote has an "IPAddress" text; Remove also
    // visits one that only has a "DriverDate" text.
    const ProbeTable& probes = ScanSlots(nt, !apply);
    const std::string& name = nt ? kMtu : kMaxMtu;
    // NT stores the text as a number; 9x as it is.
    const std::optional<std::int32_t> number = nt && apply ? ConvertMtuNt(*mtu) : std::nullopt;
    outcome.anyInUse = ForEachChosenSlot(probes, only, [&](const std::string& probe) {
        if (nt && apply && !number) {
            outcome.notANumber = true;
            return;
        }
        const auto change = [&](const std::string& key) {
            return !apply ? registry_.DeleteValue(kHkeyLocalMachine, key, name)
                   : nt   ? registry_.SetDwordValue(kHkeyLocalMachine, key, name, *number)
                          : registry_.SetStringValue(kHkeyLocalMachine, key, name, *mtu);
        };
        bool done = change(MtuKey(nt, probe));
        if (serviceKeys) {
            done &= change(ServiceTcpipKey(probe));
        }
        outcome.adapters.push_back(
            {SlotIndex, probe, !done ? Change::kRefused : apply ? Change::kWritten : Change::kDeleted});
        if (only < 0) {
            outcome.switchRefused |= !SwitchPmtuDiscovery(nt, apply);
        }
    });
    if (only < 0 || !outcome.AllDone() || (apply && (!outcome.anyInUse || outcome.notANumber))) {
        return outcome;
    }
    // Apply of one slot, once its MTU is stored: path-MTU discovery goes
    // off where every slot in use holds an MTU, else the default (on) is
    // restored, since off from an earlier Apply of every slot it would hold
    // the others to 576 bytes. Remove of one slot: the adapter holds no MTU
    // any more, so the switch must not stay off.
    const bool off = apply && EverySlotHolds(nt, probes, name, nt ? reg::kRegDword : reg::kRegSz);
    outcome.switchChange = off ? SwitchChange::kSwitchedOff : SwitchChange::kRestored;
    outcome.switchRefused = !SwitchPmtuDiscovery(nt, off);
    return outcome;
}

std::vector<SlotReport> SettingsEngine::List(WindowsFamily family) {
    std::vector<SlotReport> adapters;
    const bool nt = family == WindowsFamily::kNt;
    ForEachSlotInUse(ScanSlots(nt, false), [&](const std::string& probe) {
        SlotReport& adapter = adapters.emplace_back();
        adapter.index = SlotIndex;
        adapter.name = probe;
        // NT stores a number, 0 where none is stored; 9x a text.
        if (nt) {
            adapter.slot = text::Decimal(CardNumbers[Cell()]);
            const std::int32_t number = registry_.GetDwordValue(kHkeyLocalMachine, MtuKey(nt, probe), kMtu);
            if (number != 0) {
                adapter.mtu = text::Decimal(number);
            }
        } else {
            adapter.slot = TransportIndexes[Cell()];
            adapter.mtu = registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), kMaxMtu);
            if (adapter.mtu && adapter.mtu->empty()) {
                adapter.mtu.reset();
            }
        }
        adapter.description =
            registry_
                .GetStringValue(kHkeyLocalMachine, nt ? CardKeyPaths[Cell()] : TransportKey(),
                                nt ? kDescription : kDriverDesc)
                .value_or("");
    });
    return adapters;
}

std::vector<ToolValue> SettingsEngine::ToolValues(WindowsFamily family) {
    std::vector<ToolValue> values;
    // Each value made where the list keeps it, by one routine.
    const auto add = [&values](const std::string& path, const std::string& name) {
        ToolValue& value = values.emplace_back();
        value.path = path;
        value.name = name;
    };
    const bool nt = family == WindowsFamily::kNt;
    const bool serviceKeys = nt && UsesServiceTcpipKeysNt();
    ForEachSlotInUse(ScanSlots(nt, true), [&](const std::string& probe) {
        add(MtuKey(nt, probe), nt ? kMtu : kMaxMtu);
        if (serviceKeys) {
            add(ServiceTcpipKey(probe), kMtu);
        }
    });
    add(SwitchPath(family), SwitchName(family));
    return values;
}

ToolValue SettingsEngine::SwitchValue(WindowsFamily family) { return {SwitchPath(family), SwitchName(family)}; }

const std::string& SettingsEngine::SwitchPath(WindowsFamily family) {
    return family == WindowsFamily::kNt ? kTcpipParametersKey : kMstcpKey;
}

const std::string& SettingsEngine::SwitchName(WindowsFamily family) {
    return family == WindowsFamily::kNt ? kEnablePmtuDiscovery : kPmtuDiscovery;
}

std::string SettingsEngine::Retrieve(WindowsFamily family) {
    const bool nt = family == WindowsFamily::kNt;
    std::string& current = nt ? NtCurrentMtu : CurrentMaxMtu9x;
    ForEachSlotInUse(ScanSlots(nt, false), [&](const std::string& probe) {
        current = nt ? text::Decimal(registry_.GetDwordValue(kHkeyLocalMachine, MtuKey(nt, probe), kMtu))
                     : registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), kMaxMtu).value_or("");
    });
    return current;
}

const SettingsEngine::ProbeTable& SettingsEngine::ScanSlots(bool nt, bool anyTransport) {
    if (nt) {
        ScanNtAdapters();
        return ServiceNames;
    }
    ScanTransports9x(anyTransport ? kDriverDate : kIpAddress, anyTransport ? kIpAddress : nullptr);
    return TransportProbes;
}

// ---- NT family ----

void SettingsEngine::ScanNtAdapters() {
    // Each slot's card number, its key, and the service name there.
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        CardNumbers[Cell()] = SlotIndex + 1;
        CardKeyPaths[Cell()] = kNetworkCardsKey + text::Decimal(CardNumbers[Cell()]);
        ServiceNames[Cell()] =
            registry_.GetStringValue(kHkeyLocalMachine, CardKeyPaths[Cell()], kServiceName);
    }
}

bool SettingsEngine::SwitchPmtuDiscovery(bool nt, bool off) {
    return off ? (nt ? DisablePmtuDiscoveryNt() : DisablePmtuDiscovery9x())
               : (nt ? RestorePmtuDiscoveryNt() : RestorePmtuDiscovery9x());
}

bool SettingsEngine::DisablePmtuDiscoveryNt() {
    return registry_.SetDwordValue(kHkeyLocalMachine, kTcpipParametersKey, kEnablePmtuDiscovery, 0);
}

bool SettingsEngine::RestorePmtuDiscoveryNt() {
    return registry_.DeleteValue(kHkeyLocalMachine, kTcpipParametersKey, kEnablePmtuDiscovery);
}

bool SettingsEngine::UsesServiceTcpipKeysNt() {
    return BeforeWindows2000(registry_.GetStringValue(kHkeyLocalMachine, kNtVersionKey, kCurrentVersion));
}

// ---- 9x family ----

std::string SettingsEngine::TransportKey() const { return kNetTransKey + TransportIndexes[Cell()]; }

void SettingsEngine::ScanTransports9x(const char* probe, const char* fallback) {
    // Each slot's transport name, and its texts.
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        TransportIndexes[Cell()] = TransportName(SlotIndex);
        TransportProbes[Cell()] = registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), probe);
        if (fallback != nullptr && !InUse(TransportProbes[Cell()])) {
            TransportProbes[Cell()] = registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), fallback);
        }
    }
}

bool SettingsEngine::DisablePmtuDiscovery9x() {
    return registry_.SetStringValue(kHkeyLocalMachine, kMstcpKey, kPmtuDiscovery, "0");
}

bool SettingsEngine::RestorePmtuDiscovery9x() {
    return registry_.DeleteValue(kHkeyLocalMachine, kMstcpKey, kPmtuDiscovery);
}

}  // namespace quillon::settings
