// The real windows on a Windows that lacks every function the program looks
// up at run time: the finder is made to find nothing, and the windows must
// still come up with their controls, the message font and the layout at the
// system's DPI. Runs in-process under Wine on a virtual display.

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "registry/MemoryRegistry.h"
#include "registry/Registry.h"
#include "tests/support/KeysAndTexts.h"
#include "ui/ControlIds.h"
#include "ui/Program.h"
#include "ui/SettingsForm.h"
#include "ui/win32/Win32Ui.h"

namespace quillon::ui::win32 {
namespace {

std::vector<std::string> asked;

FARPROC FindNothing(const char* dll, const char* name) {
    asked.push_back(std::string(dll) + "!" + name);
    return nullptr;
}

// GetVersion() values: low byte major, next minor; the high bit set on 9x.
TEST(Fallback, NonClientMetricsSizeIsTheOneEachWindowsKnows) {
    const UINT older = offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    const struct {
        const char* system;
        DWORD version;
        UINT size;
    } cases[] = {
        {"Windows 95", 0xC3B60004, older}, {"Windows 98", 0xC0000A04, older}, {"NT 4.0", 0x05650004, older},
        {"XP", 0x0A280105, older},         {"Vista", 0x17700006, sizeof(NONCLIENTMETRICSA)},
        {"10", 0x4A61000A, sizeof(NONCLIENTMETRICSA)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NonClientMetricsSize(c.version), c.size) << c.system;
    }
}

TEST(Fallback, TopLevelOfAChildIsItsWindow) {
    const HWND top = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    const HWND grandchild = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 2, 2, child, nullptr, nullptr, nullptr);
    EXPECT_EQ(TopLevelOf(grandchild), top);
    EXPECT_EQ(TopLevelOf(top), top);
    EXPECT_EQ(TopLevelOf(nullptr), nullptr);
    DestroyWindow(top);
}

TEST(Fallback, WindowsComeUpWhenNoNewerFunctionIsFound) {
    asked.clear();
    reg::MemoryRegistry platform;
    platform.SeedString(test::kNtVersion + "\\", test::kProductName, "Windows NT");
    reg::Registry registry(platform);
    Win32WindowSystem windows(GetModuleHandleA(nullptr), &FindNothing);
    EXPECT_EQ(windows.Newer().getDpiForWindow, nullptr);
    EXPECT_EQ(windows.Newer().initCommonControlsEx, nullptr);
    for (const char* name : {"user32.dll!GetDpiForWindow", "user32.dll!AdjustWindowRectExForDpi",
                             "user32.dll!SystemParametersInfoForDpi", "comctl32.dll!InitCommonControlsEx"}) {
        EXPECT_NE(std::find(asked.begin(), asked.end(), name), asked.end()) << name;
    }

    Program program(registry, windows);
    program.Start();
    const HWND form = FindWindowA("QuillonMtu.Form1", nullptr);
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(IsWindowVisible(form));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT client{};
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, MulDiv(kClientWidth, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(kClientHeight, dpi, 1440));
    const HWND box = GetDlgItem(form, kIdMtuBox);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(SendMessageA(box, WM_GETFONT, 0, 0), 0) << "the message font, through the older metrics";
    EXPECT_EQ(TopLevelOf(box), form);
    program.Exit();
}

TEST(Fallback, TheSystemsOwnFinderFindsWhatWineHas) {
    const NewerFunctions found = NewerFunctions::Find(&FindInSystem);
    EXPECT_NE(found.getDpiForWindow, nullptr);
    EXPECT_NE(found.initCommonControlsEx, nullptr);
}

}  // namespace
}  // namespace quillon::ui::win32
