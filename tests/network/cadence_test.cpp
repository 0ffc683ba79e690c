// How often the engine asks, end to end: base.dll loaded into this process (the test
// is its tray window) against the local servers of net_server.py, with a data file
// whose match 1 kicks off in real time. Minutes pass in seconds: the test swaps, in
// base.dll's import table, the real time it reads (GetSystemTimeAsFileTime) and the
// waits of the worker's schedule (its WaitForMultipleObjects on its three events) for
// ones that run 30 times faster; a fetch's own waits (two handles) keep their real
// time-outs. The origin's log, its times taken to the same fast clock, says when the
// engine asked.
#include <gtest/gtest.h>

#include <windows.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "base/engine_settings.h"
#include "base/widget_drawing.h"
#include "engine_in_process.h"
#include "host/engine_interface.h"
#include "test_support.h"

using namespace qt;

namespace {

const ULONGLONG kSpeed = 30;
const ULONGLONG kSecond = 10000000ULL;
const ULONGLONG kMinute = 60 * kSecond;
const ULONGLONG kUnixEpoch = 116444736000000000ULL; // 1970-01-01 in FILETIME ticks
// What a busy machine may add to a wait, on the fast clock (2 s of real time).
const ULONGLONG kLate = 60 * kSecond;
// A wait may end a little before its time on the fast clock (a millisecond of Wine's).
const ULONGLONG kEarly = kSecond / 2;
const wchar_t kUpdated[] = L"Данные обновлены";
const SYSTEMTIME kJune12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };
const wchar_t kJune12Text[] = L"Sat, 12 Jun 2010 10:00:00 GMT";

decltype(&GetSystemTimeAsFileTime) real_GetSystemTimeAsFileTime = &GetSystemTimeAsFileTime;
decltype(&WaitForMultipleObjects) real_WaitForMultipleObjects = &WaitForMultipleObjects;
ULONGLONG s_origin; // the real moment the fast clock starts from

ULONGLONG RealNow()
{
    FILETIME now;
    real_GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

ULONGLONG Fast(ULONGLONG real)
{
    return s_origin + (real - s_origin) * kSpeed;
}

ULONGLONG FastNow()
{
    return Fast(RealNow());
}

void WINAPI FastGetSystemTimeAsFileTime(LPFILETIME time)
{
    ULONGLONG now = FastNow();
    time->dwLowDateTime = static_cast<DWORD>(now);
    time->dwHighDateTime = static_cast<DWORD>(now >> 32);
}

DWORD WINAPI FastWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD ms)
{
    if (count == 3 && ms != INFINITE)
        ms = static_cast<DWORD>((ms + kSpeed - 1) / kSpeed);
    return real_WaitForMultipleObjects(count, handles, all, ms);
}

double Seconds(ULONGLONG ticks)
{
    return static_cast<double>(ticks) / kSecond;
}

// The built-in file with match 1 (South Africa — Mexico) kicking off at `kickoff`
// (UTC ticks on a minute; its local columns two hours later, as the reader wants)
// and its score `score`: "," while it has none.
std::string LiveData(ULONGLONG kickoff, const char* score)
{
    std::string data = SourceFile("data/worldcup2010/worldcup2010.csv");
    SYSTEMTIME utc, local;
    ULONGLONG localTicks = kickoff + 120 * kMinute;
    FILETIME k = { static_cast<DWORD>(kickoff), static_cast<DWORD>(kickoff >> 32) };
    FILETIME l = { static_cast<DWORD>(localTicks), static_cast<DWORD>(localTicks >> 32) };
    FileTimeToSystemTime(&k, &utc);
    FileTimeToSystemTime(&l, &local);
    char row[200];
    snprintf(row, sizeof(row),
             "1,group,A,%04d-%02d-%02d,%02d:%02d,%04d-%02d-%02dT%02d:%02dZ,RSA,MEX,%s,,,,,Johannesburg,Soccer City",
             local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, utc.wYear, utc.wMonth, utc.wDay,
             utc.wHour, utc.wMinute, score);
    size_t at = data.find("\n1,group,A,");
    size_t end = at == std::string::npos ? at : data.find('\n', at + 1);
    return end == std::string::npos ? std::string() : data.replace(at + 1, end - at - 1, row);
}

class Cadence : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(SETTINGS_KEY);
        DeleteFileW(CacheFile().c_str());
        WriteDword(SETTINGS_KEY, VALUE_REMINDER_MINUTES, 0); // no reminder balloons among the counted ones
        ASSERT_TRUE(servers.Start(Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name())));
        engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
        ASSERT_TRUE(testTray.window && engine);
        s_origin = RealNow();
        RedirectImport(engine, reinterpret_cast<void*>(real_GetSystemTimeAsFileTime),
                       reinterpret_cast<void*>(&FastGetSystemTimeAsFileTime));
        RedirectImport(engine, reinterpret_cast<void*>(real_WaitForMultipleObjects),
                       reinterpret_cast<void*>(&FastWaitForMultipleObjects));
    }
    void TearDown() override
    {
        if (widget)
            Exit();
        if (engine)
            FreeLibrary(engine);
        servers.Stop();
        DeleteTree(SETTINGS_KEY);
        DeleteFileW(CacheFile().c_str());
    }

    bool Run()
    {
        widget = RunEngine(engine, testTray.window, L"");
        return widget != nullptr;
    }
    DWORD Exit()
    {
        widget = nullptr;
        return ExitEngine(engine);
    }
    // The widget starts with its cached copy of `path`'s address: `bytes`, dated 12 June.
    void CacheFor(const std::wstring& path, const std::string& bytes)
    {
        ASSERT_TRUE(WriteFileBytes(CacheFile(), bytes));
        WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(path));
        WriteText(SETTINGS_KEY, VALUE_DATA_SOURCE, servers.Url(path));
        WriteText(SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED, kJune12Text);
    }
    // The file served anew in one step (written beside it, then renamed over it), so
    // that a request never finds half of it.
    bool ServeAnew(const std::wstring& name, const std::string& bytes, const SYSTEMTIME& modified)
    {
        return servers.Serve(name + L".tmp", bytes, modified) &&
               MoveFileExW((servers.dir + L"\\" + name + L".tmp").c_str(), (servers.dir + L"\\" + name).c_str(),
                           MOVEFILE_REPLACE_EXISTING);
    }
    // Serves the engine's window until the origin has had `count` requests.
    bool Requests(size_t count, DWORD ms)
    {
        return PumpUntil([&] { return servers.Lines(L"origin").size() >= count; }, ms);
    }
    // When the origin was asked, on the fast clock.
    std::vector<ULONGLONG> RequestTimes() const
    {
        std::vector<ULONGLONG> times;
        for (const std::wstring& line : servers.Lines(L"origin"))
            times.push_back(Fast(kUnixEpoch + static_cast<ULONGLONG>(_wtof(Field(line, L"t").c_str()) * kSecond)));
        return times;
    }
    std::string Balloons() const
    {
        std::string all;
        for (const std::wstring& balloon : testTray.balloons)
            all += WideToUtf8(balloon) + "\n";
        return all;
    }
    size_t Updates() const
    {
        size_t count = 0;
        for (const std::wstring& balloon : testTray.balloons)
            count += balloon == kUpdated;
        return count;
    }

    TestTray testTray;
    LocalServers servers;
    HWND widget = nullptr;
    HMODULE engine = nullptr;
};

// Before the kick-off the worker waits its half hour, which the kick-off cuts short;
// from then on it asks every 60 ± 10 s until the file holds the result; then every
// half hour again. "Обновить сейчас" asks at once.
TEST_F(Cadence, EveryMinuteFromTheKickoffUntilTheResultIsIn)
{
    const ULONGLONG kickoff = (FastNow() / kMinute + 4) * kMinute; // 3 to 4 minutes ahead
    ASSERT_TRUE(servers.Serve(L"live.csv", LiveData(kickoff, ","), kJune12));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/live.csv"));
    const ULONGLONG start = FastNow();
    ASSERT_TRUE(Run());

    // The download at start (the widget had the built-in data), then the kick-off.
    ASSERT_TRUE(Requests(2, 30000));
    std::vector<ULONGLONG> times = RequestTimes();
    EXPECT_LT(times[0], kickoff);
    EXPECT_GE(times[1] + kEarly, kickoff + kSecond) << "asked before the kick-off";
    EXPECT_LE(times[1], kickoff + 21 * kSecond + kLate) << "the kick-off did not end the half-hour wait";
    printf("before the kick-off: 1 request in %.0f s; the next %.1f s after the kick-off\n",
           Seconds(kickoff - start), Seconds(times[1] - kickoff));

    // Under way: 60 ± 10 s, each a 304.
    ASSERT_TRUE(Requests(9, 40000));
    times = RequestTimes();
    auto lines = servers.Lines(L"origin");
    printf("under way: 8 requests in %.0f s; intervals", Seconds(times[8] - times[1]));
    for (size_t i = 2; i <= 8; ++i) {
        ULONGLONG interval = times[i] - times[i - 1];
        printf(" %.1f", Seconds(interval));
        EXPECT_GE(interval + kEarly, 50 * kSecond) << "request " << i;
        EXPECT_LE(interval, 70 * kSecond + kLate) << "request " << i;
        EXPECT_EQ(kJune12Text, Field(lines[i], L"ims"));
    }
    printf("\n");
    EXPECT_EQ(1u, Updates());

    // The result comes (a newer file): the next request takes it, and the match is over.
    SYSTEMTIME later = kJune12;
    later.wDay = 13;
    ASSERT_TRUE(ServeAnew(L"live.csv", LiveData(kickoff, "1,1"), later)); // as its two goals in the file make it
    ASSERT_TRUE(PumpUntil([&] { return Updates() == 2; }, 20000)) << Balloons();
    const size_t taken = servers.Lines(L"origin").size();
    const ULONGLONG quietFrom = FastNow();
    PumpUntil([&] { return servers.Lines(L"origin").size() > taken; }, static_cast<DWORD>(5 * 60 * 1000 / kSpeed));
    EXPECT_EQ(taken, servers.Lines(L"origin").size()) << "asked again while no match is on";
    printf("after the result: %zu requests in %.0f s\n", servers.Lines(L"origin").size() - taken,
           Seconds(FastNow() - quietFrom));

    // "Обновить сейчас" asks at once.
    const ULONGLONG asked = FastNow();
    SendMessageW(widget, WM_COMMAND, CMD_DOWNLOAD_NOW, 0);
    ASSERT_TRUE(Requests(taken + 1, 5000));
    EXPECT_LT(RequestTimes()[taken] - asked, kLate);
    EXPECT_LT(Exit(), 1000u);
}

// The server's Cache-Control max-age sets the interval while a match is on. The
// widget starts with its cached copy, which the server never replaces (every answer
// a 304): the worker's schedule runs on the data the widget started with.
TEST_F(Cadence, MaxAgeSetsTheIntervalWhileAMatchIsOn)
{
    const ULONGLONG kickoff = (FastNow() / kMinute - 5) * kMinute;
    const std::string live = LiveData(kickoff, ",");
    ASSERT_TRUE(servers.Serve(L"live.csv", live, kJune12));
    CacheFor(L"/files/live.csv?max-age=120", live);
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Requests(4, 40000));
    std::vector<ULONGLONG> times = RequestTimes();
    printf("max-age=120: intervals");
    for (size_t i = 1; i < 4; ++i) {
        ULONGLONG interval = times[i] - times[i - 1];
        printf(" %.1f", Seconds(interval));
        EXPECT_GE(interval + kEarly, 110 * kSecond);
        EXPECT_LE(interval, 130 * kSecond + kLate);
    }
    printf("\n");
    EXPECT_EQ(0u, Updates());
}

// 503 with Retry-After 300 s while a match is on: no request before it allows, where
// the match alone would ask every minute (a date, and 429, are read alike: the tables).
TEST_F(Cadence, RetryAfterIsTheEarliestNextRequest)
{
    const ULONGLONG kickoff = (FastNow() / kMinute - 5) * kMinute;
    const std::string live = LiveData(kickoff, ",");
    CacheFor(L"/refuse?status=503&retry-after=300", live);
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Requests(3, 40000));
    std::vector<ULONGLONG> times = RequestTimes();
    printf("503, Retry-After: 300: intervals %.1f %.1f\n", Seconds(times[1] - times[0]), Seconds(times[2] - times[1]));
    EXPECT_GE(times[1] - times[0] + kEarly, 300 * kSecond);
    EXPECT_GE(times[2] - times[1] + kEarly, 300 * kSecond);
}

// A server that never answers: the request ends with its time-out (real time: 10 s
// under Wine), and the next waits twice the live minute (120 ± 10 s; the bound below
// leaves the test 20 s of the fast clock to see the failure).
TEST_F(Cadence, ASilentServerMakesItWaitLonger)
{
    const ULONGLONG kickoff = (FastNow() / kMinute - 5) * kMinute;
    CacheFor(L"/hang", LiveData(kickoff, ","));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(PumpUntil([&] { return testTray.states.size() == 1; }, 25000)) << "no time-out";
    const ULONGLONG failed = FastNow();
    ASSERT_TRUE(Requests(2, 30000));
    ULONGLONG next = RequestTimes()[1] - failed;
    printf("silent server: the next request %.1f s after the time-out\n", Seconds(next));
    EXPECT_GE(next, 90 * kSecond) << "no longer than the live minute: no back-off";
    EXPECT_LE(next, 130 * kSecond + kLate);
}

} // namespace
