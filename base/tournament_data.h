// The tournament's facts: 32 teams in 8 groups, the host cities, the 64 matches and
// their goals and shoot-out kicks, read from the data file
// (data/worldcup2010/worldcup2010.csv, built into base.dll and, with a data address,
// fetched fresh). One reader serves both, and it takes a file only when every line of
// it is valid: the widget never shows half a file.
#pragma once

#include <windows.h>

const int kTeamCount = 32;
const int kGroupCount = 8;
const int kTeamsPerGroup = 4;
const int kMatchCount = 64;
const int kFirstKnockoutMatch = 49;
const int kMaxCities = 16;
const int kNameUnits = 24;                   // a Russian name: at most 23 UTF-16 units
const DWORD kMaxDataBytes = 1024 * 1024;     // a data file is at most 1 MiB

const ULONGLONG kTicksPerMinute = 600000000ULL;

enum Stage : BYTE { STAGE_GROUP, STAGE_ROUND16, STAGE_QUARTER, STAGE_SEMI, STAGE_THIRD, STAGE_FINAL };

const signed char kNoTeam = -1;  // a knock-out place whose team is not known yet
const signed char kNoGoals = -1; // no score (not played, or no extra time / shoot-out)

struct Team {
    char code[4];            // FIFA code, "RSA"
    BYTE group;              // 0..7 for A..H
    WCHAR name[kNameUnits];  // Russian, "ЮАР"
};

struct City {
    char key[32];            // the English name the matches refer to
    WCHAR name[kNameUnits];  // Russian
};

struct Score {
    signed char home, away;  // kNoGoals when there is none
};

struct Match {
    ULONGLONG kickoff;       // UTC ticks
    BYTE number;             // FIFA's match number, 1..64
    BYTE stage;              // Stage
    BYTE group;              // 0..7, group matches only
    BYTE city;               // index into the cities
    signed char home, away;  // team index, or kNoTeam for a knock-out place not yet known
    Score regular;           // after 90 minutes
    Score extra;             // at the end of extra time (90-minute goals included)
    Score penalties;         // the shoot-out
};

// The goals and the shoot-out kicks, in tables of their own after the matches.
const int kMaxGoals = 320; // a longer goals table is refused (2010 had 145)
const int kMaxKicks = 128; // shoot-out kicks of the whole tournament (2010 had 18)

enum Period : BYTE {
    PERIOD_FIRST_HALF = 1,
    PERIOD_SECOND_HALF,
    PERIOD_EXTRA_FIRST,  // the halves of extra time
    PERIOD_EXTRA_SECOND,
};

struct Goal {
    BYTE match;               // the match's number, 1..64
    BYTE period;              // Period
    BYTE minute;              // as reported, without added time: 45 for "45+2'"
    BYTE stoppage;            // the added minute ("45+2'": 2), else 0
    signed char team;         // the team it counts for: the scorer's opponent for an own goal
    bool ownGoal;
    bool penalty;             // a penalty during play, not a shoot-out kick
    WCHAR scorer[kNameUnits]; // Russian
};

struct Kick {
    BYTE match;               // the match's number
    BYTE order;               // 1.. across both teams, in the order taken
    signed char team;         // the kicker's team
    bool scored;
    WCHAR kicker[kNameUnits]; // Russian
};

struct TournamentData {
    Team teams[kTeamCount];          // in draw order, group by group
    City cities[kMaxCities];
    int cityCount;
    Match matches[kMatchCount];      // matches[n - 1] is match number n
    // Only when the file has the goals table are running scores and scorers known;
    // a file may carry results alone. Goals by match, then in the order scored;
    // kicks by match, then in the order taken.
    bool hasGoals;
    int goalCount;
    Goal goals[kMaxGoals];
    bool hasKicks;
    int kickCount;
    Kick kicks[kMaxKicks];
};

// A set of matches, bit n - 1 for match n.
typedef ULONGLONG MatchMask;
inline MatchMask MatchBit(int number)
{
    return number >= 1 && number <= kMatchCount ? 1ULL << (number - 1) : 0;
}
const MatchMask kAllMatches = ~0ULL;

// Reads a whole data file (UTF-8, an optional byte-order mark, LF or CRLF line ends).
// True, with *data filled, only when every line is valid, the teams, cities and
// matches are complete and the goals and kicks, when the file has them, agree with the
// results (match_events.h); otherwise *data is left as it was. A table of a later
// version of the file, under a header this reader does not know, is passed over.
bool ReadTournamentData(const char* text, DWORD size, TournamentData* data);

// The data built into base.dll (RCDATA resource BUILT_IN_DATA_RESOURCE).
bool LoadBuiltInData(HMODULE module, TournamentData* data);
#define BUILT_IN_DATA_RESOURCE 100

// A match has a result when its 90-minute score is known. The winner and loser are
// decided by the 90 minutes, then extra time, then the shoot-out; kNoTeam while the
// result is not known or the match is level (a group match).
int MatchWinner(const Match& match);
int MatchLoser(const Match& match);
bool HasResult(const Match& match);

// A match counts as over 2 h after its kick-off (90 minutes, half-time and stoppage
// time), 2 h 40 min when it went to extra time and 2 h 55 min when a shoot-out
// followed; until then it is under way. Without a result in the data it stays at
// 2 h, and the widget shows "–:–" until a result arrives.
ULONGLONG MatchEnd(const Match& match);
enum MatchState { MATCH_AHEAD, MATCH_UNDER_WAY, MATCH_OVER };
MatchState MatchStateAt(const Match& match, ULONGLONG now);
// Over at `now` with its result in the data: it counts in tables and the bracket.
bool OverWithResult(const Match& match, ULONGLONG now);

// How a knock-out team is found: a group's winner or runner-up, or the winner or
// loser of an earlier match (FIFA's bracket of this tournament).
struct KnockoutSource {
    char kind;   // '1' group winner, '2' runner-up, 'W' match winner, 'L' match loser
    BYTE from;   // the group (0..7) or the match number
};
// The sources of the home and away team of knock-out match `number` (49..64).
void GetKnockoutSources(int number, KnockoutSource* home, KnockoutSource* away);
