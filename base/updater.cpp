#include "updater.h"

#include "owners.h"
#include "report_queue.h"
#include "update_build.h"
#include "update_check.h"
#include "update_release.h"
#include "update_state.h"

namespace {

const DWORD kStopWaitMs = 900; // ExitQuornel returns within a second

// The main thread's side, touched by nothing else. Plain handles, not owners: base.dll
// has no C runtime to run a static's destructor; StopUpdater closes them.
ReportQueue* s_queue;
HANDLE s_worker;
HANDLE s_stop;  // manual-reset: end now
HANDLE s_check; // auto-reset: check now
DWORD s_stopAsked;
bool s_loaderStarted;
UpdateState s_state;
WCHAR s_folder[MAX_PATH];

// Handed to the worker, which owns it and everything in it.
struct UpdaterStart {
    HWND window;
    ReportQueue* queue;   // its own hold on the queue
    HANDLE stop, check;   // its own duplicates of the main thread's events
    HMODULE module;       // keeps base.dll loaded until the worker's last instruction
    UpdatePlace place;    // its cancel: the stop event
};

// ---------------------------------------------------------------------------------
// The worker.

OwnedHeap<UpdateReport> NewReport(UpdateStatus status)
{
    OwnedHeap<UpdateReport> report = NewOnHeap<UpdateReport>();
    if (report)
        report->status = status;
    return report;
}

// Queues the report and tells the window to look; dropped once the main thread takes
// no more.
void Post(const UpdaterStart& worker, OwnedHeap<UpdateReport> report)
{
    if (report && QueueReport(worker.queue, &report->link)) {
        report.Release(); // the queue's now
        PostMessageW(worker.window, WM_UPDATE_REPORT, 0, 0);
    }
}

DWORD RandomNumber(void)
{
    DWORD random = 0;
    if (!RandomBytes(&random, sizeof(random)))
        random = (GetTickCount() ^ GetCurrentProcessId()) * 2654435761u; // still spread by the start's moment
    return random;
}

// The state at the start (a package left before), then a check a few minutes later,
// then about once a day and whenever asked; sooner again after a failure.
void RunUpdater(const UpdaterStart& worker)
{
    OwnedHeap<UpdateReport> report = NewReport(UPDATES_UNCHECKED);
    if (report)
        NotePendingAtStart(worker.place, report.Get());
    Post(worker, Moved(report));
    HANDLE events[2] = { worker.stop, worker.check };
    CheckDelay delay = FIRST_CHECK;
    for (;;) {
        DWORD woke = WaitForMultipleObjects(2, events, FALSE, CheckDelayMs(delay, RandomNumber()));
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT)
            return; // the stop event, or the wait failed
        report = NewReport(UPDATES_UNCHECKED);
        if (!report)
            continue;
        delay = CheckForRelease(worker.place, report.Get()) ? NEXT_CHECK : RETRY_CHECK;
        if (report->status != UPDATES_UNCHECKED)
            Post(worker, Moved(report));
    }
}

void RunOwnedWorker(LPVOID parameter)
{
    OwnedHeap<UpdaterStart> start(static_cast<UpdaterStart*>(parameter));
    const UpdaterStart& worker = *start.Get();
    OwnedHandle stop(worker.stop), check(worker.check);
    RunUpdater(worker);
    LetGoOfReportQueue(worker.queue);
}

DWORD WINAPI UpdaterWorker(LPVOID parameter)
{
    HMODULE module = static_cast<UpdaterStart*>(parameter)->module;
    RunOwnedWorker(parameter); // everything of the worker's released, but base.dll
    FreeLibraryAndExitThread(module, 0);
}

bool Duplicate(HANDLE event, OwnedHandle* copy)
{
    return DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), copy->Receive(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS) != FALSE;
}

} // namespace

void StartUpdater(HWND window, const WCHAR* installFolder)
{
    s_state = UpdateState();
    s_loaderStarted = false;
    ReadReleaseVersion(kBuildVersion, sizeof(kBuildVersion) - 1, &s_state.installed);
    s_state.status = kUpdaterBuiltIn ? UPDATES_UNCHECKED : UPDATES_NOT_BUILT_IN;
    lstrcpynW(s_folder, installFolder, MAX_PATH);
    if (!kUpdaterBuiltIn)
        return;
    s_queue = NewReportQueue();
    s_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s_check = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // What the worker will own, held here until it runs.
    OwnedHeap<UpdaterStart> start = NewOnHeap<UpdaterStart>();
    OwnedHandle stop, check;
    OwnedLibrary module;
    if (start && s_queue && s_stop && s_check && Duplicate(s_stop, &stop) && Duplicate(s_check, &check) &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&UpdaterWorker),
                           module.Receive())) {
        UpdaterStart* worker = start.Get();
        worker->window = window;
        worker->queue = s_queue;
        worker->stop = stop.Get();
        worker->check = check.Get();
        worker->module = module.Get();
        worker->place.installed = s_state.installed;
        worker->place.cancel = stop.Get();
        lstrcpyW(worker->place.folder, s_folder);
        HoldReportQueue(s_queue); // the worker's hold, let go by the worker at its end
        s_worker = CreateThread(nullptr, 0, UpdaterWorker, worker, 0, nullptr);
        if (s_worker) {
            start.Release(); // all the worker's now
            stop.Release();
            check.Release();
            module.Release();
            return;
        }
        LetGoOfReportQueue(s_queue);
    }
    AskUpdaterToStop();
    StopUpdater();
}

void RequestUpdateCheck(void)
{
    if (s_check)
        SetEvent(s_check);
}

bool TakeUpdateReport(WCHAR* balloon)
{
    balloon[0] = 0;
    UpdateReport* report = s_queue ? reinterpret_cast<UpdateReport*>(TakeReport(s_queue)) : nullptr;
    if (!report)
        return false;
    OwnedHeap<UpdateReport> taken(report);
    NoteUpdateReport(&s_state, *report);
    if (report->downloaded)
        FormatUpdateBalloon(report->version, balloon);
    return true;
}

void DescribeUpdates(WCHAR* text, int units)
{
    FormatUpdateState(s_state, text, units);
}

bool UpdaterBuiltIn(void)
{
    return kUpdaterBuiltIn;
}

bool UpdateIsPending(void)
{
    return s_state.pending;
}

void InstallPendingUpdate(void)
{
    WCHAR loader[MAX_PATH], commandLine[MAX_PATH + 2];
    if (!s_state.pending || s_loaderStarted || lstrlenW(s_folder) + 1 + lstrlenW(kLoaderFileName) >= MAX_PATH)
        return;
    lstrcpyW(loader, s_folder);
    lstrcatW(loader, L"\\");
    lstrcatW(loader, kLoaderFileName);
    wsprintfW(commandLine, L"\"%s\"", loader);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(loader, commandLine, nullptr, nullptr, FALSE, 0, nullptr, s_folder, &startup, &process)) {
        s_state.status = UPDATES_FAILED;
        DescribeUpdateFailure(UPDATE_LOADER_NOT_STARTED, GetLastError(), s_state.failure);
        return;
    }
    OwnedHandle thread(process.hThread), started(process.hProcess);
    s_loaderStarted = true; // its setup ends this Host; a second Loader would only find a Host running
}

void AskUpdaterToStop(void)
{
    s_stopAsked = GetTickCount();
    if (s_stop)
        SetEvent(s_stop);
}

void StopUpdater(void)
{
    if (s_worker) {
        DWORD spent = GetTickCount() - s_stopAsked;
        WaitForSingleObject(s_worker, spent < kStopWaitMs ? kStopWaitMs - spent : 0);
    }
    HANDLE* const handles[] = { &s_worker, &s_stop, &s_check };
    for (HANDLE* handle : handles) {
        OwnedHandle closing(*handle); // closed here, at the end of the updater's life
        *handle = nullptr;
    }
    if (s_queue) {
        CloseReportQueue(s_queue);
        LetGoOfReportQueue(s_queue);
        s_queue = nullptr;
    }
}
