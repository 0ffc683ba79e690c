// The least a start program does that must do the Loader's work: the same system
// libraries, the three paths joined onto the current directory, the last-write
// times of the update package and the update program, "football %s" formatted,
// and the real Host started as the Loader starts it. No update is ever installed
// and nothing is shown. The benchmark's floor for the Loader.
#include <windows.h>
#include <shlwapi.h>

#include "loader/loader_texts.h"

namespace {

// What the Loader's file-time look-up does: the first match, its time as UTC.
bool LookUpFileTime(const WCHAR* path, SYSTEMTIME* time)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return FileTimeToSystemTime(&found.ftLastWriteTime, time) != FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int)
{
    WCHAR directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    WCHAR package[MAX_PATH], updateProgram[MAX_PATH], host[MAX_PATH];
    if (!PathCombineW(package, directory, kPackageFileName) ||
        !PathCombineW(updateProgram, directory, kUpdateProgramFileName) ||
        !PathCombineW(host, directory, kHostFileName))
        return 1;

    // Both looked up, whatever the first gives: the most the Loader does without installing.
    SYSTEMTIME packageTime, programTime;
    bool pending = LookUpFileTime(package, &packageTime);
    pending = !LookUpFileTime(updateProgram, &programTime) && pending;
    (void)pending;

    // The tail cut well inside the command line buffer; the benchmark's is empty.
    WCHAR kept[200];
    lstrcpynW(kept, tail ? tail : L"", ARRAYSIZE(kept));
    WCHAR commandLine[MAX_PATH];
    wsprintfW(commandLine, kHostCommandFormat, kept);

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(host, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return 1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return 0;
}
