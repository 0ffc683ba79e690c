#include "group_standings.h"

namespace {

bool Ahead(const Standing& a, const Standing& b)
{
    if (a.points != b.points)
        return a.points > b.points;
    int da = a.goalsFor - a.goalsAgainst, db = b.goalsFor - b.goalsAgainst;
    if (da != db)
        return da > db;
    return a.goalsFor > b.goalsFor;
}

bool Level(const Standing& a, const Standing& b)
{
    return !Ahead(a, b) && !Ahead(b, a);
}

void Count(Standing* standing, int goalsFor, int goalsAgainst)
{
    ++standing->played;
    standing->goalsFor += goalsFor;
    standing->goalsAgainst += goalsAgainst;
    standing->points += goalsFor > goalsAgainst ? 3 : goalsFor == goalsAgainst ? 1 : 0;
}

// The matches over at `now` between teams that are all in table[0..n), counted into it.
void CountMatches(const TournamentData& data, int group, ULONGLONG now, Standing* table, int n)
{
    for (const Match& match : data.matches) {
        if (match.stage != STAGE_GROUP || match.group != group || !OverWithResult(match, now))
            continue;
        Standing* home = nullptr;
        Standing* away = nullptr;
        for (int i = 0; i < n; ++i) {
            if (table[i].team == match.home)
                home = &table[i];
            else if (table[i].team == match.away)
                away = &table[i];
        }
        if (home && away) {
            Count(home, match.regular.home, match.regular.away);
            Count(away, match.regular.away, match.regular.home);
        }
    }
}

// Insertion sort by Ahead: stable, so teams level keep the order they came in.
void SortStable(Standing* table, int n)
{
    for (int i = 1; i < n; ++i) {
        Standing moving = table[i];
        int j = i;
        for (; j > 0 && Ahead(moving, table[j - 1]); --j)
            table[j] = table[j - 1];
        table[j] = moving;
    }
}

// Orders table[0..n), level on the whole group's figures, by the matches between them.
void OrderByMatchesBetween(const TournamentData& data, int group, ULONGLONG now, Standing* table, int n)
{
    Standing between[kTeamsPerGroup];
    for (int i = 0; i < n; ++i)
        between[i] = Standing{ table[i].team, 0, 0, 0, 0 };
    CountMatches(data, group, now, between, n);
    SortStable(between, n);
    Standing whole[kTeamsPerGroup];
    CopyMemory(whole, table, n * sizeof(Standing));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (whole[j].team == between[i].team)
                table[i] = whole[j];
        }
    }
}

} // namespace

void GroupStandings(const TournamentData& data, int group, ULONGLONG now, Standing* table)
{
    int n = 0;
    for (int t = 0; t < kTeamCount && n < kTeamsPerGroup; ++t) {
        if (data.teams[t].group == group)
            table[n++] = Standing{ t, 0, 0, 0, 0 };
    }
    CountMatches(data, group, now, table, n);
    SortStable(table, n);
    for (int first = 0; first < n;) {
        int end = first + 1;
        while (end < n && Level(table[first], table[end]))
            ++end;
        if (end - first > 1)
            OrderByMatchesBetween(data, group, now, table + first, end - first);
        first = end;
    }
}

bool GroupComplete(const TournamentData& data, int group, ULONGLONG now)
{
    for (const Match& match : data.matches) {
        if (match.stage == STAGE_GROUP && match.group == group && !OverWithResult(match, now))
            return false;
    }
    return true;
}

int TeamsByGroup(const TournamentData& data, int order[kTeamCount])
{
    int listed = 0;
    for (int group = 0; group < kGroupCount; ++group) {
        for (int team = 0; team < kTeamCount; ++team) {
            if (data.teams[team].group == group)
                order[listed++] = team;
        }
    }
    return listed;
}
