#include "tray_timing.h"

#include <vector>

#include "bench_protocol.h"
#include "host/host_resources.h"
#include "test_support.h"

namespace bench {

namespace {

// The Host's family mutex, as host_main.cpp names it.
const wchar_t kHostMutex[] = L"Quornel_widget_mono";

} // namespace

// The Host and the floor tray get the command line the Loader would give the Host
// for an empty tail.
const TrayProgram kHostDirect = { L"host", L"tessmark_quornel.exe", L"football ", L"tray_wnd", qt::kTrayTitle,
                                  IDM_EXIT, kHostMutex };
const TrayProgram kWidgetDirect = { L"widget", L"tessmark_quornel.exe", L"football ", L"tray_wnd", qt::kTrayTitle,
                                    IDM_EXIT, kHostMutex };
const TrayProgram kBaselineDirect = { L"bare", BASELINE_TRAY_EXE, L"bench_baseline_tray", BASELINE_TRAY_CLASS,
                                      BASELINE_TRAY_TITLE, BASELINE_EXIT_COMMAND, nullptr };
const TrayProgram kFloorDirect = { L"floor", FLOOR_TRAY_EXE, L"football ", FLOOR_TRAY_CLASS, FLOOR_TRAY_TITLE,
                                   BASELINE_EXIT_COMMAND, FLOOR_TRAY_MUTEX };
const TrayProgram kHostViaLoader = { L"loader", L"tessmark_quornel_loader.exe", L"tessmark_quornel_loader",
                                     L"tray_wnd", qt::kTrayTitle, IDM_EXIT, kHostMutex };
const TrayProgram kBaselineViaLauncher = { L"bare-ldr", BASELINE_LAUNCHER_EXE, L"bench_baseline_launcher",
                                           BASELINE_TRAY_CLASS, BASELINE_TRAY_TITLE, BASELINE_EXIT_COMMAND, nullptr };
const TrayProgram kFloorViaLauncher = { L"floor-ldr", FLOOR_LAUNCHER_EXE, L"bench_floor_launcher", L"tray_wnd",
                                        qt::kTrayTitle, IDM_EXIT, kHostMutex };

double CounterToMs(LONGLONG counter)
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return CounterToMs(counter.QuadPart);
}

namespace {

bool CopyFromBin(const std::wstring& dir, const wchar_t* name)
{
    return CopyFileW(qt::BinPath(name).c_str(), (dir + L"\\" + name).c_str(), FALSE) != FALSE;
}

// Waits for the end and closes the handle; a process still running after `ms` is
// ended by force. True when it ended in time with exit code 0.
bool WaitProcessEnd(HANDLE& process, DWORD ms)
{
    if (!process)
        return true;
    DWORD code = 1;
    bool ended = WaitForSingleObject(process, ms) == WAIT_OBJECT_0;
    if (ended)
        GetExitCodeProcess(process, &code);
    else
        TerminateProcess(process, 99);
    CloseHandle(process);
    process = nullptr;
    return ended && code == 0;
}

} // namespace

std::wstring InstallFolder()
{
    return qt::BinDir() + L"\\testwork\\bench";
}

bool PrepareInstallFolder(std::wstring* dir)
{
    *dir = qt::MakeWorkDir(L"bench");
    qt::MakeInstallFolder(*dir);
    bool ok = qt::FileExists(*dir + L"\\tessmark_quornel.exe") && qt::FileExists(*dir + L"\\base.dll") &&
              qt::FileExists(*dir + L"\\images\\tray.ico");
    ok = CopyFromBin(*dir, BASELINE_TRAY_EXE) && ok;
    ok = CopyFromBin(*dir, BASELINE_LAUNCHER_EXE) && ok;
    ok = CopyFromBin(*dir, FLOOR_TRAY_EXE) && ok;
    ok = CopyFromBin(*dir, FLOOR_LAUNCHER_EXE) && ok;
    return CopyFromBin(*dir, L"tessmark_quornel_loader.exe") && ok;
}

bool PrepareWidgetFolder(std::wstring* dir)
{
    *dir = qt::MakeWorkDir(L"bench_widget");
    bool ok = CopyFromBin(*dir, L"tessmark_quornel.exe") && CopyFromBin(*dir, L"base.dll");
    qt::CopyImages(*dir);
    return ok && qt::FileExists(*dir + L"\\images\\tray.ico");
}

std::wstring FolderOf(const TrayProgram& program)
{
    return &program == &kWidgetDirect ? qt::BinDir() + L"\\testwork\\bench_widget" : InstallFolder();
}

HANDLE OpenWindowProcess(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)
                     : nullptr;
}

bool WaitReady(const TrayProgram& program, DWORD ms, HWND* window)
{
    DWORD start = GetTickCount();
    HWND found = nullptr;
    for (;;) {
        DWORD spent = GetTickCount() - start;
        if (spent > ms)
            return false;
        if (!found)
            found = FindWindowW(program.trayClass, program.trayTitle);
        if (found && qt::TrayIconPresent(found)) {
            // Returns as soon as the window's thread takes sent messages: polling
            // would add its own interval to the measure.
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_NORMAL, ms - spent, &answer))
                return false;
            *window = found;
            return true;
        }
        Sleep(1);
    }
}

bool CreateInDir(const std::wstring& dir, const TrayProgram& program, HANDLE* process)
{
    std::wstring exe = dir + L"\\" + program.exe;
    std::vector<wchar_t> line(program.commandLine, program.commandLine + wcslen(program.commandLine) + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    *process = info.hProcess;
    return true;
}

double StartAndTime(const std::wstring& dir, const TrayProgram& program, TrayRun* run)
{
    // A tray window left from an earlier start would count as ready at once.
    if (FindWindowW(program.trayClass, program.trayTitle))
        return -1;
    double begin = Now();
    if (!CreateInDir(dir, program, &run->started))
        return -1;
    if (!WaitReady(program, kReadyTimeoutMs, &run->window))
        return -1;
    double elapsed = Now() - begin;
    run->tray = OpenWindowProcess(run->window);
    return run->tray ? elapsed : -1;
}

bool StopTray(const TrayProgram& program, TrayRun* run)
{
    PostMessageW(run->window, WM_COMMAND, program.exitCommand, 0);
    bool trayEnded = WaitProcessEnd(run->tray, kEndTimeoutMs);
    bool starterEnded = WaitProcessEnd(run->started, kEndTimeoutMs);
    run->window = nullptr;
    return trayEnded && starterEnded;
}

void CleanUp(const TrayProgram& program, TrayRun* run)
{
    qt::DismissAllMessageBoxes(qt::kHostCaption);
    if (!run->window)
        run->window = FindWindowW(program.trayClass, program.trayTitle);
    if (!run->tray && run->window)
        run->tray = OpenWindowProcess(run->window);
    WaitProcessEnd(run->tray, 0);
    WaitProcessEnd(run->started, 0);
    run->window = nullptr;
}

} // namespace bench
