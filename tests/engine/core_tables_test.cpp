// The engine's pure core as tables, compiled into the test: the data reader cell by
// cell, the knock-out rounds against the published results, the widget's day at
// midnight in the fixed zone, the reminder's edges, the layout at three DPIs, the
// proxy server texts and the menu's account of the data. Each runs in milliseconds; the data is the copy in base.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/data_source.h"
#include "base/engine_settings.h"
#include "base/group_standings.h"
#include "base/preferences.h"
#include "base/tournament_data.h"
#include "base/web_address.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "base/widget_drawing.h"
#include "base/widget_place.h"
#include "core_data.h"
#include "test_support.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute;
const ULONGLONG kDay = 24 * 60 * kMinute;

// `text` with its one line `row` put as `with`.
std::string ReplaceRow(const std::string& text, const std::string& row, const std::string& with)
{
    size_t at = text.find("\n" + row + "\n");
    EXPECT_NE(std::string::npos, at) << row;
    return at == std::string::npos ? text : text.substr(0, at + 1) + with + text.substr(at + 1 + row.size());
}

std::vector<std::string> Cells(const std::string& row)
{
    std::vector<std::string> cells(1);
    for (char c : row) {
        if (c == ',')
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

std::string Joined(const std::vector<std::string>& cells)
{
    std::string row;
    for (size_t i = 0; i < cells.size(); ++i)
        row += (i ? "," : "") + cells[i];
    return row;
}

const char kLongName[] = "Южно-Африканская Республика"; // 27 units: more than a name holds

// One row of each table, every cell in turn made empty and then made invalid: the
// reader must refuse the whole file and leave the data as it was, since the widget
// would otherwise show a match without its stadium, team or time.
TEST(DataReader, EachRequiredCellEmptiedOrSpoiledRejectsTheWholeFile)
{
    // A tenth city that no match names, so that its own cells are what is judged.
    const std::string file = ReplaceRow(BuiltInDataFile(), "Rustenburg,Рустенбург", "Rustenburg,Рустенбург\nSoweto,Соуэто");
    TournamentData data = {};
    ASSERT_TRUE(Read(file, &data));
    const struct {
        std::string row;
        std::vector<const char*> invalid; // per cell; null where any text will do
    } rows[] = {
        { "RSA,A,South Africa,ЮАР", { "RS", "I", nullptr, kLongName } },
        { "Soweto,Соуэто", { "Soweto Johannesburg Gauteng Province", kLongName } },
        { "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,1,1,,,,,Johannesburg,Soccer City",
          { "49", "round16", "B", "2010-06-12", "16:01", "2010-06-11T14:00", "BRA", "RSA", "x", "100", "1", "1",
            "3", "3", "Atlantis", nullptr } },
        { "58,quarter,,2010-07-02,20:30,2010-07-02T18:30Z,URU,GHA,1,1,1,1,4,2,Johannesburg,Soccer City",
          { "0", "semi", "A", "2010-07-03", "18:30", "2010-07-02T20:30Z", "XXX", "URU", "2", "x", "0", "2", "2",
            "-2", "Soccer City", nullptr } },
    };
    for (const auto& r : rows) {
        const std::vector<std::string> cells = Cells(r.row);
        ASSERT_EQ(cells.size(), r.invalid.size()) << r.row;
        for (size_t i = 0; i < cells.size(); ++i) {
            for (const char* value : { "", r.invalid[i] }) {
                if (!value || cells[i] == value)
                    continue; // no invalid form, or a cell empty already
                std::vector<std::string> changed = cells;
                changed[i] = value;
                TournamentData kept = data;
                EXPECT_FALSE(Read(ReplaceRow(file, r.row, Joined(changed)), &kept)) << Joined(changed);
                EXPECT_EQ(0, memcmp(&kept, &data, sizeof(data))) << Joined(changed);
            }
        }
    }

    // Empty where the tournament leaves them open: results not in yet, knock-out
    // teams not known yet (extra time and shoot-out stay empty in most rows as it is),
    // in a file of results only (the goals and kicks of a match not played yet are
    // another table's rules: events_tables_test.cpp).
    const struct {
        int number;
        std::string row, open;
    } open[] = {
        { 1, rows[2].row, "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,,,,,,,Johannesburg,Soccer City" },
        { 58, rows[3].row, "58,quarter,,2010-07-02,20:30,2010-07-02T18:30Z,URU,GHA,,,,,,,Johannesburg,Soccer City" },
        { 58, rows[3].row, "58,quarter,,2010-07-02,20:30,2010-07-02T18:30Z,,GHA,,,,,,,Johannesburg,Soccer City" },
        { 58, rows[3].row, "58,quarter,,2010-07-02,20:30,2010-07-02T18:30Z,,,,,,,,,Johannesburg,Soccer City" },
    };
    for (const auto& o : open) {
        TournamentData read = data;
        EXPECT_TRUE(Read(ReplaceRow(ResultsOnly(file), o.row, o.open), &read)) << o.open;
        EXPECT_FALSE(HasResult(read.matches[o.number - 1])) << o.open;
    }
}

std::string CodeOf(const TournamentData& data, int team)
{
    return team == kNoTeam ? "none" : data.teams[team].code;
}

// The team a bracket source sends, once everything before it is over.
int TeamFrom(const TournamentData& data, const KnockoutSource& source, ULONGLONG now)
{
    if (source.kind == '1' || source.kind == '2') {
        Standing table[kTeamsPerGroup];
        GroupStandings(data, source.from, now, table);
        return table[source.kind - '1'].team;
    }
    const Match& match = data.matches[source.from - 1];
    return source.kind == 'W' ? MatchWinner(match) : MatchLoser(match);
}

// The knock-out rounds as played: each pairing follows from the group tables and
// the bracket, and the knock-out page shows it.
TEST(Knockout, EveryMatchHasThePublishedTeamsThroughTheBracket)
{
    const TournamentData data = BuiltInData();
    const ULONGLONG after = Utc(2010, 7, 20, 0, 0);
    const struct {
        int number;
        const char *home, *away;
    } published[] = {
        { 49, "URU", "KOR" }, { 50, "USA", "GHA" }, { 51, "GER", "ENG" }, { 52, "ARG", "MEX" },
        { 53, "NED", "SVK" }, { 54, "BRA", "CHI" }, { 55, "PAR", "JPN" }, { 56, "ESP", "POR" },
        { 57, "NED", "BRA" }, { 58, "URU", "GHA" }, { 59, "ARG", "GER" }, { 60, "PAR", "ESP" },
        { 61, "URU", "NED" }, { 62, "GER", "ESP" }, { 63, "URU", "GER" }, { 64, "NED", "ESP" },
    };
    static WidgetView view;
    BuildWidgetView(data, after, ViewChoice{ PAGE_KNOCKOUT, 0, false }, &view);
    std::vector<std::wstring> shown, expected;
    for (int i = 0; i < view.lineCount; ++i) {
        if (view.lines[i].style == LINE_MATCH)
            shown.push_back(view.lines[i].cell[1]);
    }
    for (const auto& p : published) {
        KnockoutSource source[2];
        GetKnockoutSources(p.number, &source[0], &source[1]);
        const Match& match = data.matches[p.number - 1];
        EXPECT_EQ(p.home, CodeOf(data, TeamFrom(data, source[0], after))) << "home of match " << p.number;
        EXPECT_EQ(p.away, CodeOf(data, TeamFrom(data, source[1], after))) << "away of match " << p.number;
        EXPECT_EQ(std::string(p.home) + "-" + p.away, CodeOf(data, match.home) + "-" + CodeOf(data, match.away))
            << "match " << p.number << " in the data";
        if (match.home != kNoTeam && match.away != kNoTeam)
            expected.push_back(std::wstring(data.teams[match.home].name) + L" — " + data.teams[match.away].name);
    }
    EXPECT_EQ(expected, shown);
}

// The widget's day is the fixed zone's (UTC+3, UTC+4 from the last Sunday of April
// to the last Sunday of October), not UTC's: a minute either side of midnight there.
TEST(WidgetDay, TurnsAtMidnightInTheFixedZone)
{
    const TournamentData data = BuiltInData();
    const struct {
        ULONGLONG utc;
        WORD month, day; // in the fixed zone
        const wchar_t* header;
    } moments[] = {
        { Utc(2010, 6, 22, 19, 59), 6, 22, L"вторник, 22 июня" }, // 23:59 summer time
        { Utc(2010, 6, 22, 20, 0), 6, 23, L"среда, 23 июня" },
        { Utc(2010, 7, 11, 20, 0), 7, 12, L"понедельник, 12 июля" }, // the final still on
        { Utc(2010, 1, 14, 20, 59), 1, 14, L"четверг, 14 января" }, // 23:59 winter time
        { Utc(2010, 1, 14, 21, 0), 1, 15, L"пятница, 15 января" },
        { Utc(2010, 4, 25, 19, 59), 4, 25, L"воскресенье, 25 апреля" }, // summer time's first day
        { Utc(2010, 4, 25, 20, 0), 4, 26, L"понедельник, 26 апреля" },
        { Utc(2010, 10, 31, 20, 59), 10, 31, L"воскресенье, 31 октября" }, // winter time's first day
        { Utc(2010, 10, 31, 21, 0), 11, 1, L"понедельник, 1 ноября" },
    };
    static WidgetView view;
    for (const auto& m : moments) {
        const ULONGLONG day = Utc(2010, m.month, m.day, 0, 0) / kDay;
        SCOPED_TRACE(qt::WideToUtf8(m.header));
        EXPECT_EQ(day, LocalDayNumber(m.utc));
        EXPECT_LE(LocalDayStart(day), m.utc);
        EXPECT_GT(LocalDayStart(day + 1), m.utc);
        BuildWidgetView(data, m.utc, ViewChoice{ PAGE_MATCHES, 0, false }, &view);
        ASSERT_GE(view.lineCount, 2);
        EXPECT_EQ(LINE_DATE, view.lines[1].style);
        EXPECT_STREQ(m.header, view.lines[1].cell[0]);
        EXPECT_EQ(day, view.shownDay);
    }
}

// The balloon comes once per kick-off: for a mark in (from, to]; kick-offs at the same
// time share one balloon. The lead is the user's, and "only my team" leaves the others
// out. A balloon that comes late (the computer slept through the mark) says the time
// actually left, or that the match is under way; of a match over by then, nothing.
TEST(Reminder, MarksAtTheirEdgesTwoMatchesInOneBalloonAndOnlyMyTeam)
{
    const TournamentData data = BuiltInData();
    const ULONGLONG lead = 15 * kMinute;
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0), mark = opening - lead;
    const ULONGLONG second = Utc(2010, 6, 11, 18, 30) - lead;  // Uruguay — France
    const ULONGLONG groupA = Utc(2010, 6, 22, 14, 0) - lead;   // matches 33 and 34 at once
    const int france = TeamByCode(data, L"fra"), spain = TeamByCode(data, L"ESP");
    ASSERT_NE(kNoTeam, france);
    const ReminderRule every = { 15, kNoTeam }, mine = { 15, france }, spains = { 15, spain };
    const ReminderRule early = { 90, kNoTeam }, off = { 0, kNoTeam }, longest = { 120, kNoTeam };
    const wchar_t opened[] = L"Через 15 минут: ЮАР — Мексика";
    const struct {
        ReminderRule rule;
        ULONGLONG from, to;
        const wchar_t* balloon; // null: none
    } cases[] = {
        { every, mark - 1, mark, opened },
        { every, mark, mark + kMinute, nullptr },   // the mark was in the call before
        { every, mark - kMinute, mark - 1, nullptr }, // not yet
        { every, mark - 1, mark + kMinute - 1, opened }, // late by less than a minute
        { every, mark - 1, mark + 12 * kMinute, L"Через 3 минуты: ЮАР — Мексика" },
        { every, mark - 1, opening - 1, L"Через 1 минуту: ЮАР — Мексика" }, // a begun minute counts
        { every, mark - 1, opening, L"Матч уже идёт: ЮАР — Мексика" },
        { every, mark - 1, opening + 119 * kMinute, L"Матч уже идёт: ЮАР — Мексика" },
        { every, mark - 1, opening + 120 * kMinute, nullptr }, // over
        { every, groupA - 1, groupA + 20 * kMinute, L"Матчи уже идут: Мексика — Уругвай, Франция — ЮАР" },
        { mine, groupA - 1, groupA + 20 * kMinute, L"Матч уже идёт: Франция — ЮАР" },
        // Korea — Greece at 11:30 UTC, Argentina — Nigeria at 14:00, both marks slept through.
        { longest, Utc(2010, 6, 12, 9, 0), Utc(2010, 6, 12, 12, 10),
          L"Матч уже идёт: Южная Корея — Греция. Через 1 ч 50 мин: Аргентина — Нигерия" },
        { every, mark - 1, second, L"Через 15 минут: Уругвай — Франция" },
        { every, groupA - 1, groupA, L"Через 15 минут: Мексика — Уругвай, Франция — ЮАР" },
        { mine, groupA - 1, groupA, L"Через 15 минут: Франция — ЮАР" },
        { spains, groupA - 1, groupA, nullptr },
        { off, mark - 1, mark, nullptr },
        { early, opening - 90 * kMinute - 1, opening - 90 * kMinute, L"Через 1 ч 30 мин: ЮАР — Мексика" },
        { early, mark - 1, mark, nullptr },
    };
    for (const auto& c : cases) {
        wchar_t text[384] = L"none";
        SCOPED_TRACE(c.balloon ? qt::WideToUtf8(c.balloon) : "none, to " + std::to_string(c.to));
        EXPECT_EQ(c.balloon != nullptr, KickoffReminder(data, c.rule, c.from, c.to, text, ARRAYSIZE(text)));
        EXPECT_STREQ(c.balloon ? c.balloon : L"none", text);
    }

    // Two kick-offs ahead, each with its own time left, the earlier first whatever
    // their match numbers: Argentina — Nigeria (match 3) moved to 14:30, Korea — Greece
    // (match 4) to 14:00.
    TournamentData moved = data;
    moved.matches[2].kickoff = Utc(2010, 6, 12, 14, 30);
    moved.matches[3].kickoff = Utc(2010, 6, 12, 14, 0);
    wchar_t text[384] = L"none";
    EXPECT_TRUE(KickoffReminder(moved, longest, Utc(2010, 6, 12, 11, 0), Utc(2010, 6, 12, 12, 40), text, 384));
    EXPECT_STREQ(L"Через 1 ч 20 мин: Южная Корея — Греция. Через 1 ч 50 мин: Аргентина — Нигерия", text);
}

TEST(Reminder, HowLongBeforeInRussian)
{
    const struct {
        DWORD minutes;
        const wchar_t* text;
    } cases[] = {
        { 5, L"Через 5 минут" },    { 21, L"Через 21 минуту" }, { 22, L"Через 22 минуты" },
        { 11, L"Через 11 минут" },  { 30, L"Через 30 минут" },  { 60, L"Через 1 час" },
        { 120, L"Через 2 часа" },   { 90, L"Через 1 ч 30 мин" }, { 61, L"Через 1 ч 1 мин" },
    };
    for (const auto& c : cases) {
        wchar_t text[64] = {};
        AppendLead(text, ARRAYSIZE(text), c.minutes);
        EXPECT_STREQ(c.text, text) << c.minutes;
    }
}

bool Inside(const RECT& part, const SIZE& whole)
{
    return part.left >= 0 && part.top >= 0 && part.left < part.right && part.top < part.bottom &&
           part.right <= whole.cx && part.bottom <= whole.cy;
}

// Designed at 96 DPI and scaled: at 144 and 192 DPI the widget is as wide in
// proportion, and no line or arrow falls outside it.
TEST(Layout, WidthScalesWithTheDpiAndLinesAndArrowsLieInside)
{
    const TournamentData data = BuiltInData();
    const ULONGLONG evening = Utc(2010, 6, 22, 17, 0); // 21:00, with a match day's full page
    const struct {
        const char* name;
        ViewChoice choice;
        int arrows;
    } views[] = {
        { "expanded", { PAGE_MATCHES, 0, false }, 4 },
        { "collapsed", { PAGE_MATCHES, 0, true }, 0 },
        { "groups", { PAGE_GROUPS, 0, false }, 2 },
        { "knock-out", { PAGE_KNOCKOUT, 0, false }, 2 },
    };
    static WidgetView view;
    for (const auto& v : views) {
        BuildWidgetView(data, evening, v.choice, &view);
        SIZE designed = {};
        for (UINT dpi : { 96u, 144u, 192u }) {
            SCOPED_TRACE(std::string(v.name) + " at " + std::to_string(dpi) + " DPI");
            WidgetFonts fonts;
            ASSERT_TRUE(CreateWidgetFonts(dpi, &fonts));
            WidgetLayout layout = {};
            LayOutWidget(view, fonts, &layout);
            DestroyWidgetFonts(&fonts);
            if (dpi == 96)
                designed = layout.size;
            ASSERT_GT(designed.cx, 0);
            EXPECT_NEAR(MulDiv(designed.cx, dpi, 96), layout.size.cx, 2);
            EXPECT_NEAR(MulDiv(designed.cy, dpi, 96), layout.size.cy, view.lineCount); // a pixel a line rounds
            EXPECT_EQ(v.arrows, layout.arrowCount);
            for (int i = 0; i < view.lineCount; ++i)
                EXPECT_TRUE(Inside(layout.line[i], layout.size)) << "line " << i;
            for (int i = 0; i < layout.arrowCount; ++i)
                EXPECT_TRUE(Inside(layout.arrow[i].bounds, layout.size)) << "arrow " << i;
        }
    }
}

// The proxy server the user types, as the requests will name it; anything that is
// not a host and a port from 1 to 65535 is refused rather than guessed at.
TEST(WebAddress, ProxyServerTextsNormalisedOrRefused)
{
    const struct {
        const wchar_t* text;
        const wchar_t* server; // null: refused
    } cases[] = {
        { L"proxy", L"proxy:80" },
        { L"proxy.example.ru:3128", L"proxy.example.ru:3128" },
        { L"10.0.0.1:8080", L"10.0.0.1:8080" },
        { L"[::1]:8080", L"[::1]:8080" },
        { L"[fe80::1]", L"[fe80::1]:80" },
        { L"http://proxy:3128", L"proxy:3128" },
        { L"proxy:1", L"proxy:1" },
        { L"proxy:65535", L"proxy:65535" },
        { L"", nullptr },
        { L"proxy:", nullptr },
        { L"proxy:0", nullptr },
        { L"proxy:65536", nullptr },
        { L"proxy:99999999", nullptr },
        { L"proxy:notaport", nullptr },
        { L"proxy:-1", nullptr },
        { L" proxy", nullptr },
        { L"proxy :80", nullptr },
        { L"proxy:80 ", nullptr },
        { L"pro xy", nullptr },
        { L"proxy/path", nullptr },
        { L"proxy:80/path", nullptr },
        { L"http://", nullptr },
        { L":8080", nullptr },
        { L"[", nullptr },
        { L"[::1", nullptr },
        { L"[]:80", nullptr },
        { L"[::1]x", nullptr },
    };
    for (const auto& c : cases) {
        wchar_t server[kUrlUnits] = L"none";
        EXPECT_EQ(c.server != nullptr, ReadProxyServer(c.text, server, kUrlUnits)) << qt::WideToUtf8(c.text);
        if (c.server)
            EXPECT_STREQ(c.server, server) << qt::WideToUtf8(c.text);
    }
}

// The menu's account of the data through a run of the worker's reports, from the
// built-in data on: new data date it in the fixed zone (summer UTC+4, winter UTC+3),
// a failed download adds its reason until a download works (a 304 too), a proxy
// test changes nothing, the same file again brings its new date.
TEST(DataSource, TextFollowsTheReports)
{
    const wchar_t july11[] = L"Sun, 11 Jul 2010 19:40:00 GMT";
    const struct {
        bool hasData, downloaded, validFile;
        const wchar_t* lastModified;
        const wchar_t* failure;
        const wchar_t* balloon;
        const wchar_t* text;
    } steps[] = {
        { false, false, false, L"", L"", L"", L"Данные: встроенные" },
        { false, false, false, L"", L"Нет соединения: сервер недоступен", L"",
          L"Данные: встроенные; нет соединения: сервер недоступен" },
        { false, true, true, july11, L"", L"", L"Данные: встроенные" }, // the same file: still not shown
        { true, true, true, july11, L"", L"Данные обновлены", L"Данные от 11 июля, 23:40" },
        { false, false, false, L"", L"Нет соединения: прокси-сервер недоступен", L"",
          L"Данные от 11 июля, 23:40; нет соединения: прокси-сервер недоступен" },
        { false, false, false, L"", L"", L"Соединение работает",
          L"Данные от 11 июля, 23:40; нет соединения: прокси-сервер недоступен" },
        { false, true, false, L"", L"", L"", L"Данные от 11 июля, 23:40" }, // 304
        { false, false, false, L"", L"Файл данных повреждён", L"", L"Данные от 11 июля, 23:40; файл данных повреждён" },
        { false, true, true, L"Fri, 01 Jan 2010 00:30:00 GMT", L"", L"", L"Данные от 1 января, 03:30" },
        { true, true, true, L"", L"", L"Данные обновлены", L"Данные: загруженные" },
        { false, false, false, L"", L"Нет соединения: ошибка сервера (код 404)", L"",
          L"Данные: загруженные; нет соединения: ошибка сервера (код 404)" },
    };
    DataSourceState state = {};
    NetworkReport report = {};
    for (const auto& step : steps) {
        SCOPED_TRACE(qt::WideToUtf8(step.text));
        report.hasData = step.hasData;
        report.downloaded = step.downloaded;
        report.validFile = step.validFile;
        lstrcpyW(report.lastModified, step.lastModified);
        lstrcpyW(report.failure, step.failure);
        lstrcpyW(report.balloon, step.balloon);
        NoteNetworkReport(&state, report);
        wchar_t text[kNetworkTextUnits] = L"none";
        FormatDataSource(state, text, kNetworkTextUnits);
        EXPECT_STREQ(step.text, text);
    }
    // A short room cuts the text, terminated; none at all leaves it alone.
    wchar_t text[12] = L"none";
    FormatDataSource(state, text, 11);
    EXPECT_STREQ(L"Данные: за", text);
    FormatDataSource(state, text, 0);
    EXPECT_STREQ(L"Данные: за", text);
}

// Every value of any type or size that is not one the widget takes reads as its
// default; a change stores only what changed.
TEST(Preferences, GarbageReadsAsDefaultsAndOnlyChangesAreStored)
{
    const wchar_t key[] = L"Software\\Morvane\\TessmarkPreferencesTest";
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
    const TournamentData data = BuiltInData();
    auto dword = [&](const wchar_t* name, DWORD value) { ASSERT_TRUE(WriteSettingDword(key, name, value)); };
    auto text = [&](const wchar_t* name, const wchar_t* value) { ASSERT_TRUE(WriteSettingText(key, name, value)); };

    auto defaults = [](const Preferences& read) {
        return read.favourite == kNoTeam && read.reminderMinutes == 15 && read.layer == LAYER_DESKTOP &&
               read.opacity == 100 && !read.myTeamOnly && !read.computersZone && !read.locked;
    };
    Preferences read = ReadPreferences(key, data);
    EXPECT_TRUE(defaults(read)) << "nothing stored";

    text(VALUE_FAVOURITE_TEAM, L"ESPANA");
    dword(VALUE_REMINDER_MINUTES, 4);
    text(VALUE_REMINDER_MY_TEAM_ONLY, L"1");
    dword(VALUE_TIME_ZONE, 2);
    dword(VALUE_WIDGET_LAYER, 0xFFFFFFFF);
    dword(VALUE_WIDGET_OPACITY, 19);
    BYTE eight[8] = { 1 };
    HKEY opened;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_SET_VALUE, &opened));
    RegSetValueExW(opened, VALUE_WIDGET_LOCKED, 0, REG_BINARY, eight, sizeof(eight));
    RegCloseKey(opened);
    read = ReadPreferences(key, data);
    EXPECT_TRUE(defaults(read)) << "garbage stored";
    for (DWORD minutes : { 0u, 5u, 120u, 121u, 7u })
        EXPECT_EQ(minutes == 121 ? 15u : minutes, ValidReminderMinutes(minutes));

    text(VALUE_FAVOURITE_TEAM, L"esp");
    dword(VALUE_WIDGET_OPACITY, 20);
    dword(VALUE_WIDGET_LAYER, LAYER_TOPMOST);
    read = ReadPreferences(key, data);
    EXPECT_EQ(TeamByCode(data, L"ESP"), read.favourite);
    EXPECT_STREQ(L"Испания", data.teams[read.favourite].name);
    EXPECT_EQ(20u, read.opacity);
    EXPECT_EQ(LAYER_TOPMOST, read.layer);

    // Another program set the zone meanwhile: storing the lock leaves it as it is.
    Preferences after = read;
    after.locked = true;
    after.favourite = TeamByCode(data, L"NED");
    dword(VALUE_TIME_ZONE, 1);
    ASSERT_TRUE(StoreChangedPreferences(key, data, read, after));
    read = ReadPreferences(key, data);
    EXPECT_TRUE(read.locked);
    EXPECT_TRUE(read.computersZone);
    EXPECT_EQ(after.favourite, read.favourite);
    RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

// While dragged, an edge within reach of the work area's edge lands on it.
TEST(Layout, EdgesSnapToTheWorkAreaWithinReach)
{
    const RECT work = { 0, 0, 1920, 1040 };
    const SIZE size = { 420, 300 };
    const struct {
        POINT place, snapped;
    } cases[] = {
        { { 10, 10 }, { 0, 0 } },          { { -10, 500 }, { 0, 500 } },    { { 11, 11 }, { 11, 11 } },
        { { 1495, 735 }, { 1500, 740 } },  { { 1510, 750 }, { 1500, 740 } }, { { 1489, 729 }, { 1489, 729 } },
    };
    for (const auto& c : cases) {
        POINT snapped = Snapped(c.place, size, work, kSnapReach);
        EXPECT_EQ(c.snapped.x, snapped.x) << c.place.x;
        EXPECT_EQ(c.snapped.y, snapped.y) << c.place.y;
    }
}

} // namespace
