// The engine's pure rules at their edges, as tables compiled into the test: each
// preference's range at both ends and one beyond, the group order where goal
// difference, goals and the matches between level teams disagree, a redirect's target
// that exactly fills its buffer, the team lists whatever order a file gives, and the
// place after a change of DPI.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/engine_settings.h"
#include "base/group_standings.h"
#include "base/preferences.h"
#include "base/tournament_data.h"
#include "base/web_address.h"
#include "base/widget_place.h"
#include "core_data.h"
#include "test_support.h"

namespace {

const wchar_t kKey[] = L"Software\\Morvane\\TessmarkEdgesTest";

// Every preference read from one stored value at a time: both ends of its range and one
// beyond each, the other types and sizes a value may have. Only that preference may
// differ from the defaults.
TEST(Preferences, EachValueAtTheEdgesOfItsRange)
{
    const TournamentData data = BuiltInData();
    const DWORD kNone = 0xFFFFFFFF; // nothing stored
    const struct {
        const wchar_t* name;
        std::vector<std::pair<DWORD, DWORD>> stored; // stored, read
        DWORD Preferences::*dwordField;
        int Preferences::*intField;
        bool Preferences::*flagField;
    } values[] = {
        { VALUE_REMINDER_MINUTES, { { 0, 0 }, { 1, 15 }, { 4, 15 }, { 5, 5 }, { 6, 6 }, { 119, 119 }, { 120, 120 },
                                    { 121, 15 }, { 0xFFFFFFFF, 15 }, { kNone, 15 } },
          &Preferences::reminderMinutes, nullptr, nullptr },
        { VALUE_WIDGET_OPACITY, { { 0, 100 }, { 19, 100 }, { 20, 20 }, { 21, 21 }, { 99, 99 }, { 100, 100 },
                                  { 101, 100 }, { 0xFFFFFFFF, 100 }, { kNone, 100 } },
          &Preferences::opacity, nullptr, nullptr },
        { VALUE_WIDGET_LAYER, { { 0, LAYER_DESKTOP }, { 1, LAYER_NORMAL }, { 2, LAYER_TOPMOST }, { 3, LAYER_DESKTOP },
                                { 0xFFFFFFFF, LAYER_DESKTOP }, { kNone, LAYER_DESKTOP } },
          nullptr, &Preferences::layer, nullptr },
        { VALUE_REMINDER_MY_TEAM_ONLY, { { 0, 0 }, { 1, 1 }, { 2, 0 }, { 0xFFFFFFFF, 0 }, { kNone, 0 } }, nullptr,
          nullptr, &Preferences::myTeamOnly },
        { VALUE_TIME_ZONE, { { 0, 0 }, { 1, 1 }, { 2, 0 }, { 0xFFFFFFFF, 0 }, { kNone, 0 } }, nullptr, nullptr,
          &Preferences::computersZone },
        { VALUE_WIDGET_LOCKED, { { 0, 0 }, { 1, 1 }, { 2, 0 }, { 0xFFFFFFFF, 0 }, { kNone, 0 } }, nullptr, nullptr,
          &Preferences::locked },
    };
    auto get = [](const Preferences& p, const auto& value) -> DWORD {
        if (value.dwordField)
            return p.*value.dwordField;
        return value.intField ? static_cast<DWORD>(p.*value.intField) : static_cast<DWORD>(p.*value.flagField);
    };
    auto set = [](Preferences* p, const auto& value, DWORD to) {
        if (value.dwordField)
            p->*value.dwordField = to;
        else if (value.intField)
            p->*value.intField = static_cast<int>(to);
        else
            p->*value.flagField = to != 0;
    };
    auto same = [](const Preferences& a, const Preferences& b) {
        return a.favourite == b.favourite && a.reminderMinutes == b.reminderMinutes && a.myTeamOnly == b.myTeamOnly &&
               a.computersZone == b.computersZone && a.layer == b.layer && a.opacity == b.opacity &&
               a.locked == b.locked;
    };
    for (const auto& value : values) {
        for (const auto& one : value.stored) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
            if (one.first != kNone)
                ASSERT_TRUE(WriteSettingDword(kKey, value.name, one.first));
            Preferences got = ReadPreferences(kKey, data), expected = DefaultPreferences();
            SCOPED_TRACE(qt::WideToUtf8(value.name) + " " + std::to_string(one.first));
            EXPECT_EQ(one.second, get(got, value));
            set(&expected, value, one.second);
            EXPECT_TRUE(same(expected, got)) << "another preference changed";
            if (one.first != one.second)
                continue;
            // A value in range is stored as it is and read back so.
            Preferences before = got;
            set(&before, value, one.first ^ 1);
            ASSERT_TRUE(StoreChangedPreferences(kKey, data, before, got));
            EXPECT_EQ(one.first, get(ReadPreferences(kKey, data), value));
        }
        // Stored with another type or size: the default.
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        const DWORD five = 5;
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                                 nullptr));
        for (DWORD type : { static_cast<DWORD>(REG_BINARY), static_cast<DWORD>(REG_DWORD_BIG_ENDIAN) }) {
            RegSetValueExW(key, value.name, 0, type, reinterpret_cast<const BYTE*>(&five), sizeof(five));
            EXPECT_TRUE(same(DefaultPreferences(), ReadPreferences(kKey, data)))
                << qt::WideToUtf8(value.name) << " of type " << type;
        }
        RegSetValueExW(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&five), 3);
        EXPECT_TRUE(same(DefaultPreferences(), ReadPreferences(kKey, data))) << qt::WideToUtf8(value.name) << ", 3 bytes";
        RegCloseKey(key);
    }

    // The team: its code whatever the case, the first and the last of the draw; a code
    // one letter short or long, or of another type, is none.
    const struct {
        const wchar_t* code;
        const char* team; // null: none
    } codes[] = { { L"RSA", "RSA" }, { L"chi", "CHI" }, { L"Esp", "ESP" }, { L"ES", nullptr }, { L"ESPA", nullptr },
                  { L"", nullptr },  { L"E", nullptr }, { L"ESP ", nullptr } };
    for (const auto& c : codes) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        ASSERT_TRUE(WriteSettingText(kKey, VALUE_FAVOURITE_TEAM, c.code));
        int team = ReadPreferences(kKey, data).favourite;
        EXPECT_EQ(c.team ? c.team : "none", team == kNoTeam ? "none" : std::string(data.teams[team].code))
            << qt::WideToUtf8(c.code);
    }
    ASSERT_TRUE(WriteSettingDword(kKey, VALUE_FAVOURITE_TEAM, 1));
    EXPECT_EQ(kNoTeam, ReadPreferences(kKey, data).favourite);
    // The first and the last team stored by their codes, and none as an empty text.
    Preferences before = DefaultPreferences(), after = before;
    for (int team : { 0, kTeamCount - 1, static_cast<int>(kNoTeam) }) {
        after.favourite = team;
        ASSERT_TRUE(StoreChangedPreferences(kKey, data, before, after));
        EXPECT_EQ(team == kNoTeam ? L"" : qt::Utf8ToWide(data.teams[team].code),
                  qt::ReadValue(kKey, VALUE_FAVOURITE_TEAM).Text());
        EXPECT_EQ(team, ReadPreferences(kKey, data).favourite);
        before = after;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

std::vector<std::string> GroupOrder(const TournamentData& data, int group)
{
    Standing table[kTeamsPerGroup];
    GroupStandings(data, group, Utc(2010, 7, 20, 0, 0), table);
    std::vector<std::string> codes;
    for (const Standing& s : table)
        codes.push_back(data.teams[s.team].code);
    return codes;
}

// Group A replayed with results none of the 2010 tables had: where goal difference or
// goals say one thing and the match between two teams another, the overall figures come
// first; the matches between teams count only among those level on all three, and only
// those matches; the draw's order (the file's) comes last. The draw: South Africa,
// Mexico, Uruguay, France. Matches: 1 RSA–MEX, 2 URU–FRA, 17 RSA–URU, 18 FRA–MEX,
// 33 MEX–URU, 34 FRA–RSA.
TEST(GroupOrder, GoalDifferenceGoalsAndTheMatchesBetweenThemInTheirOrder)
{
    const int numbers[] = { 1, 2, 17, 18, 33, 34 };
    const struct {
        const char* what;
        signed char goals[6][2];
        std::vector<std::string> order;
    } tables[] = {
        // Mexico (4 points, +2) ahead of South Africa (4, 0), which beat it.
        { "goal difference before the match between them",
          { { 1, 0 }, { 0, 0 }, { 0, 1 }, { 0, 3 }, { 1, 1 }, { 0, 0 } }, { "URU", "MEX", "RSA", "FRA" } },
        // Mexico (4, 0, 4 goals) ahead of South Africa (4, 0, 1 goal), which beat it.
        { "goals before the match between them",
          { { 1, 0 }, { 0, 0 }, { 0, 1 }, { 2, 3 }, { 1, 1 }, { 0, 0 } }, { "URU", "MEX", "RSA", "FRA" } },
        // Level on 4, 0 and 2 goals: Mexico won the match between them.
        { "the match between two level teams against the draw",
          { { 0, 1 }, { 3, 0 }, { 2, 1 }, { 0, 0 }, { 1, 2 }, { 0, 0 } }, { "URU", "MEX", "RSA", "FRA" } },
        // Three on 6 points, +3, 6 goals; among them South Africa +2, Uruguay 0, Mexico −2.
        { "three level: the goal difference of their matches only",
          { { 3, 0 }, { 5, 2 }, { 0, 1 }, { 0, 5 }, { 1, 0 }, { 2, 3 } }, { "RSA", "URU", "MEX", "FRA" } },
        // Three on 6 points, +1, 5 goals; among them 3 points and 0 each, South Africa and
        // Uruguay 4 goals, Mexico 3: then the draw between South Africa and Uruguay.
        { "three level: the goals of their matches, then the draw",
          { { 2, 1 }, { 1, 0 }, { 2, 3 }, { 1, 2 }, { 2, 1 }, { 0, 1 } }, { "RSA", "URU", "MEX", "FRA" } },
        { "all level: the draw", { { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 }, { 0, 0 } },
          { "RSA", "MEX", "URU", "FRA" } },
    };
    TournamentData data = BuiltInData();
    for (const auto& t : tables) {
        for (int i = 0; i < 6; ++i)
            data.matches[numbers[i] - 1].regular = { t.goals[i][0], t.goals[i][1] };
        EXPECT_EQ(t.order, GroupOrder(data, 0)) << t.what;
    }

    // All level, from a file that lists Uruguay first: its order is the draw's.
    std::string file = BuiltInDataFile();
    const std::string uruguay = "URU,A,Uruguay,Уругвай\n";
    size_t at = file.find(uruguay);
    ASSERT_NE(std::string::npos, at);
    file.erase(at, uruguay.size());
    file.insert(file.find("RSA,A,"), uruguay);
    ASSERT_TRUE(Read(file, &data));
    for (int number : numbers)
        data.matches[number - 1].regular = { 1, 1 };
    EXPECT_EQ((std::vector<std::string>{ "URU", "RSA", "MEX", "FRA" }), GroupOrder(data, 0));
}

// A redirect's target as long as its buffer holds, terminator included, is taken whole;
// one unit more is refused with nothing half-written, and nothing is written beyond the
// buffer either way. Also at the longest address the engine follows.
TEST(WebAddress, ATargetThatExactlyFillsItsBufferIsTakenOneMoreIsRefused)
{
    const wchar_t base[] = L"http://h/data/wc.csv?old=1";
    for (const wchar_t* reference : { L"new.csv", L"?v=2", L"//other:8080/x.csv", L"https://s/a/../b.csv", L"#part",
                                      L"../up.csv", L"" }) {
        wchar_t full[kUrlUnits];
        ASSERT_TRUE(ResolveLocation(base, reference, full, kUrlUnits));
        const DWORD length = static_cast<DWORD>(lstrlenW(full));
        for (DWORD units : std::vector<DWORD>{ length + 1, length, length + 2, 1 }) {
            std::vector<wchar_t> buffer(units + 8, L'#');
            bool taken = ResolveLocation(base, reference, buffer.data(), units);
            SCOPED_TRACE(qt::WideToUtf8(reference) + " in " + std::to_string(units));
            EXPECT_EQ(units > length, taken);
            EXPECT_EQ(taken ? std::wstring(full) : std::wstring(), std::wstring(buffer.data()));
            EXPECT_EQ(std::wstring(8, L'#'), std::wstring(buffer.data() + units, 8)) << "written beyond";
        }
    }
    // "http://h/" + a folder + "/" + the reference: 2047 units fit kUrlUnits, 2048 do not.
    const std::wstring folder(2000, L'f'), longBase = L"http://h/" + folder + L"/wc.csv";
    for (size_t name : std::vector<size_t>{ 37, 38 }) {
        std::wstring reference(name, L'n');
        std::vector<wchar_t> target(kUrlUnits + 8, L'#');
        bool taken = ResolveLocation(longBase.c_str(), reference.c_str(), target.data(), kUrlUnits);
        EXPECT_EQ(name == 37, taken) << name;
        if (taken)
            EXPECT_EQ(L"http://h/" + folder + L"/" + reference, std::wstring(target.data()));
        EXPECT_EQ(std::wstring(8, L'#'), std::wstring(target.data() + kUrlUnits, 8));
    }
}

// A file may give the teams in any order: the lists the user picks from are group by
// group, each group's teams in the file's order, whatever that order is.
TEST(TeamOrder, GroupByGroupWhateverOrderTheFileGives)
{
    const std::string file = BuiltInDataFile();
    const size_t first = file.find("code,group,name_en,name_ru\n") + 27, end = file.find("\n\n", first) + 1;
    std::vector<std::string> lines;
    for (size_t at = first; at < end; at = file.find('\n', at) + 1)
        lines.push_back(file.substr(at, file.find('\n', at) + 1 - at));
    ASSERT_EQ(static_cast<size_t>(kTeamCount), lines.size());
    const struct {
        const char* name;
        std::vector<size_t> order; // the lines of the table, in the order the file gives them
    } files[] = {
        { "as drawn", {} },
        { "reversed", {} },
        { "one moved to the end", {} },
        { "groups interleaved", {} },
    };
    for (const auto& f : files) {
        std::vector<size_t> order(lines.size());
        for (size_t i = 0; i < order.size(); ++i) {
            if (f.name[0] == 'r')
                order[i] = order.size() - 1 - i;
            else if (f.name[0] == 'o')
                order[i] = (i + 1) % order.size();
            else if (f.name[0] == 'g')
                order[i] = i % kGroupCount * kTeamsPerGroup + i / kGroupCount;
            else
                order[i] = i;
        }
        std::string table;
        for (size_t line : order)
            table += lines[line];
        TournamentData data = {};
        ASSERT_TRUE(Read(file.substr(0, first) + table + file.substr(end), &data)) << f.name;
        int listed[kTeamCount];
        ASSERT_EQ(kTeamCount, TeamsByGroup(data, listed)) << f.name;
        // Each group's four together, A to H; within a group, as the file has them.
        for (int i = 0; i < kTeamCount; ++i) {
            EXPECT_EQ(i / kTeamsPerGroup, data.teams[listed[i]].group) << f.name << ", place " << i;
            if (i % kTeamsPerGroup)
                EXPECT_LT(listed[i - 1], listed[i]) << f.name << ", place " << i;
        }
    }
}

// Without the system's rectangle, a new DPI keeps the widget's centre: the side of a
// boundary between two monitors that shows most of it still does, so a widget across
// a 100 % and a 200 % monitor does not go back and forth between the two scales.
TEST(Layout, ANewDpiKeepsTheCentreAndSoTheMonitorWithMostOfIt)
{
    const LONG boundary = 1920; // a 100 % monitor left of it, a 200 % one right
    const RECT places[] = { { 1700, 100, 2000, 400 }, { 1850, 100, 2150, 400 }, { 1500, 0, 1950, 600 },
                            { 1919, 50, 2400, 500 }, { 1000, 0, 1921, 300 } };
    auto rightSideHasMore = [&](LONG left, LONG width) { return left + width - boundary > boundary - left; };
    for (const RECT& was : places) {
        for (int scale : { 2, 3 }) { // 96 to 192 or 288 DPI, and back
            for (bool growing : { true, false }) {
                LONG width = was.right - was.left, height = was.bottom - was.top;
                SIZE size = growing ? SIZE{ width * scale, height * scale } : SIZE{ width / scale, height / scale };
                POINT place = Recentred(was, size);
                SCOPED_TRACE(std::to_string(was.left) + "+" + std::to_string(width) + " to " + std::to_string(size.cx));
                EXPECT_NEAR(was.left + width / 2, place.x + size.cx / 2, 1);
                EXPECT_NEAR(was.top + height / 2, place.y + size.cy / 2, 1);
                EXPECT_EQ(rightSideHasMore(was.left, width), rightSideHasMore(place.x, size.cx));
            }
        }
    }
}

} // namespace
