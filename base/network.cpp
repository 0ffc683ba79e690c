#include "network.h"

#include <netlistmgr.h>
#include <shlobj.h>
#include <string.h>
#include <wchar.h>

#include "engine_settings.h"
#include "http_fetch.h"
#include "report_queue.h"
#include "web_address.h"

namespace {

const DWORD kDownloadIntervalMs = 30 * 60 * 1000;
const DWORD kStopWaitMs = 900; // ExitQuornel returns within a second
const WCHAR kCacheFolder[] = L"\\Morvane\\Tessmark";
const WCHAR kCacheName[] = L"\\worldcup2010.csv";
const WCHAR kTemporarySuffix[] = L".new";
const WCHAR kDataUpdated[] = L"Данные обновлены";

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
HANDLE s_worker;
HANDLE s_stop;     // manual-reset: end now
HANDLE s_download; // auto-reset: download now
HANDLE s_test;     // auto-reset: test the connection
int s_trayState;   // what the tray was last told; it starts online

// Handed to the worker, which owns it and everything in it.
struct WorkerStart {
    HWND window;
    ReportQueue* queue;          // its own hold on the queue
    HANDLE stop, download, test; // its own duplicates of the main thread's events
    HMODULE module;              // keeps base.dll loaded until the worker's last instruction
};

// A function of a system DLL that base.dll does not import, so that the Host's start
// does not pay for it: loaded from the system folder when first needed, and kept.
FARPROC SystemFunction(const WCHAR* dll, const char* name)
{
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!length || length + 1 + lstrlenW(dll) >= MAX_PATH)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, dll);
    HMODULE module = GetModuleHandleW(path);
    if (!module)
        module = LoadLibraryW(path);
    return module ? GetProcAddress(module, name) : nullptr;
}

template <class F> F SystemFunction(const WCHAR* dll, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// ---------------------------------------------------------------------------------
// Settings and the cached copy (both threads; each call opens and closes its own).

// The data address and the proxy as stored now: FETCH_OK, or why nothing can be sent.
FetchOutcome ReadFetchSettings(FetchSettings* settings)
{
    ZeroMemory(settings, sizeof(*settings));
    ReadSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_URL, settings->url, kSettingTextUnits);
    if (!settings->url[0])
        return FETCH_NO_URL;
    WCHAR type[8];
    ReadSettingText(ENGINE_PROXY_KEY, VALUE_PROXY_TYPE, type, ARRAYSIZE(type));
    settings->manualProxy = !wcscmp(type, L"manual");
    if (!settings->manualProxy)
        return FETCH_OK;
    WCHAR server[kSettingTextUnits];
    ReadSettingText(ENGINE_PROXY_KEY, VALUE_PROXY_SERVER, server, kSettingTextUnits);
    ReadSettingText(ENGINE_PROXY_KEY, VALUE_PROXY_USER, settings->user, kSettingTextUnits);
    ReadSettingText(ENGINE_PROXY_KEY, VALUE_PROXY_PASSWORD, settings->password, kSettingTextUnits);
    return ReadProxyServer(server, settings->proxy, kSettingTextUnits) ? FETCH_OK : FETCH_BAD_PROXY;
}

// %LOCALAPPDATA%\Morvane\Tessmark\worldcup2010.csv and `suffix`; with `create`
// the folders are made where missing.
bool CachePath(WCHAR* path, const WCHAR* suffix, bool create)
{
    auto folderPath = SystemFunction<decltype(&SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
    if (!folderPath ||
        FAILED(folderPath(nullptr, CSIDL_LOCAL_APPDATA | (create ? CSIDL_FLAG_CREATE : 0), nullptr,
                          SHGFP_TYPE_CURRENT, path)) ||
        lstrlenW(path) + lstrlenW(kCacheFolder) + lstrlenW(kCacheName) + lstrlenW(suffix) >= MAX_PATH)
        return false;
    lstrcatW(path, L"\\Morvane");
    if (create)
        CreateDirectoryW(path, nullptr);
    lstrcatW(path, L"\\Tessmark");
    if (create)
        CreateDirectoryW(path, nullptr);
    lstrcatW(path, kCacheName);
    lstrcatW(path, suffix);
    return true;
}

// The cache file whole (at most kMaxDataBytes) on the heap; null when it is
// missing, too big or unreadable.
char* ReadCacheFile(DWORD* size)
{
    WCHAR path[MAX_PATH];
    if (!CachePath(path, L"", false))
        return nullptr;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    char* bytes = nullptr;
    if (length != INVALID_FILE_SIZE && !high && length && length <= kMaxDataBytes) {
        bytes = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length));
        DWORD read = 0;
        if (bytes && (!ReadFile(file, bytes, length, &read, nullptr) || read != length)) {
            HeapFree(GetProcessHeap(), 0, bytes);
            bytes = nullptr;
        }
    }
    CloseHandle(file);
    *size = length;
    return bytes;
}

// The cached copy when it came from `url` and is whole and valid: its bytes on
// the heap, its data in *data. Null otherwise.
char* CachedCopyOf(const WCHAR* url, DWORD* size, TournamentData* data)
{
    WCHAR source[kSettingTextUnits];
    if (!url[0] || !ReadSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_SOURCE, source, kSettingTextUnits) ||
        wcscmp(source, url))
        return nullptr;
    char* bytes = ReadCacheFile(size);
    if (bytes && !ReadTournamentData(bytes, *size, data)) {
        HeapFree(GetProcessHeap(), 0, bytes);
        bytes = nullptr;
    }
    return bytes;
}

// Replaces the cached copy in one step: a temporary file beside it, written and
// flushed, then renamed over it. A failure leaves the old copy as it was.
bool WriteCacheFile(const char* bytes, DWORD size)
{
    WCHAR path[MAX_PATH], temporary[MAX_PATH];
    if (!CachePath(path, L"", true) || !CachePath(temporary, kTemporarySuffix, false))
        return false;
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, size, &written, nullptr) && written == size && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(temporary);
    return ok;
}

// The stored Last-Modified, written anew by the time module (so nothing but a date
// goes into the request), or empty.
void StoredLastModified(WCHAR* text)
{
    WCHAR stored[kSettingTextUnits];
    SYSTEMTIME time;
    ULONGLONG ticks;
    text[0] = 0;
    if (ReadSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED, stored, kSettingTextUnits) &&
        ParseUtcTime(stored, &time) && RecordToTicks(&time, &ticks))
        FormatGmtTime(&time, text);
}

void RememberLastModified(const WCHAR* lastModified)
{
    if (lastModified[0])
        WriteSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED, lastModified);
    else
        DeleteSetting(ENGINE_SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED);
}

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

// The proxy test's answer, in Russian.
void DescribeTest(const FetchAnswer& answer, const FetchSettings& settings, WCHAR* text)
{
    const WCHAR* reason;
    switch (answer.outcome) {
    case FETCH_OK:
        if (settings.manualProxy)
            wsprintfW(text, L"Соединение работает через прокси-сервер %s", settings.proxy);
        else
            lstrcpyW(text, L"Соединение работает");
        return;
    case FETCH_HTTP_STATUS:
        wsprintfW(text, L"Нет соединения: ошибка сервера (код %lu)", answer.status);
        return;
    case FETCH_NO_URL: reason = L"адрес данных не задан"; break;
    case FETCH_BAD_URL: reason = L"адрес данных задан неверно"; break;
    case FETCH_BAD_PROXY: reason = L"адрес прокси-сервера задан неверно"; break;
    case FETCH_PROXY_UNREACHABLE: reason = L"прокси-сервер недоступен"; break;
    case FETCH_PROXY_LOGIN_NEEDED: reason = L"прокси-сервер требует имя пользователя и пароль"; break;
    case FETCH_PROXY_LOGIN_REFUSED: reason = L"прокси-сервер не принял имя пользователя или пароль"; break;
    case FETCH_SERVER_UNREACHABLE: reason = L"сервер недоступен"; break;
    case FETCH_TIMEOUT: reason = L"истекло время ожидания ответа"; break;
    case FETCH_CONNECTION_LOST: reason = L"соединение прервано"; break;
    case FETCH_BAD_ANSWER: reason = L"сервер ответил не по протоколу HTTP"; break;
    case FETCH_TOO_MANY_REDIRECTS: reason = L"слишком много перенаправлений"; break;
    case FETCH_BAD_REDIRECT: reason = L"перенаправление на неподдерживаемый адрес"; break;
    case FETCH_TOO_BIG: reason = L"файл данных больше 1 МБ"; break;
    case FETCH_SECURE_FAILURE: reason = L"не удалось установить защищённое соединение"; break;
    default:
        wsprintfW(text, L"Нет соединения: системная ошибка %lu", answer.error);
        return;
    }
    wsprintfW(text, L"Нет соединения: %s", reason);
}

NetworkReport* NewReport(void)
{
    NetworkReport* report =
        static_cast<NetworkReport*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(NetworkReport)));
    if (report)
        report->trayState = -1;
    return report;
}

// Queues the report for the main thread and tells the window to look; drops it when
// there is nothing in it or the main thread takes no more. A "look" that cannot be
// posted leaves the report queued: the next one takes it along.
void Post(const WorkerStart& worker, NetworkReport* report)
{
    bool news = report->trayState >= 0 || report->hasData || report->balloon[0];
    if (news && QueueReport(worker.queue, report))
        PostMessageW(worker.window, WM_NETWORK_REPORT, 0, 0);
    else
        FreeNetworkReport(report);
}

// One download, conditional on the cached copy of this address: a new, whole and
// valid file is cached, then shown. False when no data address is set.
bool Download(const WorkerStart& worker)
{
    FetchSettings settings;
    FetchOutcome usable = ReadFetchSettings(&settings);
    NetworkReport* report = usable == FETCH_OK ? NewReport() : nullptr;
    if (!report)
        return usable != FETCH_NO_URL;
    WCHAR since[kGmtTextUnits] = L"";
    DWORD cachedSize = 0;
    TournamentData cachedData;
    char* cached = CachedCopyOf(settings.url, &cachedSize, &cachedData);
    if (cached)
        StoredLastModified(since);
    FetchAnswer answer;
    Fetch(settings, since, false, worker.stop, &answer);
    report->trayState = TrayStateOf(answer);
    if (answer.body && ReadTournamentData(answer.body, answer.size, &report->data)) {
        if (cached && cachedSize == answer.size && !memcmp(cached, answer.body, answer.size)) {
            RememberLastModified(answer.lastModified); // the same file again
        } else {
            // The old copy's address is forgotten first: a copy whose record was
            // not finished is never trusted.
            DeleteSetting(ENGINE_SETTINGS_KEY, VALUE_DATA_SOURCE);
            if (WriteCacheFile(answer.body, answer.size)) {
                RememberLastModified(answer.lastModified);
                WriteSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_SOURCE, settings.url);
            }
            report->hasData = true;
            lstrcpyW(report->balloon, kDataUpdated);
        }
    }
    if (cached)
        HeapFree(GetProcessHeap(), 0, cached);
    FreeFetchAnswer(&answer);
    Post(worker, report);
    return true;
}

void TestConnection(const WorkerStart& worker)
{
    NetworkReport* report = NewReport();
    if (!report)
        return;
    FetchSettings settings;
    FetchAnswer answer = {};
    answer.outcome = ReadFetchSettings(&settings);
    if (answer.outcome == FETCH_OK)
        Fetch(settings, L"", true, worker.stop, &answer);
    report->trayState = TrayStateOf(answer);
    DescribeTest(answer, settings, report->balloon);
    FreeFetchAnswer(&answer);
    Post(worker, report);
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

// With a data address: a download at once, then every 30 minutes and on request.
// Without one, the tray follows the system's connectivity at start.
void RunWorker(const WorkerStart& worker)
{
    bool scheduled = Download(worker);
    NetworkReport* report = !scheduled && !SystemIsOnline() ? NewReport() : nullptr;
    if (report) {
        report->trayState = 1; // the tray starts online
        Post(worker, report);
    }
    DWORD last = GetTickCount();
    HANDLE events[3] = { worker.stop, worker.download, worker.test };
    for (;;) {
        DWORD wait = INFINITE;
        if (scheduled) {
            DWORD spent = GetTickCount() - last;
            wait = spent < kDownloadIntervalMs ? kDownloadIntervalMs - spent : 0;
        }
        DWORD woke = WaitForMultipleObjects(3, events, FALSE, wait);
        if (woke == WAIT_OBJECT_0 + 2) {
            TestConnection(worker);
            continue;
        }
        if (woke != WAIT_OBJECT_0 + 1 && woke != WAIT_TIMEOUT)
            return; // the stop event, or the wait failed
        scheduled = Download(worker);
        last = GetTickCount();
    }
}

DWORD WINAPI NetworkWorker(LPVOID parameter)
{
    WorkerStart worker = *static_cast<WorkerStart*>(parameter);
    HeapFree(GetProcessHeap(), 0, parameter);
    RunWorker(worker);
    LetGoOfReportQueue(worker.queue);
    CloseHandle(worker.stop);
    CloseHandle(worker.download);
    CloseHandle(worker.test);
    FreeLibraryAndExitThread(worker.module, 0);
}

bool Duplicate(HANDLE event, HANDLE* copy)
{
    return DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), copy, 0, FALSE, DUPLICATE_SAME_ACCESS) !=
           FALSE;
}

void CloseEvent(HANDLE* event)
{
    if (*event)
        CloseHandle(*event);
    *event = nullptr;
}

} // namespace

bool LoadCachedData(TournamentData* data)
{
    WCHAR url[kSettingTextUnits];
    DWORD size = 0;
    ReadSettingText(ENGINE_SETTINGS_KEY, VALUE_DATA_URL, url, kSettingTextUnits);
    char* bytes = CachedCopyOf(url, &size, data);
    if (!bytes)
        return false;
    HeapFree(GetProcessHeap(), 0, bytes);
    return true;
}

bool StartNetwork(HWND window)
{
    s_window = window;
    s_trayState = 0;
    s_queue = NewReportQueue();
    s_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s_download = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    s_test = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    WorkerStart* start = static_cast<WorkerStart*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(WorkerStart)));
    if (start && s_queue && s_stop && s_download && s_test && Duplicate(s_stop, &start->stop) &&
        Duplicate(s_download, &start->download) && Duplicate(s_test, &start->test) &&
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&NetworkWorker),
                           &start->module)) {
        start->window = window;
        start->queue = s_queue;
        HoldReportQueue(s_queue); // the worker's hold, let go by the worker at its end
        s_worker = CreateThread(nullptr, 0, NetworkWorker, start, 0, nullptr);
        if (!s_worker)
            LetGoOfReportQueue(s_queue);
    }
    if (s_worker)
        return true;
    if (start) {
        CloseEvent(&start->stop);
        CloseEvent(&start->download);
        CloseEvent(&start->test);
        if (start->module)
            FreeLibrary(start->module);
        HeapFree(GetProcessHeap(), 0, start);
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
    return s_queue ? TakeReport(s_queue) : nullptr;
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
        CloseHandle(s_worker);
        s_worker = nullptr;
    }
    CloseEvent(&s_stop);
    CloseEvent(&s_download);
    CloseEvent(&s_test);
    if (s_queue) {
        CloseReportQueue(s_queue);
        LetGoOfReportQueue(s_queue);
        s_queue = nullptr;
    }
    s_window = nullptr;
}
