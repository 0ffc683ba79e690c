// The Loader's entry: install a pending update package, then start the Host and end.
#include <windows.h>
#include <lmcons.h>
#include <shlwapi.h>

#include "loader_texts.h"
#include "time/file_times.h"

namespace {

// Full paths of the three files in the current directory.
struct LoaderPaths {
    WCHAR package[MAX_PATH];
    WCHAR updateProgram[MAX_PATH];
    WCHAR host[MAX_PATH];
};

int ShowFailure(const WCHAR* text, int exitCode)
{
    MessageBoxW(nullptr, text, kLoaderCaption, MB_OK);
    return exitCode;
}

// False when the current directory or one of the joined paths does not fit in
// MAX_PATH: a partial directory would turn into a relative path somewhere else.
bool MakePaths(LoaderPaths* paths)
{
    WCHAR directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
    // 0 is a failure; MAX_PATH or more is the size needed, and the buffer was not filled.
    if (length == 0 || length >= MAX_PATH)
        return false;
    return PathCombineW(paths->package, directory, kPackageFileName) &&
           PathCombineW(paths->updateProgram, directory, kUpdateProgramFileName) &&
           PathCombineW(paths->host, directory, kHostFileName);
}

// A package is installed when there is no update program yet or the update program
// is strictly older (UTC, to the millisecond).
bool PackageIsPending(const LoaderPaths* paths)
{
    SYSTEMTIME packageTime;
    SYSTEMTIME programTime;
    if (!GetFileLastWriteTime(paths->package, &packageTime))
        return false;
    if (!GetFileLastWriteTime(paths->updateProgram, &programTime))
        return true;
    return CompareSystemTimes(&programTime, &packageTime) < 0;
}

// A setup of this user runs now. A pending package is then that setup's own, left
// while it replaces the files, and the update program may be that very setup: a
// second start (autostart and a click at log-on) must neither copy over it nor show
// a box. The Loader that started the update starts the Host once it is done.
bool SetupRunning(void)
{
    WCHAR name[ARRAYSIZE(kSetupLockPrefix) + UNLEN + 1];
    lstrcpyW(name, kSetupLockPrefix);
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name + ARRAYSIZE(kSetupLockPrefix) - 1, &size))
        return false;
    HANDLE lock = OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (!lock)
        return false;
    CloseHandle(lock);
    return true;
}

bool StartProcess(const WCHAR* path, WCHAR* commandLine, STARTUPINFOW* startup, PROCESS_INFORMATION* process)
{
    return CreateProcessW(path, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          startup, process) != FALSE;
}

void CloseProcessHandles(PROCESS_INFORMATION* process)
{
    CloseHandle(process->hProcess);
    CloseHandle(process->hThread);
}

// Copies the package over the update program, runs it and waits for its end.
// True when the Host is to be started next; false with the Loader's exit code.
bool InstallPackage(const LoaderPaths* paths, STARTUPINFOW* startup, PROCESS_INFORMATION* process, int* exitCode)
{
    if (!CopyFileW(paths->package, paths->updateProgram, FALSE)) {
        *exitCode = ShowFailure(kCopyFailedText, kExitCopyFailed);
        return false;
    }
    // A package left behind is harmless: the copy carries its time, so the next
    // start finds them equal and does not install again.
    DeleteFileW(paths->package);

    WCHAR commandLine[ARRAYSIZE(kUpdateCommandLine)]; // CreateProcessW may write to it
    lstrcpyW(commandLine, kUpdateCommandLine);
    if (!StartProcess(paths->updateProgram, commandLine, startup, process)) {
        *exitCode = ShowFailure(kUpdateNotStartedText, kExitUpdateNotStarted);
        return false;
    }
    // The update program may take as long as it needs; its exit code does not matter.
    WaitForSingleObject(process->hProcess, INFINITE);
    CloseProcessHandles(process);
    return true;
}

// "football <tail>" in commandLine[size]. A tail longer than fits is cut, one unit
// more where the cut would split a surrogate pair.
void FormatHostCommandLine(const WCHAR* tail, WCHAR* commandLine, int size)
{
    WCHAR kept[kMaxHostTailLength + 1];
    int room = size - static_cast<int>(ARRAYSIZE(HOST_COMMAND_WORD) - 1) - 1;
    if (room > kMaxHostTailLength)
        room = kMaxHostTailLength;
    int length = 0;
    while (length < room && tail[length])
        ++length;
    if (length > 0 && length == room && IS_SURROGATE_PAIR(tail[length - 1], tail[length]))
        --length;
    lstrcpynW(kept, tail, length + 1);
    wsprintfW(commandLine, kHostCommandFormat, kept);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int)
{
    LoaderPaths paths;
    if (!MakePaths(&paths))
        return ShowFailure(kHostNotStartedText, kExitHostNotStarted);

    // One start-up record and one process record serve both starts.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};

    int exitCode = kExitHostStarted;
    if (PackageIsPending(&paths)) {
        if (SetupRunning())
            return kExitCopyFailed; // nothing copied, nothing started, nothing to tell
        if (!InstallPackage(&paths, &startup, &process, &exitCode))
            return exitCode;
    }

    WCHAR commandLine[kHostCommandLineSize];
    FormatHostCommandLine(tail ? tail : L"", commandLine, ARRAYSIZE(commandLine));
    if (!StartProcess(paths.host, commandLine, &startup, &process))
        return ShowFailure(kHostNotStartedText, kExitHostNotStarted);
    CloseProcessHandles(&process); // the Host runs on; the Loader does not wait
    return kExitHostStarted;
}
