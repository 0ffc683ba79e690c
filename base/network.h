// The widget online. With a data address (data_url) a worker thread of the engine's
// own fetches the data file at start, then every minute while a match is under way
// and every 30 minutes otherwise (fetch_schedule.h), when the proxy dialog closes and
// when the user asks; it keeps the cached copy and answers the proxy test. The main
// thread takes what it found from a queue when told to look, and never waits for the network.
// Everything here but the worker itself runs on the main thread.
#pragma once

#include <windows.h>

#include "../loader/time/date_texts.h" // by path: some tests include this header without the time module
#include "report_queue.h"
#include "tournament_data.h"

// Posted to the widget window with no parameters: "reports are waiting", nothing
// more. The reports themselves stay in a queue of this module's until the window
// takes them, so a message forged by another process finds nothing to read.
const UINT WM_NETWORK_REPORT = WM_APP + 2;

// Room for a balloon's text and for a failed download's reason.
const int kNetworkTextUnits = 384;

struct NetworkReport {
    ReportLink link;       // first: the queue's
    int trayState;         // -1: nothing new; else 0 online, 1 offline
    bool hasData;          // a new data file, already cached, to be shown
    TournamentData data;
    WCHAR balloon[kNetworkTextUnits]; // empty: no balloon
    // For DescribeDataSource; a proxy test sets none of them.
    bool downloaded;                    // a download worked: a valid file came, or a 304
    bool validFile;                     // a valid file came, new or the same again
    WCHAR lastModified[kGmtTextUnits];  // with validFile, its Last-Modified or empty
    WCHAR failure[kNetworkTextUnits];   // a failed download's reason, as a balloon says it; else empty
};

// The cached copy of the file at the current data address, when it is whole and
// valid; false (data untouched) otherwise. The widget starts with what this gives,
// else with the built-in data: DescribeDataSource starts from its answer.
bool LoadCachedData(TournamentData* data);
// What the widget's menu says of its data (main thread): "Данные от 11 июля, 23:40",
// "Данные: встроенные; нет соединения: сервер недоступен". Cut to `units`.
void DescribeDataSource(WCHAR* text, int units);

// Starts the worker, which reports to `window` through the queue and keeps a copy of
// `data` (what the widget starts with) for its schedule. False when it could not
// start: the widget then keeps the data it has and makes no request.
bool StartNetwork(HWND window, const TournamentData& data);
// A download now, with the settings read again: the proxy dialog closed, or the user
// asked ("Обновить сейчас").
void RequestDownload(void);
// A data address is stored: there is somewhere to download from.
bool DataAddressIsSet(void);
// The proxy dialog's test: one request, answered with a balloon.
void RequestProxyTest(void);
// True when `state` (a report's trayState) differs from what the tray was last
// told, which it then is; the tray starts online.
bool TrayStateChanges(int state);
// The oldest report not yet taken, or null; the caller frees it.
NetworkReport* TakeNetworkReport(void);
void FreeNetworkReport(NetworkReport* report);
// Cancels what the worker is doing and waits for its end, at most 0.9 s; drops
// the reports not yet taken. Called before the window is destroyed. A worker
// still inside a call it cannot leave (Wine's WinHTTP finishing a receive, a
// proxy script being fetched) ends by itself soon after, keeping base.dll loaded
// until it has.
void StopNetwork(void);
