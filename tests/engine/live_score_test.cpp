// The match as it happens, on the data built into base.dll: the running score at the
// goals' estimated moments in a replay and at once with the real clock, the scorers,
// the balloons' news told once, and what hidden scores keep back.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/live_score.h"
#include "base/match_texts.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "core_data.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute;

// A replay runs (goals count from their moments) or the real clock does.
void UseReplay(bool replay)
{
    StartWidgetClock(replay ? L"/date=2010-06-11" : L"");
}

std::wstring Result(const TournamentData& data, int number, ULONGLONG now, MatchMask hidden = 0)
{
    wchar_t cell[kCellUnits] = {};
    AppendResult(cell, data, data.matches[number - 1], now, hidden);
    return cell;
}

std::wstring Scorers(const TournamentData& data, int number, ULONGLONG now)
{
    wchar_t text[512];
    FormatScorers(data, data.matches[number - 1], now, ReplayRunning(), text, 512);
    return text;
}

std::wstring News(const TournamentData& data, ULONGLONG now, ULONGLONG since, MatchMask silenced,
                  Announced* announced)
{
    wchar_t text[256] = L"?";
    bool any = TakeMatchNews(data, now, ReplayRunning(), since, silenced, announced, text, 256);
    EXPECT_EQ(any, text[0] != 0);
    return text;
}

TEST(LiveScore, AReplayCountsEachGoalFromItsMomentAndShowsExtraTimeAndTheKicks)
{
    const TournamentData data = BuiltInData();
    ASSERT_TRUE(data.hasGoals);
    UseReplay(true);
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0), quarter = Utc(2010, 7, 2, 18, 30),
                    final = Utc(2010, 7, 11, 18, 30);
    const struct {
        int match;
        ULONGLONG now;
        const wchar_t* shown;
    } cases[] = {
        { 1, opening - 1, L"" },
        { 1, opening, L"0:0 идёт" },
        { 1, opening + 71 * kMinute, L"0:0 идёт" },  // Чабалала 55': 15 minutes' break, ~2 added
        { 1, opening + 72 * kMinute, L"1:0 идёт" },
        { 1, opening + 96 * kMinute, L"1:1 идёт" },  // Маркес 79'
        { 1, opening + 120 * kMinute, L"1:1" },
        { 58, quarter + 46 * kMinute, L"0:0 идёт" }, // Мунтари 45+2'
        { 58, quarter + 47 * kMinute, L"0:1 идёт" },
        { 58, quarter + 115 * kMinute, L"1:1 д.в. идёт" },
        { 58, quarter + 150 * kMinute, L"1:1, пен. 0:0 идёт" },
        { 58, quarter + 152 * kMinute, L"1:1, пен. 1:1 идёт" },
        { 58, quarter + 157 * kMinute, L"1:1, пен. 3:2 идёт" }, // Менса missed the sixth kick
        { 58, quarter + 175 * kMinute, L"1:1, пен. 4:2" },
        { 64, final + 114 * kMinute, L"0:0 идёт" },
        { 64, final + 115 * kMinute, L"0:0 д.в. идёт" },
        { 64, final + 143 * kMinute, L"0:1 д.в. идёт" }, // Иньеста 116': within 2 minutes of 22:53 local
        { 64, final + 160 * kMinute, L"0:1 д.в." },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.shown, Result(data, c.match, c.now)) << c.match << " at " << (c.now - opening) / kMinute;
    UseReplay(false);
}

TEST(LiveScore, TheRealClockCountsAGoalAtOnceAndDataWithoutGoalsSayOnlyUnderWay)
{
    TournamentData data = BuiltInData();
    UseReplay(false);
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0);
    EXPECT_EQ(L"1:1 идёт", Result(data, 1, opening + kMinute));
    EXPECT_EQ(L"?:? идёт", Result(data, 1, opening + kMinute, MatchBit(1)));
    EXPECT_EQ(L"?:?", Result(data, 1, opening + 120 * kMinute, MatchBit(1)));
    EXPECT_EQ(L"1:1 идёт", Result(data, 1, opening + kMinute, MatchBit(2))); // another match hidden
    data.hasGoals = false;
    EXPECT_EQ(L"идёт", Result(data, 1, opening + kMinute));
}

TEST(LiveScore, ScorersWithOwnGoalsPenaltiesAndTheShootoutsKicks)
{
    const TournamentData data = BuiltInData();
    UseReplay(true);
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0);
    EXPECT_EQ(L"", Scorers(data, 1, opening + 71 * kMinute));
    EXPECT_EQ(L"Чабалала 55'", Scorers(data, 1, opening + 72 * kMinute));
    EXPECT_EQ(L"Чабалала 55', Маркес 79'", Scorers(data, 1, opening + 120 * kMinute));
    EXPECT_EQ(L"Аггер 46' (авт.), Кейт 85'", Scorers(data, 9, Utc(2010, 6, 14, 14, 0)));
    EXPECT_EQ(L"Мунтари 45+2', Форлан 55'\nСерия пенальти: Форлан — забил, Гьян — забил, Викторино — забил, "
              L"Аппиа — забил, Скотти — забил, Менса — не забил, М. Перейра — не забил, Адийя — не забил, "
              L"Абреу — забил",
              Scorers(data, 58, Utc(2010, 7, 2, 22, 0)));
    wchar_t cut[12];
    FormatScorers(data, data.matches[0], opening + 120 * kMinute, true, cut, 12);
    EXPECT_EQ(L"Чабалала 55", std::wstring(cut));
    UseReplay(false);
}

TEST(LiveScore, GoalsAndFinalWhistlesAreToldOnceAndNothingFromBeforeTheStart)
{
    const TournamentData data = BuiltInData();
    UseReplay(true);
    const ULONGLONG opening = Utc(2010, 6, 11, 14, 0);
    Announced told;
    StartAnnounced(data, opening + 60 * kMinute, true, &told);
    EXPECT_EQ(L"", News(data, opening + 71 * kMinute, opening, 0, &told));
    EXPECT_EQ(L"Гол! ЮАР — Мексика 1:0 (Чабалала, 55')", News(data, opening + 80 * kMinute, opening, 0, &told));
    EXPECT_EQ(L"", News(data, opening + 90 * kMinute, opening, 0, &told));
    EXPECT_EQ(L"Гол! ЮАР — Мексика 1:1 (Маркес, 79')\nМатч окончен: ЮАР — Мексика 1:1",
              News(data, opening + 121 * kMinute, opening, 0, &told));
    EXPECT_EQ(L"", News(data, opening + 200 * kMinute, opening, 0, &told));

    // Started after the first goal: only the second is told.
    StartAnnounced(data, opening + 80 * kMinute, true, &told);
    EXPECT_EQ(L"Гол! ЮАР — Мексика 1:1 (Маркес, 79')", News(data, opening + 100 * kMinute, opening, 0, &told));
    // Silenced, it is not told, and not later either.
    StartAnnounced(data, opening + 80 * kMinute, true, &told);
    EXPECT_EQ(L"", News(data, opening + 100 * kMinute, opening, MatchBit(1), &told));
    EXPECT_EQ(L"", News(data, opening + 110 * kMinute, opening, 0, &told));

    // An own goal and a penalty are marked.
    StartAnnounced(data, Utc(2010, 6, 14, 11, 30), true, &told);
    EXPECT_EQ(L"Гол! Нидерланды — Дания 1:0 (Аггер, 46', автогол)",
              News(data, Utc(2010, 6, 14, 12, 40), 0, 0, &told));
    StartAnnounced(data, Utc(2010, 6, 13, 14, 0), true, &told);
    std::wstring penalty = News(data, Utc(2010, 6, 13, 16, 0), 0, 0, &told);
    EXPECT_NE(std::wstring::npos, penalty.find(L"(Гьян, 85', пен.)")) << penalty;
    UseReplay(false);
}

TEST(LiveScore, AFileThatBringsOldResultsTellsNothingOlderAndManyNewsMakeOneBalloon)
{
    TournamentData data = BuiltInData();
    UseReplay(false);
    TournamentData before = data;
    before.goalCount = 0;
    for (Match& match : before.matches)
        match.regular = match.extra = match.penalties = { kNoGoals, kNoGoals };
    // The widget started at midnight of 21 June with data that knew no result; the
    // file comes late that night, with the 20th's results and the 21st's.
    const ULONGLONG start = Utc(2010, 6, 21, 0, 0), later = Utc(2010, 6, 21, 23, 0);
    Announced told;
    StartAnnounced(before, start, false, &told);
    std::wstring news = News(data, later, start, 0, &told);
    EXPECT_EQ(0u, news.find(L"Гол! Португалия — КНДР 1:0 (Мейрелеш, 29')\nГол! Португалия — КНДР 2:0")) << news;
    EXPECT_EQ(std::wstring::npos, news.find(L"Бразилия")) << news; // 20 June, before the start
    EXPECT_NE(std::wstring::npos, news.find(L"\n…и ещё ")) << news; // 13 lines do not fit
    EXPECT_LE(news.size(), 255u);
    EXPECT_EQ(L"", News(data, later, start, 0, &told));
}

TEST(LiveScore, HiddenScoresKeepBackTablesWinnersAndTheChampion)
{
    const TournamentData data = BuiltInData();
    UseReplay(false);
    ViewChoice choice = {};
    choice.hideScores = true;
    choice.page = PAGE_GROUPS;
    WidgetView view;
    const ULONGLONG after = Utc(2010, 7, 20, 12, 0);
    BuildWidgetView(data, after, choice, &view);
    int questions = 0, qualified = 0;
    for (int i = 0; i < view.lineCount; ++i) {
        questions += view.lines[i].style == LINE_TABLE_ROW && !lstrcmpW(view.lines[i].cell[4], L"?");
        qualified += view.lines[i].mark == MARK_QUALIFIED;
    }
    EXPECT_EQ(32, questions);
    EXPECT_EQ(0, qualified);
    EXPECT_STREQ(L"ЮАР", view.lines[4].cell[0]); // the draw's order, not the table's

    choice.page = PAGE_KNOCKOUT;
    BuildWidgetView(data, after, choice, &view);
    EXPECT_STREQ(L"1-й A — 2-й B", view.lines[4].cell[1]);
    EXPECT_STREQ(L"?:?", view.lines[4].cell[2]);
    EXPECT_EQ(49, view.lines[4].match);
    // Match 49 shown: its teams and score; the quarter-final it leads to names Uruguay.
    choice.revealed = MatchBit(49);
    BuildWidgetView(data, after, choice, &view);
    EXPECT_STREQ(L"Уругвай — Южная Корея", view.lines[4].cell[1]);
    EXPECT_STREQ(L"2:1", view.lines[4].cell[2]);
    bool namedLater = false;
    for (int i = 0; i < view.lineCount; ++i)
        namedLater |= view.lines[i].match == 58 && !lstrcmpW(view.lines[i].cell[1], L"Уругвай — Победитель 50");
    EXPECT_TRUE(namedLater);

    choice.page = PAGE_MATCHES;
    BuildWidgetView(data, after, choice, &view);
    EXPECT_STREQ(L"Чемпионат завершён", view.lines[4].cell[0]);
    choice.revealed = MatchBit(64);
    BuildWidgetView(data, after, choice, &view);
    EXPECT_STREQ(L"Испания — чемпион мира", view.lines[4].cell[0]);
}

} // namespace
