// One cell of the compatibility matrix: the real program on a Wine prefix
// posing as one version of Windows (QUILLON_MODE), using the product name
// that Wine itself wrote for that version. The window of the family that the
// version belongs to opens with its caption, and Apply, Retrieve MTU and
// Remove work on seeded adapters (NT) or transports (9x); on the NT family,
// where the registry has security, a read-only interface key makes Apply
// say that it failed. The console program then does the same from the
// command line. NT 4.0 gets the MTU also in each adapter's service TCP/IP
// key, where it reads it; the later versions get nothing there. The cell's
// summary line goes to standard output and to the file named by
// QUILLON_MATRIX.
//
// QUILLON_VIEW is 64 when the program is a 64-bit one and the driver is not
// (or the other way round): the product names are read in the program's own
// view of the registry.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/WindowDriver.h"
#include "tests/support/WineRegistry.h"
#include "tests/wine/ConsoleRun.h"

namespace quillon::test {
namespace {

std::string Env(const char* name) {
    char value[MAX_PATH] = {};
    return GetEnvironmentVariableA(name, value, MAX_PATH) > 0 ? value : "";
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

// A line of the matrix, to standard output and to the file named by QUILLON_MATRIX.
void Record(const std::string& line) {
    std::printf("matrix: %s\n", line.c_str());
    if (const std::string file = Env("QUILLON_MATRIX"); !file.empty()) {
        std::ofstream(file, std::ios::app) << line << "\n";
    }
}

// The registry view of the program under test, for the keys that WOW64
// redirects (the product names).
REGSAM ProgramView() {
    const std::string view = Env("QUILLON_VIEW");
    return view == "64" ? KEY_WOW64_64KEY : view == "32" ? KEY_WOW64_32KEY : 0;
}

bool NineXMode(const std::string& mode) { return mode == "win95" || mode == "win98" || mode == "winme"; }
bool ServiceKeysMode(const std::string& mode) { return mode == "nt351" || mode == "nt40"; }

const std::string kSeededService = "QuillonMatrixAdapter";
const std::string kSeededCard = kCards + "30";

// Adapters or transports the operations act on, seeded by the cell.
struct Family {
    bool nineX;
    bool serviceKeys;  // NT 3.51 and 4.0
    std::string form;  // the window that opens
    std::string productName;

    void Seed() const {
        if (nineX) {
            ASSERT_TRUE(PutText(kNetTrans + "0000", kIpAddress, "192.168.0.2") &&
                        PutText(kNetTrans + "0000", kDriverDate, "6-1-1999") &&
                        PutText(kNetTrans + "0001", kIpAddress, "10.0.0.2"));
        } else {
            ASSERT_TRUE(PutText(kSeededCard, kServiceName, kSeededService));
        }
    }
    void Clean() const {
        if (nineX) {
            RemoveTree(kClass);
            Remove(kMstcp, kPmtuSwitch9x);
        } else {
            for (const std::string& service : ServiceNames()) {
                Remove(kInterfaces + service, kMtu);
                Remove(ServiceTcpip(service), kMtu);
            }
            RemoveTree(kInterfaces + kSeededService);
            RemoveTree(kServices + kSeededService);
            RemoveTree(kSeededCard);
            Remove(kParameters, kPmtuSwitch);
        }
    }
    // Whether every adapter or transport holds this MTU, with path-MTU
    // discovery switched off; an empty MTU asks whether none holds any. On
    // NT 4.0 each adapter holds it in both keys, elsewhere never in the
    // service's key.
    [[nodiscard]] bool Holds(const std::string& mtu) const {
        bool all = true;
        if (nineX) {
            for (const char* slot : {"0000", "0001"}) {
                const auto stored = TextAt(kNetTrans + slot, kMaxMtu);
                all = all && (mtu.empty() ? !stored.has_value() : stored == mtu);
            }
            const auto pmtu = TextAt(kMstcp, kPmtuSwitch9x);
            return all && (mtu.empty() ? !pmtu.has_value() : pmtu == "0");
        }
        const auto services = ServiceNames();
        for (const std::string& service : services) {
            const auto stored = DwordAt(kInterfaces + service, kMtu);
            all = all && (mtu.empty() ? !stored.has_value() : stored == std::stoul(mtu));
            const auto inServiceKey = DwordAt(ServiceTcpip(service), kMtu);
            all = all && ((mtu.empty() || !serviceKeys) ? !inServiceKey.has_value() : inServiceKey == stored);
        }
        const auto pmtu = DwordAt(kParameters, kPmtuSwitch);
        return !services.empty() && all && (mtu.empty() ? !pmtu.has_value() : pmtu == 0U);
    }
};

class MatrixCell : public ::testing::Test {
protected:
    void SetUp() override {
        mode_ = Env("QUILLON_MODE");
        program_ = ReleaseProgram();
        cli_ = ReleaseProgram("QUILLON_CLI", "quillon-mtu-cli.exe");
        ASSERT_FALSE(mode_.empty()) << "QUILLON_MODE names the Windows version of the cell";
        const auto nt = TextAt(kNtVersion, kProductName, ProgramView());
        const auto nineX = TextAt(k9xVersion, kProductName, ProgramView());
        family_.nineX = NineXMode(mode_);
        family_.serviceKeys = ServiceKeysMode(mode_);
        family_.form = family_.nineX ? "Form2" : "Form1";
        // Wine writes the product name of the family it poses as, and only that one.
        ASSERT_EQ(nt.has_value(), !family_.nineX) << "NT product name in mode " << mode_;
        ASSERT_EQ(nineX.has_value(), family_.nineX) << "9x product name in mode " << mode_;
        family_.productName = family_.nineX ? *nineX : *nt;
        family_.Clean();
        family_.Seed();
    }
    void TearDown() override {
        family_.Clean();
        Record(mode_ + " | " + FileName(program_) + ", " + FileName(cli_) + " | " + family_.form + " \"" + caption_ +
               "\" | " + (HasFailure() ? "FAILED" : "passed") + " | " + done_);
    }
    void Did(const std::string& what) { done_ += done_.empty() ? what : ", " + what; }

    std::string mode_;
    std::string program_;
    std::string cli_;
    Family family_{};
    std::string caption_;
    std::string done_;
};

TEST_F(MatrixCell, TheFamilysWindowAndConsoleWorkOnThisVersion) {
    {
        RunningTool tool(program_);
        ASSERT_TRUE(tool.Started()) << program_;
        const User user{tool.WaitForVisible(family_.form.c_str())};
        ASSERT_NE(user.form, nullptr) << family_.form << " did not show";
        const HWND other = tool.Form(family_.nineX ? "Form1" : "Form2");
        EXPECT_TRUE(other == nullptr || !IsWindowVisible(other)) << "only one family's window shows";
        caption_ = TextOf(user.form);
        EXPECT_EQ(caption_, Caption(family_.productName));
        user.Screenshot("matrix-" + mode_ + "-" + FileName(program_) + ".bmp");

        user.Retype("1400");
        ASSERT_TRUE(user.BothEnabled());
        user.Click(user.Apply());
        const auto applied = tool.TakeMessage();
        ASSERT_TRUE(applied.has_value());
        EXPECT_EQ(applied->text, kApplied);
        EXPECT_TRUE(family_.Holds("1400"));
        Did("apply");

        user.Clear();
        user.Choose('m');
        EXPECT_TRUE(WaitUntil([&] { return user.Text() == "1400"; })) << user.Text();
        Did("retrieve");

        user.Click(user.Remove());
        const auto removed = tool.TakeMessage();
        ASSERT_TRUE(removed.has_value());
        EXPECT_EQ(removed->text, kRemoved);
        EXPECT_TRUE(family_.Holds(""));
        EXPECT_EQ(user.Text(), "");
        Did("remove");

        if (!family_.nineX) {
            // Registry security exists on the NT family only.
            const ReadOnlyKey lock(kInterfaces + kSeededService);
            ASSERT_TRUE(lock.Locked());
            user.Retype("1400");
            user.Click(user.Apply());
            const auto refused = tool.TakeMessage();
            ASSERT_TRUE(refused.has_value());
            EXPECT_EQ(refused->text, kNotSaved);
            Did("read-only key refused");
        }
        user.Choose('x');
        EXPECT_EQ(tool.WaitForExit(), 0U);
        family_.Clean();
        family_.Seed();
    }

    // The console program, on the same machine.
    const std::string caption = Caption(family_.productName);
    const ConsoleRun show = RunConsole(cli_, "show");
    EXPECT_EQ(show.exitCode, 0U) << show.err;
    EXPECT_EQ(show.out.substr(0, show.out.find('\n')), caption) << show.out;
    const ConsoleRun apply = RunConsole(cli_, "apply 1400");
    EXPECT_EQ(apply.exitCode, 0U) << apply.err;
    // Wine, whatever it poses as, cannot put an MTU into use at once.
    EXPECT_EQ(apply.out, kApplied + "\n" + kAtRestart + "\n");
    EXPECT_TRUE(family_.Holds("1400"));
    const ConsoleRun shown = RunConsole(cli_, "show");
    EXPECT_NE(shown.out.find("\nMTU: 1400\n"), std::string::npos) << shown.out;
    const ConsoleRun refused = RunConsole(cli_, "apply 1501");
    EXPECT_EQ(refused.exitCode, 2U);
    EXPECT_TRUE(refused.out.empty());
    EXPECT_TRUE(family_.Holds("1400")) << "a refused MTU writes nothing";
    const ConsoleRun remove = RunConsole(cli_, "remove");
    EXPECT_EQ(remove.exitCode, 0U) << remove.err;
    EXPECT_EQ(remove.out, kRemoved + "\n" + kAtRestart + "\n");
    EXPECT_TRUE(family_.Holds(""));
    if (!family_.nineX) {
        // On NT 4.0 the window met a read-only interface key; here the
        // service's key is read-only.
        const ReadOnlyKey lock(family_.serviceKeys ? ServiceTcpip(kSeededService)
                                                   : kInterfaces + kSeededService);
        ASSERT_TRUE(lock.Locked());
        const ConsoleRun denied = RunConsole(cli_, "apply 576");
        EXPECT_EQ(denied.exitCode, 1U);
        EXPECT_EQ(denied.err, kNotSaved + "\n");
    }
    // Before Vista the IPv6 probe says what it needs, before it sends anything.
    const bool beforeVista = mode_ != "win7" && mode_ != "win8" && mode_ != "win10" && mode_ != "vista";
    if (beforeVista) {
        const ConsoleRun six = RunConsole(cli_, "probe -6 2001:db8::1");
        EXPECT_EQ(six.exitCode, 1U) << six.err;
        EXPECT_EQ(six.err, "The IPv6 probe needs Windows Vista or later.\n") << mode_;
    }
    Did(family_.nineX ? "console show, apply, remove, usage error"
                      : "console show, apply, remove, usage error, read-only key refused");
    if (!family_.nineX) {
        Did(family_.serviceKeys ? "MTU also in the service keys" : "nothing in the service keys");
    }
}

// ---- WOW64: the 32-bit program on 64-bit Windows ----

// What Apply of 1400 in the program's NT window writes: the interface keys
// that then hold it, and the path-MTU-discovery switch. Remove takes it back.
std::vector<std::string> WrittenBy(const std::string& program) {
    std::vector<std::string> written;
    RunningTool tool(program);
    const User user{tool.WaitForVisible("Form1")};
    if (user.form == nullptr) {
        ADD_FAILURE() << program << " showed no NT window";
        return written;
    }
    user.Retype("1400");
    user.Click(user.Apply());
    EXPECT_TRUE(tool.TakeMessage().has_value());
    HKEY interfaces = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInterfaces.c_str(), 0, KEY_READ, &interfaces) == ERROR_SUCCESS) {
        char name[256];
        for (DWORD i = 0, size = sizeof name;
             RegEnumKeyExA(interfaces, i, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
             ++i, size = sizeof name) {
            if (DwordAt(kInterfaces + name, kMtu) == 1400U) {
                written.push_back(kInterfaces + name + " " + kMtu);
            }
        }
        RegCloseKey(interfaces);
    }
    if (DwordAt(kParameters, kPmtuSwitch) == 0U) {
        written.push_back(kParameters + " " + kPmtuSwitch);
    }
    user.Click(user.Remove());
    EXPECT_TRUE(tool.TakeMessage().has_value());
    user.Choose('x');
    EXPECT_EQ(tool.WaitForExit(), 0U);
    return written;
}

TEST(Wow64, The32BitProgramWritesTheKeysThe64BitOneWrites) {
    const std::string program64 = ReleaseProgram("QUILLON_PROGRAM64", "quillon-mtu64.exe");
    const std::string program32 = ReleaseProgram("QUILLON_PROGRAM32", "quillon-mtu.exe");
    ASSERT_TRUE(PutText(kSeededCard, kServiceName, kSeededService));
    const std::vector<std::string> by64 = WrittenBy(program64);
    const std::vector<std::string> by32 = WrittenBy(program32);
    RemoveTree(kInterfaces + kSeededService);
    RemoveTree(kSeededCard);
    EXPECT_GE(by64.size(), 2U) << "at least the seeded adapter and the switch";
    EXPECT_EQ(by32, by64);
    Record("WOW64 | " + FileName(program32) + " in a 64-bit prefix writes the " + std::to_string(by32.size()) +
           " values " + FileName(program64) + " writes | " + (::testing::Test::HasFailure() ? "FAILED" : "passed"));
}

}  // namespace
}  // namespace quillon::test
