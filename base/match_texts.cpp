#include "match_texts.h"

#include "date_texts.h"
#include "group_standings.h"
#include "live_score.h"
#include "widget_clock.h"
#include "widget_texts.h"

namespace {

const ULONGLONG kTicksPerHour = 60 * kTicksPerMinute;

// A knock-out team is named once the match that sends it there is decided.
bool SourceDecided(const TournamentData& data, const KnockoutSource& source, ULONGLONG now)
{
    if (source.kind == '1' || source.kind == '2')
        return GroupComplete(data, source.from, now);
    return OverWithResult(data.matches[source.from - 1], now);
}

// "1-й A", "Победитель 53", "Проигравший 61".
void AppendSourceLabel(WCHAR* cell, const KnockoutSource& source)
{
    if (source.kind == '1' || source.kind == '2') {
        WCHAR label[8] = { static_cast<WCHAR>(source.kind), L'-', L'\x0439', L' ',
                           static_cast<WCHAR>(L'A' + source.from), 0 };
        AppendText(cell, label);
        return;
    }
    AppendText(cell, source.kind == 'W' ? kWinnerOf : kLoserOf);
    AppendNumber(cell, source.from);
}

// Would naming the team that `source` sends tell a hidden result?
bool SourceHidden(const TournamentData& data, const KnockoutSource& source, ULONGLONG now, MatchMask hidden)
{
    if (source.kind == '1' || source.kind == '2')
        return GroupHidden(data, source.from, now, hidden);
    return (hidden & MatchBit(source.from)) != 0;
}

void AppendTeam(WCHAR* cell, const TournamentData& data, const Match& match, bool home, ULONGLONG now,
                MatchMask hidden)
{
    int team = ShownTeam(data, match, home, now, hidden);
    if (team != kNoTeam) {
        AppendText(cell, data.teams[team].name);
    } else if (match.stage != STAGE_GROUP) {
        KnockoutSource sources[2];
        GetKnockoutSources(match.number, &sources[0], &sources[1]);
        AppendSourceLabel(cell, sources[home ? 0 : 1]);
    } else {
        AppendText(cell, L"?");
    }
}

const int kBalloonUnits = 256;

void AppendBalloon(WCHAR* balloon, const WCHAR* text)
{
    int used = lstrlenW(balloon);
    if (used < kBalloonUnits - 1)
        lstrcpynW(balloon + used, text, kBalloonUnits - used);
}

// The match's reminder mark falls in (from, to], the match is not over at `to`, and it
// is one the rule reminds of.
bool Reminded(const TournamentData& data, const ReminderRule& rule, const Match& match, ULONGLONG from, ULONGLONG to)
{
    ULONGLONG mark = match.kickoff - rule.minutes * kTicksPerMinute;
    if (mark <= from || mark > to || MatchStateAt(match, to) == MATCH_OVER)
        return false;
    return rule.onlyTeam == kNoTeam || ShownTeam(data, match, true, to, rule.hidden) == rule.onlyTeam ||
           ShownTeam(data, match, false, to, rule.hidden) == rule.onlyTeam;
}

void AppendScore(WCHAR* cell, const Score& score)
{
    AppendNumber(cell, static_cast<unsigned>(score.home));
    AppendText(cell, L":");
    AppendNumber(cell, static_cast<unsigned>(score.away));
}

} // namespace

int ShownTeam(const TournamentData& data, const Match& match, bool home, ULONGLONG now, MatchMask hidden)
{
    int team = home ? match.home : match.away;
    if (team == kNoTeam || match.stage == STAGE_GROUP)
        return team;
    KnockoutSource sources[2];
    GetKnockoutSources(match.number, &sources[0], &sources[1]);
    const KnockoutSource& source = sources[home ? 0 : 1];
    if (!SourceDecided(data, source, now))
        return kNoTeam;
    // A hidden match names its teams only when where they come from is shown.
    if ((hidden & MatchBit(match.number)) && SourceHidden(data, source, now, hidden))
        return kNoTeam;
    return team;
}

bool GroupHidden(const TournamentData& data, int group, ULONGLONG now, MatchMask hidden)
{
    for (const Match& match : data.matches) {
        if (match.stage == STAGE_GROUP && match.group == group && (hidden & MatchBit(match.number)) &&
            OverWithResult(match, now))
            return true;
    }
    return false;
}

void AppendText(WCHAR* cell, const WCHAR* text)
{
    int used = lstrlenW(cell);
    if (used < kCellUnits - 1)
        lstrcpynW(cell + used, text, kCellUnits - used);
}

void AppendNumber(WCHAR* cell, unsigned n)
{
    WCHAR digits[12];
    int at = 11;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<WCHAR>(L'0' + n % 10);
        n /= 10;
    } while (n);
    AppendText(cell, digits + at);
}

// "+4", "−2" (a real minus sign), "0".
void AppendSigned(WCHAR* cell, int n)
{
    AppendText(cell, n > 0 ? L"+" : n < 0 ? L"\x2212" : L"");
    AppendNumber(cell, static_cast<unsigned>(n < 0 ? -n : n));
}

void AppendTwoDigits(WCHAR* cell, unsigned n)
{
    WCHAR digits[3] = { static_cast<WCHAR>(L'0' + n / 10 % 10), static_cast<WCHAR>(L'0' + n % 10), 0 };
    AppendText(cell, digits);
}

// "18:00"
void AppendClock(WCHAR* cell, const SYSTEMTIME& local)
{
    AppendTwoDigits(cell, local.wHour);
    AppendText(cell, L":");
    AppendTwoDigits(cell, local.wMinute);
}

// "11 июня"
void AppendDate(WCHAR* cell, const SYSTEMTIME& local)
{
    AppendNumber(cell, local.wDay);
    AppendText(cell, L" ");
    AppendText(cell, GetMonthNameRu(&local));
}

// "пятница, 11 июня"
void AppendDayName(WCHAR* cell, const SYSTEMTIME& local)
{
    AppendText(cell, GetDayOfWeekNameRu(&local));
    AppendText(cell, L", ");
    AppendDate(cell, local);
}

SYSTEMTIME LocalRecord(ULONGLONG utc)
{
    SYSTEMTIME local;
    ToShownZone(utc, &local);
    return local;
}

// The record of a day's start (for its name and date).
SYSTEMTIME LocalDayRecord(ULONGLONG day)
{
    return LocalRecord(LocalDayStart(day));
}

void FormatZoneLabel(int minutes, WCHAR* text, int units)
{
    if (units < 1)
        return;
    WCHAR built[kCellUnits] = {};
    AppendText(built, kZoneLabel);
    unsigned whole = static_cast<unsigned>(minutes < 0 ? -minutes : minutes);
    if (whole) {
        AppendText(built, minutes < 0 ? L"\x2212" : L"+");
        AppendNumber(built, whole / 60);
    }
    if (whole % 60) {
        AppendText(built, L":");
        AppendTwoDigits(built, whole % 60);
    }
    lstrcpynW(text, built, units);
}

bool ShownZoneLabel(ULONGLONG utc, WCHAR* text, int units)
{
    int minutes;
    if (!ComputersZoneOffset(utc, &minutes)) {
        if (units > 0)
            text[0] = 0;
        return false;
    }
    FormatZoneLabel(minutes, text, units);
    return true;
}

void AppendTeams(WCHAR* cell, const TournamentData& data, const Match& match, ULONGLONG now, MatchMask hidden)
{
    AppendTeam(cell, data, match, true, now, hidden);
    AppendText(cell, kVersus);
    AppendTeam(cell, data, match, false, now, hidden);
}

void AppendResult(WCHAR* cell, const TournamentData& data, const Match& match, ULONGLONG now, MatchMask hidden)
{
    MatchState state = MatchStateAt(match, now);
    if (state == MATCH_AHEAD)
        return;
    bool secret = (hidden & MatchBit(match.number)) != 0;
    if (state == MATCH_UNDER_WAY) {
        LiveScore live;
        if (secret) {
            AppendText(cell, kHiddenScore);
            AppendText(cell, L" ");
        } else if (ScoreAt(data, match, now, ReplayRunning(), &live)) {
            AppendScore(cell, live.goals);
            if (live.shootout) {
                AppendText(cell, kPenalties);
                AppendScore(cell, live.kicks);
            } else if (live.extraTime) {
                AppendText(cell, kAfterExtraTime);
            }
            AppendText(cell, L" ");
        }
        AppendText(cell, kUnderWay);
        return;
    }
    if (!HasResult(match)) {
        AppendText(cell, kNoResultYet);
        return;
    }
    if (secret) {
        AppendText(cell, kHiddenScore);
        return;
    }
    bool extra = match.extra.home != kNoGoals;
    AppendScore(cell, extra ? match.extra : match.regular);
    if (match.penalties.home != kNoGoals) {
        AppendText(cell, kPenalties);
        AppendScore(cell, match.penalties);
    } else if (extra) {
        AppendText(cell, kAfterExtraTime);
    }
}

const WCHAR* RussianPlural(ULONGLONG n, const WCHAR* one, const WCHAR* few, const WCHAR* many)
{
    ULONGLONG lastTwo = n % 100, last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return many;
    if (last == 1)
        return one;
    return last >= 2 && last <= 4 ? few : many;
}

void FormatCountdown(ULONGLONG now, ULONGLONG moment, WCHAR* text, int units, ULONGLONG* change)
{
    if (units < 1)
        return;
    text[0] = 0;
    ULONGLONG left = moment > now ? moment - now : 0;
    ULONGLONG minutes = (left + kTicksPerMinute - 1) / kTicksPerMinute; // a begun minute counts
    WCHAR built[kCellUnits] = {};
    AppendText(built, kCountdownIn);
    if (minutes <= 24 * 60) {
        ULONGLONG hours = minutes / 60, rest = minutes % 60;
        if (hours) {
            AppendNumber(built, static_cast<unsigned>(hours));
            AppendText(built, kHours);
        }
        if (rest || !hours) {
            AppendText(built, hours ? L" " : L"");
            AppendNumber(built, static_cast<unsigned>(rest));
            AppendText(built, kMinutes);
        }
        // The text changes when the count of begun minutes drops by one.
        *change = minutes ? moment - (minutes - 1) * kTicksPerMinute : moment;
    } else {
        ULONGLONG hours = (left + kTicksPerHour - 1) / kTicksPerHour;
        ULONGLONG days = hours / 24, rest = hours % 24;
        AppendNumber(built, static_cast<unsigned>(days));
        AppendText(built, L" ");
        AppendText(built, RussianPlural(days, kDayForms[0], kDayForms[1], kDayForms[2]));
        if (rest) {
            AppendText(built, L" ");
            AppendNumber(built, static_cast<unsigned>(rest));
            AppendText(built, kHours);
        }
        *change = moment - (hours - 1) * kTicksPerHour;
    }
    lstrcpynW(text, built, units);
}

void AppendLead(WCHAR* text, int units, DWORD minutes)
{
    WCHAR built[kCellUnits] = {};
    AppendText(built, kReminderIn);
    DWORD hours = minutes / 60, rest = minutes % 60;
    if (!hours) {
        AppendNumber(built, rest);
        AppendText(built, RussianPlural(rest, kMinuteForms[0], kMinuteForms[1], kMinuteForms[2]));
    } else if (!rest) {
        AppendNumber(built, hours);
        AppendText(built, RussianPlural(hours, kHourForms[0], kHourForms[1], kHourForms[2]));
    } else {
        AppendNumber(built, hours);
        AppendText(built, kHours);
        AppendText(built, L" ");
        AppendNumber(built, rest);
        AppendText(built, kMinutes);
    }
    if (units > 0)
        lstrcpynW(text, built, units);
}

bool KickoffReminder(const TournamentData& data, const ReminderRule& rule, ULONGLONG from, ULONGLONG to,
                     WCHAR* text, int units)
{
    if (rule.minutes == 0)
        return false;
    WCHAR built[kBalloonUnits] = {};
    // The matches under way first (kickoff 0), then each kick-off still ahead, the
    // earliest first, with the time actually left: a wake-up after sleep comes late.
    for (ULONGLONG kickoff = 0;;) {
        WCHAR teams[kBalloonUnits] = {};
        int count = 0;
        ULONGLONG next = 0;
        for (const Match& match : data.matches) {
            if (!Reminded(data, rule, match, from, to))
                continue;
            bool ahead = match.kickoff > to;
            if (ahead && match.kickoff > kickoff && (!next || match.kickoff < next))
                next = match.kickoff;
            if (kickoff ? match.kickoff != kickoff : ahead)
                continue;
            WCHAR cell[kCellUnits] = {};
            AppendTeams(cell, data, match, to, rule.hidden);
            AppendBalloon(teams, count++ ? L", " : L"");
            AppendBalloon(teams, cell);
        }
        if (count) {
            AppendBalloon(built, built[0] ? L". " : L"");
            if (kickoff) {
                WCHAR lead[kCellUnits] = {};
                AppendLead(lead, kCellUnits, static_cast<DWORD>((kickoff - to + kTicksPerMinute - 1) / kTicksPerMinute));
                AppendBalloon(built, lead);
                AppendBalloon(built, L": ");
            } else {
                AppendBalloon(built, count == 1 ? kMatchUnderWay : kMatchesUnderWay);
            }
            AppendBalloon(built, teams);
        }
        if (!next)
            break;
        kickoff = next;
    }
    if (built[0] && units > 0)
        lstrcpynW(text, built, units);
    return built[0] != 0;
}
