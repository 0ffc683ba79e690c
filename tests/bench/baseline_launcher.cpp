// The least a start program does: start the baseline tray program from the
// current directory and end without waiting. The benchmark's yardstick for the Loader.
#include <windows.h>

#include "bench_protocol.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    WCHAR commandLine[] = L"bench_baseline_tray";
    // The same creation flags as the Loader's start of the Host.
    if (!CreateProcessW(BASELINE_TRAY_EXE, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return 3;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}
