#include "widget_content.h"

#include "group_standings.h"
#include "live_score.h"
#include "widget_clock.h"
#include "widget_texts.h"

namespace {

const ULONGLONG kNever = ~0ULL;
const int kEveningHour = 18;   // a kick-off from 18:00 on is the evening's
const int kNightEndsHour = 6;  // the evening's matches stay on the match day until 06:00

ULONGLONG MatchDay(const Match& match)
{
    return LocalDayNumber(match.kickoff);
}

// ---------------------------------------------------------------------------------
// Building the view.

struct Builder {
    const TournamentData& data;
    const ViewChoice& choice;
    ULONGLONG now;
    ULONGLONG today;
    ULONGLONG nightEnds; // today's 06:00: until then the evening before is still on
    WidgetView* view;
    MatchMask hidden;                    // results the user keeps hidden
    const Match* byKickoff[kMatchCount]; // in order of kick-off, then number
};

// Should the view ever be full, its last line is written over.
ViewLine* AddLine(Builder& b, LineStyle style, BYTE column = 0)
{
    WidgetView* view = b.view;
    if (view->lineCount < kMaxLines)
        ++view->lineCount;
    ViewLine* line = &view->lines[view->lineCount - 1];
    *line = ViewLine();
    line->style = style;
    line->column = column;
    return line;
}

// Does the match name the user's team at this moment?
bool IsMine(const Builder& b, const Match& match)
{
    return b.choice.hasFavourite && (ShownTeam(b.data, match, true, b.now, b.hidden) == b.choice.favourite ||
                                     ShownTeam(b.data, match, false, b.now, b.hidden) == b.choice.favourite);
}

void ChangeAt(Builder& b, ULONGLONG moment)
{
    if (moment > b.now && moment < b.view->nextChange)
        b.view->nextChange = moment;
}

// The zone label's offset changes with the summer time, mostly in the night before
// `until` (the next day's start): the moment of that change, to the tick.
void ChangeAtZoneShift(Builder& b, ULONGLONG until)
{
    int before, after, at;
    if (!ComputersZoneOffset(b.now, &before) || !ComputersZoneOffset(until, &after) || before == after)
        return;
    ULONGLONG early = b.now, late = until;
    while (late - early > 1) {
        ULONGLONG middle = early + (late - early) / 2;
        ComputersZoneOffset(middle, &at);
        (at == before ? early : late) = middle;
    }
    ChangeAt(b, late);
}

// A replay's running scores change at the goals' and kicks' moments, and where extra
// time and a shoot-out begin.
void ChangeAtGoals(Builder& b)
{
    if (!ReplayRunning() || !b.data.hasGoals)
        return;
    for (int i = 0; i < b.data.goalCount; ++i) {
        const Goal& goal = b.data.goals[i];
        if (goal.match >= 1 && goal.match <= kMatchCount)
            ChangeAt(b, GoalMoment(b.data.matches[goal.match - 1], goal));
    }
    for (int i = 0; i < b.data.kickCount; ++i) {
        const Kick& kick = b.data.kicks[i];
        if (kick.match >= 1 && kick.match <= kMatchCount)
            ChangeAt(b, KickMoment(b.data.matches[kick.match - 1], kick));
    }
    for (int n = kFirstKnockoutMatch; n <= kMatchCount; ++n) {
        ChangeAt(b, ExtraTimeBegins(b.data.matches[n - 1]));
        ChangeAt(b, ShootoutBegins(b.data.matches[n - 1]));
    }
}

void SortByKickoff(Builder& b)
{
    for (int i = 0; i < kMatchCount; ++i) {
        const Match* moving = &b.data.matches[i];
        int j = i;
        for (; j > 0 && b.byKickoff[j - 1]->kickoff > moving->kickoff; --j)
            b.byKickoff[j] = b.byKickoff[j - 1];
        b.byKickoff[j] = moving;
    }
}

// The first kick-off after now, or kNever.
ULONGLONG NextKickoff(const Builder& b)
{
    for (const Match* match : b.byKickoff) {
        if (match->kickoff > b.now)
            return match->kickoff;
    }
    return kNever;
}

void AddCountdown(Builder& b, WCHAR* cell, ULONGLONG moment)
{
    WCHAR text[kCellUnits];
    ULONGLONG change;
    FormatCountdown(b.now, moment, text, kCellUnits, &change);
    AppendText(cell, text);
    ChangeAt(b, change);
}

// One match: kick-off | teams | the result, or the countdown for the next kick-off,
// or (withCity) the city.
void AddMatchLine(Builder& b, const Match& match, bool withDate, bool withCity)
{
    ViewLine* line = AddLine(b, LINE_MATCH);
    SYSTEMTIME local = LocalRecord(match.kickoff);
    if (withDate) {
        AppendTwoDigits(line->cell[0], local.wDay);
        AppendText(line->cell[0], L".");
        AppendTwoDigits(line->cell[0], local.wMonth);
    } else {
        AppendClock(line->cell[0], local);
    }
    AppendTeams(line->cell[1], b.data, match, b.now, b.hidden);
    line->match = match.number;
    MatchState state = MatchStateAt(match, b.now);
    if (withCity) {
        AppendText(line->cell[2], b.data.cities[match.city].name);
    } else if (state == MATCH_AHEAD && match.kickoff == NextKickoff(b)) {
        AddCountdown(b, line->cell[2], match.kickoff);
        line->mark = MARK_LIVE;
    } else {
        AppendResult(line->cell[2], b.data, match, b.now, b.hidden);
    }
    if (state == MATCH_UNDER_WAY)
        line->mark = MARK_LIVE;
    line->mine = IsMine(b, match);
}

// In the collapsed view: the user's team's next match, when the lines above do not
// show it already ("Матч моей команды, 27 июня").
void AddMyNextMatch(Builder& b)
{
    for (const Match* match : b.byKickoff) {
        if (MatchStateAt(*match, b.now) == MATCH_OVER || !IsMine(b, *match))
            continue;
        for (int i = 0; i < b.view->lineCount; ++i) {
            if (b.view->lines[i].mine)
                return;
        }
        ViewLine* heading = AddLine(b, LINE_HEADING);
        AppendText(heading->cell[0], kMyTeamNext);
        AppendDate(heading->cell[0], LocalRecord(match->kickoff));
        AddMatchLine(b, *match, false, true);
        return;
    }
}

void AddHeading(Builder& b, const WCHAR* text)
{
    AppendText(AddLine(b, LINE_HEADING)->cell[0], text);
}

// The matches of one day, under the name of their stage.
bool AddDayMatches(Builder& b, ULONGLONG day)
{
    int stage = -1;
    for (const Match* match : b.byKickoff) {
        if (MatchDay(*match) != day)
            continue;
        if (match->stage != stage) {
            stage = match->stage;
            AddHeading(b, kStageNames[stage]);
        }
        AddMatchLine(b, *match, false, false);
    }
    return stage >= 0;
}

// A match of an earlier day that today's match day still shows: one under way, and
// until 06:00 one that kicked off the evening before (the late matches run past
// midnight, and the night after them is when their results are looked for).
bool CarriedOver(const Builder& b, const Match& match)
{
    ULONGLONG day = MatchDay(match);
    if (day >= b.today)
        return false;
    if (MatchStateAt(match, b.now) == MATCH_UNDER_WAY)
        return true;
    return b.now < b.nightEnds && day + 1 == b.today && LocalRecord(match.kickoff).wHour >= kEveningHour;
}

// The carried-over matches, each stage under its name and day ("Финал, 11 июля").
bool AddCarriedOver(Builder& b)
{
    int stage = -1;
    for (const Match* match : b.byKickoff) {
        if (!CarriedOver(b, *match))
            continue;
        if (match->stage != stage) {
            stage = match->stage;
            ViewLine* heading = AddLine(b, LINE_HEADING);
            AppendText(heading->cell[0], kStageNames[stage]);
            AppendText(heading->cell[0], L", ");
            AppendDate(heading->cell[0], LocalRecord(match->kickoff));
        }
        AddMatchLine(b, *match, false, false);
    }
    return stage >= 0;
}

// "Следующий матч через 2 ч 15 мин" (with its day when that is not today) and the
// matches that kick off then.
void AddNextMatches(Builder& b)
{
    ULONGLONG kickoff = NextKickoff(b);
    if (kickoff == kNever)
        return;
    ViewLine* heading = AddLine(b, LINE_HEADING);
    AppendText(heading->cell[0], kNextMatch);
    if (LocalDayNumber(kickoff) != b.today) {
        AppendDate(heading->cell[0], LocalRecord(kickoff));
        AppendText(heading->cell[0], L", ");
    }
    AddCountdown(b, heading->cell[0], kickoff);
    heading->mark = MARK_LIVE;
    for (const Match* match : b.byKickoff) {
        if (match->kickoff == kickoff)
            AddMatchLine(b, *match, false, true);
    }
}

// "До начала чемпионата 11 дней"
void AddDaysToStart(Builder& b, ULONGLONG firstDay)
{
    ViewLine* line = AddLine(b, LINE_HEADLINE);
    ULONGLONG days = firstDay - b.today;
    AppendText(line->cell[0], kDaysToStart);
    AppendNumber(line->cell[0], static_cast<unsigned>(days));
    AppendText(line->cell[0], L" ");
    AppendText(line->cell[0], RussianPlural(days, kDayForms[0], kDayForms[1], kDayForms[2]));
}

// "Испания — чемпион мира"
void AddChampion(Builder& b)
{
    ViewLine* line = AddLine(b, LINE_HEADLINE);
    int champion = MatchWinner(b.data.matches[kMatchCount - 1]);
    if (champion == kNoTeam || (b.hidden & MatchBit(kMatchCount))) {
        AppendText(line->cell[0], kTournamentOver);
        return;
    }
    AppendText(line->cell[0], b.data.teams[champion].name);
    AppendText(line->cell[0], kChampionOf);
}

// "Финал, 11 июля" and the match with its result.
void AddMatchWithDay(Builder& b, const Match& match)
{
    ViewLine* heading = AddLine(b, LINE_HEADING);
    AppendText(heading->cell[0], kStageNames[match.stage]);
    AppendText(heading->cell[0], L", ");
    AppendDate(heading->cell[0], LocalRecord(match.kickoff));
    AddMatchLine(b, match, false, false);
}

void AddMatchesPage(Builder& b)
{
    const Match& opening = *b.byKickoff[0];
    const Match& final = b.data.matches[kMatchCount - 1];
    ULONGLONG firstDay = MatchDay(opening);
    ULONGLONG shown = b.view->shownDay;

    ViewLine* bar = AddLine(b, LINE_DAY_BAR);
    if (shown == b.today)
        AppendText(bar->cell[0], kToday);
    else
        AppendDayName(bar->cell[0], LocalDayRecord(shown));

    if (shown != b.today) {
        if (!AddDayMatches(b, shown))
            AppendText(AddLine(b, LINE_NOTE)->cell[0], kNoMatchesThatDay);
        return;
    }
    if (b.today < firstDay) {
        AddDaysToStart(b, firstDay);
        ViewLine* heading = AddLine(b, LINE_HEADING);
        AppendText(heading->cell[0], kOpeningMatch);
        AppendDate(heading->cell[0], LocalRecord(opening.kickoff));
        AddMatchLine(b, opening, false, true);
        return;
    }
    if (MatchStateAt(final, b.now) == MATCH_OVER) {
        AddChampion(b);
        AddMatchWithDay(b, final);
        AddMatchWithDay(b, b.data.matches[kMatchCount - 2]);
        return;
    }
    bool carried = AddCarriedOver(b);
    if (!AddDayMatches(b, b.today) && !carried)
        AppendText(AddLine(b, LINE_NOTE)->cell[0], kNoMatchesToday);
    ULONGLONG next = NextKickoff(b);
    if (next != kNever && LocalDayNumber(next) != b.today)
        AddNextMatches(b);
}

// The header and only what is on now and next: the match day's carried-over matches
// and today's under way, then the next kick-off.
void AddCollapsed(Builder& b)
{
    const Match& final = b.data.matches[kMatchCount - 1];
    ULONGLONG firstDay = MatchDay(*b.byKickoff[0]);
    if (b.today < firstDay) {
        AddDaysToStart(b, firstDay);
        AddMyNextMatch(b);
        return;
    }
    if (MatchStateAt(final, b.now) == MATCH_OVER) {
        AddChampion(b);
        return;
    }
    AddCarriedOver(b);
    for (const Match* match : b.byKickoff) {
        if (MatchDay(*match) == b.today && MatchStateAt(*match, b.now) == MATCH_UNDER_WAY)
            AddMatchLine(b, *match, false, false);
    }
    AddNextMatches(b);
    AddMyNextMatch(b);
}

// The draw's order: the teams' order in the data.
void SortByDraw(Standing* table)
{
    for (int i = 1; i < kTeamsPerGroup; ++i) {
        Standing moving = table[i];
        int j = i;
        for (; j > 0 && table[j - 1].team > moving.team; --j)
            table[j] = table[j - 1];
        table[j] = moving;
    }
}

void AddGroupsPage(Builder& b)
{
    for (int group = 0; group < kGroupCount; ++group) {
        BYTE column = static_cast<BYTE>(group / (kGroupCount / 2));
        ViewLine* head = AddLine(b, LINE_TABLE_HEAD, column);
        AppendText(head->cell[0], kGroup);
        WCHAR letter[2] = { static_cast<WCHAR>(L'A' + group), 0 };
        AppendText(head->cell[0], letter);
        for (int heading = 0; heading < 4; ++heading)
            AppendText(head->cell[heading + 1], kTableColumns[heading]);
        Standing table[kTeamsPerGroup];
        GroupStandings(b.data, group, b.now, table);
        bool complete = GroupComplete(b.data, group, b.now);
        // A hidden result would show in the order and the numbers: the draw's order then.
        bool secret = GroupHidden(b.data, group, b.now, b.hidden);
        if (secret)
            SortByDraw(table);
        for (int place = 0; place < kTeamsPerGroup; ++place) {
            const Standing& s = table[place];
            ViewLine* row = AddLine(b, LINE_TABLE_ROW, column);
            AppendText(row->cell[0], b.data.teams[s.team].name);
            AppendNumber(row->cell[1], static_cast<unsigned>(s.played));
            if (secret) {
                for (int cell = 2; cell < kLineCells; ++cell)
                    AppendText(row->cell[cell], L"?");
            } else {
                AppendNumber(row->cell[2], static_cast<unsigned>(s.goalsFor));
                AppendText(row->cell[2], L"\x2013");
                AppendNumber(row->cell[2], static_cast<unsigned>(s.goalsAgainst));
                AppendSigned(row->cell[3], s.goalsFor - s.goalsAgainst);
                AppendNumber(row->cell[4], static_cast<unsigned>(s.points));
            }
            if (complete && place < 2 && !secret)
                row->mark = MARK_QUALIFIED;
            row->mine = b.choice.hasFavourite && s.team == b.choice.favourite;
        }
    }
}

void AddKnockoutPage(Builder& b)
{
    int stage = -1;
    for (int number = kFirstKnockoutMatch; number <= kMatchCount; ++number) {
        const Match& match = b.data.matches[number - 1];
        if (match.stage != stage) {
            stage = match.stage;
            AddHeading(b, kStageNames[stage]);
        }
        AddMatchLine(b, match, true, false);
    }
}

} // namespace

MatchMask HiddenMatches(const ViewChoice& choice)
{
    return choice.hideScores ? ~choice.revealed : 0;
}

void BuildWidgetView(const TournamentData& data, ULONGLONG now, const ViewChoice& choice, WidgetView* view)
{
    view->lineCount = 0;
    view->nextChange = kNever;
    ULONGLONG today = LocalDayNumber(now);
    Builder b = { data, choice, now, today, LocalDayHour(today, kNightEndsHour), view, HiddenMatches(choice), {} };
    SortByKickoff(b);

    // Every moment at which some page reads differently, whichever is shown: the
    // next day, kick-offs, ends and reminders.
    ChangeAt(b, LocalDayStart(b.today + 1));
    ChangeAtZoneShift(b, LocalDayStart(b.today + 2));
    ChangeAt(b, b.nightEnds);
    for (const Match& match : data.matches) {
        if (choice.reminderLead)
            ChangeAt(b, match.kickoff - choice.reminderLead);
        ChangeAt(b, match.kickoff);
        ChangeAt(b, MatchEnd(match));
    }
    ChangeAtGoals(b);

    // The day arrows lead from match day to match day.
    view->shownDay = choice.day ? choice.day : b.today;
    view->previousDay = view->nextDay = 0;
    for (const Match* match : b.byKickoff) {
        ULONGLONG day = MatchDay(*match);
        if (day < view->shownDay)
            view->previousDay = day;
        else if (day > view->shownDay && !view->nextDay)
            view->nextDay = day;
    }

    AppendText(AddLine(b, LINE_TITLE)->cell[0], kWidgetTitle);
    ViewLine* date = AddLine(b, LINE_DATE);
    AppendDayName(date->cell[0], LocalRecord(now));
    ShownZoneLabel(now, date->cell[1], kCellUnits);
    if (choice.collapsed) {
        AddCollapsed(b);
        return;
    }
    int page = choice.page >= 0 && choice.page < PAGE_COUNT ? choice.page : PAGE_MATCHES;
    AppendText(AddLine(b, LINE_PAGE_BAR)->cell[0], kPageNames[page]);
    if (page == PAGE_GROUPS)
        AddGroupsPage(b);
    else if (page == PAGE_KNOCKOUT)
        AddKnockoutPage(b);
    else
        AddMatchesPage(b);
}
