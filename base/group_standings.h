// A group's table at a moment, from the group matches over by then. The order is the
// 2010 regulations': points, goal difference, goals scored; then, among the teams
// still level on all three, the points, goal difference and goals scored of the
// matches between them; then the draw order, which stands in for the drawing of lots.
#pragma once

#include <windows.h>

#include "tournament_data.h"

struct Standing {
    int team; // index into the data's teams
    int played, goalsFor, goalsAgainst, points;
};

// The group's four teams, first to last.
void GroupStandings(const TournamentData& data, int group, ULONGLONG now, Standing* table);
// Every match of the group over with its result at `now`.
bool GroupComplete(const TournamentData& data, int group, ULONGLONG now);
// The teams' indexes group by group (A to H), each group's in the file's order: how
// the widget lists them for a choice, whatever order the file gives. Gives how many
// (all of them for valid data).
int TeamsByGroup(const TournamentData& data, int order[kTeamCount]);
