#pragma once
// Ctrl+C and Ctrl+Break while the probe runs: they stop it rather than the
// program, and every wait of the probe looks for them.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <atomic>

namespace quillon::net {

class CtrlC {
public:
    CtrlC() = default;
    CtrlC(const CtrlC&) = delete;
    CtrlC& operator=(const CtrlC&) = delete;
    ~CtrlC();

    // From now on until this object goes, Ctrl+C and Ctrl+Break are caught.
    void Catch();
    // Whether the user pressed either.
    [[nodiscard]] static bool Pressed() { return pressed_.load(); }
    // Waits `milliseconds`, or less where the user presses either.
    static void Pause(unsigned milliseconds);

    // How often a wait looks for them.
    static constexpr unsigned kSliceMs = 100;

private:
    static BOOL WINAPI OnControl(DWORD event);

    // They arrive on a thread of their own, with no way to name the object
    // they are for: the one flag is the class's.
    static std::atomic<bool> pressed_;
    bool caught_ = false;
};

}  // namespace quillon::net
