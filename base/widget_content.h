// What the widget shows at a moment: its lines, built from the tournament's data, the
// widget's clock and what the user chose (page, browsed day, collapsed). No window,
// no drawing: the lines are text in cells, and their style says how they are drawn.
#pragma once

#include <windows.h>

#include "match_texts.h"
#include "tournament_data.h"

enum WidgetPage { PAGE_MATCHES, PAGE_GROUPS, PAGE_KNOCKOUT, PAGE_COUNT };

enum LineStyle : BYTE {
    LINE_TITLE,      // the widget's name
    LINE_DATE,       // the widget's day
    LINE_PAGE_BAR,   // the page's name, between the page arrows
    LINE_DAY_BAR,    // the browsed day, between the day arrows
    LINE_HEADLINE,   // the big line: the days to the start, the champion
    LINE_HEADING,    // a section: "1/8 финала", "Следующий матч через 2 ч 15 мин"
    LINE_MATCH,      // kick-off | teams | result, countdown or city
    LINE_TABLE_HEAD, // "Группа A" | И | М | Р | О
    LINE_TABLE_ROW,  // team | games | goals | goal difference | points
    LINE_NOTE,       // a remark: "Сегодня матчей нет"
};

enum LineMark : BYTE {
    MARK_NONE,
    MARK_LIVE,      // a match under way, or the next one's countdown
    MARK_QUALIFIED, // a team through to the knock-out rounds
};

const int kLineCells = 5;
const int kMaxLines = 56;

struct ViewLine {
    BYTE style;  // LineStyle
    BYTE column; // 0, or 1 for the right-hand column of the group page
    BYTE mark;   // LineMark
    bool mine;   // about the user's favourite team
    BYTE match;  // a match line's match number; 0 for other lines
    WCHAR cell[kLineCells][kCellUnits];
};

// The user's choices that the view depends on.
struct ViewChoice {
    int page;       // WidgetPage
    ULONGLONG day;  // the browsed day (a LocalDayNumber); 0 for the widget's today
    bool collapsed; // only the header and the next match
    bool hasFavourite;      // the user chose a team, `favourite`, whose lines stand out
    int favourite;
    ULONGLONG reminderLead; // how long before a kick-off the reminder comes; 0 for none
    bool hideScores;        // results stay "?:?" until the user clicks the match's line,
    MatchMask revealed;     // which these are
};

// The matches whose results the view keeps hidden.
MatchMask HiddenMatches(const ViewChoice& choice);

struct WidgetView {
    int lineCount;
    ViewLine lines[kMaxLines];
    ULONGLONG shownDay;          // the day the match page shows
    ULONGLONG previousDay;       // the match days the day arrows lead to; 0 for none
    ULONGLONG nextDay;
    ULONGLONG nextChange;        // the first moment after `now` at which it may read differently
};

void BuildWidgetView(const TournamentData& data, ULONGLONG now, const ViewChoice& choice, WidgetView* view);

