#include "live_score.h"

#include "match_texts.h"
#include "widget_texts.h"

namespace {

// Minutes from the kick-off to a goal of each period, beyond its own minute and added
// minute: the first half's added time (about 2), the 15-minute half-time, the second
// half's added time (about 3), the 5-minute break before extra time and the short
// change of ends (with the first half's added minute) between its halves.
const ULONGLONG kPeriodDelay[] = { 0, 0, 17, 25, 27 };
const ULONGLONG kExtraTimeBegins = 115; // minutes after the kick-off
const ULONGLONG kShootoutBegins = 150;

const int kMaxNewsLines = 32;

bool Known(const Score& score)
{
    return score.home != kNoGoals;
}

// Kept before the match's end, so that a match over counts all its goals.
ULONGLONG Clamped(const Match& match, ULONGLONG minutes)
{
    ULONGLONG moment = match.kickoff + minutes * kTicksPerMinute;
    ULONGLONG last = MatchEnd(match) - kTicksPerMinute;
    return moment < last ? moment : last;
}

int MatchIndex(const Match& match)
{
    return match.number - 1;
}

// "55'", "45+2'"
void AppendMinute(WCHAR* text, const Goal& goal)
{
    AppendNumber(text, goal.minute);
    if (goal.stoppage) {
        AppendText(text, L"+");
        AppendNumber(text, goal.stoppage);
    }
    AppendText(text, L"'");
}

// Appends to a text longer than a cell, cut to `units`.
void Append(WCHAR* text, int units, const WCHAR* more)
{
    int used = lstrlenW(text);
    if (used < units - 1)
        lstrcpynW(text + used, more, units - used);
}

// "Гол! ЮАР — Мексика 1:0 (Чабалала, 55')"
void GoalLine(const TournamentData& data, const Match& match, const Goal& goal, int home, int away, WCHAR* line)
{
    WCHAR teams[kCellUnits] = {}, score[kCellUnits] = {}, minute[kCellUnits] = {};
    AppendTeams(teams, data, match, match.kickoff);
    AppendNumber(score, static_cast<unsigned>(home));
    AppendText(score, L":");
    AppendNumber(score, static_cast<unsigned>(away));
    AppendMinute(minute, goal);
    const WCHAR* mark = goal.ownGoal ? kOwnGoalNews : goal.penalty ? kPenaltyNews : L"";
    const WCHAR* parts[] = { kGoalNews, teams, L" ", score, L" (", goal.scorer, L", ", minute, mark, L")" };
    line[0] = 0;
    for (const WCHAR* part : parts)
        Append(line, kNewsLineUnits, part);
}

// "Матч окончен: ЮАР — Мексика 1:1"
void EndLine(const TournamentData& data, const Match& match, WCHAR* line)
{
    WCHAR teams[kCellUnits] = {}, result[kCellUnits] = {};
    ULONGLONG end = MatchEnd(match);
    AppendTeams(teams, data, match, end);
    AppendResult(result, data, match, end);
    const WCHAR* parts[] = { kMatchOverNews, teams, L" ", result };
    line[0] = 0;
    for (const WCHAR* part : parts)
        Append(line, kNewsLineUnits, part);
}

struct News {
    WCHAR* text;
    int units;
    int told;    // lines in the text
    int dropped; // lines that did not fit
};

void Tell(News& news, const WCHAR* line)
{
    int used = lstrlenW(news.text);
    // Room for the line, its break and the closing "…и ещё N".
    if (news.told < kMaxNewsLines && used + lstrlenW(line) + 1 + 16 < news.units) {
        if (news.told)
            Append(news.text, news.units, L"\n");
        Append(news.text, news.units, line);
        ++news.told;
    } else {
        ++news.dropped;
    }
}

BYTE Capped(int count)
{
    return static_cast<BYTE>(count > 255 ? 255 : count);
}

} // namespace

ULONGLONG GoalMoment(const Match& match, const Goal& goal)
{
    int period = goal.period <= PERIOD_EXTRA_SECOND ? goal.period : static_cast<int>(PERIOD_EXTRA_SECOND);
    return Clamped(match, goal.minute + goal.stoppage + kPeriodDelay[period]);
}

ULONGLONG KickMoment(const Match& match, const Kick& kick)
{
    return Clamped(match, kShootoutBegins + kick.order);
}

ULONGLONG ExtraTimeBegins(const Match& match)
{
    return match.kickoff + kExtraTimeBegins * kTicksPerMinute;
}

ULONGLONG ShootoutBegins(const Match& match)
{
    return match.kickoff + kShootoutBegins * kTicksPerMinute;
}

bool GoalCounts(const Match& match, const Goal& goal, ULONGLONG now, bool replay)
{
    return now >= match.kickoff && (!replay || now >= GoalMoment(match, goal));
}

bool KickCounts(const Match& match, const Kick& kick, ULONGLONG now, bool replay)
{
    return now >= match.kickoff && (!replay || now >= KickMoment(match, kick));
}

bool ScoreAt(const TournamentData& data, const Match& match, ULONGLONG now, bool replay, LiveScore* score)
{
    if (!data.hasGoals || now < match.kickoff)
        return false;
    LiveScore s = { { 0, 0 }, { 0, 0 }, false, false };
    bool anyKick = false;
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        if (goal.match != match.number || !GoalCounts(match, goal, now, replay))
            continue;
        signed char& side = goal.team == match.home ? s.goals.home : s.goals.away;
        if (side < 127)
            ++side;
        s.extraTime = s.extraTime || goal.period >= PERIOD_EXTRA_FIRST;
    }
    for (int i = 0; i < data.kickCount; ++i) {
        const Kick& kick = data.kicks[i];
        if (kick.match != match.number)
            continue;
        anyKick = true;
        if (!KickCounts(match, kick, now, replay))
            continue;
        s.shootout = true;
        signed char& side = kick.team == match.home ? s.kicks.home : s.kicks.away;
        if (kick.scored && side < 127)
            ++side;
    }
    // Without a result yet, a level knock-out match goes on into extra time.
    bool open = !HasResult(match);
    bool toExtraTime = Known(match.extra) || (open && match.stage != STAGE_GROUP && s.goals.home == s.goals.away);
    if (toExtraTime && now >= ExtraTimeBegins(match))
        s.extraTime = true;
    bool toShootout = Known(match.penalties) || (open && anyKick);
    if (toShootout && now >= ShootoutBegins(match))
        s.shootout = true;
    s.extraTime = s.extraTime || s.shootout;
    *score = s;
    return true;
}

void FormatScorers(const TournamentData& data, const Match& match, ULONGLONG now, bool replay, WCHAR* text,
                   int units)
{
    if (units < 1)
        return;
    text[0] = 0;
    for (int i = 0; i < data.goalCount; ++i) {
        const Goal& goal = data.goals[i];
        if (goal.match != match.number || !GoalCounts(match, goal, now, replay))
            continue;
        WCHAR item[kCellUnits] = {};
        AppendText(item, goal.scorer);
        AppendText(item, L" ");
        AppendMinute(item, goal);
        if (goal.ownGoal)
            AppendText(item, kOwnGoalMark);
        else if (goal.penalty)
            AppendText(item, kPenaltyMark);
        if (text[0])
            Append(text, units, L", ");
        Append(text, units, item);
    }
    bool kicks = false;
    for (int i = 0; i < data.kickCount; ++i) {
        const Kick& kick = data.kicks[i];
        if (kick.match != match.number || !KickCounts(match, kick, now, replay))
            continue;
        if (!kicks && text[0])
            Append(text, units, L"\n");
        Append(text, units, kicks ? L", " : kShootoutKicks);
        Append(text, units, kick.kicker);
        Append(text, units, kick.scored ? kKickScored : kKickMissed);
        kicks = true;
    }
}

void StartAnnounced(const TournamentData& data, ULONGLONG now, bool replay, Announced* announced)
{
    ZeroMemory(announced, sizeof(*announced));
    WCHAR none[1];
    TakeMatchNews(data, now, replay, ~0ULL, kAllMatches, announced, none, 1);
}

bool TakeMatchNews(const TournamentData& data, ULONGLONG now, bool replay, ULONGLONG since, MatchMask silenced,
                   Announced* announced, WCHAR* text, int units)
{
    if (units < 1)
        return false;
    text[0] = 0;
    News news = { text, units, 0, 0 };
    for (const Match& match : data.matches) {
        int at = MatchIndex(match);
        bool told = !(silenced & MatchBit(match.number));
        int home = 0, away = 0;
        for (int i = 0; i < data.goalCount; ++i) {
            const Goal& goal = data.goals[i];
            if (goal.match != match.number || !GoalCounts(match, goal, now, replay))
                continue;
            bool forHome = goal.team == match.home;
            int& side = forHome ? home : away;
            ++side;
            bool fresh = side > (forHome ? announced->home[at] : announced->away[at]);
            if (fresh && told && GoalMoment(match, goal) >= since) {
                WCHAR line[kNewsLineUnits];
                GoalLine(data, match, goal, home, away, line);
                Tell(news, line);
            }
        }
        // A goal taken back by a corrected file is forgotten, so that it counts anew.
        announced->home[at] = Capped(home);
        announced->away[at] = Capped(away);
        bool over = OverWithResult(match, now);
        if (over && !announced->ended[at] && told && MatchEnd(match) >= since) {
            WCHAR line[kNewsLineUnits];
            EndLine(data, match, line);
            Tell(news, line);
        }
        announced->ended[at] = over ? 1 : 0;
    }
    if (news.dropped) {
        Append(text, units, kMoreNews);
        WCHAR count[12] = {};
        AppendNumber(count, static_cast<unsigned>(news.dropped));
        Append(text, units, count);
    }
    return news.told > 0;
}
