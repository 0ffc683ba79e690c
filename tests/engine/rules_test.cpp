// The rules the widget's lines follow, on their own: Russian plurals, when a match
// counts as over, the countdown and its next change, and the data reader's all-or-
// nothing verdict on the data built into base.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/group_standings.h"
#include "base/tournament_data.h"
#include "base/web_address.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "core_data.h"
#include "test_support.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute;

std::wstring Countdown(ULONGLONG now, ULONGLONG moment, ULONGLONG* change = nullptr)
{
    wchar_t text[kCellUnits];
    ULONGLONG next = 0;
    FormatCountdown(now, moment, text, kCellUnits, &next);
    if (change)
        *change = next;
    return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST(Rules, RussianPluralOfDays)
{
    const struct {
        ULONGLONG n;
        const wchar_t* word;
    } cases[] = { { 0, L"дней" },  { 1, L"день" },  { 2, L"дня" },   { 4, L"дня" },    { 5, L"дней" },
                  { 11, L"дней" }, { 12, L"дней" }, { 14, L"дней" }, { 21, L"день" },  { 22, L"дня" },
                  { 25, L"дней" }, { 101, L"день" }, { 111, L"дней" }, { 112, L"дней" }, { 122, L"дня" } };
    for (const auto& c : cases)
        EXPECT_STREQ(c.word, RussianPlural(c.n, L"день", L"дня", L"дней")) << c.n;
}

TEST(Rules, MatchIsOverTwoHoursAfterKickoffLongerAfterExtraTimeAndPenalties)
{
    Match match = {};
    match.kickoff = Utc(2010, 6, 11, 14, 0);
    match.regular = { 1, 1 };
    match.extra = match.penalties = { kNoGoals, kNoGoals };
    EXPECT_EQ(MATCH_AHEAD, MatchStateAt(match, match.kickoff - 1));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff + 120 * kMinute - 1));
    EXPECT_EQ(MATCH_OVER, MatchStateAt(match, match.kickoff + 120 * kMinute));

    match.extra = { 1, 2 };
    EXPECT_EQ(match.kickoff + 160 * kMinute, MatchEnd(match));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff + 130 * kMinute));
    match.extra = { 1, 1 };
    match.penalties = { 4, 2 };
    EXPECT_EQ(match.kickoff + 175 * kMinute, MatchEnd(match));

    // No result yet: over by the clock all the same (the widget then shows "–:–").
    match.regular = match.extra = match.penalties = { kNoGoals, kNoGoals };
    EXPECT_EQ(MATCH_OVER, MatchStateAt(match, match.kickoff + 120 * kMinute));
}

TEST(Rules, CountdownCountsBegunMinutesAndSaysWhenItNextChanges)
{
    ULONGLONG kickoff = Utc(2010, 6, 11, 14, 0);
    ULONGLONG change = 0;
    EXPECT_EQ(L"через 2 ч 15 мин", Countdown(kickoff - 135 * kMinute, kickoff, &change));
    EXPECT_EQ(kickoff - 134 * kMinute, change);
    EXPECT_EQ(L"через 2 ч 15 мин", Countdown(kickoff - 134 * kMinute - kMinute / 2, kickoff));
    EXPECT_EQ(L"через 1 мин", Countdown(kickoff - 1, kickoff, &change));
    EXPECT_EQ(kickoff, change);
    EXPECT_EQ(L"через 3 ч", Countdown(kickoff - 180 * kMinute, kickoff));
    EXPECT_EQ(L"через 24 ч", Countdown(kickoff - 24 * 60 * kMinute, kickoff));
    // Beyond a day, hours: it changes once an hour, not once a minute.
    EXPECT_EQ(L"через 1 день 3 ч", Countdown(kickoff - 27 * 60 * kMinute, kickoff, &change));
    EXPECT_EQ(kickoff - 26 * 60 * kMinute, change);
    EXPECT_EQ(L"через 11 дней 6 ч", Countdown(kickoff - (11 * 24 + 6) * 60 * kMinute, kickoff));
}

TEST(Rules, ReplayDateIsFixedZoneTimeAndMalformedOnesAreIgnored)
{
    ULONGLONG utc = 0;
    ASSERT_TRUE(ParseReplayDate(L"/firstrun /date=2010-06-11T17:30", &utc));
    EXPECT_EQ(Utc(2010, 6, 11, 13, 30), utc); // summer time: UTC+4
    ASSERT_TRUE(ParseReplayDate(L"/date=2010-01-15 x", &utc));
    EXPECT_EQ(Utc(2010, 1, 14, 21, 0), utc); // winter: UTC+3
    ASSERT_TRUE(ParseReplayDate(L"/date=2010-06-11T17:44:58", &utc));
    EXPECT_EQ(Utc(2010, 6, 11, 13, 44) + 58 * 10000000ULL, utc);
    for (const wchar_t* bad : { L"/date=2010-6-11", L"/date=2010-06-31", L"/date=2010-06-11T24:00",
                                L"/date=2010-06-11T17:3", L"/date=2010-06-11X", L"/date=", L"/DATE=2010-06-11",
                                L"/date=2010-06-11T17:30:60", L"/date=2010-06-11T17:30:5", L"/date=2010-06-11T17:30:" })
        EXPECT_FALSE(ParseReplayDate(bad, &utc)) << qt::WideToUtf8(bad);
}

// "/speed=N" beside "/date=": a whole number from 1 to 3600, else the real pace; the
// change timer then waits the widget's time divided by it.
TEST(Rules, ReplaySpeedIsAWholeNumberUpTo3600AndOnlyWithAReplay)
{
    const struct {
        const wchar_t* line;
        ULONGLONG speed;
    } cases[] = {
        { L"/date=2010-06-11 /speed=60", 60 }, { L"/speed=3600 /date=2010-06-11", 3600 },
        { L"/speed=1", 1 },         { L"/speed=0", 1 },        { L"/speed=3601", 1 },
        { L"/speed=99999999999999999999", 1 }, { L"/speed=", 1 }, { L"/speed=-5", 1 },
        { L"/speed=2.5", 1 },       { L"/speed=12x", 1 },      { L"/SPEED=60", 1 }, { L"\"/speed=7\"", 7 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.speed, ParseReplaySpeed(c.line)) << qt::WideToUtf8(c.line);

    const ULONGLONG minute = 60 * 10000000ULL;
    StartWidgetClock(L"/date=2010-06-11T17:30 /speed=60");
    ULONGLONG now = WidgetNow();
    EXPECT_NEAR(static_cast<double>(Utc(2010, 6, 11, 13, 30)), static_cast<double>(now), 60.0 * 10000000);
    EXPECT_NEAR(1000.0, static_cast<double>(RealMsUntil(now + minute)), 100.0); // a widget minute: a second
    EXPECT_EQ(0u, RealMsUntil(now));
    StartWidgetClock(L"/speed=60"); // no replay: the real time at its pace
    EXPECT_NEAR(60000.0, static_cast<double>(RealMsUntil(WidgetNow() + minute)), 100.0);
    StartWidgetClock(L"");
}

// The label beside the day when the computer's zone is shown; none for the fixed zone.
TEST(Rules, ZoneLabelSaysTheOffsetInHoursAndMinutes)
{
    const struct {
        int minutes;
        const wchar_t* label;
    } cases[] = {
        { 300, L"время: UTC+5" },        { 330, L"время: UTC+5:30" }, { 345, L"время: UTC+5:45" },
        { -180, L"время: UTC\x2212" L"3" }, { -210, L"время: UTC\x2212" L"3:30" }, { 0, L"время: UTC" },
        { 840, L"время: UTC+14" },
    };
    for (const auto& c : cases) {
        wchar_t text[kCellUnits] = L"x";
        FormatZoneLabel(c.minutes, text, kCellUnits);
        EXPECT_STREQ(c.label, text) << c.minutes;
    }
    wchar_t text[kCellUnits] = L"x";
    UseComputersZone(false);
    EXPECT_FALSE(ShownZoneLabel(Utc(2010, 6, 11, 14, 0), text, kCellUnits));
    EXPECT_STREQ(L"", text);
}

TEST(Rules, BuiltInDataIsCompleteAndOneBadLineRejectsTheWholeFile)
{
    std::string file = BuiltInDataFile();
    ASSERT_FALSE(file.empty());
    TournamentData data = {};
    ASSERT_TRUE(Read(file, &data));
    EXPECT_EQ(9, data.cityCount);
    const Match& final = data.matches[kMatchCount - 1];
    EXPECT_STREQ(L"Испания", data.teams[MatchWinner(final)].name);
    EXPECT_EQ(Utc(2010, 7, 11, 18, 30), final.kickoff);
    EXPECT_STREQ(L"ЮАР", data.teams[data.matches[0].home].name);

    // Each of these spoils one line; the reader must leave the data as it was.
    const std::pair<std::string, std::string> spoiled[] = {
        { "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,1,1", "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,1,x" },
        { "2010-06-11T14:00Z", "2010-06-11T15:00Z" },            // local time no longer UTC+2
        { "RSA,MEX,1,1", "RSA,BRA,1,1" },                         // a team of another group
        { "64,final,", "63,final," },                             // a number twice, the final missing
        { "NED,ESP,0,0,0,1,,", "NED,ESP,0,0,0,1,3,2" },           // a shoot-out after a decided extra time
        { "RSA,A,South Africa,ЮАР", "RSA,A,South Africa," },      // a team without its name
        { "Durban,Дурбан", "Durban,Дурбан,extra" },                // a field too many
    };
    for (const auto& change : spoiled) {
        TournamentData kept = data;
        EXPECT_FALSE(Read(Replace(file, change.first, change.second), &kept)) << change.second;
        EXPECT_EQ(0, memcmp(&kept, &data, sizeof(data))) << change.second;
    }
    EXPECT_FALSE(Read(file.substr(0, file.size() / 2), &data)) << "a file cut off half-way";
    EXPECT_FALSE(Read(std::string("\0", 1) + file, &data));
    // Knock-out teams not known yet and results not in yet are a valid file (fresh
    // data during the tournament); the final's goal goes with its teams.
    std::string early = Replace(Replace(file, "64,final,,2010-07-11,20:30,2010-07-11T18:30Z,NED,ESP,0,0,0,1,,",
                                        "64,final,,2010-07-11,20:30,2010-07-11T18:30Z,,,,,,,,"),
                                "64,4,116,0,ESP,0,0,Iniesta,Иньеста\n", "");
    EXPECT_TRUE(Read(early, &data));
    EXPECT_EQ(kNoTeam, MatchWinner(data.matches[kMatchCount - 1]));
}

// The widget's lines at a Moscow moment, each line's cells joined as a reader hears them.
std::vector<std::wstring> ViewAt(const TournamentData& data, WORD month, WORD day, WORD hour, WORD minute,
                                 bool collapsed = false, ULONGLONG* nextChange = nullptr)
{
    SYSTEMTIME local = { 2010, month, 0, day, hour, minute, 0, 0 };
    ViewChoice choice = { PAGE_MATCHES, 0, collapsed };
    static WidgetView view;
    BuildWidgetView(data, FixedZoneToUtc(local), choice, &view);
    if (nextChange)
        *nextChange = view.nextChange;
    std::vector<std::wstring> lines;
    for (int i = 0; i < view.lineCount; ++i) {
        std::wstring text;
        for (const WCHAR* cell : view.lines[i].cell) {
            if (cell[0])
                text += (text.empty() ? L"" : L" ") + std::wstring(cell);
        }
        lines.push_back(text);
    }
    return lines;
}

std::string Joined(const std::vector<std::wstring>& lines)
{
    std::string all;
    for (const auto& line : lines)
        all += qt::WideToUtf8(line) + "\n";
    return all;
}

bool Has(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The late matches run past midnight: the match day keeps them, under way and then
// with their results until 06:00, beside the new day's matches. On the real clock a match under
// way shows every goal the data already hold.
TEST(MatchDay, LateMatchesStayOnTodayUntilSixInTheMorning)
{
    const TournamentData data = BuiltInData();
    const struct {
        WORD month, day, hour, minute;
        std::vector<std::wstring> shown, gone;
    } moments[] = {
        { 6, 23, 0, 10,
          { L"Групповой этап, 22 июня", L"22:30 Нигерия — Южная Корея 2:2 идёт", L"22:30 Греция — Аргентина 0:2 идёт",
            L"18:00 Мексика — Уругвай 0:1", L"22:30 Гана — Германия" },
          { L"Сегодня матчей нет" } },
        { 6, 23, 1, 0,
          { L"22:30 Нигерия — Южная Корея 2:2", L"22:30 Греция — Аргентина 0:2", L"18:00 Франция — ЮАР 1:2" },
          { L"Сегодня матчей нет" } },
        { 6, 23, 6, 0, { L"22:30 Гана — Германия" }, { L"Групповой этап, 22 июня", L"22:30 Греция — Аргентина 0:2" } },
        { 7, 3, 1, 0,
          { L"1/4 финала, 2 июля", L"22:30 Уругвай — Гана 1:1, пен. 4:2 идёт", L"18:00 Нидерланды — Бразилия 2:1",
            L"18:00 Аргентина — Германия через 17 ч" },
          {} },
        { 7, 12, 0, 30, { L"Финал, 11 июля", L"22:30 Нидерланды — Испания 0:1 д.в. идёт" }, { L"Сегодня матчей нет" } },
        { 7, 12, 1, 30, { L"Испания — чемпион мира", L"22:30 Нидерланды — Испания 0:1 д.в." }, {} },
        { 5, 31, 12, 0,
          { L"До начала чемпионата 11 дней", L"Матч открытия, 11 июня", L"18:00 ЮАР — Мексика Йоханнесбург" }, {} },
    };
    for (const auto& m : moments) {
        auto lines = ViewAt(data, m.month, m.day, m.hour, m.minute);
        for (const auto& line : m.shown)
            EXPECT_TRUE(Has(lines, line)) << m.day << "." << m.month << " " << m.hour << ":" << m.minute << " lacks "
                                          << qt::WideToUtf8(line) << " in\n" << Joined(lines);
        for (const auto& line : m.gone)
            EXPECT_FALSE(Has(lines, line)) << m.day << "." << m.month << " shows " << qt::WideToUtf8(line);
    }
    // The header keeps the calendar day; the view changes again at 06:00 at the latest.
    ULONGLONG change = 0;
    auto night = ViewAt(data, 6, 23, 1, 0, false, &change);
    EXPECT_EQ(L"среда, 23 июня", night[1]);
    SYSTEMTIME six = { 2010, 6, 0, 23, 6, 0, 0, 0 };
    EXPECT_LE(change, FixedZoneToUtc(six));
    // Collapsed, the same rule: the final under way after midnight, then the champion.
    EXPECT_TRUE(Has(ViewAt(data, 7, 12, 0, 30, true), L"22:30 Нидерланды — Испания 0:1 д.в. идёт"));
    EXPECT_TRUE(Has(ViewAt(data, 6, 23, 1, 0, true), L"22:30 Греция — Аргентина 0:2"));
    EXPECT_TRUE(Has(ViewAt(data, 6, 22, 19, 0, true), L"18:00 Мексика — Уругвай 0:1 идёт"));
}

std::vector<std::string> GroupOrder(const TournamentData& data, int group, ULONGLONG now)
{
    Standing table[kTeamsPerGroup];
    GroupStandings(data, group, now, table);
    std::vector<std::string> codes;
    for (const Standing& s : table)
        codes.push_back(data.teams[s.team].code);
    return codes;
}

TEST(GroupOrder, FinalTablesAsPublishedAndTheMatchesBetweenLevelTeams)
{
    TournamentData data = BuiltInData();
    const ULONGLONG after = Utc(2010, 7, 20, 0, 0);
    const std::vector<std::string> published[kGroupCount] = {
        { "URU", "MEX", "RSA", "FRA" }, { "ARG", "KOR", "GRE", "NGA" }, { "USA", "ENG", "SVN", "ALG" },
        { "GER", "GHA", "AUS", "SRB" }, { "NED", "JPN", "DEN", "CMR" }, { "PAR", "SVK", "NZL", "ITA" },
        { "BRA", "POR", "CIV", "PRK" }, { "ESP", "CHI", "SUI", "HON" },
    };
    for (int group = 0; group < kGroupCount; ++group)
        EXPECT_EQ(published[group], GroupOrder(data, group, after)) << "group " << group;

    // Group A replayed so that South Africa and Mexico end level on points (4), goal
    // difference (0) and goals (2): Mexico won the match between them, so Mexico is
    // ahead although South Africa comes first in the draw.
    const struct {
        int number;
        signed char home, away;
    } results[] = { { 1, 0, 1 }, { 2, 3, 0 }, { 17, 2, 1 }, { 18, 0, 0 }, { 33, 1, 2 }, { 34, 0, 0 } };
    for (const auto& r : results)
        data.matches[r.number - 1].regular = { r.home, r.away };
    EXPECT_EQ((std::vector<std::string>{ "URU", "MEX", "RSA", "FRA" }), GroupOrder(data, 0, after));
    // Level in the match between them too (a draw): the draw order stands.
    data.matches[0].regular = { 1, 1 };
    data.matches[32].regular = { 0, 2 }; // Mexico: 1:1, 0:2, 0:0 - 2 points
    data.matches[16].regular = { 1, 2 }; // South Africa: 1:1, 1:2, 0:0 - 2 points
    EXPECT_EQ((std::vector<std::string>{ "URU", "RSA", "MEX", "FRA" }), GroupOrder(data, 0, after));
}

TEST(WebAddress, LocationsResolveAsTheStandardSays)
{
    const wchar_t base[] = L"http://h/data/wc.csv?old=1#top";
    const struct {
        const wchar_t* location;
        const wchar_t* target;
    } cases[] = {
        { L"?v=2", L"http://h/data/wc.csv?v=2" },
        { L"#part", L"http://h/data/wc.csv?old=1#part" },
        { L"", L"http://h/data/wc.csv?old=1" },
        { L"new.csv", L"http://h/data/new.csv" },
        { L"./new.csv?x", L"http://h/data/new.csv?x" },
        { L"../up.csv", L"http://h/up.csv" },
        { L"../../../up.csv", L"http://h/up.csv" },
        { L"/root/a/./b/../c.csv", L"http://h/root/a/c.csv" },
        { L"//other:8080/x.csv", L"http://other:8080/x.csv" },
        { L"https://s.example/a/../b.csv", L"https://s.example/b.csv" },
        { L"sub/", L"http://h/data/sub/" },
        { L".", L"http://h/data/" },
        { L"..", L"http://h/" },
    };
    for (const auto& c : cases) {
        wchar_t target[kUrlUnits] = L"garbage";
        EXPECT_TRUE(ResolveLocation(base, c.location, target, kUrlUnits)) << qt::WideToUtf8(c.location);
        EXPECT_STREQ(c.target, target) << qt::WideToUtf8(c.location);
    }
    wchar_t target[kUrlUnits];
    EXPECT_TRUE(ResolveLocation(L"http://h", L"x.csv", target, kUrlUnits));
    EXPECT_STREQ(L"http://h/x.csv", target);
    // Too long for the buffer: refused, nothing half-written.
    wchar_t small[16];
    EXPECT_FALSE(ResolveLocation(base, L"a-rather-long-name.csv", small, 16));
    EXPECT_STREQ(L"", small);
}

} // namespace
