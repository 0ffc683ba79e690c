#include "widget_tips.h"

#include <commctrl.h>

#include "system_library.h"

namespace {

typedef BOOL(WINAPI* InitCommonControlsExFn)(const INITCOMMONCONTROLSEX*);

const int kTipWidth = 360; // pixels at 96 DPI: a longer text wraps

HWND s_tips;
int s_toolCount;
DWORD s_fingerprint; // of the tips set: their places and texts

// FNV-1a over the bytes, from `hash` on.
DWORD Fingerprint(DWORD hash, const void* bytes, DWORD size)
{
    const BYTE* at = static_cast<const BYTE*>(bytes);
    for (DWORD i = 0; i < size; ++i)
        hash = (hash ^ at[i]) * 16777619u;
    return hash;
}

DWORD FingerprintOf(const MatchTip* tips, int count, UINT dpi)
{
    DWORD hash = Fingerprint(2166136261u, &dpi, sizeof(dpi));
    for (int i = 0; i < count; ++i) {
        hash = Fingerprint(hash, &tips[i].place, sizeof(tips[i].place));
        hash = Fingerprint(hash, tips[i].text, static_cast<DWORD>(lstrlenW(tips[i].text) * sizeof(WCHAR)));
    }
    return hash;
}

// The version 5 control refuses the newest record's size; this one every version takes.
TOOLINFOW ToolOf(HWND widget, int id)
{
    TOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = widget;
    tool.uId = static_cast<UINT_PTR>(id);
    return tool;
}

bool MakeTips(HWND widget)
{
    InitCommonControlsExFn init = SystemFunction<InitCommonControlsExFn>(L"comctl32.dll", "InitCommonControlsEx");
    INITCOMMONCONTROLSEX classes = { sizeof(classes), ICC_BAR_CLASSES };
    if (!init || !init(&classes))
        return false;
    // Shown over an inactive widget too: on the desktop it never has the activation.
    s_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, widget, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(widget, GWLP_HINSTANCE)), nullptr);
    s_toolCount = 0;
    s_fingerprint = 0;
    return s_tips != nullptr;
}

} // namespace

void SetMatchTips(HWND widget, const MatchTip* tips, int count, UINT dpi, bool create)
{
    if (!s_tips && (!create || !MakeTips(widget)))
        return;
    DWORD fingerprint = FingerprintOf(tips, count, dpi);
    if (fingerprint == s_fingerprint && s_toolCount == count)
        return;
    for (int id = 1; id <= s_toolCount; ++id) {
        TOOLINFOW tool = ToolOf(widget, id);
        SendMessageW(s_tips, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    s_toolCount = 0;
    SendMessageW(s_tips, TTM_SETMAXTIPWIDTH, 0, MulDiv(kTipWidth, static_cast<int>(dpi), 96));
    for (int i = 0; i < count; ++i) {
        TOOLINFOW tool = ToolOf(widget, i + 1);
        tool.uFlags = TTF_SUBCLASS; // the control sees the widget's mouse by itself
        tool.rect = tips[i].place;
        tool.lpszText = const_cast<WCHAR*>(tips[i].text);
        if (SendMessageW(s_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)))
            s_toolCount = i + 1;
        else
            break;
    }
    s_fingerprint = fingerprint;
}

HWND MatchTipsWindow(void)
{
    return s_tips;
}

void DestroyMatchTips(void)
{
    if (s_tips)
        DestroyWindow(s_tips);
    s_tips = nullptr;
    s_toolCount = 0;
    s_fingerprint = 0;
}
