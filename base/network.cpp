#include "network.h"

#include <netlistmgr.h>
#include <string.h>
#include <wchar.h>

#include "cached_copy.h"
#include "data_source.h"
#include "engine_settings.h"
#include "fetch_schedule.h"
#include "http_fetch.h"
#include "http_headers.h"
#include "report_queue.h"
#include "system_library.h"
#include "widget_texts.h"

namespace {

const DWORD kStopWaitMs = 900; // ExitQuornel returns within a second

const GUID kNetworkListManagerClass = { 0xdcb00c01, 0x570f, 0x4a9b, { 0x8d, 0x69, 0x19, 0x9f, 0xdb, 0xa5, 0x72, 0x3b } };
const GUID kNetworkListManagerInterface = { 0xdcb00000, 0x570f, 0x4a9b,
                                            { 0x8d, 0x69, 0x19, 0x9f, 0xdb, 0xa5, 0x72, 0x3b } };

// The main thread's side, touched by nothing else. Requests reach the worker as
// events that it waits on beside its stop event, rather than as thread messages:
// the events exist before the thread does (no queue to wait for at start, nothing
// to allocate per request), a request made while the worker is busy waits for it,
// and a request repeated before the worker looks counts once.
ReportQueue* s_queue; // the worker's reports come back through it: one hold here
HWND s_window;
// Plain handles, not owners: base.dll has no C runtime to run a static's destructor.
// They live from StartNetwork to StopNetwork, which closes them.
HANDLE s_worker;
HANDLE s_stop;     // manual-reset: end now
HANDLE s_download; // auto-reset: download now
HANDLE s_test;     // auto-reset: test the connection
int s_trayState;   // what the tray was last told; it starts online
DataSourceState s_dataSource; // what the widget shows, from LoadCachedData and the reports taken

// Handed to the worker, which owns it and everything in it (RunOwnedWorker).
struct WorkerStart {
    HWND window;
    ReportQueue* queue;          // its own hold on the queue
    HANDLE stop, download, test; // its own duplicates of the main thread's events
    HMODULE module;              // keeps base.dll loaded until the worker's last instruction
    TournamentData data;         // the data in use, as far as the worker knows: its schedule's
};

// ---------------------------------------------------------------------------------
// Settings (both threads; each call opens and closes its own).


// ---------------------------------------------------------------------------------
// The worker.

// Offline after the network failed us, online after a 200 or a 304 (whatever the
// file was like); nothing new after anything else.
int TrayStateOf(const FetchAnswer& answer)
{
    switch (answer.outcome) {
    case FETCH_PROXY_UNREACHABLE:
    case FETCH_PROXY_LOGIN_NEEDED:
    case FETCH_PROXY_LOGIN_REFUSED:
    case FETCH_SERVER_UNREACHABLE:
    case FETCH_TIMEOUT:
    case FETCH_CONNECTION_LOST:
    case FETCH_SECURE_FAILURE:
        return 1;
    case FETCH_HTTP_STATUS:
        if (answer.status == 502 || answer.status == 504) // a gateway that could not reach the server
            return 1;
        break;
    default:
        break;
    }
    return answer.status == 200 || answer.status == 304 ? 0 : -1;
}

OwnedHeap<NetworkReport> NewReport(void)
{
    OwnedHeap<NetworkReport> report = NewOnHeap<NetworkReport>();
    if (report)
        report->trayState = -1;
    return report;
}

// Queues the report for the main thread and tells the window to look; drops it when
// there is nothing in it or the main thread takes no more. A "look" that cannot be
// posted leaves the report queued: the next one takes it along.
void Post(const WorkerStart& worker, OwnedHeap<NetworkReport> report)
{
    bool news = report->trayState >= 0 || report->hasData || report->balloon[0] || report->downloaded ||
                report->failure[0];
    if (news && QueueReport(worker.queue, &report->link)) {
        report.Release(); // the queue's now
        PostMessageW(worker.window, WM_NETWORK_REPORT, 0, 0);
    }
}

// What the schedule learns from a download's answer; `succeeded`: a valid file or a 304.
AnswerFacts FactsOf(const FetchAnswer& answer, bool succeeded)
{
    AnswerFacts facts = {};
    facts.sent = answer.outcome != FETCH_BAD_URL && answer.outcome != FETCH_BAD_PROXY &&
                 answer.outcome != FETCH_CANCELLED;
    facts.succeeded = succeeded;
    facts.hasMaxAge = answer.hasMaxAge;
    facts.maxAge = answer.maxAge;
    facts.hasRetryAfter = answer.hasRetryAfter;
    facts.retryAfter = answer.retryAfter;
    return facts;
}

// One download, conditional on the cached copy of this address: a new, whole and
// valid file is cached, then shown, and the worker's schedule follows it from then
// on. False when no data address is set.
bool Download(WorkerStart& worker, AnswerFacts* facts)
{
    *facts = AnswerFacts(); // nothing sent, unless the fetch says otherwise
    FetchSettings settings;
    FetchAnswer answer = FetchAnswer(); // zeroed: a settings outcome sends nothing
    answer.outcome = ReadFetchSettings(VALUE_DATA_URL, &settings);
    if (answer.outcome == FETCH_NO_URL)
        return false;
    OwnedHeap<NetworkReport> report = NewReport();
    if (!report)
        return true;
    WCHAR since[kGmtTextUnits] = L"";
    DWORD cachedSize = 0;
    TournamentData cachedData;
    OwnedHeap<char> cached = CachedCopyOf(settings.url, &cachedSize, &cachedData);
    if (cached)
        StoredLastModified(since);
    if (answer.outcome == FETCH_OK)
        Fetch(settings, since, false, worker.stop, &answer);
    report->trayState = TrayStateOf(answer);
    const char* body = answer.body.Get();
    report->validFile = body && ReadTournamentData(body, answer.size, &report->data);
    report->downloaded = report->validFile || (answer.outcome == FETCH_OK && answer.status == 304);
    *facts = FactsOf(answer, report->downloaded);
    if (report->validFile) {
        worker.data = report->data;
        lstrcpyW(report->lastModified, answer.lastModified);
        if (cached && cachedSize == answer.size && !memcmp(cached.Get(), body, answer.size)) {
            RememberLastModified(answer.lastModified); // the same file again
        } else {
            // The old copy's address is forgotten first: a copy whose record was
            // not finished is never trusted.
            DeleteSetting(SETTINGS_KEY, VALUE_DATA_SOURCE);
            if (WriteCacheFile(body, answer.size)) {
                RememberLastModified(answer.lastModified);
                WriteSettingText(SETTINGS_KEY, VALUE_DATA_SOURCE, settings.url);
            }
            report->hasData = true;
            lstrcpyW(report->balloon, kDataUpdated);
        }
    } else if (answer.outcome == FETCH_OK && !report->downloaded) {
        lstrcpyW(report->failure, kBadDataFile);
    } else if (answer.outcome != FETCH_OK && answer.outcome != FETCH_CANCELLED) {
        DescribeFetch(answer, settings, report->failure);
    }
    Post(worker, Moved(report));
    return true;
}

void TestConnection(const WorkerStart& worker)
{
    OwnedHeap<NetworkReport> report = NewReport();
    if (!report)
        return;
    FetchSettings settings;
    FetchAnswer answer = FetchAnswer();
    answer.outcome = ReadFetchSettings(VALUE_DATA_URL, &settings);
    if (answer.outcome == FETCH_OK)
        Fetch(settings, L"", true, worker.stop, &answer);
    report->trayState = TrayStateOf(answer);
    DescribeFetch(answer, settings, report->balloon);
    Post(worker, Moved(report));
}

// The system's own view: the Network List Manager (Vista and later), else WinINet's
// (XP); online when neither can tell.
bool SystemIsOnline(void)
{
    auto initialize = SystemFunction<decltype(&CoInitializeEx)>(L"ole32.dll", "CoInitializeEx");
    auto create = SystemFunction<decltype(&CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
    auto uninitialize = SystemFunction<decltype(&CoUninitialize)>(L"ole32.dll", "CoUninitialize");
    bool known = false, online = true;
    if (initialize && create && uninitialize) {
        HRESULT apartment = initialize(nullptr, COINIT_MULTITHREADED);
        INetworkListManager* manager = nullptr;
        if (SUCCEEDED(create(kNetworkListManagerClass, nullptr, CLSCTX_ALL, kNetworkListManagerInterface,
                             reinterpret_cast<void**>(&manager)))) {
            NLM_CONNECTIVITY connectivity;
            if (SUCCEEDED(manager->GetConnectivity(&connectivity))) {
                known = true;
                online = (connectivity & (NLM_CONNECTIVITY_IPV4_INTERNET | NLM_CONNECTIVITY_IPV6_INTERNET)) != 0;
            }
            manager->Release();
        }
        if (SUCCEEDED(apartment))
            uninitialize();
    }
    typedef BOOL(WINAPI * ConnectedStateFn)(LPDWORD, DWORD);
    auto connectedState =
        known ? nullptr : SystemFunction<ConnectedStateFn>(L"wininet.dll", "InternetGetConnectedState");
    DWORD flags = 0;
    return connectedState ? connectedState(&flags, 0) != FALSE : online;
}

// The milliseconds from now to the next scheduled download, after one whose answer
// said `facts`.
DWORD NextDelay(const WorkerStart& worker, const AnswerFacts& facts, FetchHistory* history, DWORD* random)
{
    NoteAnswer(history, facts);
    return NextFetchDelay(worker.data, RealUtcNow(), *history, SpreadFrom(NextRandom(random)));
}

// With a data address: a download at once, then on the schedule (fetch_schedule.h)
// and on request. Without one, the tray follows the system's connectivity at start.
void RunWorker(WorkerStart& worker)
{
    FetchHistory history = {};
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    DWORD random = counter.LowPart ^ GetCurrentThreadId() ^ GetTickCount(); // one widget's spread, not another's
    AnswerFacts facts = {};
    bool scheduled = Download(worker, &facts);
    if (!scheduled && !SystemIsOnline()) {
        OwnedHeap<NetworkReport> report = NewReport();
        if (report) {
            report->trayState = 1; // the tray starts online
            Post(worker, Moved(report));
        }
    }
    DWORD last = GetTickCount();
    DWORD delay = scheduled ? NextDelay(worker, facts, &history, &random) : INFINITE;
    HANDLE events[3] = { worker.stop, worker.download, worker.test };
    for (;;) {
        DWORD wait = INFINITE;
        if (delay != INFINITE) {
            DWORD spent = GetTickCount() - last;
            wait = spent < delay ? delay - spent : 0;
        }
        DWORD woke = WaitForMultipleObjects(3, events, FALSE, wait);
        if (woke == WAIT_OBJECT_0 + 2) {
            TestConnection(worker);
            continue;
        }
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT)
            return; // the stop event, or the wait failed
        scheduled = Download(worker, &facts);
        last = GetTickCount();
        delay = scheduled ? NextDelay(worker, facts, &history, &random) : INFINITE;
    }
}

void RunOwnedWorker(LPVOID parameter)
{
    OwnedHeap<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    WorkerStart& worker = *start.Get();
    OwnedHandle stop(worker.stop), download(worker.download), test(worker.test);
    RunWorker(worker);
    LetGoOfReportQueue(worker.queue);
}

DWORD WINAPI NetworkWorker(LPVOID parameter)
{
    HMODULE module = static_cast<WorkerStart*>(parameter)->module;
    RunOwnedWorker(parameter); // everything of the worker's released, but base.dll
    FreeLibraryAndExitThread(module, 0);
}

bool Duplicate(HANDLE event, OwnedHandle* copy)
{
    return DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), copy->Receive(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS) != FALSE;
}

} // namespace

bool LoadCachedData(TournamentData* data)
{
    WCHAR url[REGISTRY_TEXT_UNITS];
    DWORD size = 0;
    ReadSettingText(SETTINGS_KEY, VALUE_DATA_URL, url, REGISTRY_TEXT_UNITS);
    ZeroMemory(&s_dataSource, sizeof(s_dataSource)); // built in, unless the copy is taken
    if (!CachedCopyOf(url, &size, data))
        return false;
    s_dataSource.downloaded = true;
    StoredLastModified(s_dataSource.lastModified);
    return true;
}

void DescribeDataSource(WCHAR* text, int units)
{
    FormatDataSource(s_dataSource, text, units);
}

bool DataAddressIsSet(void)
{
    WCHAR url[REGISTRY_TEXT_UNITS];
    return ReadSettingText(SETTINGS_KEY, VALUE_DATA_URL, url, REGISTRY_TEXT_UNITS) && url[0];
}

bool StartNetwork(HWND window, const TournamentData& data)
{
    s_window = window;
    s_trayState = 0;
    s_queue = NewReportQueue();
    s_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s_download = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    s_test = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    // What the worker will own, held here until it runs.
    OwnedHeap<WorkerStart> start = NewOnHeap<WorkerStart>();
    OwnedHandle stop, download, test;
    OwnedLibrary module;
    if (start && s_queue && s_stop && s_download && s_test && Duplicate(s_stop, &stop) &&
        Duplicate(s_download, &download) && Duplicate(s_test, &test) &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&NetworkWorker),
                           module.Receive())) {
        WorkerStart& worker = *start.Get();
        worker.window = window;
        worker.queue = s_queue;
        worker.stop = stop.Get();
        worker.download = download.Get();
        worker.test = test.Get();
        worker.module = module.Get();
        worker.data = data;
        HoldReportQueue(s_queue); // the worker's hold, let go by the worker at its end
        s_worker = CreateThread(nullptr, 0, NetworkWorker, start.Get(), 0, nullptr);
        if (s_worker) {
            start.Release(); // all the worker's now
            stop.Release();
            download.Release();
            test.Release();
            module.Release();
            return true;
        }
        LetGoOfReportQueue(s_queue);
    }
    StopNetwork();
    return false;
}

void RequestDownload(void)
{
    if (s_download)
        SetEvent(s_download);
}

void RequestProxyTest(void)
{
    if (s_test)
        SetEvent(s_test);
}

bool TrayStateChanges(int state)
{
    if (state < 0 || state == s_trayState)
        return false;
    s_trayState = state;
    return true;
}

NetworkReport* TakeNetworkReport(void)
{
    NetworkReport* report = s_queue ? reinterpret_cast<NetworkReport*>(TakeReport(s_queue)) : nullptr;
    if (report)
        NoteNetworkReport(&s_dataSource, *report);
    return report;
}

void FreeNetworkReport(NetworkReport* report)
{
    HeapFree(GetProcessHeap(), 0, report);
}

void StopNetwork(void)
{
    if (s_worker) {
        SetEvent(s_stop);
        WaitForSingleObject(s_worker, kStopWaitMs);
    }
    HANDLE* const handles[] = { &s_worker, &s_stop, &s_download, &s_test };
    for (HANDLE* handle : handles) {
        OwnedHandle closing(*handle); // closed here, at the end of the network's life
        *handle = nullptr;
    }
    if (s_queue) {
        CloseReportQueue(s_queue);
        LetGoOfReportQueue(s_queue);
        s_queue = nullptr;
    }
    s_window = nullptr;
}
