// What the updater tells the main thread and the user: the worker's report, the state
// the main thread keeps from the reports, the menu's line made of it, the reasons a
// check failed, and when the next check comes. Pure rules: no state of their own.
#pragma once

#include <windows.h>

#include "network.h"
#include "report_queue.h"
#include "update_description.h"

enum UpdateStatus {
    UPDATES_NOT_BUILT_IN, // the build has no publisher's key: no updater at all
    UPDATES_UNCHECKED,    // no check has ended yet
    UPDATES_NO_ADDRESS,   // no update address (update_url): no checks
    UPDATES_LATEST,       // the server offers this version
    UPDATES_SERVER_OLDER, // the server offers an older version (`version`)
    UPDATES_PENDING,      // the package of `version` waits for the Loader
    UPDATES_FAILED,       // the last check failed (`failure`)
};

// One of the worker's reports.
struct UpdateReport {
    ReportLink link;        // first: the queue's
    UpdateStatus status;
    ReleaseVersion version; // the server's (UPDATES_SERVER_OLDER) or the pending package's
    bool downloaded;        // the package was written just now: a balloon says so
    WCHAR failure[kNetworkTextUnits];
};

// What the main thread knows. A pending package stays the news until the Loader has
// taken it, whatever later checks say.
struct UpdateState {
    UpdateStatus status;
    ReleaseVersion installed;
    ReleaseVersion offered; // the server's older version
    bool pending;
    ReleaseVersion pendingVersion;
    WCHAR failure[kNetworkTextUnits];
};

void NoteUpdateReport(UpdateState* state, const UpdateReport& report);

// The menu's greyed line: "Обновления: не настроены", "Обновления: версия 1.2.0, последняя",
// "Обновление 1.3.0 загружено", "Обновления: версия 1.2.0; подпись описания обновления
// неверна", ... (a pending package's line also ends with the last failure, if any).
// Always terminated; cut to `units`.
void FormatUpdateState(const UpdateState& state, WCHAR* text, int units);

// "Загружено обновление 1.3.0. Оно будет установлено при следующем запуске виджета."
// into text[kNetworkTextUnits].
void FormatUpdateBalloon(const ReleaseVersion& version, WCHAR* text);

// Why a check or the install failed, as the menu's line says it after the version.
enum UpdateFailure {
    UPDATE_BAD_ADDRESS,          // update_url is no http or https address
    UPDATE_DESCRIPTION_TOO_BIG,
    UPDATE_BAD_DESCRIPTION,      // detail: a DescriptionProblem
    UPDATE_BAD_SIGNATURE,
    UPDATE_CHECK_UNAVAILABLE,    // detail: CNG's status
    UPDATE_BAD_PACKAGE_ADDRESS,
    UPDATE_PACKAGE_SIZE,         // the package is not as long as the description says
    UPDATE_PACKAGE_HASH,
    UPDATE_NOT_INSTALLED,        // the widget runs from no install folder (no Loader beside it)
    UPDATE_NOT_WRITTEN,          // detail: the system's error
    UPDATE_LOADER_NOT_STARTED,   // detail: the system's error
};
// Into text[kNetworkTextUnits].
void DescribeUpdateFailure(UpdateFailure failure, DWORD detail, WCHAR* text);

// The wait before a check, from a random number: the first a few minutes after the
// start, the next about a day later, sooner after a failure; spread so that many
// widgets do not ask at once.
enum CheckDelay { FIRST_CHECK, NEXT_CHECK, RETRY_CHECK };
DWORD CheckDelayMs(CheckDelay delay, DWORD random);
