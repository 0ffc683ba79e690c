// copydata_probe [PROGRAM_FOLDER]: finds the largest balloon message without a
// terminator (WM_COPYDATA of kind 2, all 'A') that the Host survives when it comes
// from another process: the data is copied onto the Host's stack before its window
// procedure runs, so the figure follows the stack reserve of the build.
// PROGRAM_FOLDER holds the Host to probe (default: bin/; relative to bin/ or absolute).
// Each try starts that Host with the stand-in engine in a work folder of its own,
// sends one size, and counts it survived when the Host still runs and logged the
// balloon. Sizes double from 64 KiB until one ends the Host, then bisect to 4 KiB.
// Prints the largest size survived and the smallest that ended it; exit code 0, or 1
// when a try could not be made.
#include <windows.h>

#include <stdio.h>

#include <string>

#include "test_support.h"

using namespace qt;

namespace {

const DWORD kStep = 4096;
const DWORD kFirst = 64 * 1024;
const DWORD kLast = 256u * 1024 * 1024;

enum class Outcome { Survived, Ended, Failed };

Outcome Try(DWORD bytes, const std::string& text)
{
    HostRun run;
    if (!StartHost(run, L"copydata_probe", L"")) {
        CleanUpHost(run);
        return Outcome::Failed;
    }
    size_t before = LogLines(run.log, L"notify").size();
    COPYDATASTRUCT copy = { 2, bytes, const_cast<char*>(text.data()) };
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(run.tray, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, kWaitMs, &answer);
    bool running = WaitForSingleObject(run.process.handle, 200) == WAIT_TIMEOUT;
    auto notify = LogLines(run.log, L"notify");
    bool balloon = notify.size() > before && Field(notify.back(), L"flags") == L"16";
    DWORD code = 1;
    bool ended = running ? ExitHost(run, &code) : WaitExit(run.process, kWaitMs, &code);
    CleanUpHost(run);
    if (running && balloon && ended)
        return Outcome::Survived;
    if (!running) {
        printf("%lu bytes: the Host ended, exit code %lu\n", bytes, code);
        return Outcome::Ended;
    }
    return Outcome::Failed;
}

// A try that could not be made is made once more: the first start in a fresh prefix
// or display may miss Wine's desktop, which starts with it.
Outcome TryAgainIfFailed(DWORD bytes, const std::string& text)
{
    Outcome outcome = Try(bytes, text);
    return outcome == Outcome::Failed ? Try(bytes, text) : outcome;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1)
        SetEnvironmentVariableW(L"QUORNEL_TEST_PROGRAMS", argv[1]);
    printf("Host: %ls\n", ProgramPath(kHostName).c_str());
    std::string text(kLast, 'A');

    DWORD survived = 0, ended = 0;
    for (DWORD bytes = kFirst; bytes <= kLast && !ended; bytes *= 2) {
        Outcome outcome = TryAgainIfFailed(bytes, text);
        if (outcome == Outcome::Failed) {
            printf("%lu bytes: no answer from the Host\n", bytes);
            return 1;
        }
        (outcome == Outcome::Survived ? survived : ended) = bytes;
    }
    if (!ended) {
        printf("survived every size up to %lu bytes\n", survived);
        return 0;
    }
    while (ended - survived > kStep) {
        DWORD middle = survived + (ended - survived) / 2 / kStep * kStep;
        Outcome outcome = TryAgainIfFailed(middle, text);
        if (outcome == Outcome::Failed) {
            printf("%lu bytes: no answer from the Host\n", middle);
            return 1;
        }
        (outcome == Outcome::Survived ? survived : ended) = middle;
    }
    // Once more each, to show the edge holds.
    bool holds = Try(survived, text) == Outcome::Survived && Try(ended, text) == Outcome::Ended;
    printf("largest survived: %lu bytes (%.2f MiB); ended by: %lu bytes%s\n", survived, survived / 1048576.0, ended,
           holds ? "" : " (not the same on a second try)");
    return 0;
}
