// What scripts/run does when there is no display: starts the program on the
// virtual display, waits for its windows, saves what they show, and ends it
// through File > Exit.
//   quillon_demo.exe SHOT.bmp

#include <cstdio>

#include "tests/support/WindowDriver.h"

int main(int argc, char** argv) {
    using namespace quillon::test;
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillon_demo.exe SHOT.bmp\n");
        return 2;
    }
    RunningTool tool;
    if (!tool.Started()) {
        std::fprintf(stderr, "quillon-mtu.exe did not start\n");
        return 1;
    }
    std::vector<HWND> shown;
    WaitUntil([&] {
        shown.clear();
        for (const char* name : {"Form1", "Form2"}) {
            if (const HWND form = tool.Form(name); form != nullptr && IsWindowVisible(form)) {
                shown.push_back(form);
            }
        }
        return !shown.empty() || tool.MessageBoxWindow() != nullptr;
    });
    // Give the start-up retrieve a moment to fill the box, then take the
    // picture of every window that shows.
    std::this_thread::sleep_for(700ms);
    RECT all{};
    for (const HWND form : shown) {
        RedrawWindow(form, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        RECT r{};
        GetWindowRect(form, &r);
        UnionRect(&all, &all, &r);
    }
    if (const HWND box = tool.MessageBoxWindow(); box != nullptr) {
        RECT r{};
        GetWindowRect(box, &r);
        UnionRect(&all, &all, &r);
    }
    std::this_thread::sleep_for(300ms);
    if (IsRectEmpty(&all) || !SaveScreen(all, argv[1])) {
        std::fprintf(stderr, "no window to take a picture of\n");
        return 1;
    }
    if (shown.empty()) {
        const auto message = tool.TakeMessage();
        std::printf("the tool said: %s\n", message ? message->text.c_str() : "(nothing)");
    } else {
        User{shown.front()}.Choose('x');
    }
    const auto code = tool.WaitForExit();
    std::printf("quillon-mtu.exe ended with exit code %lu\n", code ? *code : 99UL);
    return code.has_value() ? 0 : 1;
}
