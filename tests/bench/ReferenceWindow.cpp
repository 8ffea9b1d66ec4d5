// The reference for start-up and memory: a window that looks like the NT
// settings window and makes the platform load what it loads (the same
// manifest with visual styles and DPI awareness, the same window class, menu,
// group box, buttons, edit box and label at the same places, the same
// message font and icon), with nothing of the program's own: no registry, no
// operations. It puts "0" into its box once shown, as the program's start-up
// retrieve does on a machine with no MTU.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>

namespace {

constexpr int kTwipsPerInch = 1440;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kIcon = 1;
constexpr int kIdRetrieve = 2001;
constexpr int kIdExit = 2002;

struct Control {
    const char* className;
    DWORD style;
    DWORD exStyle;
    const char* caption;
    int id;
    int left, top, width, height;  // twips, in the client area
};

// The settings window's controls in tab order: frame, Apply, box, label, Remove.
constexpr Control kControls[] = {
    {"BUTTON", BS_GROUPBOX, 0, "", 1000, 120, 0, 4335, 2175},
    {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, "Apply", 1001, 600, 1560, 1455, 375},
    {"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, "", 1002, 2040, 840, 615, 285},
    {"STATIC", SS_LEFT, 0, "MTU", 1003, 1560, 840, 495, 255},
    {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0, "Remove", 1004, 2400, 1560, 1455, 375},
};

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if ((message == WM_COMMAND && LOWORD(wParam) == kIdExit) || message == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Procedure;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIcon), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(kIcon), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "QuillonBench.Reference";
    RegisterClassExA(&wc);

    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    const HFONT font = CreateFontIndirectA(&metrics.lfMessageFont);

    const HMENU bar = CreateMenu();
    const HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kIdRetrieve, "Retrieve &MTU");
    AppendMenuA(file, MF_STRING, kIdExit, "E&xit");
    AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(file), "&File");
    RECT rect{0, 0, MulDiv(4575, dpi, kTwipsPerInch), MulDiv(2265, dpi, kTwipsPerInch)};
    AdjustWindowRectEx(&rect, kStyle, TRUE, kExStyle);
    const HWND window = CreateWindowExA(kExStyle, "QuillonBench.Reference", "Reference window", kStyle,
                                        CW_USEDEFAULT, CW_USEDEFAULT, rect.right - rect.left,
                                        rect.bottom - rect.top, nullptr, bar, instance, nullptr);
    HWND box = nullptr;
    for (const Control& c : kControls) {
        const HWND child = CreateWindowExA(
            c.exStyle, c.className, c.caption, WS_CHILD | WS_VISIBLE | c.style, MulDiv(c.left, dpi, kTwipsPerInch),
            MulDiv(c.top, dpi, kTwipsPerInch), MulDiv(c.width, dpi, kTwipsPerInch),
            MulDiv(c.height, dpi, kTwipsPerInch), window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
            instance, nullptr);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.id == 1002) {
            box = child;
            SendMessageA(box, EM_SETLIMITTEXT, 4, 0);
        }
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetWindowTextA(window, "Reference window (Microsoft Windows 10)");
    SetWindowTextA(box, "0");

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageA(window, &message) != FALSE) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DeleteObject(font);
    return static_cast<int>(message.wParam);
}
