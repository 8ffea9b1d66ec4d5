// The console program over the in-memory registry: what it refuses, what it
// writes (the same as the window for the same text), where its messages go
// and its exit codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "tests/unit/SimulatedPath.h"
#include "tests/unit/SimulatedTable.h"
#include "registry/Registry.h"
#include "ui/console/Console.h"
#include "ui/console/Replace.h"
#include "tests/support/HeadlessProgram.h"
#include "tests/unit/ConsoleRig.h"

namespace quillon::test {
namespace {

class Console : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(model.OpenHandles(), 0U); }
    Outcome Invoke(const std::vector<std::string>& arguments) {
        Capture output;
        const int code = ui::RunConsole(arguments, routines, output, &path, &interfaces);
        return Outcome{code, output.out, output.err};
    }
    reg::MemoryRegistry model;
    reg::Registry routines{model};
    SimulatedPath path;
    SimulatedTable interfaces;
};

TEST_F(Console, RefusesWhatTheWindowRefusesAndWritesNothing) {
    Seed(model, kBoth);
    const auto before = model.Snapshot();
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"apply"},
        {"apply", "1501"},
        {"apply", "87"},
        {"apply", "87.5"},
        {"apply", "abc"},
        {"apply", " 88"},
        {"apply", "14000"},
        {"apply", "01400"},
        {"apply", "-1"},
        {"apply", "1e3"},
        {"apply", ""},
        {"apply", "1400", "1400"},
        {"remove", "1400"},
        {"show", "extra"},
        {"frob"},
        {"show", "--verbose"},
        {"show", "/x"},
        {"apply", "1400", "--family", "xp"},
        {"apply", "1400", "--family"},
        {"apply", "1400", "--family=nt", "--family", "9x"},
        {"--help", "show"},
        {"probe"},
        {"probe", "a.test", "b.test"},
        {"probe", "a.test", "--family", "nt"},
        {"probe", "a.test", "--apply", "--apply"},
        {"apply", "1400", "--apply"},
        {"probe", "a.test", "--now"},
        {"apply", "1400", "--adapter"},
        {"apply", "1400", "--adapter="},
        {"apply", "1400", "--adapter", "1", "--adapter", "3"},
        {"export", "--adapter", "1"},
        {"probe", "a.test", "--adapter", "route"},
        {"remove", "--adapter", "route"},
    };
    for (const auto& line : lines) {
        std::string shown;
        for (const auto& word : line) {
            shown += "[" + word + "]";
        }
        const Outcome run = Invoke(line);
        EXPECT_EQ(run.code, ui::kExitUsage) << shown;
        EXPECT_EQ(run.out, "") << shown;
        EXPECT_EQ(run.err.rfind("quillon-mtu-cli: ", 0), 0U) << shown << run.err;
        EXPECT_NE(run.err.find("Usage:"), std::string::npos) << shown;
    }
    EXPECT_EQ(model.Snapshot(), before);
    EXPECT_EQ(path.opened, 0) << "nothing is sent";
}

// For each text the window would apply, the console stores exactly what the
// window stores on the same machine.
TEST_F(Console, AppliesExactlyWhatTheWindowApplies) {
    for (const std::string text : {"1400", "0088", "88.5", "89.5", "1500", ".088e"}) {
        HeadlessProgram window;
        Seed(window.model, kBoth);
        window.program.Start();
        bool windowApplied = true;
        for (const char* name : {"Form1", "Form2"}) {
            const View form = window.Form(name);
            form.box.SetText("");
            form.box.Type(text);
            windowApplied = form.apply.Click() && windowApplied;
        }

        reg::MemoryRegistry consoleModel;
        Seed(consoleModel, kBoth);
        reg::Registry consoleRoutines(consoleModel);
        Capture output;
        const int code = ui::RunConsole({"apply", text}, consoleRoutines, output);
        EXPECT_EQ(code == ui::kExitSuccess, windowApplied) << text << output.err;
        EXPECT_EQ(consoleModel.Snapshot(), window.model.Snapshot()) << text;
    }
}

TEST_F(Console, ExitCodesAndWhereTheMessagesGo) {
    const struct {
        const char* what;
        Machine machine;
        std::vector<std::string> line;
        int code;
        std::string out;
        std::string err;
    } cases[] = {
        {"apply on both families",
         kBoth,
         {"apply", "1400"},
         0,
         "MTU setting applied successfully.\nThe change takes effect when Windows restarts.\n"
         "MTU setting applied successfully.\nThe change takes effect when Windows restarts.\n",
         ""},
        {"one family chosen",
         kBoth,
         {"remove", "--family=9x"},
         0,
         "Your MTU setting has been removed.\nThe change takes effect when Windows restarts.\n",
         ""},
        {"family not there",
         kNt,
         {"show", "--family", "9x"},
         1,
         "",
         "The 9x family of Windows was not found on this machine.\n"},
        {"no family at all", kNone, {"apply", "1400"}, 1, "", "No supported version of Windows was found.\n"},
        {"help", kNone, {"/?"}, 0, "", ""},
        {"version", kNone, {"--version"}, 0, std::string("Quillon MTU Tool ") + QUILLON_VERSION + "\n", ""},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry machine;
        Seed(machine, c.machine);
        reg::Registry routines9(machine);
        Capture output;
        EXPECT_EQ(ui::RunConsole(c.line, routines9, output), c.code) << c.what;
        if (c.line.front() == "/?") {
            EXPECT_EQ(output.out.rfind("Usage:", 0), 0U) << output.out;
        } else {
            EXPECT_EQ(output.out, c.out) << c.what;
        }
        EXPECT_EQ(output.err, c.err) << c.what;
    }
}

TEST_F(Console, FailuresGoToStandardErrorWithExitCode1) {
    model.SeedString(kNtVersion, "ProductName", "Windows XP");
    Outcome none = Invoke({"apply", "1400"});
    EXPECT_EQ(none.code, ui::kExitFailure);
    EXPECT_EQ(none.err, "No network adapter was found. The MTU setting was not applied.\n");

    Seed(model, kNt);
    model.FailBelow(reg::Op::Set, kInterfaces + "{B}", reg::kErrorAccessDenied);
    const Outcome refused = Invoke({"apply", "1400"});
    EXPECT_EQ(refused.code, ui::kExitFailure);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, kNotSaved);
    ASSERT_TRUE(model.Value(kInterfaces + "{A}", "MTU").has_value()) << "every adapter is still tried";
}

TEST_F(Console, ShowListsEachSlotAndWhatRetrieveWouldShow) {
    Seed(model, kBoth);
    model.SeedString(kCard + "3", "Description", "Fast \"NIC\"");
    model.SeedDword("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\", "EnablePMTUDiscovery", 1);
    model.SeedString(kTransport + "0002", "DriverDesc", "TCP/IP");
    model.SeedString("System\\CurrentControlSet\\Services\\VxD\\MSTCP", "PMTUDiscovery", "0");
    interfaces.inUse = {{"{B}", 1500}, {"10.0.0.1", 1492}};
    const Outcome run = Invoke({"show"});
    EXPECT_EQ(run.code, ui::kExitSuccess);
    EXPECT_EQ(run.out,
              "Quillon MTU Tool (Windows XP)\n"
              "  card 1  {A}  no MTU stored  in use now: unknown\n"
              "  card 3  {B}  \"Fast \"NIC\"\"  MTU 576  in use now: 1500 (576 from the next restart)\n"
              "  path-MTU discovery (EnablePMTUDiscovery): on (stored)\n"
              "MTU: 576\n"
              "Quillon MTU Tool (Windows 98)\n"
              "  transport 0000  10.0.0.1  no MaxMTU stored  in use now: 1492\n"
              "  transport 0002  10.0.0.3  \"TCP/IP\"  MaxMTU 576  in use now: unknown\n"
              "  path-MTU discovery (PMTUDiscovery): off (stored)\n"
              "MTU: 576\n");
}

TEST_F(Console, ProbePrintsEachProbeAndTheMtuLast) {
    const std::string opening =
        "Probing the path to host.test (203.0.113.9) through a simulated path, with packets of 88 to 1500 "
        "bytes that "
        "may not be fragmented:\n"
        "This system does not say which adapter the route to host.test leaves through.\n";
    const std::string noRoute = "This system does not say which adapter the route to ";
    const struct {
        const char* what;
        void (*set)(SimulatedPath&);
        int code;
        std::string out;
        std::string err;
        std::vector<std::string> line = {"probe", "host.test"};
    } cases[] = {
        {"a router names 1400", [](SimulatedPath&) {}, 0,
         opening + "  1500 bytes: too big, a router names MTU 1400\n"
                   "  1400 bytes: passed (2 ms)\n"
                   "The path to host.test carries packets of at most 1400 bytes (2 probes).\n"
                   "MTU: 1400\n",
         ""},
        {"the host cuts its replies", [](SimulatedPath& p) { p.cutTo = 68; }, 0,
         opening + "  1500 bytes: too big, a router names MTU 1400\n"
                   "  1400 bytes: passed (2 ms; the host cut its reply to 96 bytes)\n"
                   "The path to host.test carries packets of at most 1400 bytes (2 probes).\n"
                   "MTU: 1400\n",
         ""},
        {"the host answers late", [](SimulatedPath& p) { p.hostDelayMs = 1300; }, 0,
         opening + "  1500 bytes: too big, a router names MTU 1400\n"
                   "  1400 bytes: no answer (too big, or lost)\n"
                   "  a late reply: the 1400-byte probe passed after all (1302 ms)\n"
                   "  1280 bytes: no answer (too big, or lost)\n"
                   "The path to host.test carries packets of at most 1400 bytes (3 probes).\n"
                   "MTU: 1400\n",
         ""},
        {"no figure within the limits", [](SimulatedPath& p) { p.lossPercent = 45; }, 1, "",
         "The probe of host.test gave up with no sure figure: the path's MTU lies from 1394 to 1400 bytes (120 "
         "probes). The path may lose many packets, or its host answer few: try later, or another host.\n"},
        // IPv6: from 1280 up to the route interface's MTU; an address with a
        // colon is IPv6's, unless -4 says otherwise.
        {"-6, the route's interface of 1492", [](SimulatedPath& p) { p.routeMtu = 1492; }, 0,
         "Probing the path to host.test (2001:db8::9) through a simulated path, with packets of 1280 to 1492 bytes "
         "that must arrive unfragmented:\n" + noRoute + "host.test leaves through.\n"
         "  1492 bytes: too big, a router names MTU 1400\n  1400 bytes: passed (2 ms)\n"
         "The path to host.test carries packets of at most 1400 bytes (2 probes).\nMTU: 1400\n",
         "", {"probe", "-6", "host.test"}},
        {"an IPv6 address", [](SimulatedPath& p) { p.routeMtu = 9000; }, 0,
         "Probing the path to 2001:db8::9 through a simulated path, with packets of 1280 to 1500 bytes that must "
         "arrive unfragmented:\n" + noRoute + "2001:db8::9 leaves through.\n"
         "  1500 bytes: too big, a router names MTU 1400\n  1400 bytes: passed (2 ms)\n"
         "The path to 2001:db8::9 carries packets of at most 1400 bytes (2 probes).\nMTU: 1400\n",
         "", {"probe", "[2001:db8::9]"}},
        // Every Packet Too Big names an MTU: one heard without it is one
        // this system did not pass on, not a router's silence about it.
        {"-6, a router's too big without the MTU it named", [](SimulatedPath& p) { p.saysLearnt = 1500; }, 0,
         "Probing the path to host.test (2001:db8::9) through a simulated path, with packets of 1280 to 1500 bytes "
         "that must arrive unfragmented:\n" + noRoute + "host.test leaves through.\n"
         "  1500 bytes: too big, a router says, and this system does not pass on the MTU it names\n"
         "  1280 bytes: passed (2 ms)\n  1390 bytes: passed (2 ms)\n"
         "  1445 bytes: too big for what this system knows of the path\n"
         "  1417 bytes: too big for what this system knows of the path\n"
         "  1403 bytes: too big for what this system knows of the path\n"
         "  1396 bytes: passed (2 ms)\n  1399 bytes: passed (2 ms)\n"
         "  1401 bytes: too big for what this system knows of the path\n"
         "  1399 bytes: passed (2 ms)\n  1400 bytes: passed (2 ms)\n"
         "The path to host.test carries packets of at most 1400 bytes (11 probes).\nMTU: 1400\n", "", {"probe", "-6", "host.test"}},
        {"-4 and an IPv6 address", [](SimulatedPath&) {}, 0,
         "Probing the path to 2001:db8::9 (203.0.113.9) through a simulated path, with packets of 88 to 1500 bytes "
         "that may not be fragmented:\n" + noRoute + "2001:db8::9 leaves through.\n"
         "  1500 bytes: too big, a router names MTU 1400\n  1400 bytes: passed (2 ms)\n"
         "The path to 2001:db8::9 carries packets of at most 1400 bytes (2 probes).\nMTU: 1400\n",
         "", {"probe", "-4", "2001:db8::9"}},
    };
    for (const auto& c : cases) {
        SimulatedPath network;
        SimulatedTable table;
        network.links = {{1500, true}, {1400, true}};
        c.set(network);
        Capture output;
        EXPECT_EQ(ui::RunConsole(c.line, routines, output, &network, &table), c.code) << c.what;
        if (c.code == 0) {
            EXPECT_EQ(output.out, c.out) << c.what;
        } else {
            EXPECT_EQ(output.out.find("MTU: "), std::string::npos) << c.what;
        }
        EXPECT_EQ(output.err, c.err) << c.what;
    }
}

// probe --apply stores exactly what apply stores for the figure found, and
// nothing where none was found; it sends nothing where nothing can be applied.
TEST_F(Console, ProbeAppliesOnlyAFigureItFound) {
    const struct {
        const char* what;
        Machine machine;
        void (*set)(SimulatedPath&);
        int code;
        const char* applied;  // what apply would have stored, or null: nothing
        const char* err;
        int opened;
    } cases[] = {
        {"found on both families", kBoth,
         [](SimulatedPath& p) {
             p.links = {{1492, true}};
         },
         0, "1492", "", 1},
        {"one family", kBoth,
         [](SimulatedPath& p) {
             p.links = {{576, false}};
         },
         0, "576", "", 1},
        {"below 576", kNt,
         [](SimulatedPath& p) {
             p.links = {{1500, true}, {540, true}};
         },
         1, nullptr, "To set it anyway: quillon-mtu-cli apply 540\n", 1},
        {"below 576 on one adapter", kBoth,
         [](SimulatedPath& p) {
             p.links = {{1500, true}, {540, true}};
         },
         1, nullptr, "To set it anyway: quillon-mtu-cli apply 540 --family 9x --adapter 0002\n", 1},
        {"name does not resolve", kNt, [](SimulatedPath& p) { p.resolves = false; }, 1, nullptr,
         "did not resolve", 1},
        {"host silent", kNt, [](SimulatedPath& p) { p.hostAnswers = false; }, 1, nullptr, "did not answer",
         1},
        {"unreachable", kNt, [](SimulatedPath& p) { p.unreachable = true; }, 1, nullptr, "cannot be reached",
         1},
        {"cannot send", kNt, [](SimulatedPath& p) { p.cannotSend = "denied"; }, 1, nullptr, "ended: denied",
         1},
        {"Ctrl+C", kNt,
         [](SimulatedPath& p) {
             p.links = {{1400, false}}, p.interruptAfter = 3;
         },
         1, nullptr, "interrupted", 1},
        {"no Windows to apply to", kNone, [](SimulatedPath&) {}, 1, nullptr, "No supported version", 0},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry machine;
        Seed(machine, c.machine);
        reg::Registry probed(machine);
        SimulatedPath network;
        SimulatedTable table;
        network.links = {{1500, true}};
        c.set(network);
        Capture output;
        std::vector<std::string> line = {"probe", "host.test", "--apply"};
        if (std::string(c.what) == "one family") {
            line.insert(line.end(), {"--family", "9x"});
        } else if (std::string(c.what) == "below 576 on one adapter") {
            line.insert(line.end(), {"--adapter", "0002"});
        }
        EXPECT_EQ(ui::RunConsole(line, probed, output, &network, &table), c.code) << c.what;
        EXPECT_EQ(network.opened, c.opened) << c.what;
        if (*c.err == '\0') {
            EXPECT_EQ(output.err, "") << c.what;
        } else {
            EXPECT_NE(output.err.find(c.err), std::string::npos) << c.what << ": " << output.err;
        }

        reg::MemoryRegistry expected;
        Seed(expected, c.machine);
        if (c.applied != nullptr) {
            reg::Registry applied(expected);
            Capture ignored;
            std::vector<std::string> apply = {"apply", c.applied};
            apply.insert(apply.end(), line.begin() + 3, line.end());
            ASSERT_EQ(ui::RunConsole(apply, applied, ignored), 0) << c.what;
            EXPECT_EQ(output.out.substr(output.out.rfind("MTU: ")), std::string("MTU: ") + c.applied + "\n")
                << c.what;
            EXPECT_NE(output.out.find("MTU setting applied successfully."), std::string::npos) << c.what;
        } else if (std::string(c.what).rfind("below 576", 0) == 0) {
            EXPECT_EQ(output.out.substr(output.out.rfind("MTU: ")), "MTU: 540\n")
                << "the figure is still said";
            EXPECT_EQ(output.out.find("applied successfully"), std::string::npos) << c.what;
        } else {
            EXPECT_EQ(output.out.find("MTU: "), std::string::npos) << c.what;
        }
        EXPECT_EQ(machine.Snapshot(), expected.Snapshot()) << c.what;
    }
}

// export FILE writes what export writes to standard output; a write that
// fails either way is a failure, said as one.
TEST_F(Console, ExportWritesTheSameBytesToAFileAndSaysWhenAWriteFails) {
    Seed(model, kBoth);
    Capture toOutput;
    ASSERT_EQ(ui::RunConsole({"export"}, routines, toOutput), ui::kExitSuccess);
    ASSERT_EQ(toOutput.out.rfind("REGEDIT4\n", 0), 0U);
    Capture toFile;
    ASSERT_EQ(ui::RunConsole({"export", "--family=nt", "before.reg"}, routines, toFile), ui::kExitSuccess);
    Capture ntOnly;
    ASSERT_EQ(ui::RunConsole({"export", "--family", "nt"}, routines, ntOnly), ui::kExitSuccess);
    EXPECT_EQ(toFile.files, (std::map<std::string, std::string>{{"before.reg", ntOnly.out}}));
    EXPECT_EQ(toFile.out, "");

    for (const std::vector<std::string>& line :
         {std::vector<std::string>{"export"}, {"export", "before.reg"}}) {
        Capture full;
        full.full = true;
        EXPECT_EQ(ui::RunConsole(line, routines, full), ui::kExitFailure) << line.size();
        EXPECT_EQ(full.out, "");
        EXPECT_EQ(full.err, line.size() == 1
                                ? "The registry file could not be written to standard output: the disk "
                                  "is full; what it got is not a whole registry file.\n"
                                : "The registry file could not be written to before.reg: the disk is "
                                  "full. No file was left there.\n");
    }
    Capture twoFiles;
    EXPECT_EQ(ui::RunConsole({"export", "a.reg", "b.reg"}, routines, twoFiles), ui::kExitUsage);
}

// Files by name with their bytes, where the renames named in `failing`
// ("from>to") fail, and the one-step replace leaves what `replace` says:
// "done", or the state a failure leaves ("names kept": both keep their
// names; "old aside": the old one is under the backup name, the new one
// under its own; "old gone": the old one is no more).
struct FakeRenames final : ui::FileRenames {
    bool Rename(const std::string& from, const std::string& to) override {
        if (failing.count(from + ">" + to) != 0 || files.count(from) == 0 || files.count(to) != 0) {
            return false;
        }
        files[to] = files[from];
        files.erase(from);
        return true;
    }
    void Remove(const std::string& path) override { files.erase(path); }
    bool Exists(const std::string& path) override { return files.count(path) != 0; }
    bool ReplaceInOneStep(const std::string& path, const std::string& fresh, const std::string& backup) override {
        if (replace != "names kept") {
            files[backup] = files[path];
            files.erase(path);
        }
        if (replace == "old gone") {
            files.erase(backup);
        }
        return replace == "done" && Rename(fresh, path);
    }
    std::map<std::string, std::string> files{{"new", "NEW"}, {"a.reg", "OLD"}};
    std::set<std::string> failing;
    std::string replace;  // empty: through the renames
};

// Over an earlier file: whichever step fails, in one step or by renames, the
// earlier file is there, under its name where it can be put back.
TEST(ReplaceByRenames, KeepsTheEarlierFileWhicheverStepFails) {
    struct Row {
        std::string replace;
        std::set<std::string> failing;
        ui::Replaced replaced;
        std::map<std::string, std::string> files;
    };
    const std::map<std::string, std::string> kept{{"new", "NEW"}, {"a.reg", "OLD"}};
    for (const Row& row : std::vector<Row>{
             {"", {}, ui::Replaced::kDone, {{"a.reg", "NEW"}}},
             {"", {"a.reg>aside"}, ui::Replaced::kOldKept, kept},
             {"", {"new>a.reg"}, ui::Replaced::kOldKept, kept},
             {"", {"new>a.reg", "aside>a.reg"}, ui::Replaced::kOldAside, {{"new", "NEW"}, {"aside", "OLD"}}},
             {"done", {}, ui::Replaced::kDone, {{"a.reg", "NEW"}}},
             {"names kept", {}, ui::Replaced::kOldKept, kept},
             {"old aside", {}, ui::Replaced::kOldKept, kept},
             {"old aside", {"aside>a.reg"}, ui::Replaced::kOldAside, {{"new", "NEW"}, {"aside", "OLD"}}},
             {"old gone", {}, ui::Replaced::kDone, {{"a.reg", "NEW"}}},
             {"old gone", {"new>a.reg"}, ui::Replaced::kNewAside, {{"new", "NEW"}}},
         }) {
        FakeRenames renames;
        renames.failing = row.failing;
        renames.replace = row.replace;
        const ui::Replaced replaced = row.replace.empty()
                                          ? ui::ReplaceByRenames(renames, "new", "a.reg", "aside")
                                          : ui::ReplaceKeepingBackup(renames, "new", "a.reg", "aside");
        EXPECT_EQ(replaced, row.replaced) << row.replace << row.failing.size();
        EXPECT_EQ(renames.files, row.files) << row.replace << row.failing.size();
    }
}

// The value entries ("path|name") that differ between two snapshots.
std::vector<std::string> Changed(const std::map<std::string, reg::StoredValue>& before,
                                 const std::map<std::string, reg::StoredValue>& after) {
    std::vector<std::string> changed;
    for (const auto* one : {&before, &after}) {
        const auto* other = one == &before ? &after : &before;
        for (const auto& [entry, value] : *one) {
            const auto found = other->find(entry);
            if (entry.find('|') != std::string::npos &&
                (found == other->end() || !(found->second == value)) &&
                std::find(changed.begin(), changed.end(), entry) == changed.end()) {
                changed.push_back(entry);
            }
        }
    }
    for (std::string& entry : changed) {
        std::transform(entry.begin(), entry.end(), entry.begin(),
                       [](unsigned char c) { return std::toupper(c); });
    }
    std::sort(changed.begin(), changed.end());
    return changed;
}

std::vector<std::string> Upper(std::vector<std::string> entries) {
    for (std::string& entry : entries) {
        std::transform(entry.begin(), entry.end(), entry.begin(),
                       [](unsigned char c) { return std::toupper(c); });
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

// --adapter: each way of naming one, on both families; only its values (and
// the machine-wide switch, by the switch rule) change; a name that names
// none or several is an error that lists the adapters and writes nothing.
TEST_F(Console, AdapterActsOnTheOneAdapterItNames) {
    const std::string pmtuNt = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters|EnablePMTUDiscovery";
    const std::string pmtu9x = "System\\CurrentControlSet\\Services\\VxD\\MSTCP|PMTUDiscovery";
    const std::string mtuA = kInterfaces + "{A}|MTU";
    const std::string mtuB = kInterfaces + "{B}|MTU";
    const std::string max0 = kTransport + "0000|MaxMTU";
    const std::string max2 = kTransport + "0002|MaxMTU";
    const struct {
        std::vector<std::string> line;
        int code;
        std::vector<std::string> changed;
        const char* said;  // a part of standard output, or of standard error where the code is not 0
    } cases[] = {
        {{"apply", "1400", "--adapter", "3"},
         0,
         {mtuB},
         "stored for card 3  {B}  \"Fast NIC\" only; path-MTU discovery is now off, since every adapter "
         "holds an MTU of its own"},
        {{"apply", "1400", "--adapter={b}"}, 0, {mtuB}, "MTU setting applied successfully."},
        {{"apply", "1400", "--adapter", "FAST nic"}, 0, {mtuB}, "card 3"},
        {{"apply", "1400", "--adapter", "0000"},
         0,
         {max0, pmtu9x},
         "stored for transport 0000  10.0.0.1 only; path-MTU discovery is on (the default)"},
        {{"apply", "1400", "--adapter", "10.0.0.3"}, 0, {max2, pmtu9x}, "transport 0002"},
        {{"apply", "1400", "--adapter", "tcp/ip"}, 0, {max2, pmtu9x}, "transport 0002"},
        {{"remove", "--adapter", "3"}, 0, {mtuB, pmtuNt}, "path-MTU discovery is on again (the default)"},
        {{"remove", "--adapter", "{A}"}, 0, {mtuA, pmtuNt}, "is on again"},
        {{"remove", "--adapter", "10.0.0.3"}, 0, {max2, pmtu9x}, "is on again"},
        {{"apply", "1400", "--adapter", "card 3"},
         1,
         {},
         "No adapter is named 'card 3'. Nothing was written. "
         "The adapters are:\n  card 1  {A}\n  card 3  {B}  "
         "\"Fast NIC\"\n  transport 0000  10.0.0.1\n  transport "
         "0002  10.0.0.3  \"TCP/IP\"\n  transport 0003  10.0.0.4  \"Twin\"\n"},
        {{"apply", "1400", "--adapter", "twin"}, 1, {}, "More than one adapter is named 'twin'"},
        {{"apply", "1400", "--adapter", "3", "--family", "9x"}, 1, {}, "No adapter is named '3'"},
        {{"show", "--adapter", "3"},
         0,
         {},
         "Quillon MTU Tool (Windows XP)\n  card 3  {B}  \"Fast NIC\"  MTU 576  "
         "in use now: unknown\n  path-MTU discovery (EnablePMTUDiscovery): off "
         "(stored)\nMTU: 576\n"},
        {{"show", "--adapter", "0000"},
         0,
         {},
         "transport 0000  10.0.0.1  no MaxMTU stored  in use now: unknown\n"
         "  path-MTU discovery (PMTUDiscovery): off (stored)\n"
         "MTU: \n"},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry machine;
        Seed(machine, kBoth);
        machine.SeedString(kCard + "3", "Description", "Fast NIC");
        machine.SeedDword("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\", "EnablePMTUDiscovery",
                          0);
        machine.SeedDword(kInterfaces + "{A}", "MTU", 1300);
        machine.SeedString("System\\CurrentControlSet\\Services\\VxD\\MSTCP", "PMTUDiscovery", "0");
        machine.SeedString(kTransport + "0002", "DriverDesc", "TCP/IP");
        machine.SeedString(kTransport + "0003", "IPAddress", "10.0.0.4");
        machine.SeedString(kTransport + "0003", "DriverDesc", "Twin");
        machine.SeedString(kTransport + "0004", "IPAddress", "10.0.0.5");
        machine.SeedString(kTransport + "0004", "DriverDesc", "twin");
        reg::Registry named(machine);
        const auto before = machine.Snapshot();
        Capture output;
        std::string shown;
        for (const auto& word : c.line) {
            shown += word + " ";
        }
        EXPECT_EQ(ui::RunConsole(c.line, named, output), c.code) << shown << output.err;
        EXPECT_EQ(Changed(before, machine.Snapshot()), Upper(c.changed)) << shown;
        EXPECT_NE((c.code == 0 ? output.out : output.err).find(c.said), std::string::npos)
            << shown << "\n"
            << output.out << output.err;
        EXPECT_EQ(machine.OpenHandles(), 0U);
    }
}

// The switch for one adapter: off only once every adapter of the family
// holds an MTU (off, Windows would send at most 576 bytes beyond the local
// network on one that holds none), and on again once one holds none.
TEST_F(Console, AdapterSwitchesPathMtuDiscoveryOffOnlyWhileEveryAdapterHoldsAnMtu) {
    const std::string pmtuNt = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters|EnablePMTUDiscovery";
    const std::string pmtu9x = "System\\CurrentControlSet\\Services\\VxD\\MSTCP|PMTUDiscovery";
    const struct {
        std::vector<std::string> line;
        bool switchOff;  // stored off beforehand
        std::vector<std::string> changed;
        const char* said;
    } cases[] = {
        {{"apply", "1400", "--adapter", "3"}, false, {kInterfaces + "{B}|MTU"}, "is on (the default)"},
        {{"apply", "1400", "--adapter", "3"}, true, {kInterfaces + "{B}|MTU", pmtuNt}, "is on (the default)"},
        {{"apply", "1400", "--adapter", "1"}, false, {kInterfaces + "{A}|MTU", pmtuNt}, "is now off"},
        {{"apply", "1400", "--adapter", "0002"}, false, {kTransport + "0002|MaxMTU"}, "is on (the default)"},
        {{"apply", "1400", "--adapter", "0000"}, false, {kTransport + "0000|MaxMTU", pmtu9x}, "is now off"},
        {{"remove", "--adapter", "1"}, true, {pmtuNt}, "is on again"},
        {{"remove", "--adapter", "0002"}, true, {kTransport + "0002|MaxMTU", pmtu9x}, "is on again"},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry machine;
        Seed(machine, kBoth);  // {B} and 0002 hold an MTU, {A} and 0000 none
        if (c.switchOff) {
            machine.SeedDword("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\",
                              "EnablePMTUDiscovery", 0);
            machine.SeedString("System\\CurrentControlSet\\Services\\VxD\\MSTCP", "PMTUDiscovery", "0");
        }
        reg::Registry named(machine);
        const auto before = machine.Snapshot();
        Capture output;
        EXPECT_EQ(ui::RunConsole(c.line, named, output), ui::kExitSuccess) << c.line[0] << c.line.back();
        EXPECT_EQ(Changed(before, machine.Snapshot()), Upper(c.changed)) << c.line[0] << c.line.back();
        EXPECT_NE(output.out.find(c.said), std::string::npos) << output.out;
    }
}

// The MTU put into use at once, or why not: the words, stream and exit code
// of each outcome; show and probe of what the link and this machine allow.
TEST_F(Console, PutsTheMtuIntoUseAtOnceOrSaysWhy) {
    using S = net::MtuSetting;
    const std::string admin =
        "Windows lets only an administrator change the MTU in use: run quillon-mtu-cli from an elevated "
        "prompt\n";
    const struct {
        const char* line;     // split at spaces
        const char* refused;  // the adapter where Windows gives `why`
        S why;                // kMissing: on no adapter, as before Vista
        unsigned link;        // each card's link MTU (0: not known)
        int learnt;           // "probe h" through card 3 (MTU 1450 in use): a path MTU already known
        int code;
        std::string said;    // in standard output where the code is 0, else in standard error
        const char* absent;  // in neither
        unsigned ownMtu = 0;  // "probe h": card 3 uses this MTU, and its refusals look like a router's
        unsigned sixA = 0;    // cards 1 and 3: IPv6's MTU in use (0: Windows does not say; 1: no IPv6 interface)
        unsigned sixB = 0;
        net::Kept keeps = net::Kept::kNotTried;  // IPv6's in Windows' persistent store
    } cases[] = {
        {"apply 1400 --adapter 3", "", S::kSet, 0, 0, 0, "fully.\n  card 3  {B}  in use now: 1400\nThe",
         "start"},
        {"apply 1500 --adapter 3", "", S::kSet, 1492, 0, 0,
         "{B}  in use now: 1492, the link's MTU (1500 is above it)\n", "restart"},
        {"apply 1400 --adapter 3", "{B}", S::kNoRights, 0, 0, 3, "{B}  in use now: 576, not 1400: " + admin,
         ""},
        {"apply 500 --adapter 3", "{B}", S::kRefused, 0, 0, 3,
         "not 500: Windows does not put 500 into use at once (576 is the smallest MTU Windows documents for IPv4)",
         ""},
        {"apply 1400", "{A}", S::kRefused, 0, 0, 3,
         "{A}  in use now: 1300, not 1400: Windows does not put 1400 into use at once on this interface\n",
         ""},
        {"apply 1400", "{B}", S::kNoInterface, 0, 0, 0,
         "{A}  in use now: 1400\n  card 3  {B}  has no IPv4 interface now (it is disabled or not connected, or "
         "IPv4 is off there): 1400 is stored for when Windows reads it; run apply again once the adapter is "
         "connected to put it into use at once\n", "not 1400"},
        {"remove", "{B}", S::kNoInterface, 1500, 0, 0, "{B}  has no IPv4 interface now", "link's MTU"},
        // {A}'s 1300 in use, below its link's 1500, is none that it stored:
        // plain apply lowers it but does not raise it, --adapter does.
        {"apply 1400", "", S::kSet, 1500, 0, 0,
         "  card 1  {A}  in use now: 1300, left as it is: something else set it below the link's 1500 (a VPN "
         "client, netsh); 1400 is stored, and quillon-mtu-cli apply 1400 --adapter 1 puts it into use at once\n"
         "  card 3  {B}  in use now: 1400\n", ""},
        {"apply 1200", "", S::kSet, 1500, 0, 0, "{A}  in use now: 1200\n", "left as it is"},
        {"apply 1400 --adapter 1", "", S::kSet, 1500, 0, 0, "{A}  in use now: 1400\n", "left as it is"},
        {"probe h --apply", "", S::kSet, 1500, 0, 0, "{A}  in use now: 1300, left as it is", ""},
        {"probe -6 h --apply", "", S::kSet, 1500, 0, 0, "{B}  IPv6 in use now: 1400, until Windows restarts\n",
         "{B}  in use now", 0, 1500, 1500},
        {"probe -6 h", "", S::kSet, 1500, 0, 0,
         "own limit, not the path's: card 3  {B} uses an MTU of 1400, so no larger probe was sent. To measure the "
         "path beyond it, put the link's MTU back (quillon-mtu-cli remove -6 --adapter 3), probe again",
         "", 0, 1500, 1400},
        // {B}'s 1450 in use is not the 576 it stores: plain remove leaves it.
        {"remove", "", S::kSet, 1500, 1450, 0,
         "{B}  in use now: 1450, left as it is: it is not the MTU that was stored, so something else set it",
         "the link's MTU"},
        {"remove --adapter 3", "", S::kSet, 1500, 1450, 0, "{B}  in use now: 1500, the link's MTU", "left"},
        {"apply 1400", "{B}", S::kFailed, 0, 0, 3,
         "not 1400: Windows would not change the MTU in use (error 31)\n", ""},
        {"apply 1400", "", S::kMissing, 0, 0, 0, "fully.\nThe change takes effect when Windows restarts.\n",
         "in use"},
        {"apply 1400 --family 9x", "", S::kSet, 0, 0, 0,
         "fully.\nThe change takes effect when Windows restarts.\n", "in use"},
        {"remove", "", S::kSet, 1500, 0, 0, "removed.\n  card 3  {B}  in use now: 1500, the link's MTU\nYour",
         "card 1"},
        {"probe h --apply --adapter 1", "{A}", S::kNoRights, 0, 0, 3,
         "{A}  in use now: 1300, not 1400: " + admin, ""},
        {"show --adapter 3", "", S::kSet, 540, 0, 0,
         "{B}  MTU 576 stored, above the link's 540: 540 is used  in use now", "restart"},
        // {B} stores 576 but uses 1450: something else set it.
        {"probe h", "", S::kSet, 1500, 1450, 0,
         "own limit, not the path's: card 3  {B} uses an MTU of 1450, which something else set (a VPN client, "
         "netsh), and this system refused the larger probes itself; the path beyond it was not measured.\n",
         "remove --adapter"},
        {"probe h", "", S::kSet, 1500, 1400, 0, "MTU: 1400\n", "own limit"},
        {"probe h", "", S::kSet, 1500, 0, 0,
         "own limit, not the path's: card 3  {B} uses an MTU of 576, and this system refused the larger probes "
         "itself. To measure the path beyond it, put the link's MTU back (quillon-mtu-cli remove --adapter 3)",
         "", 576},
        // IPv6 beside IPv4, by the same rules, and below 1280 not at all.
        {"apply 1400", "", S::kSet, 1500, 0, 0,
         "{A}  in use now: 1300, left as it is: something else set it below the link's 1500 (a VPN client, netsh); "
         "1400 is stored, and quillon-mtu-cli apply 1400 --adapter 1 puts it into use at once\n"
         "  card 1  {A}  IPv6 in use now: 1400, until Windows restarts\n  card 3  {B}  in use now: 1400\n"
         "  card 3  {B}  has no IPv6 interface now",
         "not 1400", 0, 1500, 1},
        {"apply 1400", "", S::kSet, 1500, 0, 0,
         "{A}  IPv6 in use now: 1280, left as it is: something else set it below the link's 1500 (a VPN client, "
         "netsh); quillon-mtu-cli apply 1400 -6 --adapter 1 puts it into use at once\n",
         "", 0, 1280, 1500},
        {"apply 1200", "", S::kSet, 1500, 0, 0, "{B}  IPv6 in use now: 1500, left as it is: IPv6's smallest MTU is 1280\n",
         "until Windows", 0, 1500, 1500},
        {"apply 1500 -6 --adapter 3", "", S::kSet, 1492, 0, 0,
         "  card 3  {B}  IPv6 in use now: 1492, the link's MTU (1500 is above it)\n", "MTU setting", 0, 1500, 1500},
        {"apply 1400 -6", "{B}/6", S::kRefused, 1500, 0, 3,
         "{B}  IPv6 in use now: 1500, not 1400: Windows does not put 1400 into use at once on this interface\n",
         "MTU setting", 0, 1500, 1500},
        {"apply 1400 -6", "", S::kMissing, 1500, 0, 3,
         "{B}  IPv6 in use now: 1500, not 1400: this Windows cannot put an MTU into use at once (Windows Vista and later "
         "can), and nothing stores IPv6's\n",
         "restarts", 0, 1500, 1500},
        // remove: IPv6's put back where it is the MTU deleted (none of {B}'s
        // 576), or on the adapter named; remove -6 cannot tell.
        {"remove", "", S::kSet, 1500, 0, 0,
         "{B}  IPv6 in use now: 1400, left as it is: it is not the MTU that was stored", "", 0, 1, 1400},
        {"remove --adapter 3", "", S::kSet, 1500, 0, 0, "{B}  IPv6 in use now: 1500, the link's MTU\n", "left",
         0, 1, 1400},
        {"remove -6", "", S::kSet, 1500, 0, 0,
         "{B}  IPv6 in use now: 1400, left as it is: without --adapter this tool cannot tell which IPv6 MTU it "
         "set; quillon-mtu-cli remove -6 --adapter 3 puts the link's MTU back\n",
         "removed", 0, 1, 1400},
        // What lasts past a restart: IPv6's where Windows' persistent store took it.
        {"apply 1400 -6", "", S::kSet, 1500, 0, 0, "{B}  IPv6 in use now: 1400, kept past a restart\n",
         "until", 0, 1, 1500, net::Kept::kKept},
        {"remove --adapter 3", "", S::kSet, 1500, 0, 0,
         "{B}  IPv6 in use now: 1500, the link's MTU, kept past a restart\n", "left", 0, 1, 1400,
         net::Kept::kKept},
        {"apply 1400", "", S::kSet, 1500, 0, 0,
         "{B}  in use now: 1400\n  card 3  {B}  IPv6 in use now: 1400, until Windows restarts: netsh did not "
         "store it (exit code 2)\n", "kept", 0, 1, 1500, net::Kept::kRefused},
        {"apply 1400 -6", "", S::kSet, 1500, 0, 0,
         "{B}  IPv6 in use now: 1400, until Windows restarts: netsh could not be run (error 2)\n", "kept", 0, 1,
         1500, net::Kept::kNotStarted},
        {"apply 1400 -6", "", S::kSet, 1500, 0, 0,
         "{B}  IPv6 in use now: 1400, until Windows restarts: netsh did not end within 30 seconds\n", "kept", 0,
         1, 1500, net::Kept::kTimedOut},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry machine;
        Seed(machine, kBoth);
        reg::Registry registry(machine);
        std::istringstream words(c.line);
        const std::vector<std::string> line{std::istream_iterator<std::string>(words), {}};
        SimulatedPath network;
        network.links = {{1500, true}, {c.learnt != 0 ? 1500 : 1400, true}};
        network.learnt = c.learnt;
        SimulatedTable table;
        table.routeAdapter = "{B}";
        table.inUse = {{"{A}", 1300}, {"{B}", c.learnt != 0 ? 1450U : 576U}};
        table.linkMtu = {{"{A}", c.link}, {"{B}", c.link}};
        if (c.ownMtu != 0) {
            network.links = {{static_cast<int>(c.ownMtu), true}};
            network.learns = false;
            table.inUse["{B}"] = c.ownMtu;
        }
        for (const auto& [name, six] : {std::pair("{A}", c.sixA), std::pair("{B}", c.sixB)}) {
            if (six != 0) {
                table.inUse6[name] = six == 1 ? 0 : six;
            }
        }
        table.canSetInUse = c.why != S::kMissing;
        table.refusals[c.refused] = c.why;
        table.keeps = c.keeps;
        Capture output;
        EXPECT_EQ(ui::RunConsole(line, registry, output, &network, &table), c.code) << c.line << output.err;
        EXPECT_NE((c.code == 0 ? output.out : output.err).find(c.said), std::string::npos)
            << c.line << "\n"
            << output.out << output.err;
        EXPECT_EQ(c.code == 0 ? output.err : "", "") << c.line;
        EXPECT_EQ((output.out + output.err).find(c.absent), *c.absent == '\0' ? 0 : std::string::npos)
            << c.line;
    }
}

TEST_F(Console, ProbeAppliesToTheRouteAdapterOnly) {
    Seed(model, kBoth);
    const auto before = model.Snapshot();
    path.links = {{1500, true}, {1492, true}};
    interfaces.routeAdapter = "{b}";
    interfaces.routeAddress = "192.0.2.2";
    const Outcome toRoute = Invoke({"probe", "host.test", "--apply", "--adapter", "route"});
    EXPECT_EQ(toRoute.code, ui::kExitSuccess) << toRoute.err;
    EXPECT_NE(toRoute.out.find("The route to host.test leaves through card 3  {B}.\n"), std::string::npos)
        << toRoute.out;
    // {A} holds no MTU, so path-MTU discovery stays on.
    EXPECT_EQ(Changed(before, model.Snapshot()), Upper({kInterfaces + "{B}|MTU"}));
    EXPECT_EQ(model.Value(kInterfaces + "{B}", "MTU")->bytes, (std::vector<std::uint8_t>{0xd4, 0x05, 0, 0}));

    // A route through an adapter that is not a network card: nothing is probed or written.
    SimulatedPath elsewhere;
    SimulatedTable elsewhereTable;
    elsewhereTable.routeAdapter = "{C}";
    elsewhereTable.routeAddress = "198.51.100.41";
    const auto applied = model.Snapshot();
    Capture output;
    EXPECT_EQ(ui::RunConsole({"probe", "host.test", "--apply", "--adapter=ROUTE"}, routines, output,
                             &elsewhere, &elsewhereTable),
              ui::kExitFailure);
    EXPECT_NE(
        output.out.find("leaves through the adapter {C} (198.51.100.41), none of the network cards found"),
        std::string::npos)
        << output.out;
    EXPECT_TRUE(elsewhere.sent.empty());
    EXPECT_EQ(model.Snapshot(), applied);
}

}  // namespace
}  // namespace quillon::test
