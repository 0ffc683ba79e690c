#include "tournament_data.h"

#include "data_fields.h"
#include "file_times.h"
#include "match_events.h"

namespace {

const char kTeamsHeader[] = "code,group,name_en,name_ru";
const char kCitiesHeader[] = "city_en,city_ru";
const char kMatchesHeader[] = "num,stage,group,date_local,time_local,utc,home,away,home_goals,away_goals,"
                              "home_goals_et,away_goals_et,home_pens,away_pens,city,stadium";
const char* const kStageNames[] = { "group", "round16", "quarter", "semi", "third", "final" };

const int kTeamFields = 4;
const int kCityFields = 2;
const int kMatchFields = 16;
const int kMaxLineBytes = 512;
// Kick-off times in the file are South African time, UTC+2 all year.
const ULONGLONG kLocalOffsetTicks = 120 * kTicksPerMinute;
// How long a match lasts, kick-off to final whistle (see MatchEnd).
const ULONGLONG kRegularLength = 120 * kTicksPerMinute;
const ULONGLONG kExtraTimeLength = 160 * kTicksPerMinute;
const ULONGLONG kShootoutLength = 175 * kTicksPerMinute;

// FIFA's bracket: where the home and away teams of matches 49..64 come from.
const KnockoutSource kBracket[kMatchCount - kFirstKnockoutMatch + 1][2] = {
    { { '1', 0 }, { '2', 1 } },   { { '1', 2 }, { '2', 3 } },   { { '1', 3 }, { '2', 2 } },
    { { '1', 1 }, { '2', 0 } },   { { '1', 4 }, { '2', 5 } },   { { '1', 6 }, { '2', 7 } },
    { { '1', 5 }, { '2', 4 } },   { { '1', 7 }, { '2', 6 } },   { { 'W', 53 }, { 'W', 54 } },
    { { 'W', 49 }, { 'W', 50 } }, { { 'W', 52 }, { 'W', 51 } }, { { 'W', 55 }, { 'W', 56 } },
    { { 'W', 58 }, { 'W', 57 } }, { { 'W', 59 }, { 'W', 60 } }, { { 'L', 61 }, { 'L', 62 } },
    { { 'W', 61 }, { 'W', 62 } },
};

// The known tables in the order they come; SECTION_SKIPPED is a table of a later
// version of the file, passed over up to its blank line.
enum Section {
    SECTION_NONE,
    SECTION_TEAMS,
    SECTION_CITIES,
    SECTION_MATCHES,
    SECTION_GOALS,
    SECTION_KICKS,
    SECTION_SKIPPED,
};

struct Reader {
    TournamentData data;
    Section section;
    Section last;        // the last table begun: they come in order, each once
    int teamCount;
    int matchCount;
    bool matchSeen[kMatchCount];
};

bool ReadGroupLetter(const Field& field, BYTE* group)
{
    if (field.length != 1 || field.text[0] < 'A' || field.text[0] >= 'A' + kGroupCount)
        return false;
    *group = static_cast<BYTE>(field.text[0] - 'A');
    return true;
}

// "YYYY-MM-DD" and, when `time` is given, "HH:MM" into ticks; false for no real date.
bool ReadDateTime(const char* date, const char* time, ULONGLONG* ticks)
{
    int year, month, day, hour = 0, minute = 0;
    if (!ReadDigits(date, 4, &year) || date[4] != '-' || !ReadDigits(date + 5, 2, &month) || date[7] != '-' ||
        !ReadDigits(date + 8, 2, &day))
        return false;
    if (time && (!ReadDigits(time, 2, &hour) || time[2] != ':' || !ReadDigits(time + 3, 2, &minute)))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return false;
    SYSTEMTIME record = {};
    record.wYear = static_cast<WORD>(year);
    record.wMonth = static_cast<WORD>(month);
    record.wDay = static_cast<WORD>(day);
    record.wHour = static_cast<WORD>(hour);
    record.wMinute = static_cast<WORD>(minute);
    return RecordToTicks(&record, ticks);
}

// "2010-06-11T14:00Z".
bool ReadUtc(const Field& field, ULONGLONG* ticks)
{
    return field.length == 17 && field.text[10] == 'T' && field.text[16] == 'Z' &&
           ReadDateTime(field.text, field.text + 11, ticks);
}

// Two goal counts, both empty or both 0..99.
bool ReadScore(const Field& home, const Field& away, Score* score)
{
    if (!home.length && !away.length) {
        score->home = score->away = kNoGoals;
        return true;
    }
    int h, a;
    if (!ReadNumber(home, 2, &h) || !ReadNumber(away, 2, &a))
        return false;
    score->home = static_cast<signed char>(h);
    score->away = static_cast<signed char>(a);
    return true;
}

bool Known(const Score& score)
{
    return score.home != kNoGoals;
}

bool Level(const Score& score)
{
    return score.home == score.away;
}

int FindTeam(const Reader& reader, const Field& field)
{
    return FindTeam(reader.data, reader.teamCount, field);
}

int FindCity(const Reader& reader, const Field& field)
{
    for (int i = 0; i < reader.data.cityCount; ++i) {
        if (Same(field.text, field.length, reader.data.cities[i].key))
            return i;
    }
    return -1;
}

bool ReadTeamRow(Reader& reader, const char* line, int length)
{
    Field fields[kTeamFields];
    if (!SplitFields(line, length, fields, kTeamFields) || reader.teamCount == kTeamCount)
        return false;
    Team& team = reader.data.teams[reader.teamCount];
    if (!ReadCode(fields[0], team.code) || !ReadGroupLetter(fields[1], &team.group) || !fields[2].length ||
        !ReadName(fields[3], team.name) || FindTeam(reader, fields[0]) != kNoTeam)
        return false;
    ++reader.teamCount;
    return true;
}

bool ReadCityRow(Reader& reader, const char* line, int length)
{
    Field fields[kCityFields];
    if (!SplitFields(line, length, fields, kCityFields) || reader.data.cityCount == kMaxCities)
        return false;
    City& city = reader.data.cities[reader.data.cityCount];
    const Field& key = fields[0];
    if (key.length < 1 || key.length >= static_cast<int>(sizeof(city.key)) || FindCity(reader, key) >= 0 ||
        !ReadName(fields[1], city.name))
        return false;
    CopyMemory(city.key, key.text, key.length);
    city.key[key.length] = 0;
    ++reader.data.cityCount;
    return true;
}

// The stage that match number n belongs to.
int StageOfNumber(int n)
{
    return n < 49 ? STAGE_GROUP : n < 57 ? STAGE_ROUND16 : n < 61 ? STAGE_QUARTER : n < 63 ? STAGE_SEMI
         : n < 64 ? STAGE_THIRD : STAGE_FINAL;
}

// A result is complete or absent: extra time only after a level knock-out match, a
// shoot-out only after level extra time and never level itself.
bool ScoresAgree(const Match& match)
{
    bool knockout = match.stage != STAGE_GROUP;
    if (!Known(match.regular))
        return !Known(match.extra) && !Known(match.penalties);
    if (match.home == kNoTeam || match.away == kNoTeam)
        return false;
    if (Known(match.extra) != (knockout && Level(match.regular)))
        return false;
    if (Known(match.extra) && (match.extra.home < match.regular.home || match.extra.away < match.regular.away))
        return false;
    if (Known(match.penalties) != (Known(match.extra) && Level(match.extra)))
        return false;
    return !Known(match.penalties) || !Level(match.penalties);
}

bool ReadMatchRow(Reader& reader, const char* line, int length)
{
    Field f[kMatchFields];
    if (!SplitFields(line, length, f, kMatchFields))
        return false;
    Match match = {};
    int number;
    if (!ReadNumber(f[0], 2, &number) || number < 1 || number > kMatchCount || reader.matchSeen[number - 1])
        return false;
    match.number = static_cast<BYTE>(number);
    match.stage = static_cast<BYTE>(StageOfNumber(number));
    if (!FieldIs(f[1], kStageNames[match.stage]))
        return false;
    bool group = match.stage == STAGE_GROUP;
    if (group ? !ReadGroupLetter(f[2], &match.group) : f[2].length != 0)
        return false;

    ULONGLONG local;
    if (!ReadUtc(f[5], &match.kickoff) || f[3].length != 10 || f[4].length != 5 ||
        !ReadDateTime(f[3].text, f[4].text, &local) || local != match.kickoff + kLocalOffsetTicks)
        return false;

    match.home = static_cast<signed char>(f[6].length ? FindTeam(reader, f[6]) : kNoTeam);
    match.away = static_cast<signed char>(f[7].length ? FindTeam(reader, f[7]) : kNoTeam);
    if ((f[6].length && match.home == kNoTeam) || (f[7].length && match.away == kNoTeam))
        return false;
    if (match.home != kNoTeam && match.home == match.away)
        return false;
    if (group && (match.home == kNoTeam || match.away == kNoTeam ||
                  reader.data.teams[match.home].group != match.group ||
                  reader.data.teams[match.away].group != match.group))
        return false;

    if (!ReadScore(f[8], f[9], &match.regular) || !ReadScore(f[10], f[11], &match.extra) ||
        !ReadScore(f[12], f[13], &match.penalties) || !ScoresAgree(match))
        return false;
    int city = FindCity(reader, f[14]);
    if (city < 0 || !f[15].length)
        return false;
    match.city = static_cast<BYTE>(city);

    reader.data.matches[number - 1] = match;
    reader.matchSeen[number - 1] = true;
    ++reader.matchCount;
    return true;
}

// A header line begins its table; the tables come in order, each once, and each
// finds those it refers to complete.
bool BeginSection(Reader& reader, Section section)
{
    if (section <= reader.last)
        return false;
    if (section == SECTION_MATCHES && (reader.teamCount != kTeamCount || reader.data.cityCount == 0))
        return false;
    if (section >= SECTION_GOALS && reader.matchCount != kMatchCount)
        return false;
    if (section == SECTION_GOALS)
        reader.data.hasGoals = true;
    if (section == SECTION_KICKS)
        reader.data.hasKicks = true;
    reader.section = reader.last = section;
    return true;
}

// A header of a table this reader does not know: comma-separated names of lower-case
// letters, digits and underscores. Anything else where a header belongs is garbage.
bool IsHeaderLine(const char* line, int length)
{
    bool nameEmpty = true;
    for (int i = 0; i < length; ++i) {
        char c = line[i];
        if (c == ',') {
            if (nameEmpty)
                return false;
            nameEmpty = true;
        } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
            nameEmpty = false;
        } else {
            return false;
        }
    }
    return !nameEmpty;
}

bool ReadLine(Reader& reader, const char* line, int length)
{
    if (length > 0 && line[length - 1] == '\r')
        --length;
    if (length > kMaxLineBytes)
        return false;
    for (int i = 0; i < length; ++i) {
        if (static_cast<unsigned char>(line[i]) < 0x20)
            return false;
    }
    if (length == 0) {
        reader.section = SECTION_NONE;
        return true;
    }
    if (line[0] == '#')
        return true;
    if (Same(line, length, kTeamsHeader))
        return BeginSection(reader, SECTION_TEAMS);
    if (Same(line, length, kCitiesHeader))
        return BeginSection(reader, SECTION_CITIES);
    if (Same(line, length, kMatchesHeader))
        return BeginSection(reader, SECTION_MATCHES);
    if (Same(line, length, kGoalsHeader))
        return BeginSection(reader, SECTION_GOALS);
    if (Same(line, length, kKicksHeader))
        return BeginSection(reader, SECTION_KICKS);
    switch (reader.section) {
    case SECTION_TEAMS:
        return ReadTeamRow(reader, line, length);
    case SECTION_CITIES:
        return ReadCityRow(reader, line, length);
    case SECTION_MATCHES:
        return ReadMatchRow(reader, line, length);
    case SECTION_GOALS:
        return ReadGoalRow(reader.data, line, length);
    case SECTION_KICKS:
        return ReadKickRow(reader.data, line, length);
    case SECTION_SKIPPED:
        return true;
    default: // a new table begins, or a row stands outside any table
        if (!IsHeaderLine(line, length))
            return false;
        reader.section = SECTION_SKIPPED;
        return true;
    }
}

bool TablesComplete(const Reader& reader)
{
    if (reader.teamCount != kTeamCount || reader.matchCount != kMatchCount)
        return false;
    int perGroup[kGroupCount] = {};
    for (const Team& team : reader.data.teams)
        ++perGroup[team.group];
    for (int count : perGroup) {
        if (count != kTeamsPerGroup)
            return false;
    }
    return true;
}

} // namespace

bool ReadTournamentData(const char* text, DWORD size, TournamentData* data)
{
    if (!text || !data || size > kMaxDataBytes)
        return false;
    Reader reader = {}; // about 30 KB; no shared state, so any thread may read a file
    DWORD at = 0;
    if (size >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF')
        at = 3;
    while (at < size) {
        DWORD end = at;
        while (end < size && text[end] != '\n')
            ++end;
        if (!ReadLine(reader, text + at, static_cast<int>(end - at)))
            return false;
        at = end + 1;
    }
    if (!TablesComplete(reader) || !EventsAgreeWithResults(reader.data))
        return false;
    *data = reader.data;
    return true;
}

bool LoadBuiltInData(HMODULE module, TournamentData* data)
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(BUILT_IN_DATA_RESOURCE), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    return bytes && ReadTournamentData(static_cast<const char*>(bytes), SizeofResource(module, found), data);
}

bool HasResult(const Match& match)
{
    return Known(match.regular);
}

int MatchWinner(const Match& match)
{
    if (!HasResult(match) || match.home == kNoTeam || match.away == kNoTeam)
        return kNoTeam;
    const Score* decisive[] = { &match.regular, &match.extra, &match.penalties };
    for (const Score* score : decisive) {
        if (Known(*score) && !Level(*score))
            return score->home > score->away ? match.home : match.away;
    }
    return kNoTeam;
}

int MatchLoser(const Match& match)
{
    int winner = MatchWinner(match);
    if (winner == kNoTeam)
        return kNoTeam;
    return winner == match.home ? match.away : match.home;
}

ULONGLONG MatchEnd(const Match& match)
{
    if (match.penalties.home != kNoGoals)
        return match.kickoff + kShootoutLength;
    if (match.extra.home != kNoGoals)
        return match.kickoff + kExtraTimeLength;
    return match.kickoff + kRegularLength;
}

MatchState MatchStateAt(const Match& match, ULONGLONG now)
{
    if (now < match.kickoff)
        return MATCH_AHEAD;
    return now < MatchEnd(match) ? MATCH_UNDER_WAY : MATCH_OVER;
}

bool OverWithResult(const Match& match, ULONGLONG now)
{
    return MatchStateAt(match, now) == MATCH_OVER && HasResult(match);
}

void GetKnockoutSources(int number, KnockoutSource* home, KnockoutSource* away)
{
    if (number < kFirstKnockoutMatch || number > kMatchCount)
        number = kMatchCount;
    *home = kBracket[number - kFirstKnockoutMatch][0];
    *away = kBracket[number - kFirstKnockoutMatch][1];
}
