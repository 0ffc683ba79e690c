// The match as it happens: the score at a moment from the data's goals and kicks,
// its scorers, and the news between two moments (goals, final whistles) as one
// balloon. Pure rules over the data; the caller says whether a replay runs.
#pragma once

#include <windows.h>

#include "tournament_data.h"

// A goal's moment as estimated from the kick-off, its minute and added minute, a
// 15-minute half-time, a 5-minute break before extra time and a short one between
// its halves; a kick's from the start of the shoot-out, a minute a kick.
ULONGLONG GoalMoment(const Match& match, const Goal& goal);
ULONGLONG KickMoment(const Match& match, const Kick& kick);
// When extra time and a shoot-out are estimated to begin.
ULONGLONG ExtraTimeBegins(const Match& match);
ULONGLONG ShootoutBegins(const Match& match);
// The real clock counts a goal as soon as the data hold it and its match has kicked
// off (a server publishes only what happened); a replay counts it from its moment.
bool GoalCounts(const Match& match, const Goal& goal, ULONGLONG now, bool replay);
bool KickCounts(const Match& match, const Kick& kick, ULONGLONG now, bool replay);

struct LiveScore {
    Score goals;    // the goals that count, extra time's included
    Score kicks;    // the shoot-out's kicks scored so far
    bool extraTime; // in extra time, or past it
    bool shootout;  // the kicks have begun
};
// The score of a match under way (or over) at `now`; false before its kick-off and
// when the data hold no goals table.
bool ScoreAt(const TournamentData& data, const Match& match, ULONGLONG now, bool replay, LiveScore* score);

// "Чабалала 55', Маркес 79'" for the goals that count at `now` (own goals and
// penalties marked), then the shoot-out's kicks on a line of their own. Empty when
// there is none. Cut to `units`.
void FormatScorers(const TournamentData& data, const Match& match, ULONGLONG now, bool replay, WCHAR* text,
                   int units);

// One line of the news: a goal or a final whistle.
const int kNewsLineUnits = 128;

// What the widget has told of each match: its goals per team, and its end.
struct Announced {
    BYTE home[kMatchCount];
    BYTE away[kMatchCount];
    BYTE ended[kMatchCount]; // 1 once told
};
// Everything that counts at `now` taken as told: what a widget starts from.
void StartAnnounced(const TournamentData& data, ULONGLONG now, bool replay, Announced* announced);
// The balloon for what counts at `now` and was not told: "Гол! ЮАР — Мексика 1:0
// (Чабалала, 55')" for each new goal whose moment is not before `since` (the
// widget's start: a late file brings nothing older), "Матч окончен: ЮАР — Мексика 1:1"
// for each match newly over with its result, one line each, in one text; none for
// `silenced` matches (scores hidden from the user, or not the user's team's). Everything that counts is marked told, silenced or not, so
// nothing comes twice. False when there is nothing to tell.
bool TakeMatchNews(const TournamentData& data, ULONGLONG now, bool replay, ULONGLONG since, MatchMask silenced,
                   Announced* announced, WCHAR* text, int units);
