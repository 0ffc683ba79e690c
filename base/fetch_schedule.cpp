#include "fetch_schedule.h"

namespace {

const ULONGLONG kTicksPerMs = 10000;
// The kick-off's own request comes this long after it at least, so that the match
// counts as under way when its answer is in.
const ULONGLONG kAfterKickoffMs = 1000;

// The next kick-off after `now` of a match whose result the data do not hold; 0: none.
ULONGLONG NextKickoff(const TournamentData& data, ULONGLONG now)
{
    ULONGLONG next = 0;
    for (const Match& match : data.matches) {
        if (match.kickoff > now && !HasResult(match) && (!next || match.kickoff < next))
            next = match.kickoff;
    }
    return next;
}

// The wait before its spread: the live interval (the server's max-age within
// 30 s..30 min, else 60 s) or the idle one, doubled for each failure in a row up to
// the idle one.
DWORD Interval(bool live, const FetchHistory& history)
{
    DWORD interval = kIdleIntervalMs;
    if (live && !history.hasMaxAge)
        interval = kLiveIntervalMs;
    else if (live && history.maxAge < kIdleIntervalMs / 1000)
        interval = history.maxAge * 1000 < kShortestIntervalMs ? kShortestIntervalMs : history.maxAge * 1000;
    for (DWORD doubled = 0; doubled < history.failures && interval < kIdleIntervalMs; ++doubled)
        interval *= 2; // at most twice the idle interval: no overflow
    return interval < kIdleIntervalMs ? interval : kIdleIntervalMs;
}

} // namespace

void NoteAnswer(FetchHistory* history, const AnswerFacts& facts)
{
    if (!facts.sent)
        return;
    if (facts.succeeded) {
        history->failures = 0;
        history->hasMaxAge = facts.hasMaxAge;
        history->maxAge = facts.maxAge;
    } else if (history->failures < 32) {
        ++history->failures; // 32 doublings are far past the longest interval
    }
    history->hasRetryAfter = facts.hasRetryAfter;
    history->retryAfter = facts.retryAfter;
}

bool MatchUnderWay(const TournamentData& data, ULONGLONG now)
{
    for (const Match& match : data.matches) {
        if (match.kickoff <= now && now - match.kickoff < kLiveWindowTicks && !HasResult(match))
            return true;
    }
    return false;
}

DWORD NextFetchDelay(const TournamentData& data, ULONGLONG now, const FetchHistory& history, int spreadMs)
{
    int spread = spreadMs < -kSpreadMs ? -kSpreadMs : spreadMs > kSpreadMs ? kSpreadMs : spreadMs;
    bool live = MatchUnderWay(data, now);
    // Interval() is at least 30 s, so the spread cannot take it below 20 s.
    ULONGLONG delay = static_cast<ULONGLONG>(static_cast<LONGLONG>(Interval(live, history)) + spread);
    if (delay < kShortestIntervalMs)
        delay = kShortestIntervalMs;
    ULONGLONG kickoff = live ? 0 : NextKickoff(data, now);
    if (kickoff) {
        // The wait for the next match ends at its kick-off, spread over the 20 s after it.
        ULONGLONG untilKickoff = (kickoff - now + kTicksPerMs - 1) / kTicksPerMs + kAfterKickoffMs +
                                 static_cast<ULONGLONG>(kSpreadMs + spread);
        if (untilKickoff < delay)
            delay = untilKickoff;
    }
    if (history.hasRetryAfter) {
        ULONGLONG earliest = 1000ULL * (history.retryAfter < kLongestHeaderS ? history.retryAfter : kLongestHeaderS);
        if (delay < earliest)
            delay = earliest;
    }
    return static_cast<DWORD>(delay); // at most a day
}

DWORD NextRandom(DWORD* state)
{
    DWORD x = *state ? *state : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *state = x;
    return x;
}

int SpreadFrom(DWORD random)
{
    return static_cast<int>(random % static_cast<DWORD>(2 * kSpreadMs + 1)) - kSpreadMs;
}
