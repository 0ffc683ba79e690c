// The Loader's entry: install a pending update package, then start the Host and end.
#include <windows.h>
#include <shlwapi.h>

#include "file_times.h"
#include "loader_texts.h"

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
// Gives kExitHostStarted when the Host may be started, else the exit code.
int InstallPackage(const LoaderPaths* paths, STARTUPINFOW* startup, PROCESS_INFORMATION* process)
{
    if (!CopyFileW(paths->package, paths->updateProgram, FALSE))
        return ShowFailure(kCopyFailedText, kExitCopyFailed);
    // A package left behind is harmless: the copy carries its time, so the next
    // start finds them equal and does not install again.
    DeleteFileW(paths->package);

    WCHAR commandLine[ARRAYSIZE(kUpdateCommandLine)]; // CreateProcessW may write to it
    lstrcpyW(commandLine, kUpdateCommandLine);
    if (!StartProcess(paths->updateProgram, commandLine, startup, process))
        return ShowFailure(kUpdateNotStartedText, kExitUpdateNotStarted);
    // The update program may take as long as it needs; its exit code does not matter.
    WaitForSingleObject(process->hProcess, INFINITE);
    CloseProcessHandles(process);
    return kExitHostStarted;
}

// "football <tail>" in a buffer of kHostCommandLineSize units. A longer tail is cut to
// its first kMaxHostTailLength units, one less where the cut would split a surrogate pair.
void FormatHostCommandLine(const WCHAR* tail, WCHAR* commandLine)
{
    int length = 0;
    while (length < kMaxHostTailLength && tail[length])
        ++length;
    if (length == kMaxHostTailLength && IS_SURROGATE_PAIR(tail[length - 1], tail[length]))
        --length;
    WCHAR kept[kMaxHostTailLength + 1];
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

    if (PackageIsPending(&paths)) {
        int exitCode = InstallPackage(&paths, &startup, &process);
        if (exitCode != kExitHostStarted)
            return exitCode;
    }

    WCHAR commandLine[kHostCommandLineSize];
    FormatHostCommandLine(tail ? tail : L"", commandLine);
    if (!StartProcess(paths.host, commandLine, &startup, &process))
        return ShowFailure(kHostNotStartedText, kExitHostNotStarted);
    CloseProcessHandles(&process); // the Host runs on; the Loader does not wait
    return kExitHostStarted;
}
