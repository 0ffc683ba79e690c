// One check of the update address, on the updater's worker: the release description
// fetched (conditionally, when the last one verified at this address is known) and
// verified whole; for a newer version its package downloaded into the install folder,
// checked against the description, dated later than the installed update program and
// renamed into place as the pending package, which the Loader installs at its next
// start. A failure leaves nothing behind but what was there before. What the registry
// keeps of it: base/engine_settings.h (update_*).
#pragma once

#include <windows.h>

#include "update_state.h"

// The Loader, which the user's "install now" starts too.
const WCHAR kLoaderFileName[] = L"tessmark_quornel_loader.exe";
// The package while it arrives, beside the pending one it becomes by a rename.
const WCHAR kDownloadFileName[] = L"update_for_tessmark_quornel.download";

struct UpdatePlace {
    WCHAR folder[MAX_PATH];   // the install folder
    ReleaseVersion installed; // this build's version
    HANDLE cancel;            // ends a request under way (the worker's stop event)
};

// At the worker's start: a download cut off by the last run's end is deleted, and a
// package the engine left earlier that still waits is told (UPDATES_PENDING).
void NotePendingAtStart(const UpdatePlace& place, UpdateReport* report);

// One check, its outcome in the report (status untouched when cancelled). True when it
// came to a conclusion, false when it failed and is to be tried again sooner.
bool CheckForRelease(const UpdatePlace& place, UpdateReport* report);
