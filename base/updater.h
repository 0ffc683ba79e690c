// Updates that arrive by themselves. In a build with the publisher's public key, a
// worker thread of the updater's own reads the release description at the update
// address (update_url) a few minutes after the start, then about once a day and when
// the user asks. A signed description of a newer version brings its package, which is
// downloaded into the install folder, checked against the description and left as the
// pending package that the Loader installs at its next start. The engine never runs it
// and never touches the installed update program. The worker reports through a queue
// of its own and a "look" message, as the network does; everything here but the worker
// runs on the main thread.
#pragma once

#include <windows.h>

// Posted to the widget window with no parameters: the updater's reports wait in its
// queue, where a message forged by another process finds nothing.
const UINT WM_UPDATE_REPORT = WM_APP + 10;

// Starts the worker for the install folder (the one the Host started in); without the
// key built in, only notes that there is no updater. The widget works on without it.
void StartUpdater(HWND window, const WCHAR* installFolder);
// "Проверить обновления": a check now.
void RequestUpdateCheck(void);
// Takes the oldest report into the updater's state; true while there was one. For a
// package downloaded just now, `balloon` (kNetworkTextUnits) holds the balloon's text,
// else it is empty.
bool TakeUpdateReport(WCHAR* balloon);
// The menu's greyed line on updates; cut to `units`.
void DescribeUpdates(WCHAR* text, int units);
bool UpdaterBuiltIn(void);
bool UpdateIsPending(void);
// "Установить обновление и перезапустить": starts the Loader in the install folder,
// which installs the pending package (its setup ends this Host) and starts the new
// Host. Nothing when no package is pending or the Loader was started already.
void InstallPendingUpdate(void);
// The end: AskUpdaterToStop first (it cancels what the worker does), then, after the
// network's own stop, StopUpdater waits for the worker until 0.9 s after the ask and
// drops the reports not yet taken.
void AskUpdaterToStop(void);
void StopUpdater(void);
