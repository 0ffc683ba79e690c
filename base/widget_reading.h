// What a screen reader reads of the widget: its lines and its arrows, in reading order.
#pragma once

#include <windows.h>

#include "accessibility.h"
#include "widget_drawing.h"

// The texts read: each line's cells joined by blanks.
typedef WCHAR ReadableNames[kMaxLines][kLineCells * kCellUnits + 16]; // the cells, and the team mark

// Fills up to `capacity` items: every line, a bar's enabled arrows on either side of
// it. The lines' names are written into `names`. Gives how many items there are.
int ReadableItems(const WidgetView& view, const WidgetLayout& layout, ReadableNames names, AccessibleItem* items,
                  int capacity);
