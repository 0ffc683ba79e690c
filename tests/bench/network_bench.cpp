// The network's figures, against the local servers of the network tests
// (tests/network/net_server.py, started by scripts/benchmark.sh):
// - a download of the data file through the proxy with its login, and a 304 round
//   trip, by the real engine in this process (from the host message that asks for
//   it to the worker's report handled on the main thread), each beside the floor: a
//   plain synchronous WinHTTP request that does the same exchange and nothing else;
// - the Host's start with the real engine with no data address, with one whose
//   server answers and with one whose server never answers, seen from outside.
// Prints "NETWORK key min median" lines and markdown lines after "NETWATERFALL ".
#include <windows.h>
#include <winhttp.h>

#include <stdio.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/network.h"
#include "host/engine_interface.h"
#include "test_support.h"
#include "tray_timing.h"
#include "waterfall.h"
#include "base/engine_settings.h"

namespace bench {

namespace {

const wchar_t kIfModifiedSince[] = L"If-Modified-Since: Thu, 31 Dec 2099 23:59:59 GMT\r\n";

void DeleteValue(const wchar_t* name)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_SET_VALUE, &opened))
        return;
    RegDeleteValueW(opened, name);
    RegCloseKey(opened);
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void PrintSeries(const char* key, const std::vector<double>& ms)
{
    if (!ms.empty())
        printf("NETWORK %s %.1f %.1f %d\n", key, *std::min_element(ms.begin(), ms.end()), Median(ms),
               static_cast<int>(ms.size()));
}

// Serves this thread until the worker's next report has been handled; false after 30 s.
bool WaitReport(HWND widget)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            bool report = message.message == WM_NETWORK_REPORT && message.hwnd == widget;
            DispatchMessageW(&message);
            if (report)
                return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

// The engine's download: from the host message that asks for it to its report
// handled on this thread.
double TimeEngine(HWND widget)
{
    double begin = Now();
    SendMessageW(widget, WM_ENGINE_PROXY_CLOSED, 0, 0);
    return WaitReport(widget) ? Now() - begin : -1;
}

// The floor: the same GET through the proxy, synchronous, its login given after
// the 407, the body read; a new session each time, as the engine opens one.
double TimeFloor(const std::wstring& proxy, INTERNET_PORT origin, bool conditional)
{
    double begin = Now();
    HINTERNET session = WinHttpOpen(L"floor", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connect = session ? WinHttpConnect(session, L"localhost", origin, 0) : nullptr;
    HINTERNET request = connect ? WinHttpOpenRequest(connect, L"GET", L"/files/fresh.csv", nullptr, WINHTTP_NO_REFERER,
                                                     WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                : nullptr;
    DWORD status = 0, size = sizeof(status);
    for (int round = 0; request && round < 2; ++round) {
        if (!WinHttpSendRequest(request, conditional ? kIfModifiedSince : WINHTTP_NO_ADDITIONAL_HEADERS,
                                conditional ? static_cast<DWORD>(-1) : 0, nullptr, 0, 0, 0) ||
            !WinHttpReceiveResponse(request, nullptr) ||
            !WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr, &status,
                                 &size, nullptr))
            break;
        if (status != HTTP_STATUS_PROXY_AUTH_REQ)
            break;
        WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, WINHTTP_AUTH_SCHEME_BASIC, L"fan", L"vuvuzela",
                              nullptr);
    }
    char buffer[16384];
    DWORD read = 0;
    while (status == HTTP_STATUS_OK && WinHttpReadData(request, buffer, sizeof(buffer), &read) && read)
        ;
    for (HINTERNET handle : { request, connect, session }) {
        if (handle)
            WinHttpCloseHandle(handle);
    }
    bool expected = status == (conditional ? HTTP_STATUS_NOT_MODIFIED : HTTP_STATUS_OK);
    return expected ? Now() - begin : -1;
}

LRESULT CALLBACK QuietTray(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return message == WM_COPYDATA || message == WM_TRAY_SET_STATE ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

int TimeRequests(int rounds, int origin, int proxy)
{
    std::wstring proxyName = L"127.0.0.1:" + std::to_wstring(proxy);
    qt::WriteText(PROXY_KEY, VALUE_PROXY_TYPE, L"manual");
    qt::WriteText(PROXY_KEY, VALUE_PROXY_SERVER, proxyName);
    qt::WriteText(PROXY_KEY, VALUE_PROXY_USER, L"fan");
    qt::WriteText(PROXY_KEY, VALUE_PROXY_PASSWORD, L"vuvuzela");
    qt::WriteText(SETTINGS_KEY, VALUE_DATA_URL, L"http://localhost:" + std::to_wstring(origin) + L"/files/fresh.csv");
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = QuietTray;
    windowClass.lpszClassName = L"bench_network_tray";
    RegisterClassW(&windowClass);
    HWND tray = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
    HMODULE engine = LoadLibraryW(qt::BinPath(L"base.dll").c_str());
    auto run = engine ? reinterpret_cast<BOOL (*)(QuornelInitParams*, HWND*, Result*)>(
                            reinterpret_cast<void*>(GetProcAddress(engine, "RunQuornel")))
                      : nullptr;
    static QuornelInitParams params;
    params.trayWindow = tray;
    lstrcpynW(params.currentDirectory, qt::BinDir().c_str(), ARRAYSIZE(params.currentDirectory));
    Result result = {};
    HWND widget = nullptr;
    if (!tray || !run || !run(&params, &widget, &result)) {
        fprintf(stderr, "the engine did not start\n");
        return 2;
    }
    WaitReport(widget); // the download at start
    std::vector<double> download, notModified, floorDownload, floorNotModified;
    int failures = 0;
    for (int i = 0; i < rounds; ++i) {
        DeleteValue(L"data_cached_url"); // the cached copy is not trusted: a whole download
        double ms[4] = { TimeEngine(widget), TimeEngine(widget), TimeFloor(proxyName, static_cast<INTERNET_PORT>(origin), false),
                         TimeFloor(proxyName, static_cast<INTERNET_PORT>(origin), true) };
        std::vector<double>* series[4] = { &download, &notModified, &floorDownload, &floorNotModified };
        for (int k = 0; k < 4; ++k) {
            if (ms[k] >= 0)
                series[k]->push_back(ms[k]);
            else
                ++failures;
        }
        printf("%5d %9.1f %9.1f %9.1f %9.1f\n", i + 1, ms[0], ms[1], ms[2], ms[3]);
        fflush(stdout);
    }
    reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(engine, "ExitQuornel")))();
    DestroyWindow(tray);
    FreeLibrary(engine);
    PrintSeries("download", download);
    PrintSeries("not_modified", notModified);
    PrintSeries("floor_download", floorDownload);
    PrintSeries("floor_not_modified", floorNotModified);
    return failures ? 1 : 0;
}

// The Host's start with the real engine, three ways, in turn.
int TimeStarts(int rounds, int origin)
{
    std::wstring dir;
    if (!PrepareWidgetFolder(&dir))
        return 2;
    qt::WriteText(PROXY_KEY, VALUE_PROXY_TYPE, L"auto");
    const struct {
        const char* what;
        std::wstring url; // empty: no data address
    } ways[] = {
        { "no data address", L"" },
        { "a data address, its server answering", L"http://localhost:" + std::to_wstring(origin) + L"/files/fresh.csv" },
        { "a data address, its server never answering", L"http://localhost:" + std::to_wstring(origin) + L"/hang" },
    };
    const int count = 3;
    std::vector<double> seen[count][kMilestones];
    std::vector<double> overNone[count]; // per round: ready with an address over ready without
    int failures = 0;
    // A new order each round, so that no way always follows the same other (a start
    // just after a Host that ended pays for some of its end).
    std::mt19937 random(16);
    int order[count] = { 0, 1, 2 };
    for (int round = 0; round <= rounds; ++round) {
        std::shuffle(order, order + count, random);
        double ready[count] = { -1, -1, -1 };
        for (int way : order) {
            if (ways[way].url.empty())
                DeleteValue(VALUE_DATA_URL);
            else
                qt::WriteText(SETTINGS_KEY, VALUE_DATA_URL, ways[way].url);
            double ms[kMilestones];
            bool ok = TimeMilestones(dir, kWidgetDirect, std::wstring(), ms);
            Sleep(150);
            if (round == 0)
                continue; // the unmeasured first start of each
            if (!ok) {
                ++failures;
                continue;
            }
            for (int m = 0; m < kMilestones; ++m) {
                if (ms[m] >= 0)
                    seen[way][m].push_back(ms[m]);
            }
            ready[way] = ms[kLoop];
        }
        for (int way = 1; way < count; ++way) {
            if (ready[0] > 0 && ready[way] > 0)
                overNone[way].push_back(ready[way] / ready[0]);
        }
    }
    DeleteValue(VALUE_DATA_URL);
    const struct {
        Milestone milestone;
        const char* what;
    } rows[] = { { kCreated, "process created" },
                 { kMutex, "DLLs loaded, entry; mutex created" },
                 { kTrayWindow, "tray window exists" },
                 { kIconSeen, "icon seen in the notification area" },
                 { kEngineWindow, "the widget's window seen" },
                 { kLoop, "message loop takes messages: ready" } };
    printf("NETWATERFALL | Host start with the real engine: moment | %s | %s | %s |\n", ways[0].what, ways[1].what,
           ways[2].what);
    printf("NETWATERFALL |---|---:|---:|---:|\n");
    for (const auto& row : rows) {
        printf("NETWATERFALL | %s |", row.what);
        for (int way = 0; way < count; ++way)
            printf(" %.1f |", Median(seen[way][row.milestone]));
        printf("\n");
    }
    printf("NETWATERFALL | ready, median of the per-round ratios over no data address | 1.00 | %.2f | %.2f |\n",
           Median(overNone[1]), Median(overNone[2]));
    return failures ? 1 : 0;
}

} // namespace

int RunNetwork(int rounds, int origin, int proxy)
{
    int requests = TimeRequests(rounds, origin, proxy);
    int starts = TimeStarts(rounds, origin);
    qt::DeleteTree(SETTINGS_KEY);
    return requests ? requests : starts;
}

} // namespace bench
