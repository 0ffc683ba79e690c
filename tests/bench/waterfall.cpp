#include "waterfall.h"

#include <stdlib.h>

#include <vector>

#include "test_support.h"

namespace bench {

namespace {

// The engine's window: the stand-in's class, or the real widget's.
bool EngineWindowSeen()
{
    return FindWindowW(L"quornel_engine", nullptr) || FindWindowW(L"quornel_widget", nullptr);
}

// The stamps line the stand-in engine writes at ExitQuornel, as counter readings.
bool ReadStamps(const std::wstring& stampFile, double begin, double ms[kMilestones])
{
    std::vector<std::wstring> lines = qt::LogLines(stampFile, L"stamps");
    if (lines.empty())
        return false;
    const struct {
        const wchar_t* key;
        Milestone milestone;
    } fields[] = { { L"attached", kAttached },
                   { L"add_called", kAddCalled },
                   { L"add_returned", kAddReturned },
                   { L"run_entered", kRunEntered },
                   { L"run_returned", kRunReturned } };
    for (const auto& field : fields) {
        LONGLONG counter = _wcstoi64(qt::Field(lines.back(), field.key).c_str(), nullptr, 10);
        ms[field.milestone] = counter > 0 ? CounterToMs(counter) - begin : -1;
    }
    return true;
}

void Mark(double ms[kMilestones], Milestone milestone, double begin)
{
    if (ms[milestone] < 0)
        ms[milestone] = Now() - begin;
}

} // namespace

bool TimeMilestones(const std::wstring& dir, const TrayProgram& program, const std::wstring& stampFile,
                    double ms[kMilestones])
{
    for (int i = 0; i < kMilestones; ++i)
        ms[i] = -1;
    if (FindWindowW(program.trayClass, program.trayTitle))
        return false;
    DeleteFileW(stampFile.c_str());
    TrayRun run;
    double begin = Now();
    if (!CreateInDir(dir, program, &run.started))
        return false;
    Mark(ms, kCreated, begin);

    // The Host's moments come in a fixed order, so each is looked for only once the
    // one before it was seen: one look at a time keeps the driver's own calls to the
    // server and the notification area, which the program timed waits for too, few.
    // A look takes well under a millisecond; the 1 ms pause leaves the CPUs to the start.
    bool ready = false;
    DWORD start = GetTickCount();
    while (!ready && GetTickCount() - start < kReadyTimeoutMs) {
        if (ms[kStarterEnded] < 0 && WaitForSingleObject(run.started, 0) == WAIT_OBJECT_0)
            Mark(ms, kStarterEnded, begin);
        if (ms[kMutex] < 0 && program.mutex) {
            HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, program.mutex);
            if (mutex) {
                Mark(ms, kMutex, begin);
                CloseHandle(mutex);
            }
        } else if (!run.window) {
            run.window = FindWindowW(program.trayClass, program.trayTitle);
            if (run.window)
                Mark(ms, kTrayWindow, begin);
        } else if (ms[kIconSeen] < 0) {
            if (qt::TrayIconPresent(run.window))
                Mark(ms, kIconSeen, begin);
        } else if (ms[kEngineWindow] < 0) {
            if (EngineWindowSeen())
                Mark(ms, kEngineWindow, begin);
        } else {
            // Answered as soon as the thread takes sent messages, that is in its loop.
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(run.window, WM_NULL, 0, 0, SMTO_NORMAL, kReadyTimeoutMs, &answer))
                break;
            Mark(ms, kLoop, begin);
            ready = true;
            break;
        }
        Sleep(1);
    }
    if (run.window)
        run.tray = OpenWindowProcess(run.window);
    if (!ready || !run.tray || !StopTray(program, &run)) {
        CleanUp(program, &run);
        return false;
    }
    // The engine wrote its stamps on its way out, before its process ended; the real
    // engine writes none.
    return stampFile.empty() || ReadStamps(stampFile, begin, ms);
}

} // namespace bench
