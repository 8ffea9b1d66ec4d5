// Measures the program the way its users feel it, under Wine: start-up to a
// filled window against a bare window, Apply, Remove and Retrieve MTU on 30
// adapters against doing the same writes with reg.exe, and the program's
// size and memory. Prints the rows of one table; each ratio is the median of
// the ratios of alternating pairs of runs.
//   quillon_bench.exe [RUNS]

#include "tests/support/WindowDriver.h"  // windows.h first, then psapi.h
#include "tests/support/PeImports.h"
#include "tests/support/WineRegistry.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace quillon::test;

double Now() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::vector<double> Ratios(const std::vector<double>& a, const std::vector<double>& b) {
    std::vector<double> out;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        out.push_back(b[i] > 0 ? a[i] / b[i] : 0);
    }
    return out;
}

bool RunAndWait(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

// Milestones of one start, in ms from process creation: the first window of
// the class exists (hidden or not), it is visible, and (where asked) its MTU
// box holds text; with the peak working set at the end.
struct Started {
    double created = 0;
    double shown = 0;
    double filled = 0;
    double peakMiB = 0;
};

Started StartAndMeasure(const std::string& exe, const std::string& className, bool waitForBox) {
    Started result;
    const double t0 = Now();
    const RunningTool process(exe, true);
    if (!process.Started()) {
        return result;
    }
    HWND window = nullptr;
    const double giveUp = t0 + 20000;
    while (Now() < giveUp) {
        if (window == nullptr) {
            window = process.Window(className);
            if (window != nullptr) {
                result.created = Now() - t0;
            }
        }
        if (window != nullptr && result.shown == 0 && IsWindowVisible(window)) {
            result.shown = Now() - t0;
        }
        if (result.shown != 0 && (!waitForBox || !TextOf(GetDlgItem(window, quillon::ui::kIdMtuBox)).empty())) {
            result.filled = Now() - t0;
            break;
        }
        Sleep(0);
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process.Process(), &counters, sizeof counters)) {
        result.peakMiB = static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
    }
    if (window != nullptr) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    process.WaitForExit(10000);  // else ended by the destructor
    return result;
}

void Row(const std::string& what, const std::vector<double>& tool, const std::string& referenceName,
         const std::vector<double>& reference, const std::string& toolName = "") {
    const std::string named = toolName.empty() ? "" : " " + toolName;
    if (reference.empty()) {
        std::printf("| %s | %.1f%s | | |\n", what.c_str(), Median(tool), named.c_str());
    } else {
        std::printf("| %s | %.1f%s | %.1f %s | %.2f |\n", what.c_str(), Median(tool), named.c_str(),
                    Median(reference), referenceName.c_str(), Median(Ratios(tool, reference)));
    }
}

std::vector<double> Phase(const std::vector<Started>& starts, double Started::*to, double Started::*from) {
    std::vector<double> out;
    for (const Started& s : starts) {
        out.push_back(s.*to - (from != nullptr ? s.*from : 0));
    }
    return out;
}

// Start-up and memory of one width's program against its reference and
// bare windows, alternating the three.
// With `thirty`, only the start-up row, on a machine with 30 adapters.
void StartUpRows(const std::string& folder, const std::string& suffix, const std::string& width, int runs,
                 bool thirty = false) {
    const std::string tool = folder + "\\quillon-mtu" + suffix + ".exe";
    const std::string reference = folder + "\\quillon-reference-window" + suffix + ".exe";
    const std::string bare = folder + "\\quillon-bare-window" + suffix + ".exe";
    // One start of each first, not counted: the first start after the Wine
    // server comes up pays for what later ones find ready.
    StartAndMeasure(tool, "QuillonMtu.Form1", true);
    StartAndMeasure(reference, "QuillonBench.Reference", true);
    StartAndMeasure(bare, "QuillonBench.Bare", false);
    std::vector<Started> t;
    std::vector<Started> r;
    std::vector<Started> b;
    for (int i = 0; i < runs; ++i) {
        t.push_back(StartAndMeasure(tool, "QuillonMtu.Form1", true));
        r.push_back(StartAndMeasure(reference, "QuillonBench.Reference", true));
        b.push_back(StartAndMeasure(bare, "QuillonBench.Bare", false));
    }
    const std::string name = "(ms, quillon-mtu" + suffix + ".exe)";
    const std::string ref = "reference window " + width;
    const auto peak = [](const std::vector<Started>& starts) {
        std::vector<double> out;
        for (const Started& s : starts) {
            out.push_back(s.peakMiB);
        }
        return out;
    };
    if (thirty) {
        Row("Start-up to a filled window with 30 adapters, against the reference window",
            Phase(t, &Started::filled, nullptr), ref, Phase(r, &Started::filled, nullptr), name);
        return;
    }
    Row("Start-up to a filled window, against the reference window", Phase(t, &Started::filled, nullptr), ref,
        Phase(r, &Started::filled, nullptr), name);
    Row("Peak working set after start-up, against the reference window", peak(t), ref + " (MiB)", peak(r),
        "(MiB, quillon-mtu" + suffix + ".exe)");
    Row("Start-up to a filled window, against the bare window", Phase(t, &Started::filled, nullptr),
        "bare window " + width, Phase(b, &Started::shown, nullptr), name);
    Row("Peak working set after start-up, against the bare window", peak(t), "bare window " + width + " (MiB)",
        peak(b), "(MiB, quillon-mtu" + suffix + ".exe)");
    Row("  start-up: process creation to the first window created", Phase(t, &Started::created, nullptr), ref,
        Phase(r, &Started::created, nullptr), name);
    Row("  start-up: first window created to the window shown", Phase(t, &Started::shown, &Started::created), ref,
        Phase(r, &Started::shown, &Started::created), name);
    Row("  start-up: window shown to the MTU box filled", Phase(t, &Started::filled, &Started::shown), ref,
        Phase(r, &Started::filled, &Started::shown), name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: quillon_bench.exe RUNS FOLDER32 FOLDER64\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    const std::string folder32 = argv[2];
    const std::string folder64 = argv[3];
    const std::string tool = folder64 + "\\quillon-mtu64.exe";
    const std::string bare = folder64 + "\\quillon-bare-window64.exe";
    // Start-up on the machine's own adapters (Wine's: the host's interfaces).
    StartUpRows(folder32, "", "32-bit", runs);
    StartUpRows(folder64, "64", "x64", runs);

    // Thirty network cards, each with its own interface. Wine keeps
    // NetworkCards as a volatile key, whose subkeys must be volatile too.
    std::vector<std::string> services;
    for (int card = 1; card <= 30; ++card) {
        const std::string path = kCards + std::to_string(card);
        auto name = TextAt(path, kServiceName);
        if (!name) {
            name = "{BENCH-" + std::to_string(card) + "}";
            static_cast<void>(PutText(path, kServiceName, *name));  // counted below
        }
        services.push_back(*name);
    }
    const std::string regFile = BesideDriver("bench-apply.reg");
    {
        std::ofstream reg(regFile);
        reg << "REGEDIT4\r\n\r\n";
        for (const std::string& service : services) {
            reg << "[HKEY_LOCAL_MACHINE\\" << kInterfaces << service << "]\r\n\"" << kMtu
                << "\"=dword:00000578\r\n\r\n";
        }
        reg << "[HKEY_LOCAL_MACHINE\\" << kParameters << "]\r\n\"" << kPmtuSwitch << "\"=dword:00000000\r\n";
    }

    // Every card must now name its interface, or the rows below would not be
    // about 30 adapters.
    std::printf("| Network cards with a service name, for the rows below | %d | | |\n",
                static_cast<int>(ServiceNames().size()));
    StartUpRows(folder32, "", "32-bit", runs, true);
    StartUpRows(folder64, "64", "x64", runs, true);

    // The operations in the running program, alternating with reg.exe.
    std::vector<double> apply, remove, retrieve, regAdd, regImport;
    {
        RunningTool running(tool);
        const User user{running.WaitForVisible("Form1")};
        for (int i = 0; i < runs && user.form != nullptr; ++i) {
            user.Retype("1400");
            double t0 = Now();
            user.Click(user.Apply());
            WaitUntil([&] { return running.MessageBoxWindow() != nullptr; }, 20s, 1ms);
            apply.push_back(Now() - t0);
            running.TakeMessage();

            // From the menu item's access key, with the File menu open.
            user.Clear();
            user.OpenFileMenu();
            t0 = Now();
            user.Press('m');
            WaitUntil([&] { return user.Text() == "1400"; }, 20s, 1ms);
            retrieve.push_back(Now() - t0);

            t0 = Now();
            user.Click(user.Remove());
            WaitUntil([&] { return running.MessageBoxWindow() != nullptr; }, 20s, 1ms);
            remove.push_back(Now() - t0);
            running.TakeMessage();

            t0 = Now();
            for (const std::string& service : services) {
                RunAndWait("reg.exe add \"HKLM\\" + kInterfaces + service + "\" /v " + kMtu + " /t REG_DWORD /d 1400 /f");
            }
            RunAndWait("reg.exe add \"HKLM\\" + kParameters + "\" /v " + kPmtuSwitch + " /t REG_DWORD /d 0 /f");
            regAdd.push_back(Now() - t0);

            t0 = Now();
            RunAndWait("reg.exe import \"" + regFile + "\"");
            regImport.push_back(Now() - t0);
        }
        user.Choose('x');
        running.WaitForExit();
    }

    Row("Apply on 30 adapters, click to message (ms)", apply, "31 reg add", regAdd, "(quillon-mtu64.exe)");
    Row("Apply on 30 adapters, click to message (ms)", apply, "reg import", regImport);
    Row("Remove on 30 adapters, click to message (ms)", remove, "", {});
    Row("Retrieve MTU on 30 adapters, access key to filled box (ms)", retrieve, "", {});

    const auto dlls = [](const std::string& path) {
        std::string list;
        for (const std::string& dll : ImportedDlls(path)) {
            list += (list.empty() ? "" : ", ") + dll;
        }
        return list;
    };
    std::printf("| Imported DLLs (quillon-mtu64.exe) | %s | %s bare window | |\n", dlls(tool).c_str(),
                dlls(bare).c_str());
    return 0;
}
