#include "widget_drawing.h"

#include "owners.h"
#include "widget_texts.h"

namespace {

// Design sizes at 96 DPI.
const int kWidth = 420;
const int kPadding = 12;
const int kColumnGap = 14;
const int kRadius = 10;
const int kStripeWidth = 40;
const int kTimeWidth = 44;          // "18:00" / "26.06"
const int kArrowBox = 24;           // the part of a bar an arrow takes
const int kArrowSize = 9;
// The group tables' numbers, from the right: points, goal difference, goals, games.
const int kTableColumns[4] = { 14, 30, 24, 18 }; // И, М, Р, О, left to right

struct StyleMetrics {
    int height;   // the line's height
    int before;   // space above it
};
const StyleMetrics kMetrics[] = {
    { 24, 0 },  // LINE_TITLE
    { 18, 0 },  // LINE_DATE
    { 26, 8 },  // LINE_PAGE_BAR
    { 22, 2 },  // LINE_DAY_BAR
    { 32, 4 },  // LINE_HEADLINE
    { 22, 4 },  // LINE_HEADING
    { 19, 0 },  // LINE_MATCH
    { 19, 6 },  // LINE_TABLE_HEAD
    { 17, 0 },  // LINE_TABLE_ROW
    { 20, 2 },  // LINE_NOTE
};

// Font sizes in pixels at 96 DPI, and weights.
const int kFontPixels[FONT_COUNT] = { 16, 19, 13, 13, 12, 12 };
const int kFontWeights[FONT_COUNT] = { FW_BOLD, FW_BOLD, FW_NORMAL, FW_BOLD, FW_NORMAL, FW_BOLD };

const Skin kSkins[kSkinCount] = {
    // A pitch under floodlights: green with mown stripes, white lines, gold.
    { kSkinNames[0], RGB(22, 118, 58), RGB(9, 70, 34), 7, RGB(4, 44, 22), RGB(6, 56, 28), RGB(246, 250, 244),
      RGB(176, 214, 186), RGB(255, 214, 72), RGB(255, 176, 40) },
    // The stadium at night: deep blue, cool light, an orange scoreboard.
    { kSkinNames[1], RGB(30, 38, 60), RGB(12, 15, 26), 0, RGB(74, 86, 120), RGB(42, 52, 80),
      RGB(234, 238, 248), RGB(150, 162, 190), RGB(128, 192, 255), RGB(255, 168, 56) },
    // Daylight paper in the host's colours: green headings, red for what is on now.
    { kSkinNames[2], RGB(255, 253, 246), RGB(244, 236, 216), 0, RGB(196, 178, 136), RGB(234, 225, 200),
      RGB(36, 34, 30), RGB(118, 108, 92), RGB(0, 122, 61), RGB(208, 36, 36) },
};

int Scale(int design, UINT dpi)
{
    return MulDiv(design, static_cast<int>(dpi), 96);
}

// Segoe UI where Windows has it (Vista on), Tahoma before.
bool FontInstalled(const WCHAR* face)
{
    WindowDc screen(nullptr);
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    EnumFontFamiliesExW(
        screen.Get(), &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM result) -> int {
            *reinterpret_cast<bool*>(result) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

COLORREF Brighter(COLORREF colour, int amount)
{
    auto channel = [amount](int value) { return value + amount > 255 ? 255 : value + amount; };
    return RGB(channel(GetRValue(colour)), channel(GetGValue(colour)), channel(GetBValue(colour)));
}

// `part` 256ths of `over` on `under`.
COLORREF Mixed(COLORREF under, COLORREF over, int part)
{
    auto channel = [part](int a, int b) { return a + (b - a) * part / 256; };
    return RGB(channel(GetRValue(under), GetRValue(over)), channel(GetGValue(under), GetGValue(over)),
               channel(GetBValue(under), GetBValue(over)));
}

void FillGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom)
{
    TRIVERTEX corners[2] = {};
    corners[0].x = area.left;
    corners[0].y = area.top;
    corners[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
    corners[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
    corners[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
    corners[1].x = area.right;
    corners[1].y = area.bottom;
    corners[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
    corners[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
    corners[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
    GRADIENT_RECT rect = { 0, 1 };
    GradientFill(dc, corners, 2, &rect, 1, GRADIENT_FILL_RECT_V);
}

void FillSolid(HDC dc, const RECT& area, COLORREF colour)
{
    SetDCBrushColor(dc, colour);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void DrawCell(HDC dc, const WCHAR* text, RECT area, HFONT font, COLORREF colour, UINT align)
{
    if (!text[0] || area.right <= area.left)
        return;
    SelectObject(dc, font);
    SetTextColor(dc, colour);
    DrawTextW(dc, text, -1, &area, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

int TextWidth(HDC dc, const WCHAR* text, HFONT font)
{
    SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
    return size.cx;
}

void DrawArrow(HDC dc, const ArrowPlace& arrow, const Skin& skin, UINT dpi)
{
    int half = Scale(kArrowSize, dpi) / 2;
    int cx = (arrow.bounds.left + arrow.bounds.right) / 2;
    int cy = (arrow.bounds.top + arrow.bounds.bottom) / 2;
    int tip = arrow.left ? -half : half;
    POINT points[3] = { { cx + tip, cy }, { cx - tip, cy - half }, { cx - tip, cy + half } };
    COLORREF colour = arrow.enabled ? skin.accent : skin.dim;
    SetDCBrushColor(dc, colour);
    SetDCPenColor(dc, colour);
    SelectObject(dc, GetStockObject(DC_BRUSH));
    SelectObject(dc, GetStockObject(DC_PEN));
    Polygon(dc, points, 3);
}

// A bar with an arrow at either end: the page bar and the day bar.
void PlaceArrows(WidgetLayout* layout, const RECT& bar, WORD left, bool leftEnabled, WORD right, bool rightEnabled,
                 UINT dpi)
{
    if (layout->arrowCount + 2 > kMaxArrows)
        return;
    int box = Scale(kArrowBox, dpi);
    ArrowPlace& a = layout->arrow[layout->arrowCount++];
    a = ArrowPlace{ { bar.left, bar.top, bar.left + box, bar.bottom }, left, leftEnabled, true };
    ArrowPlace& b = layout->arrow[layout->arrowCount++];
    b = ArrowPlace{ { bar.right - box, bar.top, bar.right, bar.bottom }, right, rightEnabled, false };
}

void PaintMatch(HDC dc, const ViewLine& line, const RECT& area, const WidgetFonts& fonts, const Skin& skin)
{
    UINT dpi = fonts.dpi;
    RECT time = area;
    time.right = area.left + Scale(kTimeWidth, dpi);
    DrawCell(dc, line.cell[0], time, fonts.font[FONT_BODY], skin.dim, DT_LEFT);
    HFONT resultFont = fonts.font[line.mark == MARK_LIVE ? FONT_BOLD : FONT_BODY];
    int resultWidth = line.cell[2][0] ? TextWidth(dc, line.cell[2], resultFont) : 0;
    int limit = (area.right - area.left) / 2;
    if (resultWidth > limit)
        resultWidth = limit;
    RECT result = area;
    result.left = area.right - resultWidth;
    DrawCell(dc, line.cell[2], result, resultFont, line.mark == MARK_LIVE ? skin.live : skin.text, DT_RIGHT);
    RECT teams = area;
    teams.left = time.right;
    teams.right = result.left - Scale(8, dpi);
    DrawCell(dc, line.cell[1], teams, fonts.font[FONT_BODY], skin.text, DT_LEFT);
}

// The day on the left; the zone's label, when there is one, at the right end.
void PaintDate(HDC dc, const ViewLine& line, const RECT& area, const WidgetFonts& fonts, const Skin& skin)
{
    HFONT font = fonts.font[FONT_SMALL];
    RECT day = area;
    if (line.cell[1][0]) {
        RECT label = area;
        label.left = area.right - TextWidth(dc, line.cell[1], font);
        if (label.left < (area.left + area.right) / 2)
            label.left = (area.left + area.right) / 2;
        DrawCell(dc, line.cell[1], label, font, skin.dim, DT_RIGHT);
        day.right = label.left - Scale(8, fonts.dpi);
    }
    DrawCell(dc, line.cell[0], day, font, skin.dim, DT_LEFT);
}

void PaintTableLine(HDC dc, const ViewLine& line, const RECT& area, const WidgetFonts& fonts, const Skin& skin)
{
    UINT dpi = fonts.dpi;
    bool head = line.style == LINE_TABLE_HEAD;
    RECT cell = area;
    cell.left = area.right;
    for (int i = 3; i >= 0; --i) {
        cell.right = cell.left;
        cell.left = cell.right - Scale(kTableColumns[i], dpi);
        DrawCell(dc, line.cell[i + 1], cell, fonts.font[FONT_SMALL], head ? skin.dim : skin.text, DT_RIGHT);
    }
    RECT name = area;
    name.right = cell.left - Scale(4, dpi);
    if (head) {
        DrawCell(dc, line.cell[0], name, fonts.font[FONT_SMALL_BOLD], skin.accent, DT_LEFT);
        return;
    }
    if (line.mark == MARK_QUALIFIED) {
        RECT marker = { area.left, area.top + Scale(4, dpi), area.left + Scale(3, dpi), area.bottom - Scale(4, dpi) };
        FillSolid(dc, marker, skin.accent);
    }
    name.left += Scale(7, dpi);
    DrawCell(dc, line.cell[0], name, fonts.font[line.mark == MARK_QUALIFIED ? FONT_SMALL_BOLD : FONT_SMALL],
             skin.text, DT_LEFT);
}

// The user's team's lines: a band in the skin's accent behind them, with a stripe at
// its left edge, under the texts' own colours.
void PaintMyTeamBand(HDC dc, const RECT& area, const Skin& skin, UINT dpi)
{
    int out = Scale(4, dpi);
    RECT band = { area.left - out, area.top, area.right + out, area.bottom };
    FillSolid(dc, band, Mixed(skin.bottom, skin.accent, 72));
    band.right = band.left + Scale(3, dpi);
    FillSolid(dc, band, skin.accent);
}

void PaintBar(HDC dc, const ViewLine& line, const RECT& area, const WidgetFonts& fonts, const Skin& skin)
{
    if (line.style == LINE_PAGE_BAR) {
        int round = Scale(8, fonts.dpi);
        SetDCBrushColor(dc, skin.bar);
        SetDCPenColor(dc, skin.bar);
        SelectObject(dc, GetStockObject(DC_BRUSH));
        SelectObject(dc, GetStockObject(DC_PEN));
        RoundRect(dc, area.left, area.top, area.right, area.bottom, round, round);
        DrawCell(dc, line.cell[0], area, fonts.font[FONT_BOLD], skin.text, DT_CENTER);
        return;
    }
    DrawCell(dc, line.cell[0], area, fonts.font[FONT_BODY], skin.text, DT_CENTER);
}

} // namespace

const Skin& GetSkin(int index)
{
    return kSkins[index >= 0 && index < kSkinCount ? index : 0];
}

bool CreateWidgetFonts(UINT dpi, WidgetFonts* fonts)
{
    *fonts = WidgetFonts();
    fonts->dpi = dpi;
    const WCHAR* face = FontInstalled(L"Segoe UI") ? L"Segoe UI" : L"Tahoma";
    OwnedGdi<HFONT> made[FONT_COUNT];
    for (int i = 0; i < FONT_COUNT; ++i) {
        LOGFONTW font = {};
        font.lfHeight = -Scale(kFontPixels[i], dpi);
        font.lfWeight = kFontWeights[i];
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
        made[i].Reset(CreateFontIndirectW(&font));
        if (!made[i])
            return false;
    }
    for (int i = 0; i < FONT_COUNT; ++i)
        fonts->font[i] = made[i].Release(); // the set's, until DestroyWidgetFonts
    return true;
}

void DestroyWidgetFonts(WidgetFonts* fonts)
{
    for (HFONT& font : fonts->font) {
        if (font)
            DeleteObject(font);
        font = nullptr;
    }
}

void LayOutWidget(const WidgetView& view, const WidgetFonts& fonts, WidgetLayout* layout)
{
    UINT dpi = fonts.dpi;
    int width = Scale(kWidth, dpi);
    int padding = Scale(kPadding, dpi);
    int columnWidth = (width - 2 * padding - Scale(kColumnGap, dpi)) / 2;
    layout->arrowCount = 0;
    layout->radius = Scale(kRadius, dpi);

    int y = padding;
    int columnTop = -1; // where the two columns begin
    int columnBottom[2] = { 0, 0 };
    for (int i = 0; i < view.lineCount; ++i) {
        const ViewLine& line = view.lines[i];
        const StyleMetrics& metrics = kMetrics[line.style];
        RECT& area = layout->line[i];
        area.left = padding;
        area.right = width - padding;
        if (line.style == LINE_TABLE_HEAD || line.style == LINE_TABLE_ROW) {
            if (columnTop < 0)
                columnTop = y;
            int column = line.column ? 1 : 0;
            if (column == 1 && columnBottom[1] == 0)
                y = columnTop;
            area.left = column ? width - padding - columnWidth : padding;
            area.right = area.left + columnWidth;
            bool firstInColumn = columnBottom[column] == 0;
            y += firstInColumn ? 0 : Scale(metrics.before, dpi);
            area.top = y;
            area.bottom = y + Scale(metrics.height, dpi);
            columnBottom[column] = area.bottom;
            y = area.bottom;
            continue;
        }
        y += Scale(metrics.before, dpi);
        area.top = y;
        area.bottom = y + Scale(metrics.height, dpi);
        y = area.bottom;
        if (line.style == LINE_PAGE_BAR)
            PlaceArrows(layout, area, CMD_PAGE_PREVIOUS, true, CMD_PAGE_NEXT, true, dpi);
        else if (line.style == LINE_DAY_BAR)
            PlaceArrows(layout, area, CMD_DAY_PREVIOUS, view.previousDay != 0, CMD_DAY_NEXT, view.nextDay != 0, dpi);
    }
    if (columnBottom[0] > y)
        y = columnBottom[0];
    if (columnBottom[1] > y)
        y = columnBottom[1];
    layout->size.cx = width;
    layout->size.cy = y + padding;
}

void PaintWidget(HDC dc, const WidgetView& view, const WidgetLayout& layout, const WidgetFonts& fonts,
                 const Skin& skin)
{
    UINT dpi = fonts.dpi;
    RECT whole = { 0, 0, layout.size.cx, layout.size.cy };
    FillGradient(dc, whole, skin.top, skin.bottom);
    if (skin.stripe) {
        int band = Scale(kStripeWidth, dpi);
        for (int x = band; x < whole.right; x += 2 * band) {
            RECT stripe = { x, 0, x + band, whole.bottom };
            FillGradient(dc, stripe, Brighter(skin.top, skin.stripe), Brighter(skin.bottom, skin.stripe));
        }
    }
    SetBkMode(dc, TRANSPARENT);

    for (int i = 0; i < view.lineCount; ++i) {
        const ViewLine& line = view.lines[i];
        const RECT& area = layout.line[i];
        if (line.mine)
            PaintMyTeamBand(dc, area, skin, dpi);
        switch (line.style) {
        case LINE_TITLE:
            DrawCell(dc, line.cell[0], area, fonts.font[FONT_TITLE], skin.text, DT_LEFT);
            break;
        case LINE_DATE:
            PaintDate(dc, line, area, fonts, skin);
            break;
        case LINE_PAGE_BAR:
        case LINE_DAY_BAR:
            PaintBar(dc, line, area, fonts, skin);
            break;
        case LINE_HEADLINE:
            DrawCell(dc, line.cell[0], area, fonts.font[FONT_HEADLINE], skin.accent, DT_LEFT);
            break;
        case LINE_HEADING:
            DrawCell(dc, line.cell[0], area, fonts.font[FONT_SMALL_BOLD], line.mark == MARK_LIVE ? skin.live : skin.accent,
                     DT_LEFT);
            break;
        case LINE_MATCH:
            PaintMatch(dc, line, area, fonts, skin);
            break;
        case LINE_TABLE_HEAD:
        case LINE_TABLE_ROW:
            PaintTableLine(dc, line, area, fonts, skin);
            break;
        default:
            DrawCell(dc, line.cell[0], area, fonts.font[FONT_BODY], skin.dim, DT_LEFT);
            break;
        }
    }
    for (int i = 0; i < layout.arrowCount; ++i)
        DrawArrow(dc, layout.arrow[i], skin, dpi);

    // The frame; the window's region rounds the corners to match.
    SetDCPenColor(dc, skin.border);
    SelectObject(dc, GetStockObject(DC_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, 0, 0, layout.size.cx, layout.size.cy, layout.radius, layout.radius);
}

WORD ArrowCommandAt(const WidgetLayout& layout, POINT point)
{
    for (int i = 0; i < layout.arrowCount; ++i) {
        const ArrowPlace& arrow = layout.arrow[i];
        if (arrow.enabled && PtInRect(&arrow.bounds, point))
            return arrow.command;
    }
    return 0;
}
