// Helpers for tests that start the real programs under Wine and drive them as a
// user and the engine would. Every wait has a time-out.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace qt {

const DWORD kWaitMs = 15000;

// The files of an install folder, by the names the programs look for.
const wchar_t kLoaderName[] = L"tessmark_quornel_loader.exe";
const wchar_t kHostName[] = L"tessmark_quornel.exe";
const wchar_t kUpdateProgramName[] = L"update_for_tessmark_quornel.exe";
const wchar_t kPackageName[] = L"update_for_tessmark_quornel.tmp";

// Folder of the running test program: the build's bin folder with both programs,
// base.dll and images/.
std::wstring BinDir();
std::wstring BinPath(const std::wstring& name);
// Folder of the programs under test: bin/, or the folder named by QUORNEL_TEST_PROGRAMS
// (relative to bin/ or absolute), which CTest sets for the run of the same tests
// against the MSVC-mode build. Test code only: the programs never read it.
std::wstring ProgramDir();
std::wstring ProgramPath(const std::wstring& name);

// A fresh, empty folder below bin/testwork for one test.
std::wstring MakeWorkDir(const std::wstring& name);
// Copies every file of bin/images into dir/images, as an install folder has it.
void CopyImages(const std::wstring& dir);
// Makes dir an install folder of the Host under test with the stand-in engine (bin/standin/base.dll)
// and, unless told not to, images/. The programs then run from there, so nothing is
// found beside the build's copies.
void MakeInstallFolder(const std::wstring& dir, bool withImages = true);
std::wstring HostExe(const std::wstring& dir);
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);

// Starts exe with the full command line `commandLine` in `dir`; null on failure.
struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
};
Process Start(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& dir);
// Waits for the end; true and the exit code when it ended in time.
bool WaitExit(Process& process, DWORD ms, DWORD* exitCode);
// Ends a process that is still running and closes the handle.
void Kill(Process& process);

// Polls until the predicate holds or ms pass.
template <class F> bool WaitUntil(F predicate, DWORD ms = kWaitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (predicate())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        Sleep(20);
    }
}

// Top-level window by class (or null) and exact title, waited for.
HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* title, DWORD ms = kWaitMs);
// A message box (dialog class #32770) of that caption, waited for.
HWND WaitForMessageBox(const wchar_t* caption, DWORD ms = kWaitMs);
std::wstring MessageBoxText(HWND box);
// Presses the box's OK button.
void DismissMessageBox(HWND box);
// Closes every message box of that caption that is open now; returns how many.
int DismissAllMessageBoxes(const wchar_t* caption);
std::wstring WindowText(HWND window);

// The stand-in engine's log: UTF-8 lines of tab-separated fields.
std::vector<std::wstring> ReadLog(const std::wstring& path);
// Lines whose first field is `kind` ("msg", "notify", "run", "cmd", "dir", "exit").
std::vector<std::wstring> LogLines(const std::wstring& path, const std::wstring& kind);
bool WaitForLogLine(const std::wstring& path, const std::wstring& kind, size_t count = 1, DWORD ms = kWaitMs);
// The field "key=value" of a tab-separated line; empty when absent.
std::wstring Field(const std::wstring& line, const std::wstring& key);
std::vector<std::wstring> Split(const std::wstring& line, wchar_t separator = L'\t');

// The stand-in's RunQuornel writes its "run", "cmd" and "dir" lines in that order:
// once a "dir" line is there, so are the other two.
const wchar_t kRunLogged[] = L"dir";

// Engine messages received, in order, as their numbers.
std::vector<UINT> EngineMessages(const std::wstring& logPath);

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// One Host started by a test in a work folder of its own (with images/), its
// stand-in engine logging to `log`.
struct HostRun {
    std::wstring dir;
    std::wstring log;
    Process process;
    HWND tray = nullptr;
    HWND widget = nullptr; // the real engine's window (StartWidgetHost)
};
extern const wchar_t kHostCaption[];
extern const wchar_t kTrayTitle[];
// Starts dir\\tessmark_quornel.exe (an install folder) with "football <tail>"; with `engineFailure` ("code error")
// the stand-in's RunQuornel fails so. Waits for the engine's "run" line, which
// names the tray window; false if it does not come.
bool StartHost(HostRun& run, const std::wstring& name, const std::wstring& tail,
               const wchar_t* engineFailure = nullptr, bool withImages = true);
// The real engine's window class.
extern const wchar_t kWidgetClass[];
// Starts the Host with the real engine (bin/base.dll) in a work folder of its own
// with all of bin/images, with "football <tail>"; waits for its tray window and its
// widget, placed and shown. False if they do not come.
bool StartWidgetHost(HostRun& run, const std::wstring& name, const std::wstring& tail);
// Picks "Выход" (command 300) and waits for the end; true with the exit code.
bool ExitHost(HostRun& run, DWORD* exitCode);
// Whatever a failed test left: boxes closed, the process ended.
void CleanUpHost(HostRun& run);
// Asks the notification area whether the tray window's icon 0 is there.
bool TrayIconPresent(HWND tray);

// Registry helpers on HKEY_CURRENT_USER. The parent of every key of the widget's,
// which a test clears to start from a profile that never ran it.
const wchar_t kMorvaneKey[] = L"Software\\Morvane";
// A registry value as stored: its type and its raw bytes.
struct RegValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    // The data read as UTF-16 up to the first NUL or the end of the data.
    std::wstring Text() const;
};
bool operator==(const RegValue& a, const RegValue& b);
RegValue ReadValue(const wchar_t* path, const wchar_t* name);
// Writes raw bytes with any type (the key is created).
bool WriteRaw(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD bytes);
// Writes text as REG_SZ (or `type`) with its terminating NUL.
bool WriteText(const wchar_t* path, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ);
bool WriteDword(const wchar_t* path, const wchar_t* name, DWORD value);
// Every value of the key, in the registry's order; empty when the key is missing.
std::vector<std::pair<std::wstring, RegValue>> KeySnapshot(const wchar_t* path);
void DeleteTree(const wchar_t* subKey);

// Whether `upper` comes before `lower` in the Win32 z-order.
bool Above(HWND upper, HWND lower);

} // namespace qt
