#include "settings/SettingsEngine.h"

#include "settings/MtuNumber.h"

#include "text/Decimal.h"

namespace quillon::settings {

namespace {

using reg::kHkeyLocalMachine;

// NT family.
const std::string kNetworkCardsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";
const std::string kInterfacesKey = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
const std::string kTcpipParametersKey = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\";
const std::string kServiceName = "ServiceName";
const std::string kMtu = "MTU";
const std::string kEnablePmtuDiscovery = "EnablePMTUDiscovery";
const std::string kDescription = "Description";
const std::string kCurrentVersion = "CurrentVersion";
const std::string kServicesKey = "SYSTEM\\CurrentControlSet\\Services\\";
const std::string kServiceTcpipSubkey = "\\Parameters\\Tcpip";

// 9x family.
const std::string kNetTransKey = "System\\CurrentControlSet\\Services\\Class\\NetTrans\\";
const std::string kMstcpKey = "System\\CurrentControlSet\\Services\\VxD\\MSTCP";
const char* const kIpAddress = "IPAddress";
const char* const kDriverDate = "DriverDate";
const std::string kMaxMtu = "MaxMTU";
const std::string kPmtuDiscovery = "PMTUDiscovery";
const std::string kDriverDesc = "DriverDesc";

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

std::string InterfaceKey(const std::string& serviceName) { return kInterfacesKey + serviceName; }

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

template <typename Key>
bool SettingsEngine::EverySlotHolds(const ProbeTable& probes, Key&& key, const std::string& name,
                                    reg::ValueType type) {
    bool every = true;
    ForEachSlotInUse(probes, [&](const std::string& probe) {
        if (every) {
            const reg::RawValue value = registry_.GetRawValue(kHkeyLocalMachine, key(probe), name);
            every =
                value.state == reg::RawValue::State::kPresent && value.type == type && !value.data.empty();
        }
    });
    return every;
}

template <typename Key>
void SettingsEngine::SwitchOffWhereAllHold(Outcome& outcome, WindowsFamily family, const ProbeTable& probes,
                                           Key&& key, const std::string& name, reg::ValueType type) {
    const bool nt = family == WindowsFamily::kNt;
    if (!EverySlotHolds(probes, key, name, type)) {
        // Off from an earlier Apply of every slot, it would hold the others
        // to 576 bytes.
        outcome.switchChange = SwitchChange::kRestored;
        outcome.switchRefused = !(nt ? RestorePmtuDiscoveryNt() : RestorePmtuDiscovery9x());
        return;
    }
    outcome.switchChange = SwitchChange::kSwitchedOff;
    outcome.switchRefused = !(nt ? DisablePmtuDiscoveryNt() : DisablePmtuDiscovery9x());
}

Outcome SettingsEngine::Apply(WindowsFamily family, const std::string& mtu, std::int16_t only) {
    if (family == WindowsFamily::kNt) {
        NtMtuText = mtu;
        return ApplyNt(only);
    }
    MtuText9x = mtu;
    return Apply9x(only);
}

Outcome SettingsEngine::Remove(WindowsFamily family, std::int16_t only) {
    return family == WindowsFamily::kNt ? RemoveNt(only) : Remove9x(only);
}

std::vector<SlotReport> SettingsEngine::List(WindowsFamily family) {
    std::vector<SlotReport> adapters;
    if (family == WindowsFamily::kNt) {
        ScanNtAdapters();
        ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
            const std::int32_t mtu =
                registry_.GetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu);
            adapters.push_back(
                SlotReport{SlotIndex, text::Decimal(CardNumbers[Cell()]), serviceName,
                           mtu != 0 ? std::optional(text::Decimal(mtu)) : std::nullopt,
                           registry_.GetStringValue(kHkeyLocalMachine, CardKeyPaths[Cell()], kDescription)
                               .value_or("")});
        });
        return adapters;
    }
    ScanTransports9x(kIpAddress);
    ForEachSlotInUse(TransportProbes, [&](const std::string& ipAddress) {
        auto mtu = registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), kMaxMtu);
        if (mtu && mtu->empty()) {
            mtu.reset();
        }
        adapters.push_back(SlotReport{
            SlotIndex, TransportIndexes[Cell()], ipAddress, mtu,
            registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), kDriverDesc).value_or("")});
    });
    return adapters;
}

std::vector<ToolValue> SettingsEngine::ToolValues(WindowsFamily family) {
    std::vector<ToolValue> values;
    if (family == WindowsFamily::kNt) {
        const bool serviceKeys = UsesServiceTcpipKeysNt();
        ScanNtAdapters();
        ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
            values.push_back({kInterfacesKey + serviceName, kMtu});
            if (serviceKeys) {
                values.push_back({ServiceTcpipKey(serviceName), kMtu});
            }
        });
    } else {
        ScanTransports9x(kDriverDate, kIpAddress);
        ForEachSlotInUse(TransportProbes, [&](const std::string&) {
            values.push_back({TransportKey(), kMaxMtu});
        });
    }
    values.push_back(SwitchValue(family));
    return values;
}

ToolValue SettingsEngine::SwitchValue(WindowsFamily family) {
    return family == WindowsFamily::kNt ? ToolValue{kTcpipParametersKey, kEnablePmtuDiscovery}
                                 : ToolValue{kMstcpKey, kPmtuDiscovery};
}

std::string SettingsEngine::Retrieve(WindowsFamily family) {
    if (family == WindowsFamily::kNt) {
        ScanNtAdapters();
        ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
            NtCurrentMtu =
                text::Decimal(registry_.GetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu));
        });
        return NtCurrentMtu;
    }
    ScanTransports9x(kIpAddress);
    ForEachSlotInUse(TransportProbes, [&](const std::string&) {
        CurrentMaxMtu9x = registry_.GetStringValue(kHkeyLocalMachine, TransportKey(), kMaxMtu).value_or("");
    });
    return CurrentMaxMtu9x;
}

// ---- NT family ----

void SettingsEngine::ScanNtAdapters() {
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        CardNumbers[Cell()] = SlotIndex + 1;
    }
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        CardKeyPaths[Cell()] = kNetworkCardsKey + text::Decimal(CardNumbers[Cell()]);
    }
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        ServiceNames[Cell()] =
            registry_.GetStringValue(kHkeyLocalMachine, CardKeyPaths[Cell()], kServiceName);
    }
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

Outcome SettingsEngine::ApplyNt(std::int16_t only) {
    Outcome outcome;
    const bool serviceKeys = UsesServiceTcpipKeysNt();
    ScanNtAdapters();
    outcome.anyInUse = ForEachChosenSlot(ServiceNames, only, [&](const std::string& serviceName) {
        const std::optional<std::int32_t> mtu = ConvertMtuNt(NtMtuText);
        if (!mtu) {
            outcome.notANumber = true;
            return;
        }
        bool written = registry_.SetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu, *mtu);
        if (serviceKeys) {
            written &= registry_.SetDwordValue(kHkeyLocalMachine, ServiceTcpipKey(serviceName), kMtu, *mtu);
        }
        outcome.adapters.push_back({SlotIndex, serviceName, written ? Change::kWritten : Change::kRefused});
        if (only < 0) {
            outcome.switchRefused |= !DisablePmtuDiscoveryNt();
        }
    });
    if (only >= 0 && outcome.anyInUse && !outcome.notANumber && outcome.AllDone()) {
        SwitchOffWhereAllHold(outcome, WindowsFamily::kNt, ServiceNames, InterfaceKey, kMtu, reg::kRegDword);
    }
    return outcome;
}

Outcome SettingsEngine::RemoveNt(std::int16_t only) {
    Outcome outcome;
    const bool serviceKeys = UsesServiceTcpipKeysNt();
    ScanNtAdapters();
    outcome.anyInUse = ForEachChosenSlot(ServiceNames, only, [&](const std::string& serviceName) {
        bool deleted = registry_.DeleteValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu);
        if (serviceKeys) {
            deleted &= registry_.DeleteValue(kHkeyLocalMachine, ServiceTcpipKey(serviceName), kMtu);
        }
        outcome.adapters.push_back({SlotIndex, serviceName, deleted ? Change::kDeleted : Change::kRefused});
        if (only < 0) {
            outcome.switchRefused |= !RestorePmtuDiscoveryNt();
        }
    });
    // One adapter that holds no MTU any more: the switch must not stay off.
    if (only >= 0 && outcome.AllDone()) {
        outcome.switchChange = SwitchChange::kRestored;
        outcome.switchRefused = !RestorePmtuDiscoveryNt();
    }
    return outcome;
}

// ---- 9x family ----

std::string SettingsEngine::TransportKey() const { return kNetTransKey + TransportIndexes[Cell()]; }

void SettingsEngine::ScanTransports9x(const char* probe, const char* fallback) {
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        TransportIndexes[Cell()] = TransportName(SlotIndex);
    }
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
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

Outcome SettingsEngine::Apply9x(std::int16_t only) {
    Outcome outcome;
    ScanTransports9x(kIpAddress);
    outcome.anyInUse = ForEachChosenSlot(TransportProbes, only, [&](const std::string& ipAddress) {
        const bool written = registry_.SetStringValue(kHkeyLocalMachine, TransportKey(), kMaxMtu, MtuText9x);
        outcome.adapters.push_back({SlotIndex, ipAddress, written ? Change::kWritten : Change::kRefused});
        if (only < 0) {
            outcome.switchRefused |= !DisablePmtuDiscovery9x();
        }
    });
    if (only >= 0 && outcome.anyInUse && outcome.AllDone()) {
        SwitchOffWhereAllHold(
            outcome, WindowsFamily::k9x, TransportProbes, [this](const std::string&) { return TransportKey(); },
            kMaxMtu, reg::kRegSz);
    }
    return outcome;
}

Outcome SettingsEngine::Remove9x(std::int16_t only) {
    Outcome outcome;
    // A transport that Apply wrote has an "IPAddress" text; one that only
    // has a "DriverDate" text is visited as well.
    ScanTransports9x(kDriverDate, kIpAddress);
    outcome.anyInUse = ForEachChosenSlot(TransportProbes, only, [&](const std::string& probe) {
        const bool deleted = registry_.DeleteValue(kHkeyLocalMachine, TransportKey(), kMaxMtu);
        outcome.adapters.push_back({SlotIndex, probe, deleted ? Change::kDeleted : Change::kRefused});
        if (only < 0) {
            outcome.switchRefused |= !RestorePmtuDiscovery9x();
        }
    });
    if (only >= 0 && outcome.AllDone()) {
        outcome.switchChange = SwitchChange::kRestored;
        outcome.switchRefused = !RestorePmtuDiscovery9x();
    }
    return outcome;
}

}  // namespace quillon::settings
