// The data file reader (base/tournament_data.cpp) on any bytes, as a server at the data
// address could send them: a file it takes must hold what the widget relies on, a file
// it refuses must leave the data it was given as they were. What the widget then works
// out of accepted data (winners, ends of matches, the bracket, the group tables) runs
// on it too.
#include "fuzz_support.h"
#include "group_standings.h"
#include "tournament_data.h"

namespace {

const ULONGLONG kLastMoment = ~0ULL;

bool NameTerminated(const WCHAR* name)
{
    return TerminatedWithin(name, kNameUnits) && name[0];
}

bool IsTeamOrNone(int team)
{
    return team == kNoTeam || (team >= 0 && team < kTeamCount);
}

bool ScoreInRange(const Score& score)
{
    bool none = score.home == kNoGoals && score.away == kNoGoals;
    return none || (score.home >= 0 && score.home <= 99 && score.away >= 0 && score.away <= 99);
}

bool PlaysIn(const Match& match, int team)
{
    return team != kNoTeam && (team == match.home || team == match.away);
}

void CheckTeams(const TournamentData& data)
{
    int perGroup[kGroupCount] = {};
    for (int i = 0; i < kTeamCount; ++i) {
        const Team& team = data.teams[i];
        FUZZ_CHECK(team.code[3] == 0 && strlen(team.code) == 3);
        FUZZ_CHECK(team.group < kGroupCount);
        FUZZ_CHECK(NameTerminated(team.name));
        ++perGroup[team.group];
        for (int j = 0; j < i; ++j)
            FUZZ_CHECK(memcmp(team.code, data.teams[j].code, 4) != 0);
    }
    for (int count : perGroup)
        FUZZ_CHECK(count == kTeamsPerGroup);
}

void CheckCities(const TournamentData& data)
{
    FUZZ_CHECK(data.cityCount >= 1 && data.cityCount <= kMaxCities);
    for (int i = 0; i < data.cityCount; ++i) {
        FUZZ_CHECK(memchr(data.cities[i].key, 0, sizeof(data.cities[i].key)) && data.cities[i].key[0]);
        FUZZ_CHECK(NameTerminated(data.cities[i].name));
    }
}

void CheckMatches(const TournamentData& data)
{
    for (int i = 0; i < kMatchCount; ++i) {
        const Match& match = data.matches[i];
        FUZZ_CHECK(match.number == i + 1);
        FUZZ_CHECK(match.stage <= STAGE_FINAL && (match.stage == STAGE_GROUP) == (i + 1 < kFirstKnockoutMatch));
        FUZZ_CHECK(match.city < data.cityCount);
        FUZZ_CHECK(IsTeamOrNone(match.home) && IsTeamOrNone(match.away));
        FUZZ_CHECK(match.home == kNoTeam || match.home != match.away);
        if (match.stage == STAGE_GROUP) {
            FUZZ_CHECK(match.group < kGroupCount && match.home != kNoTeam && match.away != kNoTeam);
            FUZZ_CHECK(data.teams[match.home].group == match.group && data.teams[match.away].group == match.group);
        }
        FUZZ_CHECK(ScoreInRange(match.regular) && ScoreInRange(match.extra) && ScoreInRange(match.penalties));
        // What the widget derives: a winner and a loser only of a decided match, and
        // they are its two teams; the end comes after the kick-off.
        int winner = MatchWinner(match), loser = MatchLoser(match);
        FUZZ_CHECK((winner == kNoTeam) == (loser == kNoTeam));
        FUZZ_CHECK(winner == kNoTeam || (PlaysIn(match, winner) && PlaysIn(match, loser) && winner != loser));
        FUZZ_CHECK(match.stage == STAGE_GROUP || !HasResult(match) || winner != kNoTeam);
        FUZZ_CHECK(MatchEnd(match) > match.kickoff);
        FUZZ_CHECK(MatchStateAt(match, match.kickoff) == MATCH_UNDER_WAY);
        if (match.stage != STAGE_GROUP) {
            KnockoutSource home, away;
            GetKnockoutSources(match.number, &home, &away);
            FUZZ_CHECK(home.kind && away.kind);
        }
    }
}

void CheckEvents(const TournamentData& data)
{
    FUZZ_CHECK(data.goalCount >= 0 && data.goalCount <= kMaxGoals);
    FUZZ_CHECK(data.kickCount >= 0 && data.kickCount <= kMaxKicks);
    FUZZ_CHECK(data.hasGoals || data.goalCount == 0);
    FUZZ_CHECK(data.hasKicks || data.kickCount == 0);
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        FUZZ_CHECK(goal.match >= 1 && goal.match <= kMatchCount);
        FUZZ_CHECK(goal.period >= PERIOD_FIRST_HALF && goal.period <= PERIOD_EXTRA_SECOND);
        FUZZ_CHECK(PlaysIn(data.matches[goal.match - 1], goal.team));
        FUZZ_CHECK(NameTerminated(goal.scorer));
    }
    for (int i = 0; i < data.kickCount; ++i) {
        const Kick& kick = data.kicks[i];
        FUZZ_CHECK(kick.match >= 1 && kick.match <= kMatchCount);
        FUZZ_CHECK(PlaysIn(data.matches[kick.match - 1], kick.team));
        FUZZ_CHECK(NameTerminated(kick.kicker));
    }
}

// Each group's table at the end: its four teams once each, two per match counted.
void CheckStandings(const TournamentData& data)
{
    for (int group = 0; group < kGroupCount; ++group) {
        Standing table[kTeamsPerGroup];
        GroupStandings(data, group, kLastMoment, table);
        int played = 0;
        for (int i = 0; i < kTeamsPerGroup; ++i) {
            FUZZ_CHECK(table[i].team >= 0 && table[i].team < kTeamCount);
            FUZZ_CHECK(data.teams[table[i].team].group == group);
            for (int j = 0; j < i; ++j)
                FUZZ_CHECK(table[i].team != table[j].team);
            played += table[i].played;
        }
        int over = 0, all = 0;
        for (const Match& match : data.matches) {
            if (match.stage == STAGE_GROUP && match.group == group) {
                ++all;
                over += OverWithResult(match, kLastMoment);
            }
        }
        FUZZ_CHECK(played == 2 * over);
        FUZZ_CHECK(GroupComplete(data, group, kLastMoment) == (over == all));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (size > kMaxDataBytes)
        return 0;
    char* text = NewExact<char>(size);
    memcpy(text, bytes, size);
    TournamentData* data = NewExact<TournamentData>(1);
    TournamentData* before = NewExact<TournamentData>(1);
    memset(data, 0xA5, sizeof(*data));
    memcpy(before, data, sizeof(*data));
    if (ReadTournamentData(text, static_cast<DWORD>(size), data)) {
        CheckTeams(*data);
        CheckCities(*data);
        CheckMatches(*data);
        CheckEvents(*data);
        CheckStandings(*data);
    } else {
        FUZZ_CHECK(memcmp(data, before, sizeof(*data)) == 0);
    }
    free(before);
    free(data);
    free(text);
    return 0;
}
