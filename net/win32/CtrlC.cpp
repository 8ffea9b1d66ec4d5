#include "net/win32/CtrlC.h"

#include <algorithm>

namespace quillon::net {

std::atomic<bool> CtrlC::pressed_{false};

CtrlC::~CtrlC() {
    if (caught_) {
        SetConsoleCtrlHandler(&OnControl, FALSE);
    }
}

void CtrlC::Catch() { caught_ = SetConsoleCtrlHandler(&OnControl, TRUE) != FALSE; }

BOOL WINAPI CtrlC::OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        pressed_.store(true);
        return TRUE;
    }
    return FALSE;
}

void CtrlC::Pause(unsigned milliseconds) {
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < milliseconds && !Pressed(); elapsed = GetTickCount() - start) {
        Sleep(std::min<DWORD>(milliseconds - elapsed, kSliceMs));
    }
}

}  // namespace quillon::net
