#include "match_events.h"

#include "data_fields.h"

const char kGoalsHeader[] = "num,period,minute,stoppage,team,own_goal,penalty,scorer_en,scorer_ru";
const char kKicksHeader[] = "num,order,team,scorer_en,scorer_ru,scored";

namespace {

const int kGoalFields = 9;
const int kKickFields = 6;
// The last minute of each period before its added time; a period begins the minute
// after the one before it ends.
const int kPeriodEnd[] = { 0, 45, 90, 105, 120 };
const int kMaxStoppage = 15;
const int kShootoutRound = 5; // kicks each before sudden death

// Match `number` (1..64) when both its teams are known, else null.
const Match* MatchWithTeams(const TournamentData& data, int number)
{
    if (number < 1 || number > kMatchCount)
        return nullptr;
    const Match& match = data.matches[number - 1];
    return match.home != kNoTeam && match.away != kNoTeam ? &match : nullptr;
}

// The field's team when it plays in `match`, else kNoTeam.
int TeamOfMatch(const TournamentData& data, const Match& match, const Field& field)
{
    int team = FindTeam(data, kTeamCount, field);
    return team == match.home || team == match.away ? team : kNoTeam;
}

// Goals come by match, then by the time on the clock.
bool Before(const Goal& a, const Goal& b)
{
    const BYTE left[] = { a.match, a.period, a.minute, a.stoppage };
    const BYTE right[] = { b.match, b.period, b.minute, b.stoppage };
    for (int i = 0; i < 4; ++i) {
        if (left[i] != right[i])
            return left[i] < right[i];
    }
    return false;
}

bool HasShootout(const Match& match)
{
    return match.penalties.home != kNoGoals;
}

// One match's goals, home then away: those of the 90 minutes and those of extra time.
void CountGoals(const TournamentData& data, const Match& match, int regular[2], int extra[2])
{
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        if (goal.match != match.number)
            continue;
        int side = goal.team == match.home ? 0 : 1;
        ++(goal.period >= PERIOD_EXTRA_FIRST ? extra : regular)[side];
    }
}

// A result's goals give its 90-minute score and its extra-time score (the 90-minute one
// again without extra time). A match under way may be in extra time only when level.
bool GoalsAgree(const Match& match, const int regular[2], const int extra[2])
{
    if (!HasResult(match))
        return extra[0] + extra[1] == 0 || regular[0] == regular[1];
    const Score& end = match.extra.home != kNoGoals ? match.extra : match.regular;
    return regular[0] == match.regular.home && regular[1] == match.regular.away &&
           regular[0] + extra[0] == end.home && regular[1] + extra[1] == end.away;
}

struct Shootout {
    int kicks;
    int made[2];   // home, away
    int decidedAt; // the kick (1..) after which the winner was first certain; 0 while open
};

Shootout FollowShootout(const TournamentData& data, const Match& match)
{
    Shootout shootout = {};
    int taken[2] = {}, made[2] = {}; // by side: 0 the team that kicked first
    for (int i = 0; i < data.kickCount; ++i) {
        const Kick& kick = data.kicks[i];
        if (kick.match != match.number)
            continue;
        int side = shootout.kicks % 2; // the teams alternate (ReadKickRow)
        ++shootout.kicks;
        ++taken[side];
        made[side] += kick.scored;
        shootout.made[kick.team == match.home ? 0 : 1] += kick.scored;
        bool decided = taken[0] <= kShootoutRound && taken[1] <= kShootoutRound
                           ? made[0] > made[1] + kShootoutRound - taken[1] ||
                                 made[1] > made[0] + kShootoutRound - taken[0]
                           : taken[0] == taken[1] && made[0] != made[1]; // sudden death: pair by pair
        if (decided && !shootout.decidedAt)
            shootout.decidedAt = shootout.kicks;
    }
    return shootout;
}

// A shoot-out of a result adds up to it and ends with the kick that decided it; one
// under way follows level extra time and is not decided yet.
bool KicksAgree(const TournamentData& data, const Match& match, const int regular[2], const int extra[2])
{
    Shootout shootout = FollowShootout(data, match);
    if (HasResult(match)) {
        if (!HasShootout(match))
            return shootout.kicks == 0;
        return shootout.made[0] == match.penalties.home && shootout.made[1] == match.penalties.away &&
               shootout.decidedAt == shootout.kicks;
    }
    if (!shootout.kicks)
        return true;
    if (data.hasGoals && regular[0] + extra[0] != regular[1] + extra[1])
        return false;
    return shootout.decidedAt == 0;
}

} // namespace

bool ReadGoalRow(TournamentData& data, const char* line, int length)
{
    Field f[kGoalFields];
    if (!SplitFields(line, length, f, kGoalFields) || data.goalCount == kMaxGoals)
        return false;
    int number, period, minute, stoppage;
    if (!ReadNumber(f[0], 2, &number) || !ReadNumber(f[1], 1, &period) || !ReadNumber(f[2], 3, &minute) ||
        !ReadNumber(f[3], 2, &stoppage))
        return false;
    const Match* match = MatchWithTeams(data, number);
    int lastPeriod = match && match->stage != STAGE_GROUP ? PERIOD_EXTRA_SECOND : PERIOD_SECOND_HALF;
    if (!match || period < PERIOD_FIRST_HALF || period > lastPeriod)
        return false;
    int end = kPeriodEnd[period];
    if (minute <= kPeriodEnd[period - 1] || minute > end || stoppage > kMaxStoppage || (stoppage && minute != end))
        return false;

    Goal goal = {};
    goal.match = static_cast<BYTE>(number);
    goal.period = static_cast<BYTE>(period);
    goal.minute = static_cast<BYTE>(minute);
    goal.stoppage = static_cast<BYTE>(stoppage);
    goal.team = static_cast<signed char>(TeamOfMatch(data, *match, f[4]));
    if (goal.team == kNoTeam || !ReadFlag(f[5], &goal.ownGoal) || !ReadFlag(f[6], &goal.penalty) ||
        (goal.ownGoal && goal.penalty) || !f[7].length || !ReadName(f[8], goal.scorer))
        return false;
    if (data.goalCount && Before(goal, data.goals[data.goalCount - 1]))
        return false;
    data.goals[data.goalCount++] = goal;
    return true;
}

bool ReadKickRow(TournamentData& data, const char* line, int length)
{
    Field f[kKickFields];
    if (!SplitFields(line, length, f, kKickFields) || data.kickCount == kMaxKicks)
        return false;
    int number, order;
    if (!ReadNumber(f[0], 2, &number) || !ReadNumber(f[1], 3, &order))
        return false;
    const Match* match = MatchWithTeams(data, number);
    if (!match || match->stage == STAGE_GROUP)
        return false;

    Kick kick = {};
    kick.match = static_cast<BYTE>(number);
    kick.team = static_cast<signed char>(TeamOfMatch(data, *match, f[2]));
    if (kick.team == kNoTeam || !f[3].length || !ReadName(f[4], kick.kicker) || !ReadFlag(f[5], &kick.scored))
        return false;
    // Grouped by match in rising numbers, each match's kicks numbered from 1 in the
    // order taken, the two teams in turn.
    const Kick* last = data.kickCount ? &data.kicks[data.kickCount - 1] : nullptr;
    if (last && last->match == number) {
        if (order != last->order + 1 || kick.team == last->team)
            return false;
    } else if (order != 1 || (last && last->match > number)) {
        return false;
    }
    kick.order = static_cast<BYTE>(order);
    data.kicks[data.kickCount++] = kick;
    return true;
}

bool EventsAgreeWithResults(const TournamentData& data)
{
    for (const Match& match : data.matches) {
        int regular[2] = {}, extra[2] = {};
        CountGoals(data, match, regular, extra);
        if (data.hasGoals && !GoalsAgree(match, regular, extra))
            return false;
        if (data.hasKicks && !KicksAgree(data, match, regular, extra))
            return false;
    }
    return true;
}
