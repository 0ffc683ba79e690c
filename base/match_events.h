// The goals and shoot-out kicks of the data file: two optional tables after the
// matches, their rows read one by one as the reader meets them, then checked against
// the results once the whole file is read. A row that fails refuses the whole file.
#pragma once

#include <windows.h>

#include "tournament_data.h"

extern const char kGoalsHeader[];
extern const char kKicksHeader[];

// Appends one row of the goals (shoot-out) table to `data`, whose teams and matches are
// complete; false for a row that breaks a rule or one row too many.
bool ReadGoalRow(TournamentData& data, const char* line, int length);
bool ReadKickRow(TournamentData& data, const char* line, int length);

// The goals give every result's 90-minute and extra-time score, and the kicks every
// shoot-out's, decided by the last kick; a match under way has goals and kicks so far.
bool EventsAgreeWithResults(const TournamentData& data);
