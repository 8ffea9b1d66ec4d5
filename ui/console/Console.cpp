#include "ui/console/Console.h"

#include "ui/console/InUse.h"
#include "ui/console/Session.h"
#include "ui/console/Text.h"

namespace quillon::ui {

namespace {

// What the path-MTU-discovery switch is set to: the default (on) where
// nothing is stored, as in Windows' own default.
SwitchState SwitchStateOf(const reg::RawValue& value, settings::WindowsFamily family) {
    using State = reg::RawValue::State;
    if (value.state == State::kKeyMissing || value.state == State::kValueMissing) {
        return SwitchState::kDefault;
    }
    if (value.state == State::kUnreadable) {
        return SwitchState::kUnreadable;
    }
    const std::vector<std::uint8_t>& data = value.data;
    const bool nineX = family == settings::WindowsFamily::k9x;
    if (!nineX && value.type == reg::kRegDword && data.size() == 4) {
        return data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 0 ? SwitchState::kOff : SwitchState::kOn;
    }
    if (nineX && value.type == reg::kRegSz && !data.empty() && (data.size() == 1 || data[1] == 0) &&
        (data[0] == '0' || data[0] == '1')) {
        return data[0] == '0' ? SwitchState::kOff : SwitchState::kOn;
    }
    return SwitchState::kOtherForm;
}

// Prose for people on standard error, and one JSON document on standard
// output: what --json makes of the streams.
// What is said on standard error is also kept, a message each, for the
// document's errors.
class ProseToError final : public ConsoleOutput {
public:
    explicit ProseToError(ConsoleOutput& output) : output_(output) {}
    void Out(std::string_view text) override { output_.Err(text); }
    void Err(std::string_view text) override {
        output_.Err(text);
        errors.emplace_back(text.data(), text.size() - (!text.empty() && text.back() == '\n' ? 1 : 0));
    }
    std::vector<std::string> errors;
    bool OutWhole(const std::string& text, std::string& failure) override { return output_.OutWhole(text, failure); }
    bool Save(const std::string& path, const std::string& text, std::string& failure) override {
        return output_.Save(path, text, failure);
    }

private:
    ConsoleOutput& output_;
};

// Runs the command and says its results as prose: a failure said before
// anything else is all that is said.
void Run(Session& session, ConsoleOutput& prose, RunResult& result) {
    void (*say)(ConsoleOutput&, const RunResult&) = nullptr;
    switch (session.line.command) {
        case Command::kShow:
            Show(session, result);
            say = SayShow;
            break;
        case Command::kApply:
            Apply(session, result);
            say = SayChange;
            break;
        case Command::kRemove:
            Remove(session, result);
            say = SayChange;
            break;
        case Command::kCheck:
            Check(session, result);
            say = SayCheck;
            break;
        case Command::kProbe: {
            ProbeProgress progress(prose);
            Probe(session, progress, result);
            SayProbe(prose, result);
            return;
        }
        case Command::kExport:
            result.exitCode = RunExport(session);
            return;
    }
    if (!result.failure.empty()) {
        prose.Err(result.failure);
    } else if (say != nullptr) {
        say(prose, result);
    }
}

}  // namespace

reg::RawValue Session::SwitchRaw(settings::WindowsFamily family) const {
    return registry.GetRawValue(reg::kHkeyLocalMachine, settings::SettingsEngine::SwitchPath(family),
                                settings::SettingsEngine::SwitchName(family));
}

FamilyResult& Session::AddFamily(RunResult& run, settings::WindowsFamily family) const {
    FamilyResult& result = run.families.emplace_back();
    result.family = family;
    result.caption = Caption(ProductName(family));
    result.switchName = settings::SettingsEngine::SwitchName(family);
    result.pathMtuDiscovery = SwitchStateOf(SwitchRaw(family), family);
    return result;
}

AdapterResult& AdapterOf(AdapterResult& adapter, settings::WindowsFamily family,
                         const settings::SlotReport& slot) {
    adapter.family = family;
    adapter.slot = slot;
    adapter.storedMtu = StoredNumber(slot);
    return adapter;
}

int ExitOfInUse(const RunResult& result) {
    for (const FamilyResult& family : result.families) {
        for (const AdapterResult& adapter : family.adapters) {
            for (const InUseOutcome& inUse : adapter.inUse) {
                if (inUse.result == InUseResult::kRefused) {
                    return kExitNotInUse;
                }
            }
        }
    }
    return kExitSuccess;
}

bool Say(ConsoleOutput& output, const settings::Message& message) {
    if (message.notice == settings::Notice::kInformation) {
        output.Out("%\n", {message.text});
        return true;
    }
    output.Err("%\n", {message.text});
    return false;
}

int RunConsole(const std::vector<std::string>& arguments, reg::Registry& registry, ConsoleOutput& output,
               net::Prober* prober, net::InterfaceTable* table) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h" || arguments[0] == "/?")) {
        output.Out("%\n%", {kUsage, kHelp});
        return kExitSuccess;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        output.Out("% " QUILLON_VERSION "\n", {settings::kToolTitle});
        return kExitSuccess;
    }
    std::string error;
    CommandLine line;
    if (!ParseCommandLine(arguments, line, error)) {
        output.Err("quillon-mtu-cli: %\n%", {error, kUsage});
        return kExitUsage;
    }
    settings::SettingsEngine engine(registry);
    Session session{line, registry, output, prober, table, engine, ReadProductNames(registry)};
    for (const settings::WindowsFamily family : settings::kWindowsFamilies) {
        session.Act(family, !session.names.Of(family).empty() && line.family.value_or(family) == family);
    }
    ProseToError toError(output);
    ConsoleOutput* const prose = line.json ? static_cast<ConsoleOutput*>(&toError) : &output;
    RunResult result;
    // The probe's names are in its document also where it never starts.
    if (line.command == Command::kProbe) {
        ProbeResult& probe = result.probe.emplace();
        probe.host = line.host;
        probe.version = line.ipVersion.value_or(net::IpVersion::k4);
    }
    result.command = line.verb;
    result.checkedMtu = WholeMtu(line.mtu);
    // A probe that applies nothing needs no Windows to apply to.
    const bool needsWindows = !(line.command == Command::kProbe && !line.applyProbed);
    if (needsWindows && !session.Acts(settings::WindowsFamily::kNt) && !session.Acts(settings::WindowsFamily::k9x)) {
        const bool named = line.family.has_value();
        result.failure = Fill(named ? "The % family of Windows was not found on this machine.\n" : "%\n",
                              {named ? FamilyOption(*line.family) : kNoSupportedWindows});
        result.exitCode = kExitFailure;
        prose->Err(result.failure);
    } else {
        Run(session, *prose, result);
    }
    if (line.json) {
        result.errors = std::move(toError.errors);
        output.OutUtf8(JsonDocument(result, output));
    }
    return result.exitCode;
}

}  // namespace quillon::ui
