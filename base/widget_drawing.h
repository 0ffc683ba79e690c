// Layout and drawing of the widget's lines: the skins, the fonts at the monitor's
// DPI, where every line, cell and arrow goes, and the painting itself. Sizes are
// designed at 96 DPI and scaled, so the widget is crisp at any scale.
#pragma once

#include <windows.h>

#include "widget_content.h"

struct Skin {
    const WCHAR* name;          // as the widget's menu shows it
    COLORREF top, bottom;       // background, from top to bottom
    int stripe;                 // brightness of every other vertical band (0: none)
    COLORREF border, bar;       // the frame; the band behind the page bar
    COLORREF text, dim, accent; // lines; secondary text; headings and arrows
    COLORREF live;              // a match under way, the next kick-off's countdown
};
const int kSkinCount = 3;
const Skin& GetSkin(int index); // any index: out of range gives the first skin

// The fonts of one DPI; made together, released together.
enum WidgetFont { FONT_TITLE, FONT_HEADLINE, FONT_BODY, FONT_BOLD, FONT_SMALL, FONT_SMALL_BOLD, FONT_COUNT };
struct WidgetFonts {
    HFONT font[FONT_COUNT];
    UINT dpi;
};
bool CreateWidgetFonts(UINT dpi, WidgetFonts* fonts);
void DestroyWidgetFonts(WidgetFonts* fonts);

// Commands of the arrows (and of the widget's menu).
enum WidgetCommand : WORD {
    CMD_PAGE_PREVIOUS = 1001,
    CMD_PAGE_NEXT,
    CMD_DAY_PREVIOUS,
    CMD_DAY_NEXT,
    CMD_DAY_TODAY,
    CMD_PAGE_FIRST = 1010, // + the page: go to that page
    CMD_SKIN_FIRST = 1020, // + the skin's index
    CMD_WALLPAPER = 1030,
    CMD_TEAM_NONE = 1040,  // no favourite team
    CMD_TEAM_FIRST = 1041, // + the team's index: the favourite team
    CMD_LAYER_FIRST = 1080, // + a WidgetLayer
    CMD_LOCK = 1090,       // lock or unlock the widget's place
    CMD_SETTINGS = 1091,   // the settings dialog
    CMD_DOWNLOAD_NOW = 1092, // a download of the data file now
    CMD_GOAL_BALLOONS_FIRST = 1095, // + a GoalBalloons
    CMD_HIDE_SCORES = 1098,         // hide or show the scores
    CMD_UPDATE_CHECK = 1100,   // check for updates now
    CMD_UPDATE_INSTALL = 1101, // start the Loader, which installs the pending package
    CMD_REVEAL_FIRST = 1200,        // + a match's number: show that match's hidden score
};

struct ArrowPlace {
    RECT bounds;     // client coordinates: the part that takes the click
    WORD command;
    bool enabled;
    bool left;       // points left
};
const int kMaxArrows = 4;

struct WidgetLayout {
    SIZE size;                    // the whole widget, pixels
    RECT line[kMaxLines];         // every line of the view, client coordinates
    ArrowPlace arrow[kMaxArrows];
    int arrowCount;
    int radius;                   // of the rounded corners
};

// Places the view's lines at the fonts' DPI.
void LayOutWidget(const WidgetView& view, const WidgetFonts& fonts, WidgetLayout* layout);
// Paints the whole widget into dc (a memory DC of layout.size).
void PaintWidget(HDC dc, const WidgetView& view, const WidgetLayout& layout, const WidgetFonts& fonts,
                 const Skin& skin);
// The arrow under a client point; 0 for none (or a disabled one).
WORD ArrowCommandAt(const WidgetLayout& layout, POINT point);
