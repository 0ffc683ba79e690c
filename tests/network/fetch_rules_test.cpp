// The network's cadence as tables: when the worker asks next (fetch_schedule.cpp)
// for the data in use, the real now and what the server said, and the two headers
// that say it (http_headers.cpp), their readers bounded whatever the text.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/fetch_schedule.h"
#include "base/http_headers.h"
#include "base/tournament_data.h"
#include "engine_in_process.h"

namespace {

const ULONGLONG kSecond = 10000000ULL;
const int kNone = 1 << 30; // no match moved near now

// 11 June 2026, 12:00 UTC: the real now of every case.
ULONGLONG Now()
{
    SYSTEMTIME noon = { 2026, 6, 4, 11, 12, 0, 0, 0 };
    FILETIME ticks;
    SystemTimeToFileTime(&noon, &ticks);
    return (static_cast<ULONGLONG>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
}

// The built-in data (every match of 2010, every result known), with match 1 moved
// to `seconds` from now and its result taken away unless told otherwise.
TournamentData DataWith(int seconds, bool result = false)
{
    std::string file = qt::SourceFile("data/worldcup2010/worldcup2010.csv");
    TournamentData data = {};
    EXPECT_TRUE(ReadTournamentData(file.data(), static_cast<DWORD>(file.size()), &data));
    if (seconds != kNone) {
        data.matches[0].kickoff = Now() + static_cast<LONGLONG>(seconds) * static_cast<LONGLONG>(kSecond);
        if (!result)
            data.matches[0].regular = Score{ kNoGoals, kNoGoals };
    }
    return data;
}

FetchHistory History(DWORD failures, int maxAge = -1, int retryAfter = -1)
{
    FetchHistory history = {};
    history.failures = failures;
    history.hasMaxAge = maxAge >= 0;
    history.maxAge = maxAge >= 0 ? static_cast<DWORD>(maxAge) : 0;
    history.hasRetryAfter = retryAfter >= 0;
    history.retryAfter = retryAfter >= 0 ? static_cast<DWORD>(retryAfter) : 0;
    return history;
}

TEST(FetchSchedule, DelayByMatchServerAndFailures)
{
    const struct {
        const char* what;
        int kickoff; // match 1, seconds from now; kNone: the 2010 data as they are
        bool result;
        FetchHistory history;
        int spread;
        DWORD delay;
    } cases[] = {
        { "no match near: half an hour", kNone, false, History(0), 0, 1800000 },
        { "half an hour, spread up", kNone, false, History(0), 10000, 1810000 },
        { "under way: a minute", -300, false, History(0), 0, 60000 },
        { "a minute, spread down", -300, false, History(0), -10000, 50000 },
        { "a spread past 10 s counts as 10 s", -300, false, History(0), 99999, 70000 },
        { "at its kick-off it is under way", 0, false, History(0), 0, 60000 },
        { "2 h 59 min after the kick-off, no result yet", -10740, false, History(0), 0, 60000 },
        { "3 h after the kick-off the window is closed", -10800, false, History(0), 0, 1800000 },
        { "its result is in: the window is closed", -300, true, History(0), 0, 1800000 },
        { "the next kick-off in 10 min ends the wait", 600, false, History(0), 0, 611000 },
        { "the kick-off's request spread over the 20 s after it", 600, false, History(0), -10000, 601000 },
        { "a kick-off in a second", 1, false, History(0), 0, 12000 },
        { "a kick-off past the half hour changes nothing", 1795, false, History(0), 0, 1800000 },
        { "a match ahead whose result is known is no kick-off to wait for", 600, true, History(0), 0, 1800000 },
        { "max-age 120 while a match is on", -300, false, History(0, 120), 0, 120000 },
        { "max-age 5 counts as 30 s", -300, false, History(0, 5), 0, 30000 },
        { "never below 30 s, whatever the spread", -300, false, History(0, 30), -10000, 30000 },
        { "max-age 30, spread up", -300, false, History(0, 30), 10000, 40000 },
        { "max-age of a day counts as 30 min", -300, false, History(0, 86400), 0, 1800000 },
        { "max-age does nothing while no match is on", kNone, false, History(0, 120), 0, 1800000 },
        { "a failure doubles the minute", -300, false, History(1), 0, 120000 },
        { "five failures reach the half hour", -300, false, History(5), 0, 1800000 },
        { "a hundred failures: still half an hour", -300, false, History(100), 0, 1800000 },
        { "failures double max-age too", -300, false, History(2, 120), 0, 480000 },
        { "a failure waits for the kick-off all the same", 600, false, History(3), 0, 611000 },
        { "Retry-After past the back-off", -300, false, History(1, -1, 300), 0, 300000 },
        { "Retry-After before the back-off", -300, false, History(1, -1, 60), 0, 120000 },
        { "Retry-After past the half hour", kNone, false, History(1, -1, 3600), 0, 3600000 },
        { "Retry-After past a day counts as a day", kNone, false, History(1, -1, 999999), 0, 86400000 },
        { "Retry-After before the kick-off is kept", 600, false, History(1, -1, 3600), 0, 3600000 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.delay, NextFetchDelay(DataWith(c.kickoff, c.result), Now(), c.history, c.spread));
    }
    // Two matches: one under way and one kicking off in 20 s: the minute holds.
    TournamentData data = DataWith(-300);
    data.matches[1].kickoff = Now() + 20 * kSecond;
    data.matches[1].regular = Score{ kNoGoals, kNoGoals };
    EXPECT_EQ(60000u, NextFetchDelay(data, Now(), History(0), 0));
    EXPECT_TRUE(MatchUnderWay(data, Now()));
    EXPECT_FALSE(MatchUnderWay(DataWith(kNone), Now()));
}

// Whatever a server answers, or never answers, the widget asks no sooner than it
// would after a success with no headers; and never sooner than 30 s but for a kick-off.
TEST(FetchSchedule, AServerThatFailsOrThrottlesNeverMakesItAskSooner)
{
    const int kickoffs[] = { kNone, -7200, -300, 0, 1, 100, 1000, 1799, 5000 };
    int compared = 0;
    for (int kickoff : kickoffs) {
        for (bool result : { false, true }) {
            TournamentData data = DataWith(kickoff, result);
            for (int spread = -kSpreadMs; spread <= kSpreadMs; spread += 2500) {
                DWORD clean = NextFetchDelay(data, Now(), History(0), spread);
                bool kickoffAhead = kickoff != kNone && kickoff > 0 && !result;
                if (!kickoffAhead)
                    EXPECT_GE(clean, kShortestIntervalMs);
                EXPECT_LE(clean, kIdleIntervalMs + kSpreadMs);
                for (DWORD failures : { 0u, 1u, 2u, 4u, 9u, 40u }) {
                    for (int retryAfter : { -1, 0, 29, 61, 500, 5000, 200000 }) {
                        DWORD throttled = NextFetchDelay(data, Now(), History(failures, -1, retryAfter), spread);
                        EXPECT_GE(throttled, clean) << kickoff << " " << spread << " " << failures << " " << retryAfter;
                        if (retryAfter >= 0)
                            EXPECT_GE(throttled, 1000u * (retryAfter < 86400 ? retryAfter : 86400));
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(9 * 2 * 9 * 6 * 7, compared);
}

// Each answer's facts, in turn: what the history keeps of them.
TEST(FetchSchedule, AnswersMakeTheHistory)
{
    const struct {
        bool sent, succeeded;
        int maxAge, retryAfter; // in the answer, then in the history; -1: none
        DWORD failures;
        int keptMaxAge;
    } steps[] = {
        { true, true, 90, -1, 0, 90 },    // a 304 with max-age
        { true, false, -1, 300, 1, 90 },  // a 503 with Retry-After: max-age kept
        { false, false, -1, -1, 1, 90 },  // nothing sent: nothing learnt, the Retry-After stays
        { true, false, -1, -1, 2, 90 },   // a time-out: the Retry-After is spent
        { true, true, -1, -1, 0, -1 },    // a 200 without max-age
    };
    FetchHistory history = {};
    for (const auto& step : steps) {
        AnswerFacts facts = { step.sent, step.succeeded, step.maxAge >= 0, static_cast<DWORD>(step.maxAge),
                              step.retryAfter >= 0, static_cast<DWORD>(step.retryAfter) };
        bool keepsRetryAfter = !step.sent && history.hasRetryAfter;
        NoteAnswer(&history, facts);
        EXPECT_EQ(step.failures, history.failures);
        EXPECT_EQ(step.keptMaxAge >= 0, history.hasMaxAge);
        EXPECT_TRUE(!history.hasMaxAge || history.maxAge == static_cast<DWORD>(step.keptMaxAge));
        EXPECT_EQ(step.retryAfter >= 0 || keepsRetryAfter, history.hasRetryAfter);
    }
    for (int i = 0; i < 1000; ++i)
        NoteAnswer(&history, AnswerFacts{ true, false, false, 0, false, 0 });
    EXPECT_EQ(1800000u, NextFetchDelay(DataWith(-300), Now(), history, 0)); // no overflow after many
}

// The spread covers -10..10 s, about as often below as above, and a zero state does not stick.
TEST(FetchSchedule, SpreadIsEvenAndBounded)
{
    DWORD state = 0;
    int below = 0, lowest = kSpreadMs, highest = -kSpreadMs;
    for (int i = 0; i < 20000; ++i) {
        int spread = SpreadFrom(NextRandom(&state));
        below += spread < 0;
        lowest = spread < lowest ? spread : lowest;
        highest = spread > highest ? spread : highest;
    }
    EXPECT_NEAR(10000, below, 1000);
    EXPECT_GE(lowest, -kSpreadMs);
    EXPECT_LT(lowest, -9900);
    EXPECT_LE(highest, kSpreadMs);
    EXPECT_GT(highest, 9900);
}

TEST(HttpHeaders, MaxAge)
{
    const std::wstring padding(kHeaderUnits - 9, L' ');
    const struct {
        std::wstring text;
        long seconds; // -1: not read
    } cases[] = {
        { L"max-age=60", 60 },
        { L"public, max-age=60, no-transform", 60 },
        { L"max-age=\"90\"", 90 },
        { L" max-age = 30 ", 30 },
        { L"max-age=1,2", 1 },
        { L"max-age=60, max-age=30", 60 },
        { L"s-maxage=10", -1 },
        { L"s-maxage=10, max-age=20", 20 },
        { L"private=\"max-age=5\", max-age=70", 70 },
        { L"private=\"a\\\"max-age=5, b\", max-age=70", 70 },
        { L"no-cache=\"x,max-age=5\"", -1 },
        { L"max-agex=5", -1 },
        { L"max-age=", -1 },
        { L"max-age=abc", -1 },
        { L"max-age=+5", -1 },
        { L"max-age=12abc", -1 },
        { L"max-age=1 2", -1 },
        { L"max-age=\"\"", -1 },
        { L"max-age=86401", 86400 },
        { L"max-age=99999999999999999999999999", 86400 },
        { L",,,;;=\"", -1 },
        { L"max-age=\x0666\x0660", -1 }, // Arabic-Indic digits are no digits here
        { padding + L"max-age=5", 5 },        // ends at the last unit read
        { padding + L" max-age=5", -1 },      // runs past it
        { padding + L"max-age=55", 5 },       // cut: the unit past the limit is not read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qt::WideToUtf8(c.text));
        DWORD seconds = 12345;
        EXPECT_EQ(c.seconds >= 0, ReadMaxAge(c.text.c_str(), &seconds));
        EXPECT_EQ(c.seconds >= 0 ? static_cast<DWORD>(c.seconds) : 12345u, seconds);
    }
    DWORD seconds = 0;
    EXPECT_FALSE(ReadMaxAge(nullptr, &seconds));
}

TEST(HttpHeaders, RetryAfter)
{
    SYSTEMTIME eight = { 2010, 6, 5, 11, 8, 0, 0, 0 };
    FILETIME ticks;
    SystemTimeToFileTime(&eight, &ticks);
    const ULONGLONG now = (static_cast<ULONGLONG>(ticks.dwHighDateTime) << 32) | ticks.dwLowDateTime;
    const struct {
        std::wstring text;
        long seconds; // -1: not read
    } cases[] = {
        { L"120", 120 },
        { L"0", 0 },
        { L"86401", 86400 },
        { L"9999999999999999999999999999999", 86400 },
        { L"12a", -1 },
        { L"-5", -1 },
        { L"+5", -1 },
        { L"soon", -1 },
        { L"Fri, 11 Jun 2010 08:05:09 GMT", 309 },
        { L"  Fri, 11 Jun 2010 08:00:00 GMT  ", 0 },
        { L"Fri, 11 Jun 2010 07:00:00 GMT", 0 },          // already past
        { L"Sun, 13 Jun 2010 08:00:00 GMT", 86400 },      // more than a day counts as a day
        { L"Wed, 31 Feb 2010 08:00:00 GMT", -1 },
        { L"Friday, 11-Jun-10 08:05:09 GMT", -1 },        // the old forms are not read
        { L"Fri, 11 Jun 99999999999 08:05:09 GMT", -1 },
        { std::wstring(2000, L'9'), 86400 },
        { std::wstring(2000, L'F'), -1 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qt::WideToUtf8(c.text.substr(0, 60)));
        DWORD seconds = 12345;
        EXPECT_EQ(c.seconds >= 0, ReadRetryAfter(c.text.c_str(), now, &seconds));
        EXPECT_EQ(c.seconds >= 0 ? static_cast<DWORD>(c.seconds) : 12345u, seconds);
    }
    DWORD seconds = 0;
    EXPECT_FALSE(ReadRetryAfter(nullptr, now, &seconds));
}

// A text of kHeaderUnits units without a terminator, right before a page that must
// not be touched: both readers stop at their limit.
TEST(HttpHeaders, ReadersStayInsideTheirLimit)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const DWORD page = system.dwPageSize;
    BYTE* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_TRUE(pages);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(pages + page, page, PAGE_NOACCESS, &old));
    WCHAR* text = reinterpret_cast<WCHAR*>(pages + page) - kHeaderUnits;
    const wchar_t* fills[] = { L"9", L"max-age=1", L"\"", L"max-age=\"\\", L" " };
    for (const wchar_t* fill : fills) {
        for (int i = 0; i < kHeaderUnits; ++i)
            text[i] = fill[i % lstrlenW(fill)];
        DWORD seconds = 0;
        ReadMaxAge(text, &seconds);
        ReadRetryAfter(text, 0, &seconds);
        EXPECT_LE(seconds, 86400u);
    }
    VirtualFree(pages, 0, MEM_RELEASE);
}

} // namespace
