// The data file reader (base/tournament_data.cpp and its tables' files) on any bytes, as
// a server at the data address could send them: a file it takes must hold what the
// widget relies on, its goals and shoot-out kicks included (of a match's known teams,
// at minutes of their periods, in order, agreeing with the results; kicks in turn,
// the last one deciding), and a file it refuses must leave the data it was given as
// they were. What the widget then works out of accepted data (winners, ends of
// matches, the bracket, the group tables) runs on it too.
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

// The last minute of each period before its added time (Period's order).
const int kPeriodEnd[] = { 0, 45, 90, 105, 120 };

// Match `number` with both its teams known, else null.
const Match* MatchWithTeams(const TournamentData& data, int number)
{
    if (number < 1 || number > kMatchCount)
        return nullptr;
    const Match& match = data.matches[number - 1];
    return match.home != kNoTeam && match.away != kNoTeam ? &match : nullptr;
}

bool Known(const Score& score)
{
    return score.home != kNoGoals;
}

// Each goal: of a match whose teams are known, for one of them, in a period the match
// has, at a minute of that period (added time only at its last minute), by a named
// scorer; an own goal is no penalty; by match, then as the clock ran.
void CheckGoals(const TournamentData& data)
{
    FUZZ_CHECK(data.goalCount >= 0 && data.goalCount <= kMaxGoals);
    FUZZ_CHECK(data.hasGoals || data.goalCount == 0);
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        const Match* match = MatchWithTeams(data, goal.match);
        FUZZ_CHECK(match != nullptr && PlaysIn(*match, goal.team));
        int lastPeriod = match->stage == STAGE_GROUP ? PERIOD_SECOND_HALF : PERIOD_EXTRA_SECOND;
        FUZZ_CHECK(goal.period >= PERIOD_FIRST_HALF && goal.period <= lastPeriod);
        FUZZ_CHECK(goal.minute > kPeriodEnd[goal.period - 1] && goal.minute <= kPeriodEnd[goal.period]);
        FUZZ_CHECK(goal.stoppage <= 15 && (!goal.stoppage || goal.minute == kPeriodEnd[goal.period]));
        FUZZ_CHECK(!(goal.ownGoal && goal.penalty));
        FUZZ_CHECK(NameTerminated(goal.scorer));
        if (i) {
            const Goal& last = data.goals[i - 1];
            FUZZ_CHECK(last.match <= goal.match);
            if (last.match == goal.match) {
                unsigned before = last.period << 16 | last.minute << 8 | last.stoppage;
                unsigned after = goal.period << 16 | goal.minute << 8 | goal.stoppage;
                FUZZ_CHECK(before <= after);
            }
        }
    }
}

// The goals of a match, home then away: those of the 90 minutes and those of extra time.
void CountGoals(const TournamentData& data, const Match& match, int regular[2], int extra[2])
{
    regular[0] = regular[1] = extra[0] = extra[1] = 0;
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        if (goal.match == match.number)
            ++(goal.period >= PERIOD_EXTRA_FIRST ? extra : regular)[goal.team == match.home ? 0 : 1];
    }
}

// With a goals table, a finished match's goals give its score after 90 minutes and
// after extra time, and none come in an extra time it did not have; a match under way
// is in extra time only when its 90 minutes ended level.
void CheckGoalsAgainstScores(const TournamentData& data)
{
    if (!data.hasGoals)
        return;
    for (const Match& match : data.matches) {
        int regular[2], extra[2];
        CountGoals(data, match, regular, extra);
        if (HasResult(match)) {
            FUZZ_CHECK(regular[0] == match.regular.home && regular[1] == match.regular.away);
            const Score& end = Known(match.extra) ? match.extra : match.regular;
            FUZZ_CHECK(regular[0] + extra[0] == end.home && regular[1] + extra[1] == end.away);
        } else if (extra[0] + extra[1]) {
            FUZZ_CHECK(regular[0] == regular[1]);
        }
    }
}

// Whether a shoot-out's winner is certain after the kicks so far: within the first five
// each, one side cannot be caught even if the other scores all it has left; after them,
// a pair of kicks that ends uneven.
bool Decided(const int taken[2], const int made[2])
{
    if (taken[0] <= 5 && taken[1] <= 5)
        return made[0] > made[1] + (5 - taken[1]) || made[1] > made[0] + (5 - taken[0]);
    return taken[0] == taken[1] && made[0] != made[1];
}

// Each kick: of a knock-out match whose teams are known, by one of them, by a named
// kicker; by match in rising numbers, numbered from 1 as taken, the teams in turn. With
// a kicks table, a finished match has kicks only if it had a shoot-out, and then they
// add up to its score and the last of them decided it; one under way is not decided
// yet (and, with goals, followed level extra time).
void CheckKicks(const TournamentData& data)
{
    FUZZ_CHECK(data.kickCount >= 0 && data.kickCount <= kMaxKicks);
    FUZZ_CHECK(data.hasKicks || data.kickCount == 0);
    for (int i = 0; i < data.kickCount; ++i) {
        const Kick& kick = data.kicks[i];
        const Match* match = MatchWithTeams(data, kick.match);
        FUZZ_CHECK(match != nullptr && match->stage != STAGE_GROUP && PlaysIn(*match, kick.team));
        FUZZ_CHECK(NameTerminated(kick.kicker));
        const Kick* last = i ? &data.kicks[i - 1] : nullptr;
        if (last && last->match == kick.match)
            FUZZ_CHECK(kick.order == last->order + 1 && kick.team != last->team);
        else
            FUZZ_CHECK(kick.order == 1 && (!last || last->match < kick.match));
    }
    if (!data.hasKicks)
        return;
    for (const Match& match : data.matches) {
        int taken[2] = {}, made[2] = {}, scored[2] = {}, kicks = 0;
        bool decidedEarlier = false, decided = false;
        int first = kNoTeam;
        for (int i = 0; i < data.kickCount; ++i) {
            const Kick& kick = data.kicks[i];
            if (kick.match != match.number)
                continue;
            if (first == kNoTeam)
                first = kick.team;
            int side = kick.team == first ? 0 : 1;
            decidedEarlier = decidedEarlier || decided;
            ++kicks;
            ++taken[side];
            made[side] += kick.scored;
            scored[kick.team == match.home ? 0 : 1] += kick.scored;
            decided = Decided(taken, made);
        }
        if (HasResult(match) && !Known(match.penalties)) {
            FUZZ_CHECK(kicks == 0);
        } else if (HasResult(match)) {
            FUZZ_CHECK(scored[0] == match.penalties.home && scored[1] == match.penalties.away);
            FUZZ_CHECK(decided && !decidedEarlier);
        } else if (kicks) {
            FUZZ_CHECK(!decided && !decidedEarlier);
            if (data.hasGoals) {
                int regular[2], extra[2];
                CountGoals(data, match, regular, extra);
                FUZZ_CHECK(regular[0] + extra[0] == regular[1] + extra[1]);
            }
        }
    }
}

void CheckEvents(const TournamentData& data)
{
    CheckGoals(data);
    CheckGoalsAgainstScores(data);
    CheckKicks(data);
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
