#include "settings/Module1.h"

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
const std::string kNtVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\";
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
const std::string kApplied = "MTU setting applied successfully.";
const std::string kRemoved = "Your MTU setting has been removed.";
const std::string kNoAdapter = "No network adapter was found. The MTU setting was not applied.";
const std::string kNotSaved =
    "The MTU setting could not be saved. Run Quillon MTU Tool as an administrator and try again.";
const std::string kNotRemoved =
    "The MTU setting could not be removed. Run Quillon MTU Tool as an administrator and try again.";
const std::string kNotANumber = "The MTU setting was not applied: the MTU must be a number from 88 to 1500.";

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

template <typename Visit>
bool Module1::ForEachSlotInUse(const ProbeTable& probes, Visit&& visit) {
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
bool Module1::ForEachChosenSlot(const ProbeTable& probes, Visit&& visit) {
    return ForEachSlotInUse(probes,
                            [&](const std::string& probe) {
                                if (OnlySlot < 0 || SlotIndex == OnlySlot) {
                                    visit(probe);
                                }
                            }) &&
           (OnlySlot < 0 || InUse(probes[static_cast<std::size_t>(OnlySlot)]));
}

template <typename Key>
bool Module1::EverySlotHolds(const ProbeTable& probes, Key&& key, const std::string& name,
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

template <typename Key, typename Disable, typename Restore>
bool Module1::SwitchOffWhereAllHold(const ProbeTable& probes, Key&& key, const std::string& name,
                                    reg::ValueType type, Disable&& disable, Restore&& restore) {
    if (!EverySlotHolds(probes, key, name, type)) {
        // Off from an earlier Apply of every slot, it would hold the others
        // to 576 bytes.
        SwitchChanged = SwitchChange::kRestored;
        return restore();
    }
    SwitchChanged = SwitchChange::kSwitchedOff;
    return disable();
}

void Module1::ReportApply(bool anySlotInUse, bool allSaved) {
    ui::MessageBoxes& boxes = windows_.Messages();
    if (!anySlotInUse) {
        boxes.MsgBox(kNoAdapter, ui::kMbIconWarning, kToolTitle);
    } else if (!allSaved) {
        boxes.MsgBox(kNotSaved, ui::kMbIconError, kToolTitle);
    } else {
        boxes.MsgBox(kApplied, ui::kMbIconInformation, kToolTitle);
    }
}

void Module1::FinishRemove(ui::TextBox& box, bool allRemoved) {
    if (!allRemoved) {
        // The box keeps its value so that the user can try again.
        windows_.Messages().MsgBox(kNotRemoved, ui::kMbIconError, kToolTitle);
        return;
    }
    box.SetText("");
    windows_.Messages().MsgBox(kRemoved, ui::kMbIconInformation, kToolTitle);
}

// ---- NT family ----

void Module1::ScanNtAdapters() {
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

bool Module1::DisablePmtuDiscoveryNt() {
    return registry_.SetDwordValue(kHkeyLocalMachine, kTcpipParametersKey, kEnablePmtuDiscovery, 0);
}

bool Module1::RestorePmtuDiscoveryNt() {
    return registry_.DeleteValue(kHkeyLocalMachine, kTcpipParametersKey, kEnablePmtuDiscovery);
}

bool Module1::UsesServiceTcpipKeysNt() {
    return BeforeWindows2000(registry_.GetStringValue(kHkeyLocalMachine, kNtVersionKey, kCurrentVersion));
}

void Module1::ApplyMtuNt() {
    SwitchChanged = SwitchChange::kNone;
    const bool serviceKeys = UsesServiceTcpipKeysNt();
    ScanNtAdapters();
    NtMtuText = windows_.NtMtuBox().Text();
    bool allSaved = true;
    bool readable = true;
    const bool any = ForEachChosenSlot(ServiceNames, [&](const std::string& serviceName) {
        const std::optional<std::int32_t> mtu = ConvertMtuNt(NtMtuText);
        if (!mtu) {
            readable = false;
            return;
        }
        allSaved &= registry_.SetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu, *mtu);
        if (serviceKeys) {
            allSaved &= registry_.SetDwordValue(kHkeyLocalMachine, ServiceTcpipKey(serviceName), kMtu, *mtu);
        }
        if (OnlySlot < 0) {
            allSaved &= DisablePmtuDiscoveryNt();
        }
    });
    if (any && !readable) {
        windows_.Messages().MsgBox(kNotANumber, ui::kMbIconWarning, kToolTitle);
        return;
    }
    if (OnlySlot >= 0 && any && allSaved) {
        allSaved = SwitchOffWhereAllHold(
            ServiceNames, InterfaceKey, kMtu, reg::kRegDword, [this] { return DisablePmtuDiscoveryNt(); },
            [this] { return RestorePmtuDiscoveryNt(); });
    }
    ReportApply(any, allSaved);
}

void Module1::RemoveMtuNt() {
    SwitchChanged = SwitchChange::kNone;
    const bool serviceKeys = UsesServiceTcpipKeysNt();
    ScanNtAdapters();
    bool allRemoved = true;
    ForEachChosenSlot(ServiceNames, [&](const std::string& serviceName) {
        allRemoved &= registry_.DeleteValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu);
        if (serviceKeys) {
            allRemoved &= registry_.DeleteValue(kHkeyLocalMachine, ServiceTcpipKey(serviceName), kMtu);
        }
        if (OnlySlot < 0) {
            allRemoved &= RestorePmtuDiscoveryNt();
        }
    });
    // One adapter that holds no MTU any more: the switch must not stay off.
    if (OnlySlot >= 0 && allRemoved) {
        SwitchChanged = SwitchChange::kRestored;
        allRemoved = RestorePmtuDiscoveryNt();
    }
    FinishRemove(windows_.NtMtuBox(), allRemoved);
}

void Module1::RetrieveMtuNt() {
    ScanNtAdapters();
    ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
        NtCurrentMtu =
            text::Decimal(registry_.GetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu));
    });
    windows_.NtMtuBox().SetText(NtCurrentMtu);
}

std::vector<SlotReport> Module1::ListAdaptersNt() {
    ScanNtAdapters();
    std::vector<SlotReport> adapters;
    ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
        const std::int32_t mtu =
            registry_.GetDwordValue(kHkeyLocalMachine, kInterfacesKey + serviceName, kMtu);
        adapters.push_back(SlotReport{
            SlotIndex, text::Decimal(CardNumbers[Cell()]), serviceName,
            mtu != 0 ? std::optional(text::Decimal(mtu)) : std::nullopt,
            registry_.GetStringValue(kHkeyLocalMachine, CardKeyPaths[Cell()], kDescription).value_or("")});
    });
    return adapters;
}

std::vector<ToolValue> Module1::ToolValuesNt() {
    const bool serviceKeys = UsesServiceTcpipKeysNt();
    ScanNtAdapters();
    std::vector<ToolValue> values;
    ForEachSlotInUse(ServiceNames, [&](const std::string& serviceName) {
        values.push_back({kInterfacesKey + serviceName, kMtu});
        if (serviceKeys) {
            values.push_back({ServiceTcpipKey(serviceName), kMtu});
        }
    });
    values.push_back({kTcpipParametersKey, kEnablePmtuDiscovery});
    return values;
}

// ---- 9x family ----

void Module1::ScanTransports9x(const char* probe, const char* fallback) {
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        TransportIndexes[Cell()] = TransportName(SlotIndex);
    }
    for (SlotIndex = 0; SlotIndex != kSlots; ++SlotIndex) {
        const std::string key = kNetTransKey + TransportIndexes[Cell()];
        TransportProbes[Cell()] = registry_.GetStringValue(kHkeyLocalMachine, key, probe);
        if (fallback != nullptr && !InUse(TransportProbes[Cell()])) {
            TransportProbes[Cell()] = registry_.GetStringValue(kHkeyLocalMachine, key, fallback);
        }
    }
}

bool Module1::DisablePmtuDiscovery9x() {
    return registry_.SetStringValue(kHkeyLocalMachine, kMstcpKey, kPmtuDiscovery, "0");
}

bool Module1::RestorePmtuDiscovery9x() {
    return registry_.DeleteValue(kHkeyLocalMachine, kMstcpKey, kPmtuDiscovery);
}

void Module1::ApplyMtu9x() {
    SwitchChanged = SwitchChange::kNone;
    ScanTransports9x(kIpAddress);
    MtuText9x = windows_.MtuBox9x().Text();
    bool allSaved = true;
    const bool any = ForEachChosenSlot(TransportProbes, [&](const std::string&) {
        allSaved &= registry_.SetStringValue(kHkeyLocalMachine, kNetTransKey + TransportIndexes[Cell()],
                                             kMaxMtu, MtuText9x);
        if (OnlySlot < 0) {
            allSaved &= DisablePmtuDiscovery9x();
        }
    });
    if (OnlySlot >= 0 && any && allSaved) {
        allSaved = SwitchOffWhereAllHold(
            TransportProbes, [this](const std::string&) { return kNetTransKey + TransportIndexes[Cell()]; },
            kMaxMtu, reg::kRegSz, [this] { return DisablePmtuDiscovery9x(); },
            [this] { return RestorePmtuDiscovery9x(); });
    }
    ReportApply(any, allSaved);
}

void Module1::RemoveMtu9x() {
    SwitchChanged = SwitchChange::kNone;
    // A transport that Apply wrote has an "IPAddress" text; one that only
    // has a "DriverDate" text is visited as well.
    ScanTransports9x(kDriverDate, kIpAddress);
    bool allRemoved = true;
    ForEachChosenSlot(TransportProbes, [&](const std::string&) {
        allRemoved &=
            registry_.DeleteValue(kHkeyLocalMachine, kNetTransKey + TransportIndexes[Cell()], kMaxMtu);
        if (OnlySlot < 0) {
            allRemoved &= RestorePmtuDiscovery9x();
        }
    });
    if (OnlySlot >= 0 && allRemoved) {
        SwitchChanged = SwitchChange::kRestored;
        allRemoved = RestorePmtuDiscovery9x();
    }
    FinishRemove(windows_.MtuBox9x(), allRemoved);
}

std::vector<SlotReport> Module1::ListTransports9x() {
    ScanTransports9x(kIpAddress);
    std::vector<SlotReport> transports;
    ForEachSlotInUse(TransportProbes, [&](const std::string& ipAddress) {
        auto mtu =
            registry_.GetStringValue(kHkeyLocalMachine, kNetTransKey + TransportIndexes[Cell()], kMaxMtu);
        if (mtu && mtu->empty()) {
            mtu.reset();
        }
        transports.push_back(SlotReport{
            SlotIndex, TransportIndexes[Cell()], ipAddress, mtu,
            registry_.GetStringValue(kHkeyLocalMachine, kNetTransKey + TransportIndexes[Cell()], kDriverDesc)
                .value_or("")});
    });
    return transports;
}

std::vector<ToolValue> Module1::ToolValues9x() {
    ScanTransports9x(kDriverDate, kIpAddress);
    std::vector<ToolValue> values;
    ForEachSlotInUse(TransportProbes, [&](const std::string&) {
        values.push_back({kNetTransKey + TransportIndexes[Cell()], kMaxMtu});
    });
    values.push_back({kMstcpKey, kPmtuDiscovery});
    return values;
}

void Module1::RetrieveMtu9x() {
    ScanTransports9x(kIpAddress);
    ForEachSlotInUse(TransportProbes, [&](const std::string&) {
        CurrentMaxMtu9x =
            registry_.GetStringValue(kHkeyLocalMachine, kNetTransKey + TransportIndexes[Cell()], kMaxMtu)
                .value_or("");
    });
    windows_.MtuBox9x().SetText(CurrentMaxMtu9x);
}

}  // namespace quillon::settings
