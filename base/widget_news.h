// The balloons the widget asks the tray for: reminders before kick-offs, and the
// matches as they happen (goals and final whistles), each told once. Main thread.
#pragma once

#include <windows.h>

// Asks the tray window for a balloon with `text`.
void SendBalloon(const WCHAR* text);
// At start: what counts at `now` is taken as told, and with the real clock also what
// an earlier run told, so that nothing from before the start comes.
void StartNews(ULONGLONG now);
// After a jump of the clock: no reminders for the hours it skipped.
void SkipRemindersTo(ULONGLONG now);
// What is due at `now` since the last look: reminders, then goals and final whistles,
// as the user chose.
void GiveNews(ULONGLONG now);
