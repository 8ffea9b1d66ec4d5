// The program's entry point: real windows over the real registry.

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "registry/Registry.h"
#include "registry/Win32Registry.h"
#include "ui/Program.h"
#include "ui/win32/Win32Ui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    quillon::reg::Win32Registry platform;
    quillon::reg::Registry registry(platform);
    quillon::ui::win32::Win32WindowSystem windows(instance);
    quillon::ui::Program program(registry, windows);
    program.Start();
    return windows.Run();
}
