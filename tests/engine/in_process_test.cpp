// The engine loaded into this process as the Host loads it, with this test as its
// tray window:
// - it keeps no more than it needs: every call base.dll makes to create or release a
//   GDI object, a DC, a registry key, a kernel handle (files, and the network
//   worker's thread and events) or a heap block is counted
//   through its import table (Wine reports no GDI or handle counts for a process, so
//   the engine's own calls are the ledger). 1,000 commands (skin switches, page
//   flips, day browsing, collapse toggles, each repainted) leave the ledger as it
//   was, and ExitQuornel empties it;
// - it asks for the balloon at the user's lead (15 minutes unless told) before a kick-off on its clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/engine_settings.h"
#include "base/widget_drawing.h"
#include "engine_in_process.h"
#include "host/engine_interface.h"
#include "host/shared_settings.h"
#include "test_support.h"

namespace {

// The widget's own commands.
const WPARAM kPageNext = CMD_PAGE_NEXT, kDayPrevious = CMD_DAY_PREVIOUS, kDayNext = CMD_DAY_NEXT;

// What base.dll holds now: live objects by kind. Its network worker makes and
// releases some of them on a thread of its own.
std::map<void*, const char*> s_live;
std::mutex s_liveLock;

void Made(void* handle, const char* kind)
{
    std::lock_guard<std::mutex> hold(s_liveLock);
    if (handle && handle != INVALID_HANDLE_VALUE)
        s_live[handle] = kind;
}

void Released(void* handle, bool ok)
{
    std::lock_guard<std::mutex> hold(s_liveLock);
    if (ok)
        s_live.erase(handle);
}

int Live(const char* kind)
{
    std::lock_guard<std::mutex> hold(s_liveLock);
    int count = 0;
    for (const auto& entry : s_live)
        count += !strcmp(entry.second, kind);
    return count;
}

std::string Ledger()
{
    std::string text;
    for (const char* kind : { "gdi", "dc", "key", "handle", "heap" })
        text += std::string(kind) + "=" + std::to_string(Live(kind)) + " ";
    return text;
}

// The real functions, and the counting ones that base.dll calls instead.
#define REAL(name) decltype(&name) real_##name = &name
REAL(CreateFontIndirectW);
REAL(CreateCompatibleBitmap);
REAL(CreateRoundRectRgn);
REAL(CreateCompatibleDC);
REAL(DeleteObject);
REAL(DeleteDC);
REAL(SetWindowRgn);
REAL(GetDC);
REAL(ReleaseDC);
REAL(RegOpenKeyExW);
REAL(RegCreateKeyExW);
REAL(RegCloseKey);
REAL(CreateFileW);
REAL(CreateEventW);
REAL(CreateThread);
REAL(DuplicateHandle);
REAL(CloseHandle);
REAL(HeapAlloc);
REAL(HeapFree);
REAL(LoadImageW);

HFONT WINAPI CountedCreateFontIndirectW(const LOGFONTW* font)
{
    HFONT made = real_CreateFontIndirectW(font);
    Made(made, "gdi");
    return made;
}
HBITMAP WINAPI CountedCreateCompatibleBitmap(HDC dc, int cx, int cy)
{
    HBITMAP made = real_CreateCompatibleBitmap(dc, cx, cy);
    Made(made, "gdi");
    return made;
}
HRGN WINAPI CountedCreateRoundRectRgn(int a, int b, int c, int d, int e, int f)
{
    HRGN made = real_CreateRoundRectRgn(a, b, c, d, e, f);
    Made(made, "gdi");
    return made;
}
HDC WINAPI CountedCreateCompatibleDC(HDC dc)
{
    HDC made = real_CreateCompatibleDC(dc);
    Made(made, "dc");
    return made;
}
BOOL WINAPI CountedDeleteObject(HGDIOBJ object)
{
    BOOL ok = real_DeleteObject(object);
    Released(object, ok);
    return ok;
}
BOOL WINAPI CountedDeleteDC(HDC dc)
{
    BOOL ok = real_DeleteDC(dc);
    Released(dc, ok);
    return ok;
}
int WINAPI CountedSetWindowRgn(HWND window, HRGN region, BOOL redraw)
{
    int ok = real_SetWindowRgn(window, region, redraw);
    Released(region, ok != 0); // the window owns it from now on
    return ok;
}
HDC WINAPI CountedGetDC(HWND window)
{
    HDC dc = real_GetDC(window);
    Made(dc, "dc");
    return dc;
}
int WINAPI CountedReleaseDC(HWND window, HDC dc)
{
    int ok = real_ReleaseDC(window, dc);
    Released(dc, ok != 0);
    return ok;
}
LSTATUS WINAPI CountedRegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key)
{
    LSTATUS status = real_RegOpenKeyExW(root, path, options, access, key);
    if (status == ERROR_SUCCESS)
        Made(*key, "key");
    return status;
}
LSTATUS WINAPI CountedRegCreateKeyExW(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR cls, DWORD options,
                                      REGSAM access, const LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD done)
{
    LSTATUS status = real_RegCreateKeyExW(root, path, reserved, cls, options, access, security, key, done);
    if (status == ERROR_SUCCESS)
        Made(*key, "key");
    return status;
}
LSTATUS WINAPI CountedRegCloseKey(HKEY key)
{
    LSTATUS status = real_RegCloseKey(key);
    Released(key, status == ERROR_SUCCESS);
    return status;
}
HANDLE WINAPI CountedCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE model)
{
    HANDLE file = real_CreateFileW(path, access, share, security, disposition, flags, model);
    Made(file, "handle");
    return file;
}
HANDLE WINAPI CountedCreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manual, BOOL initial, LPCWSTR name)
{
    HANDLE event = real_CreateEventW(security, manual, initial, name);
    Made(event, "handle");
    return event;
}
HANDLE WINAPI CountedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                  LPVOID parameter, DWORD flags, LPDWORD id)
{
    HANDLE thread = real_CreateThread(security, stack, start, parameter, flags, id);
    Made(thread, "handle");
    return thread;
}
BOOL WINAPI CountedDuplicateHandle(HANDLE fromProcess, HANDLE from, HANDLE toProcess, LPHANDLE to, DWORD access,
                                   BOOL inherit, DWORD options)
{
    BOOL ok = real_DuplicateHandle(fromProcess, from, toProcess, to, access, inherit, options);
    if (ok)
        Made(*to, "handle");
    return ok;
}
BOOL WINAPI CountedCloseHandle(HANDLE handle)
{
    BOOL ok = real_CloseHandle(handle);
    Released(handle, ok);
    return ok;
}
LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size)
{
    LPVOID block = real_HeapAlloc(heap, flags, size);
    Made(block, "heap");
    return block;
}
BOOL WINAPI CountedHeapFree(HANDLE heap, DWORD flags, LPVOID block)
{
    BOOL ok = real_HeapFree(heap, flags, block);
    Released(block, ok);
    return ok;
}
HANDLE WINAPI CountedLoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int cx, int cy, UINT flags)
{
    HANDLE image = real_LoadImageW(module, name, type, cx, cy, flags);
    Made(image, "gdi");
    return image;
}

#define COUNT(name) qt::RedirectImport(engine, reinterpret_cast<void*>(real_##name), reinterpret_cast<void*>(&Counted##name))

void Pump()
{
    qt::PumpUntil([] { return true; }, 0);
}

// The balloon comes at the user's lead before a kick-off, 15 minutes unless told.
TEST(InProcessEngine, ReminderBalloonAtTheUsersLeadOnTheWidgetsClock)
{
    const struct {
        DWORD minutes; // 0: nothing stored
        const wchar_t* start;
        const wchar_t* balloon;
    } cases[] = {
        // The opening match kicks off at 18:00 (fixed zone); its mark is two seconds
        // after the widget's clock starts.
        { 0, L"/date=2010-06-11T17:44:58", L"Через 15 минут: ЮАР — Мексика" },
        { 21, L"/date=2010-06-11T17:38:58", L"Через 21 минуту: ЮАР — Мексика" },
    };
    for (const auto& c : cases) {
        qt::DeleteTree(SETTINGS_KEY);
        if (c.minutes)
            qt::WriteDword(SETTINGS_KEY, VALUE_REMINDER_MINUTES, c.minutes);
        HMODULE engine = LoadLibraryW(qt::BinPath(L"base.dll").c_str());
        ASSERT_TRUE(engine);
        qt::TestTray tray;
        DWORD start = GetTickCount();
        HWND widget = qt::RunEngine(engine, tray.window, c.start);
        ASSERT_TRUE(widget);
        qt::PumpUntil([&] { return !tray.balloons.empty(); });
        ASSERT_EQ(1u, tray.balloons.size()) << "no balloon after the mark";
        EXPECT_GE(GetTickCount() - start, 1900u) << "the balloon came before its mark";
        EXPECT_EQ(c.balloon, tray.balloons[0]);
        qt::ExitEngine(engine);
        FreeLibrary(engine);
    }
    qt::DeleteTree(SETTINGS_KEY);
}

TEST(InProcessEngine, ThousandCommandsKeepNothingAndExitReleasesEverything)
{
    qt::DeleteTree(SETTINGS_KEY);
    HMODULE engine = LoadLibraryW(qt::BinPath(L"base.dll").c_str());
    ASSERT_TRUE(engine);
    COUNT(CreateFontIndirectW);
    COUNT(CreateCompatibleBitmap);
    COUNT(CreateRoundRectRgn);
    COUNT(CreateCompatibleDC);
    COUNT(DeleteObject);
    COUNT(DeleteDC);
    COUNT(SetWindowRgn);
    COUNT(GetDC);
    COUNT(ReleaseDC);
    COUNT(RegOpenKeyExW);
    COUNT(RegCreateKeyExW);
    COUNT(RegCloseKey);
    COUNT(CreateFileW);
    COUNT(CreateEventW);
    COUNT(CreateThread);
    COUNT(DuplicateHandle);
    COUNT(CloseHandle);
    COUNT(HeapAlloc);
    COUNT(HeapFree);
    COUNT(LoadImageW);

    qt::TestTray tray;
    HWND widget = qt::RunEngine(engine, tray.window, L"/date=2010-06-25T19:00");
    ASSERT_TRUE(widget);
    Pump();

    const UINT commands[][2] = { { WM_ENGINE_SWITCH_SKIN, 0 }, { WM_COMMAND, kPageNext },
                                 { WM_ENGINE_COLLAPSE_ON, 0 }, { WM_ENGINE_COLLAPSE_OFF, 0 },
                                 { WM_COMMAND, kDayNext },     { WM_COMMAND, kDayPrevious } };
    auto round = [&] {
        for (const auto& command : commands) {
            SendMessageW(widget, command[0], command[1], 0);
            UpdateWindow(widget); // paints what the command changed
        }
        Pump();
    };
    round(); // every path once, before the ledger is read
    // The network's worker has done its start and waits once it has answered a test.
    tray.balloons.clear();
    SendMessageW(widget, WM_ENGINE_PROXY_TEST, 0, 0);
    qt::PumpUntil([&] { return !tray.balloons.empty(); });
    ASSERT_EQ(1u, tray.balloons.size()) << "the network's worker did not answer";
    std::string before = Ledger();
    for (int i = 0; i < 1000 / static_cast<int>(ARRAYSIZE(commands)) + 1; ++i)
        round();
    EXPECT_EQ(before, Ledger());
    EXPECT_GT(Live("gdi"), 0) << "the ledger saw none of the fonts";

    qt::ExitEngine(engine);
    EXPECT_EQ("gdi=0 dc=0 key=0 handle=0 heap=0 ", Ledger()) << "left behind by ExitQuornel";
    EXPECT_FALSE(IsWindow(widget));
    FreeLibrary(engine);
    qt::DeleteTree(SETTINGS_KEY);
}

} // namespace
