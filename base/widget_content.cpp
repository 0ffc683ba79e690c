#include "widget_content.h"

#include "date_texts.h"
#include "group_standings.h"
#include "widget_clock.h"

namespace {

const ULONGLONG kTicksPerHour = 60 * kTicksPerMinute;
const ULONGLONG kNever = ~0ULL;
const int kEveningHour = 18;   // a kick-off from 18:00 on is the evening's
const int kNightEndsHour = 6;  // the evening's matches stay on the match day until 06:00

const WCHAR kTitle[] = L"Чемпионат мира по футболу 2010";
const WCHAR kVersus[] = L" — ";
const WCHAR* const kPageNames[PAGE_COUNT] = { L"Матчи", L"Группы", L"Плей-офф" };
const WCHAR* const kStageNames[] = { L"Групповой этап", L"1/8 финала", L"1/4 финала",
                                     L"1/2 финала",     L"Матч за 3-е место", L"Финал" };

// ---------------------------------------------------------------------------------
// Cells: bounded appends, always terminated; a text too long for its cell is cut.

void Add(WCHAR* cell, const WCHAR* text)
{
    int used = lstrlenW(cell);
    if (used < kCellUnits - 1)
        lstrcpynW(cell + used, text, kCellUnits - used);
}

void AddNumber(WCHAR* cell, unsigned n)
{
    WCHAR digits[12];
    int at = 11;
    digits[at] = 0;
    do {
        digits[--at] = static_cast<WCHAR>(L'0' + n % 10);
        n /= 10;
    } while (n);
    Add(cell, digits + at);
}

// "+4", "−2" (a real minus sign), "0".
void AddSigned(WCHAR* cell, int n)
{
    Add(cell, n > 0 ? L"+" : n < 0 ? L"\x2212" : L"");
    AddNumber(cell, static_cast<unsigned>(n < 0 ? -n : n));
}

void AddTwoDigits(WCHAR* cell, unsigned n)
{
    WCHAR digits[3] = { static_cast<WCHAR>(L'0' + n / 10 % 10), static_cast<WCHAR>(L'0' + n % 10), 0 };
    Add(cell, digits);
}

// "18:00"
void AddClock(WCHAR* cell, const SYSTEMTIME& local)
{
    AddTwoDigits(cell, local.wHour);
    Add(cell, L":");
    AddTwoDigits(cell, local.wMinute);
}

// "11 июня"
void AddDate(WCHAR* cell, const SYSTEMTIME& local)
{
    AddNumber(cell, local.wDay);
    Add(cell, L" ");
    Add(cell, GetMonthNameRu(&local));
}

// "пятница, 11 июня"
void AddDayName(WCHAR* cell, const SYSTEMTIME& local)
{
    Add(cell, GetDayOfWeekNameRu(&local));
    Add(cell, L", ");
    AddDate(cell, local);
}

SYSTEMTIME LocalOf(ULONGLONG utc)
{
    SYSTEMTIME local;
    ToFixedZone(utc, &local);
    return local;
}

// The fixed-zone record of a day's start (for its name and date).
SYSTEMTIME LocalOfDay(ULONGLONG day)
{
    return LocalOf(LocalDayStart(day));
}

// ---------------------------------------------------------------------------------
// The tournament at a moment.

ULONGLONG MatchDay(const Match& match)
{
    return LocalDayNumber(match.kickoff);
}

// A knock-out team is named once the match that sends it there is decided.
bool SourceDecided(const TournamentData& data, const KnockoutSource& source, ULONGLONG now)
{
    if (source.kind == '1' || source.kind == '2')
        return GroupComplete(data, source.from, now);
    return OverWithResult(data.matches[source.from - 1], now);
}

// "1-й A", "Победитель 53", "Проигравший 61".
void AddSourceLabel(WCHAR* cell, const KnockoutSource& source)
{
    if (source.kind == '1' || source.kind == '2') {
        WCHAR label[8] = { static_cast<WCHAR>(source.kind), L'-', L'\x0439', L' ',
                           static_cast<WCHAR>(L'A' + source.from), 0 };
        Add(cell, label);
        return;
    }
    Add(cell, source.kind == 'W' ? L"Победитель " : L"Проигравший ");
    AddNumber(cell, source.from);
}

void AddTeam(WCHAR* cell, const TournamentData& data, const Match& match, bool home, ULONGLONG now)
{
    int team = home ? match.home : match.away;
    if (match.stage != STAGE_GROUP) {
        KnockoutSource sources[2];
        GetKnockoutSources(match.number, &sources[0], &sources[1]);
        const KnockoutSource& source = sources[home ? 0 : 1];
        if (team == kNoTeam || !SourceDecided(data, source, now)) {
            AddSourceLabel(cell, source);
            return;
        }
    }
    Add(cell, team == kNoTeam ? L"?" : data.teams[team].name);
}

void AddTeams(WCHAR* cell, const TournamentData& data, const Match& match, ULONGLONG now)
{
    AddTeam(cell, data, match, true, now);
    Add(cell, kVersus);
    AddTeam(cell, data, match, false, now);
}

void AddScore(WCHAR* cell, const Score& score)
{
    AddNumber(cell, static_cast<unsigned>(score.home));
    Add(cell, L":");
    AddNumber(cell, static_cast<unsigned>(score.away));
}

// "1:1", "1:2 д.в.", "0:0, пен. 5:3"; "идёт" while under way, "–:–" while a result
// is missing after the end.
void AddResult(WCHAR* cell, const Match& match, ULONGLONG now)
{
    MatchState state = MatchStateAt(match, now);
    if (state == MATCH_AHEAD)
        return;
    if (state == MATCH_UNDER_WAY) {
        Add(cell, L"идёт");
        return;
    }
    if (!HasResult(match)) {
        Add(cell, L"\x2013:\x2013");
        return;
    }
    bool extra = match.extra.home != kNoGoals;
    AddScore(cell, extra ? match.extra : match.regular);
    if (match.penalties.home != kNoGoals) {
        Add(cell, L", пен. ");
        AddScore(cell, match.penalties);
    } else if (extra) {
        Add(cell, L" д.в.");
    }
}

// ---------------------------------------------------------------------------------
// Building the view.

struct Builder {
    const TournamentData& data;
    ULONGLONG now;
    ULONGLONG today;
    ULONGLONG nightEnds; // today's 06:00: until then the evening before is still on
    WidgetView* view;
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

void ChangeAt(Builder& b, ULONGLONG moment)
{
    if (moment > b.now && moment < b.view->nextChange)
        b.view->nextChange = moment;
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
    Add(cell, text);
    ChangeAt(b, change);
}

// One match: kick-off | teams | the result, or the countdown for the next kick-off,
// or (withCity) the city.
void AddMatchLine(Builder& b, const Match& match, bool withDate, bool withCity)
{
    ViewLine* line = AddLine(b, LINE_MATCH);
    SYSTEMTIME local = LocalOf(match.kickoff);
    if (withDate) {
        AddTwoDigits(line->cell[0], local.wDay);
        Add(line->cell[0], L".");
        AddTwoDigits(line->cell[0], local.wMonth);
    } else {
        AddClock(line->cell[0], local);
    }
    AddTeams(line->cell[1], b.data, match, b.now);
    MatchState state = MatchStateAt(match, b.now);
    if (withCity) {
        Add(line->cell[2], b.data.cities[match.city].name);
    } else if (state == MATCH_AHEAD && match.kickoff == NextKickoff(b)) {
        AddCountdown(b, line->cell[2], match.kickoff);
        line->mark = MARK_LIVE;
    } else {
        AddResult(line->cell[2], match, b.now);
    }
    if (state == MATCH_UNDER_WAY)
        line->mark = MARK_LIVE;
}

void AddHeading(Builder& b, const WCHAR* text)
{
    Add(AddLine(b, LINE_HEADING)->cell[0], text);
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
    return b.now < b.nightEnds && day + 1 == b.today && LocalOf(match.kickoff).wHour >= kEveningHour;
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
            Add(heading->cell[0], kStageNames[stage]);
            Add(heading->cell[0], L", ");
            AddDate(heading->cell[0], LocalOf(match->kickoff));
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
    Add(heading->cell[0], L"Следующий матч ");
    if (LocalDayNumber(kickoff) != b.today) {
        AddDate(heading->cell[0], LocalOf(kickoff));
        Add(heading->cell[0], L", ");
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
    Add(line->cell[0], L"До начала чемпионата ");
    AddNumber(line->cell[0], static_cast<unsigned>(days));
    Add(line->cell[0], L" ");
    Add(line->cell[0], RussianPlural(days, L"день", L"дня", L"дней"));
}

// "Испания — чемпион мира"
void AddChampion(Builder& b)
{
    ViewLine* line = AddLine(b, LINE_HEADLINE);
    int champion = MatchWinner(b.data.matches[kMatchCount - 1]);
    if (champion == kNoTeam) {
        Add(line->cell[0], L"Чемпионат завершён");
        return;
    }
    Add(line->cell[0], b.data.teams[champion].name);
    Add(line->cell[0], L" — чемпион мира");
}

// "Финал, 11 июля" and the match with its result.
void AddMatchWithDay(Builder& b, const Match& match)
{
    ViewLine* heading = AddLine(b, LINE_HEADING);
    Add(heading->cell[0], kStageNames[match.stage]);
    Add(heading->cell[0], L", ");
    AddDate(heading->cell[0], LocalOf(match.kickoff));
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
        Add(bar->cell[0], L"Сегодня");
    else
        AddDayName(bar->cell[0], LocalOfDay(shown));

    if (shown != b.today) {
        if (!AddDayMatches(b, shown))
            Add(AddLine(b, LINE_NOTE)->cell[0], L"В этот день матчей нет");
        return;
    }
    if (b.today < firstDay) {
        AddDaysToStart(b, firstDay);
        ViewLine* heading = AddLine(b, LINE_HEADING);
        Add(heading->cell[0], L"Матч открытия, ");
        AddDate(heading->cell[0], LocalOf(opening.kickoff));
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
        Add(AddLine(b, LINE_NOTE)->cell[0], L"Сегодня матчей нет");
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
}

void AddGroupsPage(Builder& b)
{
    for (int group = 0; group < kGroupCount; ++group) {
        BYTE column = static_cast<BYTE>(group / (kGroupCount / 2));
        ViewLine* head = AddLine(b, LINE_TABLE_HEAD, column);
        Add(head->cell[0], L"Группа ");
        WCHAR letter[2] = { static_cast<WCHAR>(L'A' + group), 0 };
        Add(head->cell[0], letter);
        Add(head->cell[1], L"И");
        Add(head->cell[2], L"М");
        Add(head->cell[3], L"Р");
        Add(head->cell[4], L"О");
        Standing table[kTeamsPerGroup];
        GroupStandings(b.data, group, b.now, table);
        bool complete = GroupComplete(b.data, group, b.now);
        for (int place = 0; place < kTeamsPerGroup; ++place) {
            const Standing& s = table[place];
            ViewLine* row = AddLine(b, LINE_TABLE_ROW, column);
            Add(row->cell[0], b.data.teams[s.team].name);
            AddNumber(row->cell[1], static_cast<unsigned>(s.played));
            AddNumber(row->cell[2], static_cast<unsigned>(s.goalsFor));
            Add(row->cell[2], L"\x2013");
            AddNumber(row->cell[2], static_cast<unsigned>(s.goalsAgainst));
            AddSigned(row->cell[3], s.goalsFor - s.goalsAgainst);
            AddNumber(row->cell[4], static_cast<unsigned>(s.points));
            if (complete && place < 2)
                row->mark = MARK_QUALIFIED;
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
    WCHAR built[kCellUnits] = L"через ";
    if (minutes <= 24 * 60) {
        ULONGLONG hours = minutes / 60, rest = minutes % 60;
        if (hours) {
            AddNumber(built, static_cast<unsigned>(hours));
            Add(built, L" ч");
        }
        if (rest || !hours) {
            Add(built, hours ? L" " : L"");
            AddNumber(built, static_cast<unsigned>(rest));
            Add(built, L" мин");
        }
        // The text changes when the count of begun minutes drops by one.
        *change = minutes ? moment - (minutes - 1) * kTicksPerMinute : moment;
    } else {
        ULONGLONG hours = (left + kTicksPerHour - 1) / kTicksPerHour;
        ULONGLONG days = hours / 24, rest = hours % 24;
        AddNumber(built, static_cast<unsigned>(days));
        Add(built, L" ");
        Add(built, RussianPlural(days, L"день", L"дня", L"дней"));
        if (rest) {
            Add(built, L" ");
            AddNumber(built, static_cast<unsigned>(rest));
            Add(built, L" ч");
        }
        *change = moment - (hours - 1) * kTicksPerHour;
    }
    lstrcpynW(text, built, units);
}

bool KickoffReminder(const TournamentData& data, ULONGLONG from, ULONGLONG to, WCHAR* text, int units)
{
    WCHAR built[256] = L"Через 15 минут: ";
    bool any = false;
    for (const Match& match : data.matches) {
        ULONGLONG mark = match.kickoff - kReminderLead;
        if (mark <= from || mark > to || to >= match.kickoff)
            continue;
        WCHAR teams[kCellUnits] = {};
        AddTeams(teams, data, match, to);
        int used = lstrlenW(built);
        if (any && used < 254)
            lstrcpynW(built + used, L", ", 256 - used);
        used = lstrlenW(built);
        lstrcpynW(built + used, teams, 256 - used);
        any = true;
    }
    if (any && units > 0)
        lstrcpynW(text, built, units);
    return any;
}

void BuildWidgetView(const TournamentData& data, ULONGLONG now, const ViewChoice& choice, WidgetView* view)
{
    view->lineCount = 0;
    view->nextChange = kNever;
    ULONGLONG today = LocalDayNumber(now);
    Builder b = { data, now, today, LocalDayHour(today, kNightEndsHour), view, {} };
    SortByKickoff(b);

    // Every moment at which some page reads differently, whichever is shown: the
    // next day, kick-offs, ends and reminders.
    ChangeAt(b, LocalDayStart(b.today + 1));
    ChangeAt(b, b.nightEnds);
    for (const Match& match : data.matches) {
        ChangeAt(b, match.kickoff - kReminderLead);
        ChangeAt(b, match.kickoff);
        ChangeAt(b, MatchEnd(match));
    }

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

    Add(AddLine(b, LINE_TITLE)->cell[0], kTitle);
    AddDayName(AddLine(b, LINE_DATE)->cell[0], LocalOf(now));
    if (choice.collapsed) {
        AddCollapsed(b);
        return;
    }
    int page = choice.page >= 0 && choice.page < PAGE_COUNT ? choice.page : PAGE_MATCHES;
    Add(AddLine(b, LINE_PAGE_BAR)->cell[0], kPageNames[page]);
    if (page == PAGE_GROUPS)
        AddGroupsPage(b);
    else if (page == PAGE_KNOCKOUT)
        AddKnockoutPage(b);
    else
        AddMatchesPage(b);
}
