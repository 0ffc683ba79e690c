// Starting a tray program in the benchmark's install folder, timing it until it is
// ready, and ending it as a user does. Every wait has a time-out.
#pragma once

#include <windows.h>

#include <string>

namespace bench {

// One way of starting a tray program, and the tray window that marks it ready.
struct TrayProgram {
    const wchar_t* key;         // short name for the report and the command line
    const wchar_t* exe;         // the program created, a file of the install folder
    const wchar_t* commandLine; // its full command line
    const wchar_t* trayClass;   // the tray window that the started chain ends in
    const wchar_t* trayTitle;
    WPARAM exitCommand;         // WM_COMMAND id that ends it as a user would
    const wchar_t* mutex;       // the family mutex the tray program creates; null for none
};

extern const TrayProgram kHostDirect;          // tessmark_quornel.exe with the stand-in engine
extern const TrayProgram kWidgetDirect;        // tessmark_quornel.exe with the real engine
extern const TrayProgram kBaselineDirect;      // the bare tray program
extern const TrayProgram kFloorDirect;         // the floor tray program
extern const TrayProgram kHostViaLoader;       // tessmark_quornel_loader.exe -> Host
extern const TrayProgram kBaselineViaLauncher; // bare launcher -> bare tray
extern const TrayProgram kFloorViaLauncher;    // floor launcher -> Host, as the Loader starts it

const DWORD kReadyTimeoutMs = 30000;
const DWORD kEndTimeoutMs = 15000;

// bin\testwork\bench: the Host, base.dll, images\, the Loader when built, and
// the four yardstick programs. False when a program needed is missing from bin.
bool PrepareInstallFolder(std::wstring* dir);
std::wstring InstallFolder();
// bin\testwork\bench_widget: the Host with the real engine (bin\base.dll) and images\.
bool PrepareWidgetFolder(std::wstring* dir);
// The folder a program of the benchmark is started in.
std::wstring FolderOf(const TrayProgram& program);

// A started chain: the process created and the tray program's own process.
struct TrayRun {
    HANDLE started = nullptr; // the created process (the tray program or its starter)
    HANDLE tray = nullptr;    // the tray program's process, opened once it is ready
    HWND window = nullptr;
};

// Ready: the tray window exists, the notification area holds its icon 0, and its
// thread answers a sent message, which it does only when it takes messages (in its
// loop). `ms` bounds the whole wait.
bool WaitReady(const TrayProgram& program, DWORD ms, HWND* window);

// Creates the program in `dir` and waits until ready. Gives the milliseconds from
// just before process creation, or a negative value on failure.
double StartAndTime(const std::wstring& dir, const TrayProgram& program, TrayRun* run);

// Sends the program's exit command to the tray window and waits for the tray
// program (and the created process) to end. False when either is still running
// after the time-out or ended with an exit code other than 0.
bool StopTray(const TrayProgram& program, TrayRun* run);
// After a failure: message boxes of the Host closed, every process of the run ended.
void CleanUp(const TrayProgram& program, TrayRun* run);

// Opens the process that owns the window: to wait on it, read its exit code, end it.
HANDLE OpenWindowProcess(HWND window);

// Milliseconds of the performance counter; comparable between processes.
double Now();
double CounterToMs(LONGLONG counter);
// Creates the program in `dir` (environment and all inherited); false on failure.
bool CreateInDir(const std::wstring& dir, const TrayProgram& program, HANDLE* process);

} // namespace bench
