#include "widget_menu.h"

#include "owners.h"
#include "widget_drawing.h"
#include "widget_texts.h"

namespace {

void AppendMenuItem(HMENU menu, UINT id, const WCHAR* text, bool checked, bool enabled = true)
{
    UINT flags = MF_STRING | (checked ? MF_CHECKED : 0) | (enabled ? 0 : MF_GRAYED);
    AppendMenuW(menu, flags, id, text);
}

} // namespace

WORD ChooseFromWidgetMenu(HWND widget, POINT at, const WidgetMenuState& state)
{
    OwnedMenu menu(CreatePopupMenu());
    OwnedMenu skins(CreatePopupMenu());
    if (!menu || !skins)
        return 0;
    for (int page = 0; page < PAGE_COUNT; ++page)
        AppendMenuItem(menu.Get(), CMD_PAGE_FIRST + page, kPageNames[page], state.page == page);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuItem(menu.Get(), CMD_DAY_PREVIOUS, kPreviousMatchDay, false, state.previousDay);
    AppendMenuItem(menu.Get(), CMD_DAY_NEXT, kNextMatchDay, false, state.nextDay);
    AppendMenuItem(menu.Get(), CMD_DAY_TODAY, kToday, false);
    AppendMenuW(menu.Get(), MF_SEPARATOR, 0, nullptr);
    for (int skin = 0; skin < kSkinCount; ++skin)
        AppendMenuItem(skins.Get(), CMD_SKIN_FIRST + skin, GetSkin(skin).name, state.skin == skin);
    if (AppendMenuW(menu.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(skins.Get()), kSkinMenu))
        skins.Release(); // destroyed with the menu
    AppendMenuItem(menu.Get(), CMD_WALLPAPER, kWallpaperItem, state.wallpaper);

    // A menu closes on a click elsewhere only while its thread is in the foreground;
    // the user's window gets the focus back afterwards.
    HWND previous = GetForegroundWindow();
    SetForegroundWindow(widget);
    UINT command = static_cast<UINT>(
        TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, widget, nullptr));
    PostMessageW(widget, WM_NULL, 0, 0);
    if (previous && previous != widget)
        SetForegroundWindow(previous);
    return static_cast<WORD>(command);
}
