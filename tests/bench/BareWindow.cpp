// The floor for start-up: a bare Win32 program from the same toolchain that
// only opens an empty window with the settings windows' client size.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr int kClientWidthTwips = 4575;
constexpr int kClientHeightTwips = 2265;
constexpr int kTwipsPerInch = 1440;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Procedure;
    wc.hInstance = instance;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = "QuillonBench.Bare";
    RegisterClassA(&wc);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    RECT rect{0, 0, MulDiv(kClientWidthTwips, dpi, kTwipsPerInch),
              MulDiv(kClientHeightTwips, dpi, kTwipsPerInch)};
    AdjustWindowRect(&rect, kStyle, FALSE);
    const HWND window =
        CreateWindowA("QuillonBench.Bare", "Bare window", kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
