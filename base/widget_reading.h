// What a screen reader reads of the widget: its lines and its arrows, in reading order.
#pragma once

#include <windows.h>

#include "accessibility.h"
#include "widget_drawing.h"

// What a line says beyond its cells: a match's scorers, or how to see its hidden
// score, for its tooltip and a screen reader.
const int kLineDetailUnits = 512;
struct LineDetails {
    WCHAR text[kMaxLines][kLineDetailUnits]; // empty: nothing more
    WORD command[kMaxLines];                 // pressing the line runs it; 0: not pressable
};

// The texts read: each line's cells joined by blanks, then its details.
typedef WCHAR ReadableNames[kMaxLines][kLineCells * kCellUnits + 16 + kLineDetailUnits];

// Fills up to `capacity` items: every line, a bar's enabled arrows on either side of
// it. The lines' names are written into `names`; a line with a command is a button.
// Gives how many items there are.
int ReadableItems(const WidgetView& view, const WidgetLayout& layout, const LineDetails& details,
                  ReadableNames names, AccessibleItem* items, int capacity);
