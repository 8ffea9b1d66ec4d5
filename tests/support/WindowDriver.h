#pragma once
// Driving the program's windows from another process, as any automation tool
// would: finding windows by class, reading and setting text by message,
// typing one character at a time, clicking, opening menus with the keyboard,
// reading and closing message boxes, and saving what the screen shows. The
// end-to-end tests, the compatibility matrix, the demo and the bench drive
// the programs through it.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ui/ControlIds.h"

namespace quillon::test {

using namespace std::chrono_literals;

inline constexpr int kMessageText = 0xFFFF;
inline constexpr auto kPatience = 15s;

inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds patience = kPatience,
                      std::chrono::milliseconds step = 50ms) {
    const auto end = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(step);
    }
    return condition();
}

inline std::string ClassOf(HWND hwnd) {
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// The text of a control or window of another process, asked for by message.
inline std::string TextOf(HWND hwnd) {
    char text[512] = {};
    SendMessageA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

inline POINT Centre(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// Saves a rectangle of the screen as a 24-bit BMP.
inline bool SaveScreen(const RECT& rect, const std::string& file) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto headers = static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER));
    const DWORD imageSize = static_cast<DWORD>((width * 3 + 3) & ~3) * static_cast<DWORD>(height);
    const BITMAPFILEHEADER fileHeader{0x4D42, headers + imageSize, 0, 0, headers};
    bool saved = false;
    const HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE && bits != nullptr) {
        DWORD written = 0;
        saved = WriteFile(out, &fileHeader, sizeof fileHeader, &written, nullptr) &&
                WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                WriteFile(out, bits, imageSize, &written, nullptr);
    }
    if (out != INVALID_HANDLE_VALUE) {
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

struct Shown {
    std::string title;
    std::string text;
};

// The file of that name in the driver's own folder.
inline std::string BesideDriver(const std::string& name) {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

// A program of the release that a driver runs: the file named by the
// environment variable (as ctest sets it), else the file beside the driver.
inline std::string ReleaseProgram(const char* variable = "QUILLON_PROGRAM", const char* name = "quillon-mtu.exe") {
    char value[MAX_PATH] = {};
    if (GetEnvironmentVariableA(variable, value, MAX_PATH) > 0) {
        return value;
    }
    return BesideDriver(name);
}

// A window program started by the driver, ended on destruction if it still
// runs. By default the constructor returns once the program waits for input;
// `atOnce` returns as soon as the process is made, for a driver that times
// the start.
class RunningTool {
public:
    explicit RunningTool(const std::string& exe = ReleaseProgram(), bool atOnce = false) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string commandLine = "\"" + exe + "\"";
        started_ = CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
        if (started_ && !atOnce) {
            WaitForInputIdle(process_.hProcess, 10000);
        }
    }
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;
    ~RunningTool() {
        if (started_) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, 5000);
            }
            CloseHandle(process_.hThread);
            CloseHandle(process_.hProcess);
        }
    }

    [[nodiscard]] bool Started() const { return started_; }
    [[nodiscard]] HANDLE Process() const { return process_.hProcess; }

    // The process's top-level windows of a class, visible or not.
    std::vector<HWND> TopLevel(const std::string& className) const {
        Search search{process_.dwProcessId, className, {}};
        EnumWindows(&Collect, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The first of them, or none.
    HWND Window(const std::string& className) const {
        const auto found = TopLevel(className);
        return found.empty() ? nullptr : found.front();
    }

    HWND Form(const char* name) const { return Window(std::string("QuillonMtu.") + name); }

    HWND WaitForVisible(const char* name) const {
        HWND form = nullptr;
        WaitUntil([&] {
            form = Form(name);
            return form != nullptr && IsWindowVisible(form);
        });
        return form;
    }

    HWND MessageBoxWindow() const {
        for (const HWND box : TopLevel("#32770")) {
            if (IsWindowVisible(box)) {
                return box;
            }
        }
        return nullptr;
    }

    // Waits for a message box, reads it and closes it with its OK button.
    std::optional<Shown> TakeMessage(const std::function<void(HWND)>& whileOpen = {}) const {
        HWND box = nullptr;
        if (!WaitUntil([&] { return (box = MessageBoxWindow()) != nullptr; })) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(200ms);
        Shown shown{TextOf(box), TextOf(GetDlgItem(box, kMessageText))};
        if (whileOpen) {
            whileOpen(box);
        }
        PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
        return shown;
    }

    std::optional<DWORD> WaitForExit(DWORD patienceMs = 15000) const {
        if (WaitForSingleObject(process_.hProcess, patienceMs) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }

private:
    struct Search {
        DWORD pid;
        std::string className;
        std::vector<HWND> found;
    };
    static BOOL CALLBACK Collect(HWND hwnd, LPARAM data) {
        auto& s = *reinterpret_cast<Search*>(data);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s.pid && ClassOf(hwnd) == s.className) {
            s.found.push_back(hwnd);
        }
        return TRUE;
    }

    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// A user at one settings window.
struct User {
    HWND form;
    [[nodiscard]] HWND Box() const { return GetDlgItem(form, ui::kIdMtuBox); }
    [[nodiscard]] HWND Apply() const { return GetDlgItem(form, ui::kIdApply); }
    [[nodiscard]] HWND Remove() const { return GetDlgItem(form, ui::kIdRemove); }
    [[nodiscard]] std::string Text() const { return TextOf(Box()); }
    [[nodiscard]] bool ApplyEnabled() const { return IsWindowEnabled(Apply()) != FALSE; }
    [[nodiscard]] bool RemoveEnabled() const { return IsWindowEnabled(Remove()) != FALSE; }
    [[nodiscard]] bool BothEnabled() const { return ApplyEnabled() && RemoveEnabled(); }
    [[nodiscard]] bool BothDisabled() const { return !ApplyEnabled() && !RemoveEnabled(); }

    void Type(const std::string& keys) const {
        for (const char c : keys) {
            SendMessageA(Box(), WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
        }
    }
    // Selects the whole text and deletes it, as a user does.
    void Clear() const {
        SendMessageA(Box(), EM_SETSEL, 0, -1);
        SendMessageA(Box(), WM_CHAR, VK_BACK, 1);
    }
    void Retype(const std::string& keys) const {
        Clear();
        Type(keys);
    }
    void Click(HWND button) const { PostMessageA(button, BM_CLICK, 0, 0); }
    // Alt+F, then the item's access key.
    void Choose(char accessKey) const {
        OpenFileMenu();
        Press(accessKey);
    }
    void OpenFileMenu() const {
        PostMessageA(form, WM_SYSCOMMAND, SC_KEYMENU, 'f');
        std::this_thread::sleep_for(300ms);
    }
    void Press(char key) const { PostMessageA(form, WM_CHAR, static_cast<WPARAM>(key), 1); }
    void CloseBox() const { PostMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0); }

    // Saves what the window shows on the screen as a 24-bit BMP.
    void Screenshot(const std::string& file) const {
        SetForegroundWindow(form);
        RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        std::this_thread::sleep_for(500ms);
        RECT rect{};
        GetWindowRect(form, &rect);
        SaveScreen(rect, file);
    }
};

}  // namespace quillon::test
