// The rules the widget's lines follow, on their own: Russian plurals, when a match
// counts as over, the countdown and its next change, and the data reader's all-or-
// nothing verdict on the data built into base.dll.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/tournament_data.h"
#include "base/widget_clock.h"
#include "base/widget_content.h"
#include "test_support.h"

namespace {

const ULONGLONG kMinute = kTicksPerMinute;

ULONGLONG Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME time = { year, month, 0, day, hour, minute, 0, 0 };
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

std::wstring Countdown(ULONGLONG now, ULONGLONG moment, ULONGLONG* change = nullptr)
{
    wchar_t text[kCellUnits];
    ULONGLONG next = 0;
    FormatCountdown(now, moment, text, kCellUnits, &next);
    if (change)
        *change = next;
    return text;
}

// The data file as base.dll carries it.
std::string BuiltInDataFile()
{
    HMODULE engine = LoadLibraryExW(qt::BinPath(L"base.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = engine ? FindResourceW(engine, MAKEINTRESOURCEW(BUILT_IN_DATA_RESOURCE), RT_RCDATA) : nullptr;
    std::string text;
    if (found)
        text.assign(static_cast<const char*>(LockResource(LoadResource(engine, found))), SizeofResource(engine, found));
    if (engine)
        FreeLibrary(engine);
    return text;
}

bool Read(const std::string& text, TournamentData* data)
{
    return ReadTournamentData(text.data(), static_cast<DWORD>(text.size()), data);
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST(Rules, RussianPluralOfDays)
{
    const struct {
        ULONGLONG n;
        const wchar_t* word;
    } cases[] = { { 0, L"дней" },  { 1, L"день" },  { 2, L"дня" },   { 4, L"дня" },    { 5, L"дней" },
                  { 11, L"дней" }, { 12, L"дней" }, { 14, L"дней" }, { 21, L"день" },  { 22, L"дня" },
                  { 25, L"дней" }, { 101, L"день" }, { 111, L"дней" }, { 112, L"дней" }, { 122, L"дня" } };
    for (const auto& c : cases)
        EXPECT_STREQ(c.word, RussianPlural(c.n, L"день", L"дня", L"дней")) << c.n;
}

TEST(Rules, MatchIsOverTwoHoursAfterKickoffLongerAfterExtraTimeAndPenalties)
{
    Match match = {};
    match.kickoff = Utc(2010, 6, 11, 14, 0);
    match.regular = { 1, 1 };
    match.extra = match.penalties = { kNoGoals, kNoGoals };
    EXPECT_EQ(MATCH_AHEAD, MatchStateAt(match, match.kickoff - 1));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff + 120 * kMinute - 1));
    EXPECT_EQ(MATCH_OVER, MatchStateAt(match, match.kickoff + 120 * kMinute));

    match.extra = { 1, 2 };
    EXPECT_EQ(match.kickoff + 160 * kMinute, MatchEnd(match));
    EXPECT_EQ(MATCH_UNDER_WAY, MatchStateAt(match, match.kickoff + 130 * kMinute));
    match.extra = { 1, 1 };
    match.penalties = { 4, 2 };
    EXPECT_EQ(match.kickoff + 175 * kMinute, MatchEnd(match));

    // No result yet: over by the clock all the same (the widget then shows "–:–").
    match.regular = match.extra = match.penalties = { kNoGoals, kNoGoals };
    EXPECT_EQ(MATCH_OVER, MatchStateAt(match, match.kickoff + 120 * kMinute));
}

TEST(Rules, CountdownCountsBegunMinutesAndSaysWhenItNextChanges)
{
    ULONGLONG kickoff = Utc(2010, 6, 11, 14, 0);
    ULONGLONG change = 0;
    EXPECT_EQ(L"через 2 ч 15 мин", Countdown(kickoff - 135 * kMinute, kickoff, &change));
    EXPECT_EQ(kickoff - 134 * kMinute, change);
    EXPECT_EQ(L"через 2 ч 15 мин", Countdown(kickoff - 134 * kMinute - kMinute / 2, kickoff));
    EXPECT_EQ(L"через 1 мин", Countdown(kickoff - 1, kickoff, &change));
    EXPECT_EQ(kickoff, change);
    EXPECT_EQ(L"через 3 ч", Countdown(kickoff - 180 * kMinute, kickoff));
    EXPECT_EQ(L"через 24 ч", Countdown(kickoff - 24 * 60 * kMinute, kickoff));
    // Beyond a day, hours: it changes once an hour, not once a minute.
    EXPECT_EQ(L"через 1 день 3 ч", Countdown(kickoff - 27 * 60 * kMinute, kickoff, &change));
    EXPECT_EQ(kickoff - 26 * 60 * kMinute, change);
    EXPECT_EQ(L"через 11 дней 6 ч", Countdown(kickoff - (11 * 24 + 6) * 60 * kMinute, kickoff));
}

TEST(Rules, ReplayDateIsFixedZoneTimeAndMalformedOnesAreIgnored)
{
    ULONGLONG utc = 0;
    ASSERT_TRUE(ParseReplayDate(L"/firstrun /date=2010-06-11T17:30", &utc));
    EXPECT_EQ(Utc(2010, 6, 11, 13, 30), utc); // summer time: UTC+4
    ASSERT_TRUE(ParseReplayDate(L"/date=2010-01-15 x", &utc));
    EXPECT_EQ(Utc(2010, 1, 14, 21, 0), utc); // winter: UTC+3
    for (const wchar_t* bad : { L"/date=2010-6-11", L"/date=2010-06-31", L"/date=2010-06-11T24:00",
                                L"/date=2010-06-11T17:3", L"/date=2010-06-11X", L"/date=", L"/DATE=2010-06-11" })
        EXPECT_FALSE(ParseReplayDate(bad, &utc)) << qt::WideToUtf8(bad);
}

TEST(Rules, BuiltInDataIsCompleteAndOneBadLineRejectsTheWholeFile)
{
    std::string file = BuiltInDataFile();
    ASSERT_FALSE(file.empty());
    TournamentData data = {};
    ASSERT_TRUE(Read(file, &data));
    EXPECT_EQ(9, data.cityCount);
    const Match& final = data.matches[kMatchCount - 1];
    EXPECT_STREQ(L"Испания", data.teams[MatchWinner(final)].name);
    EXPECT_EQ(Utc(2010, 7, 11, 18, 30), final.kickoff);
    EXPECT_STREQ(L"ЮАР", data.teams[data.matches[0].home].name);

    // Each of these spoils one line; the reader must leave the data as it was.
    const std::pair<std::string, std::string> spoiled[] = {
        { "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,1,1", "1,group,A,2010-06-11,16:00,2010-06-11T14:00Z,RSA,MEX,1,x" },
        { "2010-06-11T14:00Z", "2010-06-11T15:00Z" },            // local time no longer UTC+2
        { "RSA,MEX,1,1", "RSA,BRA,1,1" },                         // a team of another group
        { "64,final,", "63,final," },                             // a number twice, the final missing
        { "NED,ESP,0,0,0,1,,", "NED,ESP,0,0,0,1,3,2" },           // a shoot-out after a decided extra time
        { "RSA,A,South Africa,ЮАР", "RSA,A,South Africa," },      // a team without its name
        { "Durban,Дурбан", "Durban,Дурбан,extra" },                // a field too many
    };
    for (const auto& change : spoiled) {
        TournamentData kept = data;
        EXPECT_FALSE(Read(Replace(file, change.first, change.second), &kept)) << change.second;
        EXPECT_EQ(0, memcmp(&kept, &data, sizeof(data))) << change.second;
    }
    EXPECT_FALSE(Read(file.substr(0, file.size() / 2), &data)) << "a file cut off half-way";
    EXPECT_FALSE(Read(std::string("\0", 1) + file, &data));
    // Knock-out teams not known yet and results not in yet are a valid file (fresh
    // data during the tournament).
    std::string early = Replace(file, "64,final,,2010-07-11,20:30,2010-07-11T18:30Z,NED,ESP,0,0,0,1,,",
                                "64,final,,2010-07-11,20:30,2010-07-11T18:30Z,,,,,,,,");
    EXPECT_TRUE(Read(early, &data));
    EXPECT_EQ(kNoTeam, MatchWinner(data.matches[kMatchCount - 1]));
}

} // namespace
