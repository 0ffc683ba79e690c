// quornel_drive COMMAND: acts on the running widget as a user would and waits
// (at most 10 s) until the result is on the screen. Exit code 0 when it is.
//   widget   wait for the widget's window
//   nowidget wait until no widget window is left
//   tray N   send the tray window command N (210 collapse, 220 switch skin, ...)
//   page N   show the widget's page N (0 matches, 1 groups, 2 knock-out rounds)
//   day N    move the widget's match day N days on (negative: back)
//   command N  send the widget its command N (1030: its wallpaper on/off)
//   dpi N    tell the widget that its monitor's DPI is now N
//   place    print the widget's place on the screen as WxH+X+Y
//   widgetmenu  right-click the widget: its own menu opens
//   hoverline TEXT  put the mouse on the widget's line that begins with TEXT (found as
//            a screen reader finds it) and wait for its tooltip
//   menu     right-click the tray icon: the tray menu opens at (900, 740)
//   close    close an open menu
//   proxy    pick "Настройки прокси..." and wait for the dialog
//   toggle   click the dialog's "Автоматически" checkbox
//   fill     type a server, login and password into the dialog
//   wizard   wait for the setup's or the uninstaller's window; prints its place on
//            the screen as WxH+X+Y (for cutting it out of a screenshot)
//   dialog N the same for the visible dialog that has a control of id N
//   next     press its default button ("Далее", "Установить", "Готово", ...)
//   hold     keep a hidden window on the desktop until the prefix stops (test runs
//            start it first, so that Wine's desktop and services are started once,
//            by a process whose output nobody waits for)
#include <windows.h>

#include <oleacc.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "host/engine_interface.h"
#include "host/host_resources.h"

namespace {

const wchar_t kTrayTitle[] = L"Quornel Football World Cup 2010";
const wchar_t kWidgetClass[] = L"quornel_widget";
// The widget's own commands (base/widget_drawing.h).
const WPARAM kWidgetDayBack = 1003, kWidgetDayOn = 1004, kWidgetPageCommand = 1010;
const wchar_t kProxyCaption[] = L"Настройки прокси — кворнел Чемпионата мира по Футболу 2010";

template <class F> bool WaitFor(F done)
{
    for (int i = 0; i < 500; ++i) {
        if (done())
            return true;
        Sleep(20);
    }
    return false;
}

HWND VisibleMenu(void)
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// A visible dialog with a control of that id.
HWND DialogWith(int control)
{
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
        if (IsWindowVisible(w) && GetDlgItem(w, control))
            return w;
    }
    return nullptr;
}

// The setup's wizard: a visible dialog with a Back button (id 3), as NSIS makes it.
HWND Wizard(void)
{
    return DialogWith(3);
}

// The screen place of the widget's line that begins with `start`, as a screen
// reader finds it.
bool LinePlace(HWND widget, const wchar_t* start, RECT* place)
{
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(widget, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object))))
        return false;
    long count = 0;
    object->get_accChildCount(&count);
    bool found = false;
    for (long id = 1; id <= count && !found; ++id) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        BSTR name = nullptr;
        long x, y, cx, cy;
        if (object->get_accName(child, &name) == S_OK && name && !wcsncmp(name, start, wcslen(start)) &&
            object->accLocation(&x, &y, &cx, &cy, child) == S_OK) {
            *place = { x, y, x + cx, y + cy };
            found = true;
        }
        SysFreeString(name);
    }
    object->Release();
    return found;
}

bool TooltipShown(void)
{
    for (HWND w = FindWindowExW(nullptr, nullptr, L"tooltips_class32", nullptr); w;
         w = FindWindowExW(nullptr, w, L"tooltips_class32", nullptr)) {
        if (IsWindowVisible(w))
            return true;
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    const wchar_t* command = argv[1];
    if (!wcscmp(command, L"hold")) {
        CreateWindowExW(0, L"STATIC", L"quornel_drive hold", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        return 0;
    }
    if (!wcscmp(command, L"wizard") || !wcscmp(command, L"dialog")) {
        // "dialog N": the dialog with control N, as "wizard" the setup's.
        int control = argc > 2 ? _wtoi(argv[2]) : 3;
        HWND wizard = nullptr;
        if (!WaitFor([&] { return (wizard = DialogWith(control)) != nullptr; }))
            return 1;
        RECT frame;
        GetWindowRect(wizard, &frame);
        wprintf(L"%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
        return 0;
    }
    if (!wcscmp(command, L"next")) {
        HWND wizard = nullptr;
        if (!WaitFor([&] { return (wizard = Wizard()) != nullptr && IsWindowEnabled(GetDlgItem(wizard, IDOK)); }))
            return 1;
        PostMessageW(wizard, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(wizard, IDOK)));
        return 0;
    }
    if (!wcscmp(command, L"widget"))
        return WaitFor([] { return FindWindowW(kWidgetClass, nullptr) != nullptr; }) ? 0 : 1;
    if (!wcscmp(command, L"nowidget"))
        return WaitFor([] { return FindWindowW(kWidgetClass, nullptr) == nullptr; }) ? 0 : 1;
    if (!wcscmp(command, L"hoverline") && argc > 2) {
        HWND widget = nullptr;
        RECT place;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (!WaitFor([&] { return (widget = FindWindowW(kWidgetClass, nullptr)) != nullptr; }) ||
            !LinePlace(widget, argv[2], &place))
            return 1;
        // A first move makes the tooltips, the second one stays put for them.
        SetCursorPos(place.left + 20, (place.top + place.bottom) / 2);
        Sleep(100);
        SetCursorPos(place.left + 24, (place.top + place.bottom) / 2);
        return WaitFor(TooltipShown) ? 0 : 1;
    }
    if (!wcscmp(command, L"page") || !wcscmp(command, L"day") || !wcscmp(command, L"command") ||
        !wcscmp(command, L"dpi") || !wcscmp(command, L"place") || !wcscmp(command, L"widgetmenu")) {
        HWND widget = nullptr;
        if (!WaitFor([&] { return (widget = FindWindowW(kWidgetClass, nullptr)) != nullptr; }))
            return 1;
        int n = argc > 2 ? _wtoi(argv[2]) : 0;
        RECT frame;
        GetWindowRect(widget, &frame);
        if (!wcscmp(command, L"place")) {
            wprintf(L"%ldx%ld+%ld+%ld\n", frame.right - frame.left, frame.bottom - frame.top, frame.left, frame.top);
        } else if (!wcscmp(command, L"widgetmenu")) {
            LPARAM at = MAKELPARAM(40, 30);
            PostMessageW(widget, WM_RBUTTONUP, 0, at);
            return WaitFor([] { return VisibleMenu() != nullptr; }) ? 0 : 1;
        } else if (!wcscmp(command, L"dpi")) {
            SendMessageW(widget, WM_DPICHANGED, MAKEWPARAM(n, n), reinterpret_cast<LPARAM>(&frame));
        } else if (command[0] == L'p') {
            SendMessageW(widget, WM_COMMAND, kWidgetPageCommand + n, 0);
        } else if (command[0] == L'c') {
            SendMessageW(widget, WM_COMMAND, n, 0);
        } else {
            for (int i = 0; i < (n < 0 ? -n : n); ++i)
                SendMessageW(widget, WM_COMMAND, n < 0 ? kWidgetDayBack : kWidgetDayOn, 0);
        }
        return 0;
    }
    HWND tray = nullptr;
    if (!WaitFor([&] { return (tray = FindWindowW(L"tray_wnd", kTrayTitle)) != nullptr; }))
        return 1;
    if (!wcscmp(command, L"tray")) {
        if (argc < 3)
            return 2;
        SendMessageW(tray, WM_COMMAND, _wtoi(argv[2]), 0);
        return 0;
    }
    if (!wcscmp(command, L"menu")) {
        SetCursorPos(900, 740);
        PostMessageW(tray, WM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
        return WaitFor([] { return VisibleMenu() != nullptr; }) ? 0 : 1;
    }
    if (!wcscmp(command, L"close")) {
        if (HWND menu = VisibleMenu())
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        return WaitFor([] { return VisibleMenu() == nullptr; }) ? 0 : 1;
    }
    if (!wcscmp(command, L"proxy")) {
        SetCursorPos(700, 600);
        PostMessageW(tray, WM_COMMAND, IDM_PROXY_SETTINGS, 0);
        return WaitFor([] { return FindWindowW(L"#32770", kProxyCaption) != nullptr; }) ? 0 : 1;
    }
    HWND dialog = FindWindowW(L"#32770", kProxyCaption);
    if (!dialog)
        return 1;
    if (!wcscmp(command, L"toggle")) {
        SendMessageW(GetDlgItem(dialog, 1000), BM_CLICK, 0, 0);
        return 0;
    }
    if (!wcscmp(command, L"fill")) {
        SetDlgItemTextW(dialog, 1003, L"proxy.example.net:3128");
        SetDlgItemTextW(dialog, 1004, L"болельщик");
        SetDlgItemTextW(dialog, 1005, L"secret");
        return 0;
    }
    return 2;
}
