// What the widget tells of its data in its menu: built in or downloaded (and then
// the file's Last-Modified in the fixed zone), and why the last download failed.
// The texts of the network's failures are made here too. No state of its own: the
// network keeps the main thread's DataSourceState.
#pragma once

#include <windows.h>

#include "network.h"

struct FetchAnswer;
struct FetchSettings;

struct DataSourceState {
    bool downloaded;                    // false: the data built into base.dll
    WCHAR lastModified[kGmtTextUnits];  // the shown file's Last-Modified, or empty
    WCHAR failure[kNetworkTextUnits];   // why the last download failed, or empty
};

// The state once the main thread has taken `report`: new data date the state; a
// download that worked ends the failure, one that failed names it; a proxy test
// changes nothing.
void NoteNetworkReport(DataSourceState* state, const NetworkReport& report);

// "Данные: встроенные", "Данные от 11 июля, 23:40", "Данные: загруженные" (no usable
// Last-Modified), each followed by "; нет соединения: сервер недоступен" while the
// last download failed. Always terminated; cut to `units`.
void FormatDataSource(const DataSourceState& state, WCHAR* text, int units);

// The proxy test's answer, or why a download failed: "Нет соединения: сервер
// недоступен". `text` has room for kNetworkTextUnits.
void DescribeFetch(const FetchAnswer& answer, const FetchSettings& settings, WCHAR* text);
