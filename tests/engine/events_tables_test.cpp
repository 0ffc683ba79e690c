// The goals and shoot-out tables of the data file, as tables of edits to the copy in
// base.dll: what the built-in file holds, which tables a file may have or leave out,
// and rows that each refuse the whole file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/tournament_data.h"
#include "core_data.h"

namespace {

const std::string kGoalsHeader = "num,period,minute,stoppage,team,own_goal,penalty,scorer_en,scorer_ru\n";
const std::string kKicksHeader = "num,order,team,scorer_en,scorer_ru,scored\n";
const char kLongName[] = "Южно-Африканская Республика"; // 27 units: more than a name holds

struct Edit {
    std::string from, to;
};

// `text` with each edit's one occurrence of `from` put as `to`.
std::string Edited(std::string text, const std::vector<Edit>& edits)
{
    for (const Edit& edit : edits) {
        size_t at = text.find(edit.from);
        EXPECT_TRUE(at != std::string::npos && text.find(edit.from, at + 1) == std::string::npos) << edit.from;
        if (at != std::string::npos)
            text.replace(at, edit.from.size(), edit.to);
    }
    return text;
}

// The table that begins with `header`, up to its blank line or the end, taken out.
std::string Without(const std::string& text, const std::string& header)
{
    size_t at = text.find("\n\n" + header);
    size_t end = text.find("\n\n", at + 2);
    return text.substr(0, at) + (end == std::string::npos ? "\n" : text.substr(end));
}

std::string TeamOf(const TournamentData& data, int team)
{
    return data.teams[team].code;
}

TEST(MatchEvents, BuiltInFileHasEveryGoalAndKick)
{
    TournamentData data = BuiltInData();
    ASSERT_TRUE(data.hasGoals && data.hasKicks);
    ASSERT_EQ(145, data.goalCount);
    ASSERT_EQ(18, data.kickCount);
    const Goal& opening = data.goals[0];
    EXPECT_EQ(1, opening.match);
    EXPECT_EQ(PERIOD_SECOND_HALF, opening.period);
    EXPECT_EQ(55, opening.minute);
    EXPECT_EQ("RSA", TeamOf(data, opening.team));
    EXPECT_STREQ(L"Чабалала", opening.scorer);
    EXPECT_EQ(79, data.goals[1].minute);
    EXPECT_EQ("MEX", TeamOf(data, data.goals[1].team));
    EXPECT_STREQ(L"Маркес", data.goals[1].scorer);
    const Goal& winner = data.goals[144];
    EXPECT_TRUE(winner.match == 64 && winner.period == PERIOD_EXTRA_SECOND && winner.minute == 116);
    EXPECT_STREQ(L"Иньеста", winner.scorer);
    int ownGoals = 0, penalties = 0, stoppage = 0;
    for (int i = 0; i < data.goalCount; ++i) {
        ownGoals += data.goals[i].ownGoal;
        penalties += data.goals[i].penalty;
        stoppage += data.goals[i].stoppage != 0;
    }
    EXPECT_EQ(2, ownGoals);
    EXPECT_EQ(9, penalties);
    EXPECT_EQ(8, stoppage);
    const Goal& muntari = data.goals[126]; // 45+2'
    EXPECT_TRUE(muntari.match == 58 && muntari.minute == 45 && muntari.stoppage == 2);
    const Kick& komano = data.kicks[5];
    EXPECT_TRUE(komano.match == 55 && komano.order == 6 && !komano.scored);
    EXPECT_EQ("JPN", TeamOf(data, komano.team));
    EXPECT_STREQ(L"Абреу", data.kicks[17].kicker);
    EXPECT_TRUE(data.kicks[17].scored);
}

// Rejected files leave the caller's data as it was; accepted ones say which tables came.
void ExpectRead(const std::string& what, const std::string& text, bool accepted, bool goals = true, bool kicks = true)
{
    TournamentData data = {}, before = {};
    data.goalCount = before.goalCount = -1; // a mark that a refusal must leave
    EXPECT_EQ(accepted, Read(text, &data)) << what;
    if (!accepted)
        EXPECT_EQ(0, memcmp(&data, &before, sizeof(data))) << what;
    else
        EXPECT_TRUE(data.hasGoals == goals && data.hasKicks == kicks && data.goalCount == (goals ? 145 : 0))
            << what;
}

// Goals and kicks are optional, each table comes once and in its place, and a table
// of a later version is passed over; garbage where a header belongs is not.
TEST(MatchEvents, TablesOptionalOnceInOrderAndUnknownOnesSkipped)
{
    const std::string file = BuiltInDataFile();
    const std::string unknown = "\nassists,num,player_en\n64,Fàbregas,, (1)\n";
    const struct {
        const char* what;
        std::string text;
        bool accepted, goals, kicks;
    } cases[] = {
        { "results only", ResultsOnly(file), true, false, false },
        { "goals without kicks", Without(file, kKicksHeader), true, true, false },
        { "kicks without goals", Without(file, kGoalsHeader), true, false, true },
        { "an unknown table before the goals",
          Edited(file, { { "\n\n" + kGoalsHeader, "\n" + unknown + "\n" + kGoalsHeader } }), true, true, true },
        { "an unknown table at the end", file + "\n# more\n" + unknown, true, true, true },
        { "an unknown table of one column", file + "\nnotes\nЛюбой текст\n", true, true, true },
        { "an unknown table's line too long", file + unknown + std::string(600, 'x') + "\n", false },
        { "an unknown table's control character", file + unknown + "a\tb\n", false },
        { "garbage after a blank line", file + "\nGoals of 2010\n", false },
        { "a header in capitals", file + "\nNum,Period\n", false },
        { "a header with an empty name", file + "\nnum,,minute\n", false },
        { "a goal row after a blank line", Edited(file, { { "\n1,2,79,0,MEX", "\n\n1,2,79,0,MEX" } }), false },
        { "a second goals table",
          Edited(file, { { "\n\n" + kKicksHeader, "\n\n" + kGoalsHeader + "\n" + kKicksHeader } }), false },
        { "goals after the kicks", Without(file, kGoalsHeader) + "\n" + kGoalsHeader, false },
        { "goals before the matches", Edited(file, { { "num,stage,", kGoalsHeader + "\nnum,stage," } }), false },
    };
    for (const auto& c : cases)
        ExpectRead(c.what, c.text, c.accepted, c.goals, c.kicks);
}

// Each row breaks one rule (or, marked accepted, shows what a match under way may
// have): the file is refused whole.
TEST(MatchEvents, EachBadGoalOrKickRefusesTheWholeFile)
{
    const std::string file = BuiltInDataFile();
    const Edit noResult1 = { "RSA,MEX,1,1,,,,,", "RSA,MEX,,,,,,," };
    const Edit noResult50 = { "USA,GHA,1,1,1,2,,,", "USA,GHA,,,,,,," };
    const Edit noResult58 = { "URU,GHA,1,1,1,1,4,2,", "URU,GHA,,,,,,," };
    const Edit lastKickOf58 = { "58,9,URU,Abreu,Абреу,1\n", "" };
    const Edit usaGoal = { "50,2,62,0,USA,0,1,Donovan,Донован\n", "" };
    const Edit openFinal = { "NED,ESP,0,0,0,1,,,", "NED,ESP,,,,,,," };
    const Edit noTeamsFinal = { "T18:30Z,NED,ESP,0,0,0,1,,,", "T18:30Z,,,,,,,,," };
    const std::string tshabalala = "1,2,55,0,RSA,0,0,Tshabalala,Чабалала\n",
                      marquez = "1,2,79,0,MEX,0,0,Márquez,Маркес\n", heinze = "3,1,6,0,ARG,0,0,Heinze,Хайнце\n";
    const struct {
        const char* what;
        std::vector<Edit> edits;
        bool accepted;
    } cases[] = {
        { "a goal missing", { { marquez, "" } } },
        { "a goal for the other team", { { "1,2,79,0,MEX", "1,2,79,0,RSA" } } },
        { "an extra-time goal in the 90 minutes", { { "50,3,93,0", "50,2,90,3" } } },
        { "the winner of extra time missing", { { "64,4,116,0,ESP,0,0,Iniesta,Иньеста\n", "" } } },
        { "extra time in a group match", { noResult1, { "Маркес\n", "Маркес\n1,3,95,0,MEX,0,0,Márquez,Маркес\n" } } },
        { "minute 55 in the first half", { { "1,2,55,0", "1,1,55,0" } } },
        { "minute 45 in the second half", { { "1,2,55,0", "1,2,45,0" } } },
        { "minute 0", { { "3,1,6,0", "3,1,0,0" } } },
        { "minute 90 in extra time", { { "50,3,93,0", "50,3,90,0" } } },
        { "minute 121", { { "64,4,116,0", "64,4,121,0" } } },
        { "a fifth period", { { "64,4,116,0", "64,5,116,0" } } },
        { "stoppage before the period's end", { { "1,2,55,0", "1,2,55,1" } } },
        { "16 minutes of stoppage", { { "12,2,90,3", "12,2,90,16" } } },
        { "an unknown team", { { "1,2,55,0,RSA", "1,2,55,0,XXX" } } },
        { "a team not in the match", { noResult1, { "1,2,55,0,RSA", "1,2,55,0,BRA" } } },
        { "an own goal from the penalty spot", { { "1,2,55,0,RSA,0,0", "1,2,55,0,RSA,1,1" } } },
        { "a flag of 2", { { "1,2,55,0,RSA,0,0", "1,2,55,0,RSA,0,2" } } },
        { "no scorer", { { ",Tshabalala,", ",," } } },
        { "a Russian name too long", { { "Tshabalala,Чабалала", std::string("Tshabalala,") + kLongName } } },
        { "a field missing", { { "Tshabalala,Чабалала", "Чабалала" } } },
        { "two goals of a match swapped", { { tshabalala + marquez, marquez + tshabalala } } },
        { "a match's goals before the one before", { { marquez + heinze, heinze + marquez } } },
        { "a goal in a match without known teams", { noTeamsFinal } },
        { "goals of a match under way", { noResult1 }, true },
        { "extra time under way after a level 90 minutes", { openFinal }, true },
        { "extra time under way after a decided 90 minutes", { noResult50, usaGoal } },
        { "kicks not alternating", { { "55,2,JPN,Endō,Эндо,1\n55,3,PAR,Barrios,Барриос,1",
                                       "55,2,PAR,Barrios,Барриос,1\n55,3,JPN,Endō,Эндо,1" } } },
        { "a gap in the order", { { "55,9,PAR", "55,10,PAR" } } },
        { "the first two kicks swapped", { { "55,1,PAR,Barreto,Баррето,1\n55,2,JPN,Endō,Эндо,1",
                                           "55,2,JPN,Endō,Эндо,1\n55,1,PAR,Barreto,Баррето,1" } } },
        { "a kicker's team not in the match", { { "55,2,JPN", "55,2,BRA" } } },
        { "a kick scored 2", { { "Abreu,Абреу,1", "Abreu,Абреу,2" } } },
        { "kick totals other than the result", { { "PAR,JPN,0,0,0,0,5,3", "PAR,JPN,0,0,0,0,5,2" } } },
        { "a miss turned into a goal", { { "Komano,Комано,0", "Komano,Комано,1" } } },
        { "the deciding kick missing", { { "55,9,PAR,Cardozo,Кардосо,1\n", "" } } },
        { "a kick after the decision", { { "Кардосо,1\n", "Кардосо,1\n55,10,JPN,Honda,Хонда,0\n" } } },
        { "kicks in a match without a shoot-out", { { "Абреу,1\n", "Абреу,1\n64,1,NED,Sneijder,Снейдер,1\n" } } },
        { "kicks in a group match", { noResult1, { kKicksHeader, kKicksHeader + "1,1,RSA,Pienaar,Пиенаар,1\n" } } },
        { "a shoot-out under way", { noResult58, lastKickOf58 }, true },
        { "a shoot-out under way already decided", { noResult58 } },
        { "a shoot-out under way after extra time not level",
          { noResult58, lastKickOf58, { "58,2,55,0,URU,0,0,Forlán,Форлан\n", "" } } },
    };
    for (const auto& c : cases)
        ExpectRead(c.what, Edited(file, c.edits), c.accepted);
}

// The built-in file with every result still to come, then `goals` goals of match 1 and
// `kicks` kicks of match 49 (all scored, so never decided).
std::string AllOpen(int goals, int kicks)
{
    const std::string file = BuiltInDataFile();
    size_t line = file.find('\n', file.find("\nnum,stage,") + 1) + 1;
    std::string text = file.substr(0, line);
    for (size_t next; (next = file.find('\n', line)) != line; line = next + 1) { // up to the blank line
        std::string row = file.substr(line, next - line);
        size_t from = 0, to;
        for (int comma = 0; comma < 8; ++comma)
            from = row.find(',', from) + 1;
        to = from;
        for (int comma = 0; comma < 6; ++comma)
            to = row.find(',', to) + 1;
        text += row.substr(0, from) + ",,,,," + row.substr(to - 1) + "\n"; // the three scores emptied
    }
    text += "\n" + kGoalsHeader;
    for (int i = 0; i < goals; ++i)
        text += "1,1,10,0,RSA,0,0,Tshabalala,Чабалала\n";
    text += "\n" + kKicksHeader;
    for (int i = 0; i < kicks; ++i)
        text += "49," + std::to_string(i + 1) + (i % 2 ? ",KOR,Lee C.,Ли Чхон Ён,1\n" : ",URU,Suárez,Суарес,1\n");
    return text;
}

TEST(MatchEvents, TablesAsLongAsTheRecordHoldsAndNoLonger)
{
    TournamentData data = {};
    ASSERT_TRUE(Read(AllOpen(kMaxGoals, kMaxKicks), &data));
    EXPECT_EQ(kMaxGoals, data.goalCount);
    EXPECT_EQ(kMaxKicks, data.kickCount);
    EXPECT_FALSE(HasResult(data.matches[0]));
    ExpectRead("a goal too many", AllOpen(kMaxGoals + 1, 0), false);
    ExpectRead("a kick too many", AllOpen(0, kMaxKicks + 1), false);
}

} // namespace
