// --json and check through the console rig: the document, read by Python's
// json, for each command, with names that need escaping and characters
// beyond ASCII, and with every registry call of each command failing in
// turn; and check's verdicts.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "tests/unit/ConsoleRig.h"
#include "tests/unit/SimulatedPath.h"
#include "tests/unit/SimulatedTable.h"

#ifndef QUILLON_CHECK_JSON
#error "QUILLON_CHECK_JSON must name tests/unit/check-json.py"
#endif

namespace quillon::test {
namespace {

std::vector<std::string> Words(const std::string& line) {
    std::istringstream words(line);
    return {std::istream_iterator<std::string>(words), {}};
}

// A machine of both families whose card 3 has a name to escape and an é
// (0xE9 in the ANSI code page), and whose interfaces say what they use.
struct JsonMachine {
    JsonMachine() {
        Seed(model, kBoth);
        model.SeedString(kCard + "3", "Description", "say \"hi\" \\ caf\xE9\ttab");
        table.inUse = {{"{A}", 1500}, {"{B}", 576}};
        table.linkMtu = {{"{A}", 1500}, {"{B}", 1500}};
        table.routeAdapter = "{B}";
        path.links = {{1500, true}, {1400, true}};
        model.ClearCalls();
    }
    reg::MemoryRegistry model;
    reg::Registry registry{model};
    SimulatedPath path;
    SimulatedTable table;
};

const char* const kLines[] = {
    "show --json",      "apply 1400 --json", "remove --json",      "check 576 --json", "probe h --json",
    "probe h --apply --json", "apply 1400 --adapter 3 --json", "show --adapter nowhere --json",
    "probe -6 h --apply --json",
};

TEST(Json, EveryDocumentReadsAsTheNamesSayAlsoWhenARegistryCallFails) {
    const std::string file = ::testing::TempDir() + "quillon-json-" + std::to_string(getpid()) + ".txt";
    std::ofstream documents(file, std::ios::binary);
    std::size_t count = 0;
    for (const char* line : kLines) {
        std::size_t calls = 0;
        for (std::size_t k = 0;; ++k) {
            JsonMachine machine;
            if (k != 0) {
                machine.model.FailCall(k - 1, reg::kErrorAccessDenied);
            }
            Capture output;
            const int code = ui::RunConsole(Words(line), machine.registry, output, &machine.path, &machine.table);
            calls = k == 0 ? machine.model.Calls().size() : calls;
            // One document, on one line, and the prose elsewhere.
            ASSERT_FALSE(output.out.empty()) << line;
            EXPECT_EQ(output.out.find('\n'), output.out.size() - 1) << line << "\n" << output.out;
            EXPECT_EQ(machine.model.OpenHandles(), 0U) << line;
            documents << Words(line)[0] << '\t' << code << '\t' << output.out;
            ++count;
            if (k == 0) {
                // The escaped name, whole, in the document of every command that lists card 3.
                const bool listsCard3 = std::string(line).find("nowhere") == std::string::npos;
                EXPECT_EQ(output.out.find(R"("description":"say \"hi\" \\ café\u0009tab")") != std::string::npos,
                          listsCard3)
                    << line << "\n" << output.out;
            }
            if (k == calls) {
                break;
            }
        }
    }
    // No Windows at all: the names of each command all the same.
    for (const char* line : {"probe h --apply --json", "probe -6 h --apply --json", "check 576 --json"}) {
        reg::MemoryRegistry empty;
        reg::Registry registry(empty);
        SimulatedPath path;
        SimulatedTable table;
        Capture output;
        const int code = ui::RunConsole(Words(line), registry, output, &path, &table);
        EXPECT_EQ(code, ui::kExitFailure) << line;
        EXPECT_NE(output.out.find(std::string(line).find("probe") == 0 ? R"("status":"notStarted")"
                                                                        : R"("compliant":false)"),
                  std::string::npos)
            << output.out;
        // The IP version asked for, though nothing was probed.
        if (std::string(line).find(" -6 ") != std::string::npos) {
            EXPECT_NE(output.out.find(R"("ipVersion":6)"), std::string::npos) << output.out;
        }
        documents << Words(line)[0] << '\t' << code << '\t' << output.out;
    }
    documents.close();
    const std::string command = std::string("python3 ") + QUILLON_CHECK_JSON + " " + file;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_GT(count, 200U);
    std::remove(file.c_str());
}

// What a change did, per adapter and at the top, in the names scripts read.
TEST(Json, SaysWhatEachChangeDid) {
    using S = net::MtuSetting;
    const struct {
        const char* line;
        S refusal;           // what Windows says to {B}'s change of the MTU in use
        unsigned storedB;    // {B}'s MTU stored beforehand, in use 576 (0: 576 stored)
        std::vector<const char*> said;
        const char* absent;
        unsigned sixB = 0;  // {B}'s IPv6 MTU in use (0: Windows does not say)
        net::Kept keeps = net::Kept::kNotTried;  // IPv6's in Windows' persistent store
    } cases[] = {
        {"apply 1400 --adapter 3 --json", S::kSet, 0,
         {R"("inUse":{"ipv4":1400,"ipv6":1400},"link":{"ipv4":1500,"ipv6":1500})",
          R"("inUseResult":{"ipv4":"set","ipv6":"set"})"},
         "notConnected", 1500},
        {"apply 1400 -6 --adapter 3 --json", S::kSet, 0,
         {R"("storedMtu":576,)", R"("change":"untouched","inUseResult":{"ipv4":null,"ipv6":"set"})",
          R"("lasts":{"ipv4":null,"ipv6":"untilRestart"})", R"("changed":true)"},
         "written", 1500},
        {"apply 576 --adapter 3 --json", S::kSet, 0, {R"("change":"unchanged")", R"("changed":false)"}, "written"},
        {"apply 1400 --adapter 3 --json", S::kSet, 0,
         {R"("change":"written")", R"("changed":true)", R"("inUse":{"ipv4":1400,"ipv6":null})"}, "unchanged"},
        {"remove --adapter 3 --json", S::kSet, 0,
         {R"("storedMtu":null,"storedText":null,"inUse":{"ipv4":1500,)", R"("change":"deleted")", R"("changed":true)"},
         "absent"},
        {"remove --adapter 1 --json", S::kSet, 0, {R"("change":"absent")", R"("changed":false)"}, "deleted"},
        {"apply 1400 --adapter 3 --json", S::kNoRights, 0,
         {R"("exitCode":3)", R"("inUseResult":{"ipv4":"refused","ipv6":null})", "only an administrator"}, "\"set\""},
        // 88 stored is used as 576: no MTU something else set.
        {"apply 1400 --json", S::kSet, 88, {R"("inUseResult":{"ipv4":"set")"}, "leftAlone"},
        // IPv6 uses the MTU remove deletes: that goes back to the link's.
        {"remove --json", S::kSet, 1400,
         {R"("inUse":{"ipv4":576,"ipv6":1500})", R"("inUseResult":{"ipv4":"leftAlone","ipv6":"set"})",
          R"("lasts":{"ipv4":null,"ipv6":"pastRestart"})"},
         "notPutBack", 1400, net::Kept::kKept},
    };
    for (const auto& c : cases) {
        JsonMachine machine;
        if (c.storedB != 0) {
            machine.model.SeedDword(kInterfaces + "{B}", "MTU", c.storedB);
        }
        machine.table.refusals["{B}"] = c.refusal;
        machine.table.keeps = c.keeps;
        if (c.sixB != 0) {
            machine.table.inUse6["{B}"] = c.sixB;
        }
        Capture output;
        ui::RunConsole(Words(c.line), machine.registry, output, &machine.path, &machine.table);
        for (const char* said : c.said) {
            EXPECT_NE(output.out.find(said), std::string::npos) << c.line << ": " << said << "\n" << output.out;
        }
        EXPECT_EQ(output.out.find(c.absent), std::string::npos) << c.line << "\n" << output.out;
    }
}

// check: what complies, what does not and how, and the summary last.
TEST(Check, SaysWhichAdaptersDoNotComplyAndSummarisesLast) {
    const struct {
        const char* line;
        const char* seed;  // a 9x transport 0000 MaxMTU, or card 3's MTU in use, as "inUse=N" ("six=N": IPv6's)
        int code;
        const char* said;  // a part of standard output (or of standard error where the code is 2)
        const char* last;  // the last line of standard output
    } cases[] = {
        {"check 576 --family nt", "", 1, "card 1  {A}: does not comply: it stores no MTU, not 576\n",
         "Not compliant with MTU 576: 1 of 2 adapters: card 1 (stores no MTU, not 576)."},
        {"check 576 --adapter 3", "", 0, "card 3  {B}: complies\n", "Compliant: every adapter stores MTU 576 and uses no more."},
        {"check 576 --adapter 3", "inUse=1400", 1, "it uses 1400 now, above 576",
         "Not compliant with MTU 576: 1 of 1 adapters: card 3 (uses 1400 now, above 576)."},
        {"check 576 --adapter 3", "inUse=560", 0, "complies; it uses 560 now, below 576 (something else set it)",
         "Compliant: every adapter stores MTU 576 and uses no more."},
        {"check 88 --adapter 0000", "0088", 0, "transport 0000  10.0.0.1: complies\n", "Compliant:"},
        {"check 88 --adapter 0000", "88.5", 1, "it stores 88.5, not 88", "Not compliant with MTU 88:"},
        {"check 0088 --adapter 0000", "88", 0, "complies", "Compliant:"},
        {"check 87", "", 2, "check takes a whole number from 88 to 1500, not '87'", ""},
        {"check 88.5", "", 2, "not '88.5'", ""},
        // IPv6's MTU in use beside IPv4's, where IPv6 can take the MTU.
        {"check 1400 --adapter 3", "six=1500", 1, "it stores 576, not 1400; uses 1500 now for IPv6, above 1400",
         "Not compliant with MTU 1400: 1 of 1 adapters"},
        {"check 576 --adapter 3", "six=1500", 0, "card 3  {B}: complies\n", "Compliant: every adapter stores"},
        {"check 1400 -6 --adapter 3", "six=1400", 0, "card 3  {B}: complies\n",
         "Compliant: every adapter uses no more than MTU 1400 for IPv6."},
        {"check 1280 -6", "six=1500", 1, "card 3  {B}: does not comply: it uses 1500 now for IPv6, above 1280",
         "Not compliant with MTU 1280: 1 of 2 adapters"},
        {"check 1200 -6", "", 2, "with -6 the MTU must be a whole number from 1280 (IPv6's smallest MTU) to 1500, "
         "not '1200'", ""},
        {"show --adapter 3", "six=1400", 0, "  card 3  {B}  MTU 576  in use now: unknown, IPv6 1400\n", "MTU: 576"},
        {"show --adapter 3", "six=0", 0, "in use now: unknown, no IPv6 interface now\n", "MTU: 576"},
        {"show -6", "", 2, "-4 and -6 go with 'apply', 'remove', 'check' and 'probe' only", ""},
    };
    for (const auto& c : cases) {
        reg::MemoryRegistry model;
        Seed(model, kBoth);
        const std::string seed = c.seed;
        SimulatedTable table;
        if (seed.rfind("inUse=", 0) == 0 || seed.rfind("six=", 0) == 0) {
            (seed[0] == 's' ? table.inUse6 : table.inUse)["{B}"] =
                static_cast<unsigned>(std::stoul(seed.substr(seed.find('=') + 1)));
        } else if (!seed.empty()) {
            model.SeedString(kTransport + "0000", "MaxMTU", seed);
        }
        reg::Registry registry(model);
        const auto before = model.Snapshot();
        Capture output;
        EXPECT_EQ(ui::RunConsole(Words(c.line), registry, output, nullptr, &table), c.code) << c.line << output.err;
        EXPECT_NE((c.code == 2 ? output.err : output.out).find(c.said), std::string::npos)
            << c.line << "\n" << output.out << output.err;
        const std::size_t lastLine = output.out.rfind('\n', output.out.size() - 2);
        EXPECT_EQ(output.out.substr(lastLine == std::string::npos ? 0 : lastLine + 1).rfind(c.last, 0), 0U)
            << c.line << "\n" << output.out;
        EXPECT_EQ(model.Snapshot(), before) << c.line;  // it reads only
    }
}

}  // namespace
}  // namespace quillon::test
