#include "widget_reading.h"

#include "widget_texts.h"

namespace {

// A line's cells as one text.
void JoinCells(const ViewLine& line, WCHAR* text)
{
    text[0] = 0;
    for (const WCHAR* cell : line.cell) {
        if (!cell[0])
            continue;
        if (text[0])
            lstrcatW(text, L" ");
        lstrcatW(text, cell);
    }
}

// ". Чабалала 55', Маркес 79'": a tooltip's line breaks read as sentences. Cut to
// the name's room.
void AppendDetail(const WCHAR* detail, WCHAR* text, int units)
{
    if (!detail[0])
        return;
    int at = lstrlenW(text);
    for (int i = -1; (i < 0 || detail[i]) && i < kLineDetailUnits && at + 2 < units; ++i) {
        if (i < 0 || detail[i] == L'\n') {
            if (at == 0 || text[at - 1] != L'.') // "0:1 д.в. Иньеста 116'"
                text[at++] = L'.';
            text[at++] = L' ';
        } else {
            text[at++] = detail[i];
        }
    }
    text[at] = 0;
}

const WCHAR* ArrowName(WORD command)
{
    switch (command) {
    case CMD_PAGE_PREVIOUS:
        return kPreviousPage;
    case CMD_PAGE_NEXT:
        return kNextPage;
    case CMD_DAY_PREVIOUS:
        return kPreviousMatchDay;
    default:
        return kNextMatchDay;
    }
}

void AddArrowItem(const ArrowPlace& arrow, AccessibleItem* items, int capacity, int* count)
{
    if (!arrow.enabled)
        return;
    if (*count < capacity)
        items[*count] = AccessibleItem{ ArrowName(arrow.command), arrow.bounds, true, arrow.command };
    ++*count;
}

} // namespace

int ReadableItems(const WidgetView& view, const WidgetLayout& layout, const LineDetails& details,
                  ReadableNames names, AccessibleItem* items, int capacity)
{
    int count = 0;
    int arrow = 0;
    for (int i = 0; i < view.lineCount; ++i) {
        bool bar = view.lines[i].style == LINE_PAGE_BAR || view.lines[i].style == LINE_DAY_BAR;
        if (bar && arrow < layout.arrowCount)
            AddArrowItem(layout.arrow[arrow++], items, capacity, &count);
        JoinCells(view.lines[i], names[i]);
        if (view.lines[i].mine) {
            lstrcatW(names[i], L", ");
            lstrcatW(names[i], kMyTeamMark);
        }
        AppendDetail(details.text[i], names[i], ARRAYSIZE(names[i]));
        WORD command = details.command[i];
        if (count < capacity)
            items[count] = AccessibleItem{ names[i], layout.line[i], command != 0, command };
        ++count;
        if (bar && arrow < layout.arrowCount)
            AddArrowItem(layout.arrow[arrow++], items, capacity, &count);
    }
    return count;
}
