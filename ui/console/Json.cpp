// --json: the results of a command as one JSON document (RFC 8259), in
// UTF-8. Its names are a contract: later versions add names, never rename one.

#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// Appends `text`, UTF-8, as a JSON string: quotes, backslashes and control
// characters escaped, the rest as it is.
void AppendString(std::string& json, std::string_view text) {
    json += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            json += "\\u00";
            AppendHex(json, byte, 2);
        } else {
            json += c;
        }
    }
    json += '"';
}

class Writer {
public:
    explicit Writer(ConsoleOutput& output) : output_(output) {}

    void Open(const char* key, char bracket) {
        Key(key);
        json_ += bracket;
        comma_ = false;
    }
    void Close(char bracket) {
        json_ += bracket;
        comma_ = true;
    }
    void Key(const char* key) {
        if (comma_) {
            json_ += ',';
        }
        comma_ = true;
        if (*key != '\0') {
            AppendString(json_, key);
            json_ += ':';
        }
    }
    // Text of the program's own, in the ANSI code page: a string, or a C
    // string of the program's, each passed as it is kept.
    void Text(const char* key, const std::string& text) { Text(key, std::string_view(text)); }
    void Text(const char* key, const char* text) { Text(key, std::string_view(text)); }
    void Text(const char* key, std::string_view text) {
        Key(key);
        AppendString(json_, output_.Utf8(text));
    }
    void Utf8(const char* key, std::string_view text) {
        Key(key);
        AppendString(json_, text);
    }
    void Raw(const char* key, const std::string& value) { Raw(key, std::string_view(value)); }
    void Raw(const char* key, const char* value) { Raw(key, std::string_view(value)); }
    void Raw(const char* key, std::string_view value) {
        Key(key);
        json_ += value;
    }
    // A number in decimal, 0 too; Number's 0 is null.
    void Whole(const char* key, long long value) { Raw(key, Decimal(value)); }
    void Number(const char* key, unsigned value) { value != 0 ? Whole(key, value) : Null(key); }
    void Bool(const char* key, bool value) { Raw(key, value ? "true" : "false"); }
    void Null(const char* key) { Raw(key, "null"); }
    // IPv4's and IPv6's value, each a number or a text of the program's own,
    // null where there is none.
    void ByVersion(const char* key, unsigned ipv4, unsigned ipv6) {
        Open(key, '{');
        Number("ipv4", ipv4);
        Number("ipv6", ipv6);
        Close('}');
    }
    void ByVersion(const char* key, const char* ipv4, const char* ipv6) {
        Open(key, '{');
        *ipv4 == '\0' ? Null("ipv4") : Text("ipv4", ipv4);
        *ipv6 == '\0' ? Null("ipv6") : Text("ipv6", ipv6);
        Close('}');
    }

    ConsoleOutput& output_;
    std::string json_;

private:
    bool comma_ = false;
};

// The names of each result, in the order of its values, one after the
// other, each ended by its NUL: one text each rather than a table of
// pointers (and their relocations). No change (the first) has no name.
constexpr char kChangeNames[] = "\0written\0unchanged\0deleted\0absent\0failed\0untouched";
constexpr char kInUseNames[] = "\0set\0refused\0leftAlone\0restart\0notConnected\0tooSmall\0notPutBack";
constexpr char kSwitchNames[] = "\"default\"\0\"on\"\0\"off\"\0null\0null";
constexpr char kStatusNames[] =
    "found\0silent\0unreachable\0belowRange\0cannotSend\0interrupted\0noSureFigure\0notStarted";

// The name at `index` of `names`.
const char* NameAt(const char* names, std::size_t index) {
    for (; index != 0; --index) {
        while (*names++ != '\0') {
        }
    }
    return names;
}

template <typename Enum>
const char* NameOf(const char* names, Enum value) {
    return NameAt(names, static_cast<std::size_t>(value));
}

// A name of a network card, read with the Unicode call where the system has it.
void CardName(Writer& json, const char* key, const AdapterResult& adapter, const char* value,
              const std::string& ansi) {
    if (adapter.family == settings::WindowsFamily::kNt) {
        const std::optional<std::string> wide =
            json.output_.UnicodeString(Fill("%NetworkCards\\%", {settings::kNtVersionKey, adapter.slot.slot}), value);
        if (wide) {
            json.Utf8(key, *wide);
            return;
        }
    }
    json.Text(key, ansi);
}

void WriteAdapter(Writer& json, const char* key, const AdapterResult& adapter, unsigned checkedMtu = 0) {
    const settings::SlotReport& slot = adapter.slot;
    const bool nineX = adapter.family == settings::WindowsFamily::k9x;
    json.Open(key, '{');
    json.Whole("slot", slot.index);
    json.Text("adapter", slot.slot);  // what --adapter takes
    if (nineX) {
        json.Text("id", slot.slot);
        json.Text("address", slot.name);
    } else {
        CardName(json, "id", adapter, "ServiceName", slot.name);
    }
    if (slot.description.empty()) {
        json.Null("description");
    } else {
        CardName(json, "description", adapter, "Description", slot.description);
    }
    json.Number("storedMtu", adapter.storedMtu);
    if (nineX && slot.mtu) {
        json.Text("storedText", *slot.mtu);
    } else {
        json.Null("storedText");
    }
    const IpState& ipv4 = adapter.ip[kIpv4];
    const IpState& ipv6 = adapter.ip[kIpv6];
    json.ByVersion("inUse", ipv4.inUse, ipv6.inUse);
    json.ByVersion("link", ipv4.link, ipv6.link);
    if (adapter.change != ValueChange::kNone) {
        json.Text("change", NameOf(kChangeNames, adapter.change));
        json.ByVersion("inUseResult", NameOf(kInUseNames, adapter.inUse[kIpv4].result),
                       NameOf(kInUseNames, adapter.inUse[kIpv6].result));
        json.ByVersion("reason", Reason(adapter, net::IpVersion::k4).c_str(),
                       Reason(adapter, net::IpVersion::k6).c_str());
        const InUseOutcome& six = adapter.inUse[kIpv6];
        json.ByVersion("lasts", "",
                       six.result != InUseResult::kSet ? ""
                       : six.kept == net::Kept::kKept  ? "pastRestart"
                                                       : "untilRestart");
    }
    if (adapter.compliant) {
        json.Bool("compliant", *adapter.compliant);
        const std::string how = HowItComplies(adapter, checkedMtu);
        how.empty() ? json.Null("how") : json.Text("how", how);
    }
    json.Close('}');
}

void WriteProbe(Writer& json, const ProbeResult& probe) {
    const net::PathMtu& found = probe.found;
    const bool figure = probe.status == ProbeStatus::kFound;
    const bool bounds = probe.status == ProbeStatus::kNoSureFigure;
    json.Text("host", probe.host);
    probe.address.empty() ? json.Null("address") : json.Text("address", probe.address);
    json.Raw("ipVersion", probe.version == net::IpVersion::k6 ? "6" : "4");
    json.Text("status", NameOf(kStatusNames, probe.status));
    json.Number("mtu", figure ? static_cast<unsigned>(found.mtu) : 0);
    json.Number("atLeast", bounds ? static_cast<unsigned>(found.mtu) : 0);
    json.Number("atMost", bounds ? static_cast<unsigned>(found.atMost) : 0);
    json.Whole("probes", found.probes);
    json.Raw("seconds", Fill("%.%", {found.milliseconds / 1000, found.milliseconds % 1000 / 100}));
    probe.means.empty() ? json.Null("means") : json.Text("means", probe.means);
    if (probe.route) {
        WriteAdapter(json, "routeAdapter", *probe.route);
    } else {
        json.Null("routeAdapter");
    }
}

}  // namespace

std::string JsonDocument(const RunResult& result, ConsoleOutput& output) {
    Writer json(output);
    json.Open("", '{');
    json.Text("command", result.command);
    json.Whole("exitCode", static_cast<unsigned>(result.exitCode));
    json.Text("version", QUILLON_VERSION);
    json.Open("errors", '[');
    for (const std::string& error : result.errors) {
        json.Text("", error);
    }
    json.Close(']');
    json.Bool("changed", result.changed);
    // check: false also where nothing could be checked (then errors say why).
    if (result.command == "check") {
        json.Bool("compliant", result.compliant.value_or(false));
        json.Number("mtu", result.checkedMtu);
    }
    if (result.probe) {
        WriteProbe(json, *result.probe);
    }
    json.Open("families", '[');
    for (const FamilyResult& family : result.families) {
        json.Open("", '{');
        json.Text("family", FamilyOption(family.family));
        json.Text("caption", family.caption);
        json.Raw("pathMtuDiscovery", NameOf(kSwitchNames, family.pathMtuDiscovery));
        json.Open("adapters", '[');
        for (const AdapterResult& adapter : family.adapters) {
            WriteAdapter(json, "", adapter, result.checkedMtu);
        }
        json.Close(']');
        json.Close('}');
    }
    json.Close(']');
    json.Close('}');
    json.json_ += '\n';
    return json.json_;
}

}  // namespace quillon::ui
