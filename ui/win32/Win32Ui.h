#pragma once
// Real windows: top-level windows with a menu bar, a group box, static
// labels, a single-line edit control and push buttons, laid out from twips at
// the window's DPI in the system's message font. Text stays in the ANSI code
// page from the registry to the screen, so the A functions are used
// throughout.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/WindowServices.h"

namespace quillon::ui::win32 {

class Win32WindowSystem;

// Finds a function of a system DLL, or gives null. The program's own finder
// asks the DLL; a test can hand in one that finds nothing, as the oldest
// systems would.
using FindFunction = FARPROC (*)(const char* dll, const char* name);
FARPROC FindInSystem(const char* dll, const char* name);

// Functions that not every Windows the program serves has, found at start.
// Each one that is missing has a fallback that every Windows has.
struct NewerFunctions {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;                                       // Windows 10 1607
    BOOL(WINAPI* adjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;  // Windows 10 1607
    BOOL(WINAPI* systemParametersInfoForDpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;   // Windows 10 1607
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;           // comctl32 4.70

    static NewerFunctions Find(FindFunction find);
};

// The size of NONCLIENTMETRICSA that the system of this GetVersion() value
// knows: the field added in Vista is left out before it, where a larger
// size makes SystemParametersInfo fail.
UINT NonClientMetricsSize(DWORD version);

// The top-level window of a window (GetAncestor is not on Windows 95).
HWND TopLevelOf(HWND hwnd);

// A control or menu item that reacts to WM_COMMAND.
class CommandTarget {
public:
    CommandTarget() = default;
    CommandTarget(const CommandTarget&) = delete;
    CommandTarget& operator=(const CommandTarget&) = delete;
    virtual ~CommandTarget() = default;
    virtual void Command(WORD code) = 0;
};

class Win32Window final : public Window {
public:
    Win32Window(Win32WindowSystem& system, const std::string& className, int clientWidth, int clientHeight,
                const POINT* position);
    ~Win32Window() override;

    Frame& AddFrame(const TwipsRect& bounds) override;
    Button& AddButton(Frame& parent, const TwipsRect& bounds, int id) override;
    TextBox& AddTextBox(Frame& parent, const TwipsRect& bounds, int id) override;
    Label& AddLabel(Frame& parent, const TwipsRect& bounds, int id) override;
    MenuItem& AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, int id) override;

    void Hide() override;
    void Show() override;
    void SetCaption(const std::string& caption) override;
    void Close() override;
    void OnCloseBox(Handler handler) override { closeBox_ = std::move(handler); }

    [[nodiscard]] HWND Hwnd() const { return hwnd_; }
    // The window procedure of every settings window's class.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Child {
        HWND hwnd;
        TwipsRect bounds;  // relative to the client area
    };

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    HWND AddChild(const char* className, DWORD style, DWORD exStyle, const Frame* parent,
                  const TwipsRect& bounds, int id);
    // Places every control and sizes the window for its current DPI and
    // menu bar; done when the window is first shown and when its DPI changes.
    void Layout();
    void UpdateFont();

    Win32WindowSystem& system_;
    HWND hwnd_ = nullptr;
    HMENU menuBar_ = nullptr;
    std::map<std::string, HMENU> menus_;
    HFONT font_ = nullptr;
    HWND focus_ = nullptr;
    bool laidOut_ = false;
    UINT placedDpi_ = 0;  // the DPI the controls are placed for
    int clientWidth_;
    int clientHeight_;
    std::vector<Child> children_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::map<int, CommandTarget*> targets_;
    Handler closeBox_;
};

class Win32WindowSystem final : public WindowSystem {
public:
    explicit Win32WindowSystem(HINSTANCE instance, FindFunction find = &FindInSystem);

    std::unique_ptr<Window> CreateTopLevel(const std::string& name, int clientWidth,
                                           int clientHeight) override;
    void MsgBox(const std::string& prompt, int style, const std::string& title) override;
    void EndProgram(int exitCode) override;

    // The message loop; returns the exit code given to EndProgram.
    int Run();

    [[nodiscard]] HINSTANCE Instance() const { return instance_; }
    [[nodiscard]] const NewerFunctions& Newer() const { return newer_; }
    [[nodiscard]] UINT DpiOf(HWND hwnd) const;
    // The window whose handler is running, which owns any message box.
    void SetCurrent(HWND hwnd) { current_ = hwnd; }
    [[nodiscard]] HWND Current() const { return current_; }
    void Forget(HWND hwnd);

private:
    HINSTANCE instance_;
    NewerFunctions newer_;
    HICON icon_ = nullptr;       // the program's icon, for every window class
    HICON smallIcon_ = nullptr;
    std::set<std::string> classes_;
    std::vector<HWND> windows_;
    HWND current_ = nullptr;
};

}  // namespace quillon::ui::win32
