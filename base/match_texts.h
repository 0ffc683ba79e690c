// How the widget writes into its cells: bounded appends of texts and numbers, times
// and dates in the zone shown, the zone's label, a match's teams and result at a moment; and the rules
// of its texts (plural, countdown, reminder). Cells are always terminated; a text too
// long for its cell is cut.
#pragma once

#include <windows.h>

#include "tournament_data.h"

const int kCellUnits = 48;

void AppendText(WCHAR* cell, const WCHAR* text);
void AppendNumber(WCHAR* cell, unsigned n);
void AppendSigned(WCHAR* cell, int n);     // "+4", "−2" (a real minus sign), "0"
void AppendTwoDigits(WCHAR* cell, unsigned n);
void AppendClock(WCHAR* cell, const SYSTEMTIME& local);   // "18:00"
void AppendDate(WCHAR* cell, const SYSTEMTIME& local);    // "11 июня"
void AppendDayName(WCHAR* cell, const SYSTEMTIME& local); // "пятница, 11 июня"

// The shown zone's record of a moment, and of the start of one of its days.
SYSTEMTIME LocalRecord(ULONGLONG utc);
SYSTEMTIME LocalDayRecord(ULONGLONG day);

// "время: UTC+5", "время: UTC+5:30", "время: UTC−3" (a real minus sign), "время: UTC"
// for an offset from UTC in minutes, east positive.
void FormatZoneLabel(int minutes, WCHAR* text, int units);
// The label of the computer's zone with the offset in effect at `utc`; false, with an
// empty text, while the fixed zone is shown.
bool ShownZoneLabel(ULONGLONG utc, WCHAR* text, int units);

// `hidden`: the matches whose results the user keeps hidden until a click ("?:?");
// 0 shows every result.
// "ЮАР — Мексика"; a knock-out team is named once the match or group that sends it
// there is decided at `now` ("1-й A", "Победитель 53" until then) and, while the
// match itself is hidden, that match or group is not.
void AppendTeams(WCHAR* cell, const TournamentData& data, const Match& match, ULONGLONG now, MatchMask hidden = 0);
// "1:1", "1:2 д.в.", "0:0, пен. 5:3"; while under way the score so far beside "идёт"
// ("1:0 идёт", "1:1 д.в. идёт", "1:1, пен. 2:1 идёт"; "идёт" alone when the data hold
// no goals); "–:–" while a result is missing after the end; "?:?" for a hidden
// result; nothing before the kick-off. A replay counts goals from their moments.
void AppendResult(WCHAR* cell, const TournamentData& data, const Match& match, ULONGLONG now, MatchMask hidden = 0);
// A group whose table would tell a hidden result: one of its matches that count at
// `now` is hidden.
bool GroupHidden(const TournamentData& data, int group, ULONGLONG now, MatchMask hidden);

// The Russian noun form for a count: 1 день, 2 дня, 5 дней, 11 дней, 21 день.
const WCHAR* RussianPlural(ULONGLONG n, const WCHAR* one, const WCHAR* few, const WCHAR* many);

// "через 2 ч 15 мин" for the time from now to `moment`, counting a begun minute as
// a whole one ("через 1 мин" in the last minute); beyond a day "через 1 день 3 ч".
// *change is when the text next reads differently.
void FormatCountdown(ULONGLONG now, ULONGLONG moment, WCHAR* text, int units, ULONGLONG* change);

// The team a match names on its `home` or `away` side at `now`, or kNoTeam while
// a knock-out place is not decided.
int ShownTeam(const TournamentData& data, const Match& match, bool home, ULONGLONG now, MatchMask hidden = 0);

// "Через 5 минут", "Через 21 минуту", "Через 1 час", "Через 2 часа", "Через 1 ч 30 мин".
void AppendLead(WCHAR* text, int units, DWORD minutes);

// Which kick-offs are reminded of: `minutes` before each (0: none), of every match or
// only of team `onlyTeam`'s (kNoTeam: every match).
struct ReminderRule {
    DWORD minutes;
    int onlyTeam;
    MatchMask hidden; // results the user keeps hidden: no team is named from them
};
// The balloon for the kick-offs whose mark falls in (from, to], with the time left at
// `to`: "Через 15 минут: ЮАР — Мексика", or after a late wake-up "Через 3 минуты: ...";
// a match under way by then is told so ("Матч уже идёт: ЮАР — Мексика"), one over
// not at all. Kick-offs at the same time share one part, the earliest comes first.
// False when there is none.
bool KickoffReminder(const TournamentData& data, const ReminderRule& rule, ULONGLONG from, ULONGLONG to,
                     WCHAR* text, int units);
