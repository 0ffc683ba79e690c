// When the network's worker asks for the data file next: every 60 s (or the server's
// Cache-Control max-age) while a match is under way in real time, every 30 minutes
// otherwise; each wait spread by a random ±10 s so that many widgets do not ask in
// the same second; failures back off, Retry-After is the earliest next request, and
// a 30-minute wait ends at the next kick-off. Pure: the worker gives the data in use,
// the real now and what the server said; nothing here reads a clock.
#pragma once

#include <windows.h>

#include "http_headers.h"
#include "tournament_data.h"

const DWORD kIdleIntervalMs = 30 * 60 * 1000;   // no match under way; also the longest back-off
const DWORD kLiveIntervalMs = 60 * 1000;        // a match under way, unless the server says otherwise
const DWORD kShortestIntervalMs = 30 * 1000;    // whatever max-age says
const int kSpreadMs = 10 * 1000;                // each wait, this much either way at random
// A match is under way from its kick-off until the data hold its result, at most this long.
const ULONGLONG kLiveWindowTicks = 180 * kTicksPerMinute;

// What one request's answer tells the schedule.
struct AnswerFacts {
    bool sent;           // false: nothing went out (no usable address or proxy, the end)
    bool succeeded;      // a 200 with a valid file, or a 304
    bool hasMaxAge;      // the 200's or 304's Cache-Control max-age, seconds
    DWORD maxAge;
    bool hasRetryAfter;  // the 429's or 503's Retry-After, seconds from its arrival (a day at most counts)
    DWORD retryAfter;
};

// What the worker carries from one request to the next; zeroed at its start.
struct FetchHistory {
    DWORD failures;      // consecutive requests that failed
    bool hasMaxAge;      // from the last success: the server's interval while a match is on
    DWORD maxAge;
    bool hasRetryAfter;  // from the last answer
    DWORD retryAfter;
};

// A success clears the failures and takes its max-age; a failure counts and keeps the
// last success's max-age; each answer replaces the Retry-After. Nothing sent: no change.
void NoteAnswer(FetchHistory* history, const AnswerFacts& facts);

// Some match has kicked off at or before `now` (UTC ticks), less than kLiveWindowTicks
// ago, and the data hold no result for it.
bool MatchUnderWay(const TournamentData& data, ULONGLONG now);

// The milliseconds from `now` to the next request. `spreadMs` (-kSpreadMs..kSpreadMs,
// clamped) is this wait's random share.
DWORD NextFetchDelay(const TournamentData& data, ULONGLONG now, const FetchHistory& history, int spreadMs);

// A small generator for the spread (xorshift): the next number from `state`, which
// must not be 0 (a 0 is replaced). SpreadFrom maps a number onto -kSpreadMs..kSpreadMs.
DWORD NextRandom(DWORD* state);
int SpreadFrom(DWORD random);
