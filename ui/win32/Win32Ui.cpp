#include "ui/win32/Win32Ui.h"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>

#include "ui/win32/Resources.h"

namespace quillon::ui::win32 {

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr UINT kDefaultDpi = 96;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;
// How far each further window opens from the one before, in twips.
constexpr int kCascadeTwips = 450;
constexpr char kCentredProperty[] = "Quillon.Centred";
constexpr char kMessageBoxClass[] = "#32770";
#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

template <typename Function>
void Resolve(FindFunction find, const char* dll, const char* name, Function& function) {
    const FARPROC found = find(dll, name);
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

UINT SystemDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : static_cast<int>(kDefaultDpi);
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

int Pixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), kTwipsPerInch); }

RECT WindowRectForClient(const NewerFunctions& newer, int width, int height, bool menu, UINT dpi) {
    RECT rect{0, 0, width, height};
    if (const auto adjust = newer.adjustWindowRectExForDpi; adjust != nullptr) {
        adjust(&rect, kWindowStyle, menu ? TRUE : FALSE, kWindowExStyle, dpi);
    } else {
        AdjustWindowRectEx(&rect, kWindowStyle, menu ? TRUE : FALSE, kWindowExStyle);
    }
    return rect;
}

// The system's message font at the given DPI.
HFONT MessageFont(const NewerFunctions& newer, UINT dpi) {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = NonClientMetricsSize(GetVersion());
    const auto forDpi = newer.systemParametersInfoForDpi;
    LOGFONTA font{};
    if (forDpi != nullptr) {
        // The wide form is the only one there is; the face name is ASCII.
        NONCLIENTMETRICSW wide{};
        wide.cbSize = sizeof wide;
        if (forDpi(SPI_GETNONCLIENTMETRICS, sizeof wide, &wide, 0, dpi) != FALSE) {
            const LOGFONTW& w = wide.lfMessageFont;
            font.lfHeight = w.lfHeight;
            font.lfWeight = w.lfWeight;
            font.lfCharSet = DEFAULT_CHARSET;
            font.lfQuality = w.lfQuality;
            WideCharToMultiByte(CP_ACP, 0, w.lfFaceName, -1, font.lfFaceName, LF_FACESIZE, nullptr, nullptr);
            return CreateFontIndirectA(&font);
        }
    }
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0) != FALSE) {
        font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
        return CreateFontIndirectA(&font);
    }
    return nullptr;
}

// Puts each message box in the middle of the window that opened it.
LRESULT CALLBACK CentreMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    const auto box = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    const bool isBox = (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) &&
                       GetClassNameA(box, className, sizeof className) > 0 &&
                       lstrcmpA(className, kMessageBoxClass) == 0;
    if (isBox && code == HCBT_DESTROYWND) {
        RemovePropA(box, kCentredProperty);
    } else if (isBox && GetPropA(box, kCentredProperty) == nullptr) {
        const HWND owner = GetWindow(box, GW_OWNER);
        RECT ownerRect{};
        RECT boxRect{};
        if (owner != nullptr && IsWindowVisible(owner) != FALSE &&
            GetWindowRect(owner, &ownerRect) != FALSE && GetWindowRect(box, &boxRect) != FALSE) {
            const int width = boxRect.right - boxRect.left;
            const int height = boxRect.bottom - boxRect.top;
            const int left = (ownerRect.left + ownerRect.right - width) / 2;
            const int top = (ownerRect.top + ownerRect.bottom - height) / 2;
            SetWindowPos(box, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        SetPropA(box, kCentredProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

FARPROC FindInSystem(const char* dll, const char* name) {
    const HMODULE module = GetModuleHandleA(dll);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

NewerFunctions NewerFunctions::Find(FindFunction find) {
    NewerFunctions newer;
    Resolve(find, "user32.dll", "GetDpiForWindow", newer.getDpiForWindow);
    Resolve(find, "user32.dll", "AdjustWindowRectExForDpi", newer.adjustWindowRectExForDpi);
    Resolve(find, "user32.dll", "SystemParametersInfoForDpi", newer.systemParametersInfoForDpi);
    Resolve(find, "comctl32.dll", "InitCommonControlsEx", newer.initCommonControlsEx);
    return newer;
}

UINT NonClientMetricsSize(DWORD version) {
    constexpr DWORD kVista = 6;
    const DWORD major = LOBYTE(LOWORD(version));
    const bool nt = (version & 0x80000000U) == 0;
    return nt && major >= kVista ? sizeof(NONCLIENTMETRICSA)
                                 : static_cast<UINT>(offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth));
}

HWND TopLevelOf(HWND hwnd) {
    while (hwnd != nullptr && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) != 0) {
        hwnd = GetParent(hwnd);
    }
    return hwnd;
}

namespace {

// ---- controls ----

class Win32Frame final : public Frame {
public:
    Win32Frame(HWND hwnd, const TwipsRect& bounds) : hwnd_(hwnd), bounds_(bounds) {}
    [[nodiscard]] TwipsRect Bounds() const override { return bounds_; }
    [[nodiscard]] HWND Hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
    TwipsRect bounds_;
};

class Win32Label final : public Label {
public:
    explicit Win32Label(HWND hwnd) : hwnd_(hwnd) {}
    void SetCaption(const std::string& caption) override { SetWindowTextA(hwnd_, caption.c_str()); }

private:
    HWND hwnd_;
};

class Win32Button final : public Button, public CommandTarget {
public:
    explicit Win32Button(HWND hwnd) : hwnd_(hwnd) {}
    void SetCaption(const std::string& caption) override { SetWindowTextA(hwnd_, caption.c_str()); }
    void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
    [[nodiscard]] bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
    void OnClick(Handler handler) override { click_ = std::move(handler); }
    void Command(WORD code) override {
        // A disabled button is never clicked, whatever message arrives.
        if (code == BN_CLICKED && Enabled() && click_) {
            click_();
        }
    }

private:
    HWND hwnd_;
    Handler click_;
};

class Win32TextBox final : public TextBox, public CommandTarget {
public:
    explicit Win32TextBox(HWND hwnd) : hwnd_(hwnd) {}
    void SetMaxLength(int characters) override {
        SendMessageA(hwnd_, EM_SETLIMITTEXT, static_cast<WPARAM>(characters), 0);
    }
    [[nodiscard]] std::string Text() const override {
        const int length = GetWindowTextLengthA(hwnd_);
        std::string text(static_cast<std::size_t>(length) + 1, '\0');
        const int copied = GetWindowTextA(hwnd_, text.data(), length + 1);
        text.resize(static_cast<std::size_t>((std::max)(copied, 0)));  // not the max macro of <windows.h>
        return text;
    }
    // The edit control sends EN_CHANGE to the window before this returns.
    void SetText(const std::string& text) override { SetWindowTextA(hwnd_, text.c_str()); }
    void OnChange(Handler handler) override { change_ = std::move(handler); }
    void Command(WORD code) override {
        if (code == EN_CHANGE && change_) {
            change_();
        }
    }

private:
    HWND hwnd_;
    Handler change_;
};

class Win32MenuItem final : public MenuItem, public CommandTarget {
public:
    void OnClick(Handler handler) override { click_ = std::move(handler); }
    void Command(WORD) override {
        if (click_) {
            click_();
        }
    }

private:
    Handler click_;
};

}  // namespace

// ---- window ----

Win32Window::Win32Window(Win32WindowSystem& system, const std::string& className, int clientWidth,
                         int clientHeight, const POINT* position)
    : system_(system), clientWidth_(clientWidth), clientHeight_(clientHeight) {
    const int left = position != nullptr ? position->x : CW_USEDEFAULT;
    const int top = position != nullptr ? position->y : CW_USEDEFAULT;
    // Made with its menu bar and sized for the system's DPI; Show() fits it to
    // the window's own DPI where that differs. Every resize of a top-level
    // window is a round trip to the display, so the controls are placed as
    // they are made and the window is resized only when it must be.
    const UINT dpi = system_.DpiOf(nullptr);
    const RECT outer =
        WindowRectForClient(system_.Newer(), Pixels(clientWidth_, dpi), Pixels(clientHeight_, dpi), true, dpi);
    menuBar_ = CreateMenu();
    CreateWindowExA(kWindowExStyle, className.c_str(), "", kWindowStyle, left, top, outer.right - outer.left,
                    outer.bottom - outer.top, nullptr, menuBar_, system_.Instance(), this);
    if (hwnd_ == nullptr && menuBar_ != nullptr) {
        DestroyMenu(menuBar_);
        menuBar_ = nullptr;
    }
    placedDpi_ = system_.DpiOf(hwnd_);
    UpdateFont();
}

Win32Window::~Win32Window() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->system_.Forget(hwnd);
        self->hwnd_ = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT Win32Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const auto it = targets_.find(LOWORD(wParam));
            if (it != targets_.end()) {
                // Any message box the handler shows belongs to this window.
                const HWND previous = system_.Current();
                system_.SetCurrent(hwnd_);
                it->second->Command(lParam != 0 ? HIWORD(wParam) : static_cast<WORD>(0));
                system_.SetCurrent(previous);
            }
            return 0;
        }
        case WM_CLOSE:
            if (closeBox_) {
                closeBox_();
            } else {
                Close();
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                focus_ = IsChild(hwnd_, focus) != FALSE ? focus : nullptr;
            } else {
                const HWND target = (focus_ != nullptr && IsWindowEnabled(focus_) != FALSE)
                                        ? focus_
                                        : GetNextDlgTabItem(hwnd_, nullptr, FALSE);
                if (target != nullptr) {
                    SetFocus(target);
                }
            }
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            UpdateFont();
            Layout();
            return 0;
        }
        default:
            return DefWindowProcA(hwnd_, message, wParam, lParam);
    }
}

HWND Win32Window::AddChild(const char* className, DWORD style, DWORD exStyle, const Frame* parent,
                           const TwipsRect& bounds, int id) {
    TwipsRect placed = bounds;
    if (parent != nullptr) {
        placed.left += parent->Bounds().left;
        placed.top += parent->Bounds().top;
    }
    const UINT dpi = system_.DpiOf(hwnd_);
    const HWND child = CreateWindowExA(exStyle, className, "", WS_CHILD | WS_VISIBLE | style,
                                       Pixels(placed.left, dpi), Pixels(placed.top, dpi), Pixels(placed.width, dpi),
                                       Pixels(placed.height, dpi), hwnd_,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), system_.Instance(), nullptr);
    children_.push_back(Child{child, placed});
    if (font_ != nullptr) {
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    }
    laidOut_ = false;
    return child;
}

Frame& Win32Window::AddFrame(const TwipsRect& bounds) {
    const HWND hwnd = AddChild("BUTTON", BS_GROUPBOX, 0, nullptr, bounds, -1);
    auto frame = std::make_unique<Win32Frame>(hwnd, bounds);
    Frame& ref = *frame;
    controls_.push_back(std::move(frame));
    return ref;
}

Button& Win32Window::AddButton(Frame& parent, const TwipsRect& bounds, int id) {
    auto button =
        std::make_unique<Win32Button>(AddChild("BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, &parent, bounds, id));
    Win32Button& ref = *button;
    targets_[id] = button.get();
    controls_.push_back(std::move(button));
    return ref;
}

TextBox& Win32Window::AddTextBox(Frame& parent, const TwipsRect& bounds, int id) {
    auto box = std::make_unique<Win32TextBox>(
        AddChild("EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, &parent, bounds, id));
    Win32TextBox& ref = *box;
    targets_[id] = box.get();
    controls_.push_back(std::move(box));
    return ref;
}

Label& Win32Window::AddLabel(Frame& parent, const TwipsRect& bounds, int id) {
    auto label = std::make_unique<Win32Label>(AddChild("STATIC", SS_LEFT, 0, &parent, bounds, id));
    Label& ref = *label;
    controls_.push_back(std::move(label));
    return ref;
}

MenuItem& Win32Window::AddMenuItem(const std::string& menuCaption, const std::string& itemCaption, int id) {
    HMENU& popup = menus_[menuCaption];
    if (popup == nullptr) {
        popup = CreatePopupMenu();
        AppendMenuA(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), menuCaption.c_str());
    }
    AppendMenuA(popup, MF_STRING, static_cast<UINT_PTR>(id), itemCaption.c_str());
    auto item = std::make_unique<Win32MenuItem>();
    Win32MenuItem& ref = *item;
    targets_[id] = item.get();
    controls_.push_back(std::move(item));
    laidOut_ = false;
    return ref;
}

void Win32Window::UpdateFont() {
    const HFONT old = font_;
    font_ = MessageFont(system_.Newer(), system_.DpiOf(hwnd_));
    for (const Child& child : children_) {
        SendMessageA(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    }
    if (old != nullptr) {
        DeleteObject(old);
    }
}

void Win32Window::Layout() {
    if (hwnd_ == nullptr) {
        return;
    }
    laidOut_ = true;
    const UINT dpi = system_.DpiOf(hwnd_);
    if (dpi != placedDpi_) {
        placedDpi_ = dpi;
        for (const Child& child : children_) {
            SetWindowPos(child.hwnd, nullptr, Pixels(child.bounds.left, dpi), Pixels(child.bounds.top, dpi),
                         Pixels(child.bounds.width, dpi), Pixels(child.bounds.height, dpi),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    // The frame was made first, for the tab order; it is drawn beneath the
    // controls it holds.
    if (!children_.empty()) {
        SetWindowPos(children_.front().hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // The menu bar's height counts once its items are in; then the client
    // area is held to its size, which also covers a menu bar that wraps.
    DrawMenuBar(hwnd_);
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int wider = Pixels(clientWidth_, dpi) - (client.right - client.left);
    const int taller = Pixels(clientHeight_, dpi) - (client.bottom - client.top);
    if (wider != 0 || taller != 0) {
        RECT outer{};
        GetWindowRect(hwnd_, &outer);
        SetWindowPos(hwnd_, nullptr, 0, 0, outer.right - outer.left + wider, outer.bottom - outer.top + taller,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32Window::Hide() {
    if (hwnd_ != nullptr) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void Win32Window::Show() {
    if (hwnd_ != nullptr) {
        if (!laidOut_) {
            Layout();
        }
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
    }
}

void Win32Window::SetCaption(const std::string& caption) {
    if (hwnd_ != nullptr) {
        SetWindowTextA(hwnd_, caption.c_str());
    }
}

void Win32Window::Close() {
    if (hwnd_ != nullptr) {
        DestroyWindow(hwnd_);
    }
}

// ---- window system ----

Win32WindowSystem::Win32WindowSystem(HINSTANCE instance, FindFunction find)
    : instance_(instance), newer_(NewerFunctions::Find(find)) {
    if (newer_.initCommonControlsEx != nullptr) {
        const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
        newer_.initCommonControlsEx(&controls);
    } else {
        InitCommonControls();
    }
}

UINT Win32WindowSystem::DpiOf(HWND hwnd) const {
    if (newer_.getDpiForWindow != nullptr && hwnd != nullptr) {
        if (const UINT dpi = newer_.getDpiForWindow(hwnd); dpi != 0) {
            return dpi;
        }
    }
    return SystemDpi();
}

std::unique_ptr<Window> Win32WindowSystem::CreateTopLevel(const std::string& name, int clientWidth,
                                                          int clientHeight) {
    const std::string className = "QuillonMtu." + name;
    if (classes_.count(className) == 0) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &Win32Window::WindowProc;
        wc.hInstance = instance_;
        if (icon_ == nullptr) {
            icon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(kIdIcon), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
            smallIcon_ =
                static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(kIdIcon), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        }
        wc.hIcon = icon_;
        wc.hIconSm = smallIcon_;
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
        wc.lpszClassName = className.c_str();
        RegisterClassExA(&wc);
        classes_.insert(className);
    }
    // Each further window opens down and to the right of the one before, so
    // that both can be seen when both show.
    POINT position{};
    const POINT* where = nullptr;
    if (!windows_.empty()) {
        RECT previous{};
        GetWindowRect(windows_.back(), &previous);
        const int step = Pixels(kCascadeTwips, DpiOf(windows_.back()));
        position = POINT{previous.left + step, previous.top + step};
        where = &position;
    }
    auto window = std::make_unique<Win32Window>(*this, className, clientWidth, clientHeight, where);
    if (window->Hwnd() != nullptr) {
        windows_.push_back(window->Hwnd());
    }
    return window;
}

void Win32WindowSystem::Forget(HWND hwnd) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), hwnd), windows_.end());
    if (current_ == hwnd) {
        current_ = nullptr;
    }
}

void Win32WindowSystem::MsgBox(const std::string& prompt, int style, const std::string& title) {
    HWND owner = current_;
    if (owner == nullptr) {
        const auto visible = std::find_if(windows_.begin(), windows_.end(),
                                          [](HWND w) { return IsWindowVisible(w) != FALSE; });
        owner = visible != windows_.end() ? *visible : nullptr;
    }
    // The box disables its owner; no other window of the program may take
    // input while it is open either.
    std::vector<HWND> disabled;
    for (const HWND window : windows_) {
        if (window != owner && IsWindowEnabled(window) != FALSE) {
            EnableWindow(window, FALSE);
            disabled.push_back(window);
        }
    }
    const HHOOK hook = SetWindowsHookExA(WH_CBT, &CentreMessageBox, nullptr, GetCurrentThreadId());
    MessageBoxA(owner, prompt.c_str(), title.c_str(), static_cast<UINT>(style) | MB_OK);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    for (const HWND window : disabled) {
        EnableWindow(window, TRUE);
    }
}

void Win32WindowSystem::EndProgram(int exitCode) { PostQuitMessage(exitCode); }

int Win32WindowSystem::Run() {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // Tab, the arrow keys and access keys in whichever window has the
        // message.
        const HWND root = TopLevelOf(message.hwnd);
        if (root != nullptr && std::find(windows_.begin(), windows_.end(), root) != windows_.end() &&
            IsDialogMessageA(root, &message) != FALSE) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace quillon::ui::win32
