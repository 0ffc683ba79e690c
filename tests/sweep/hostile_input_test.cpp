// Hostile input from outside, bounded in count and time: random host-range
// messages, commands and copies from another process, registry values of every
// type and size, command-line tails of every length. Afterwards the Host still
// answers, ends cleanly on "Выход", leaked nothing and wrote nothing unsaved.
#include <gtest/gtest.h>

#include "test_support.h"
#include "base/network.h"
#include "base/widget_drawing.h"
#include "host/engine_interface.h"
#include "host/host_resources.h"
#include "host/shared_settings.h"

#include <commctrl.h>

#include <cstdio>
#include <random>

using namespace qt;

namespace {

const wchar_t kProxyCaption[] = L"Настройки прокси — кворнел Чемпионата мира по Футболу 2010";

struct Counts {
    int messages = 0, inputs = 0, failures = 0;
};

bool Answers(HWND window)
{
    DWORD_PTR ignored;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) != 0;
}

int TopLevelWindowsOf(DWORD processId)
{
    struct Search { DWORD id; int count; } search = { processId, 0 };
    EnumWindows([](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        WCHAR name[32] = L"";
        GetClassNameW(window, name, 32);
        // The widget makes its tooltip window on the first mouse move over it.
        s->count += owner == s->id && wcscmp(name, TOOLTIPS_CLASSW) != 0;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.count;
}

void CloseMenus()
{
    for (int i = 0; i < 5; ++i) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (!menu || !IsWindowVisible(menu))
            return;
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        WaitUntil([&] { return !IsWindowVisible(menu); }, 2000);
    }
}

class HostileInput : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::printf("sweep: %d messages sent, %d inputs tried, %d failures\n", counts.messages, counts.inputs,
                    counts.failures + (HasFailure() ? 1 : 0));
        CleanUpHost(run);
        DismissAllMessageBoxes(kHostCaption);
    }

    void Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR ignored;
        ++counts.messages;
        if (!SendMessageTimeoutW(run.tray, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored))
            ++counts.failures;
    }

    void SendCopy(ULONG_PTR kind, const std::string& bytes)
    {
        COPYDATASTRUCT copy = { kind, static_cast<DWORD>(bytes.size()), const_cast<char*>(bytes.data()) };
        Send(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
    }

    HostRun run;
    Counts counts;
    std::mt19937_64 random{ 20100611 };
};

TEST_F(HostileInput, MessagesCommandsAndCopiesFromAnotherProcess)
{
    DeleteTree(kMorvaneKey);
    ASSERT_TRUE(StartHost(run, L"sweep_messages", L""));
    const int windowsAtStart = TopLevelWindowsOf(run.process.id);
    auto proxyBefore = KeySnapshot(PROXY_KEY);

    const LPARAM mouse[] = { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, 0x402, 0x404 };
    const WPARAM commands[] = { IDM_CUSTOM_WALLPAPER, IDM_PROXY_SETTINGS, IDM_COLLAPSE, IDM_SWITCH_SKIN,
                                MAKEWPARAM(IDM_EXIT, 1), MAKEWPARAM(IDM_PROXY_SETTINGS, 1), 0, 0xFFFF };
    for (int i = 0; i < 3000; ++i) {
        switch (random() % 4) {
        case 0: { // the host range with any parameters (no right-button release: its menu is modal)
            UINT message = (WM_TRAY_CALLBACK & ~0xFFu) + static_cast<UINT>(random() % 0x100);
            LPARAM lParam = random() % 2 ? static_cast<LPARAM>(random()) : mouse[random() % 7];
            if (message == WM_TRAY_CALLBACK && lParam == WM_RBUTTONUP)
                lParam = 0;
            Send(message, static_cast<WPARAM>(random()), lParam);
            break;
        }
        case 1:
            Send(WM_COMMAND, random() % 2 ? commands[random() % 8] : static_cast<WPARAM>(random()) | 0x10000, 0);
            break;
        default: { // copies of any kind, size and content, mostly without a terminator
            std::string bytes(random() % 700, 0);
            for (char& c : bytes)
                c = static_cast<char>(random());
            SendCopy(random() % 3 ? 2 : random(), bytes);
            break;
        }
        }
    }
    SendCopy(2, std::string());
    SendCopy(2, std::string(1 << 20, '\x7f'));
    CloseMenus();

    EXPECT_TRUE(Answers(run.tray));
    EXPECT_TRUE(TrayIconPresent(run.tray));
    // The proxy dialog may have been opened by command 200; nothing else may appear.
    int proxyDialogs = FindWindowW(nullptr, kProxyCaption) ? 1 : 0;
    EXPECT_EQ(windowsAtStart + proxyDialogs, TopLevelWindowsOf(run.process.id));

    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
    EXPECT_FALSE(TrayIconPresent(run.tray));
    EXPECT_EQ(proxyBefore, KeySnapshot(PROXY_KEY)) << "an open dialog is not saved at exit";
    EXPECT_TRUE(KeySnapshot(SETTINGS_KEY).empty()) << "the Host never writes the settings key";
}

// The engine's window takes messages from any process: none of their parameters may
// serve as a pointer, an index or a size. A number posted as the network's report
// (WM_APP + 2 with lParam 4) once ended the Host.
TEST_F(HostileInput, GarbageInEveryParameterOfTheWidgetsMessages)
{
    DeleteTree(kMorvaneKey);
    auto desktopBefore = KeySnapshot(L"Control Panel\\Desktop");
    ASSERT_TRUE(StartWidgetHost(run, L"sweep_widget", L"/date=2010-06-22T21:00"));
    const int windowsAtStart = TopLevelWindowsOf(run.process.id);
    for (LPARAM number : { 4LL, -1LL, 0x10000LL, 0x7FFE0000LL })
        PostMessageW(run.widget, WM_NETWORK_REPORT, static_cast<WPARAM>(number), number);
    ASSERT_TRUE(Answers(run.widget)) << "the Host ended on a forged report";
    // The one record the widget reads from a message is WM_WINDOWPOSCHANGING's, which
    // the system builds: a posted one, garbage and all, never reaches the widget.
    EXPECT_FALSE(PostMessageW(run.widget, WM_WINDOWPOSCHANGING, 0, 4));
    ASSERT_TRUE(Answers(run.widget));

    // The right button's release opens a modal menu, the wallpaper commands would
    // change the desktop of every later test and the settings command opens a dialog:
    // those are left out, every other message
    // the widget handles goes in. Messages whose lParam the system carries across as a
    // record (WM_SETTINGCHANGE's text, WM_COPYDATA) get a real one, with garbage in it.
    const UINT messages[] = { WM_APP,           WM_APP + 1,       WM_NETWORK_REPORT, WM_APP + 3,  WM_APP + 0x3FFF,
                              WM_DPICHANGED,    WM_GETOBJECT,     WM_TIMER,        WM_TIMECHANGE, WM_DISPLAYCHANGE,
                              WM_COMMAND,       WM_LBUTTONDOWN,   WM_MOUSEMOVE,    WM_LBUTTONUP,  WM_CAPTURECHANGED,
                              WM_SETCURSOR,     WM_MOUSEACTIVATE, WM_CLOSE,        WM_SETTINGCHANGE, WM_COPYDATA,
                              WM_TRAY_CALLBACK, WM_TRAY_SET_STATE, WM_ENGINE_TRAY_DBLCLK, WM_ENGINE_PROXY_CLOSED,
                              WM_ENGINE_PROXY_TEST, WM_ENGINE_SWITCH_SKIN, WM_ENGINE_COLLAPSE_OFF,
                              WM_ENGINE_COLLAPSE_ON, WM_ENGINE_COLLAPSE_ON + 1 };
    const LPARAM small[] = { 0, 1, -1, 4, 0xFFFF, static_cast<LPARAM>(OBJID_CLIENT), 0x7FFFFFFF };
    for (int i = 0; i < 3000; ++i) {
        UINT message = messages[random() % ARRAYSIZE(messages)];
        WPARAM wParam = random() % 2 ? static_cast<WPARAM>(random()) : static_cast<WPARAM>(small[random() % 7]);
        LPARAM lParam = random() % 2 ? static_cast<LPARAM>(random()) : small[random() % 7];
        if (message == WM_COMMAND && (LOWORD(wParam) == CMD_WALLPAPER || LOWORD(wParam) == CMD_SETTINGS))
            wParam = 0; // the settings dialog is a window of the Host's process, counted below
        if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT) && i % 50)
            lParam = 0; // each answered request leaves a marshalled object for its reader: a few only
        if (message == WM_SETTINGCHANGE) {
            const wchar_t* areas[] = { L"Policy", L"intl", L"\x2592\x2593" };
            DWORD_PTR ignored;
            ++counts.messages;
            if (!SendMessageTimeoutW(run.widget, message, wParam,
                                     random() % 2 ? 0 : reinterpret_cast<LPARAM>(areas[random() % 3]),
                                     SMTO_ABORTIFHUNG, 5000, &ignored))
                ++counts.failures;
            continue;
        }
        if (message == WM_COPYDATA) {
            std::string bytes(random() % 300, 0);
            for (char& c : bytes)
                c = static_cast<char>(random());
            COPYDATASTRUCT copy = { static_cast<ULONG_PTR>(random()), static_cast<DWORD>(bytes.size()), &bytes[0] };
            DWORD_PTR ignored;
            ++counts.messages;
            SendMessageTimeoutW(run.widget, WM_COPYDATA, wParam, reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG,
                                5000, &ignored);
            continue;
        }
        ++counts.messages;
        if (random() % 2) {
            PostMessageW(run.widget, message, wParam, lParam);
        } else {
            DWORD_PTR ignored;
            if (!SendMessageTimeoutW(run.widget, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &ignored))
                ++counts.failures;
        }
    }
    SendMessageW(run.widget, WM_LBUTTONUP, 0, 0); // ends a drag the sweep may have begun
    CloseMenus();

    EXPECT_TRUE(Answers(run.widget));
    EXPECT_TRUE(Answers(run.tray));
    EXPECT_TRUE(IsWindowVisible(run.widget));
    EXPECT_EQ(windowsAtStart, TopLevelWindowsOf(run.process.id));
    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(desktopBefore, KeySnapshot(L"Control Panel\\Desktop"));
    DeleteTree(kMorvaneKey);
}

TEST_F(HostileInput, RegistryValuesOfEveryTypeAndSize)
{
    DeleteTree(kMorvaneKey);
    ASSERT_TRUE(StartHost(run, L"sweep_registry", L""));
    const DWORD types[] = { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
                            REG_MULTI_SZ, REG_QWORD };
    const DWORD sizes[] = { 0, 1, 3, 5, 519, 520, 521, 4096 };
    const wchar_t* proxyValues[] = { VALUE_PROXY_TYPE, VALUE_PROXY_SERVER, VALUE_PROXY_USER, VALUE_PROXY_PASSWORD };
    HKEY proxy, settings;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, PROXY_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &proxy, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, SETTINGS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &settings, nullptr));

    for (DWORD type : types) {
        for (DWORD size : sizes) {
            SCOPED_TRACE(testing::Message() << "type " << type << " size " << size);
            // Text-like data without a terminator anywhere: "mmmm…" ('m' in both bytes).
            std::string data(size, 'm');
            for (const wchar_t* name : proxyValues)
                RegSetValueExW(proxy, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), size);
            RegSetValueExW(settings, VALUE_USE_CUSTOM_WALLPAPER, 0, type, reinterpret_cast<const BYTE*>(data.data()), size);
            auto before = KeySnapshot(PROXY_KEY);
            ++counts.inputs;

            // The menu reads the wallpaper flag; the dialog reads the proxy values.
            PostMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
            WaitUntil([] { HWND m = FindWindowW(L"#32768", nullptr); return m && IsWindowVisible(m); }, 5000);
            CloseMenus();
            Send(WM_COMMAND, IDM_PROXY_SETTINGS, 0);
            HWND dialog = WaitForWindow(L"#32770", kProxyCaption, 5000);
            ASSERT_NE(nullptr, dialog);
            // Only REG_SZ counts, cut where its data ends; 260 units or more are absent.
            int shown = type == REG_SZ && size / 2 <= 259 ? static_cast<int>(size / 2) : 0;
            for (int id : { 1003, 1004, 1005 }) {
                wchar_t text[1024] = {};
                EXPECT_EQ(shown, GetDlgItemTextW(dialog, id, text, 1024));
            }
            EXPECT_EQ(before, KeySnapshot(PROXY_KEY)) << "opening must not write";
            EXPECT_TRUE(Answers(run.tray));
            // Tear-down of an open dialog saves nothing; the user's close would.
            SendMessageW(dialog, WM_CLOSE, 0, 0);
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000));
            for (const wchar_t* name : proxyValues) {
                RegValue saved = ReadValue(PROXY_KEY, name);
                ASSERT_TRUE(saved.exists);
                EXPECT_EQ(static_cast<DWORD>(REG_SZ), saved.type);
                const std::vector<BYTE>& bytes = saved.data;
                EXPECT_TRUE(bytes.size() >= 2 && bytes.size() <= 520 && bytes.size() % 2 == 0);
                EXPECT_EQ(0, bytes[bytes.size() - 1] | bytes[bytes.size() - 2]) << "stored text ends in its NUL";
            }
        }
    }
    RegCloseKey(proxy);
    RegCloseKey(settings);
    EXPECT_TRUE(Answers(run.tray));
    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
}

// Tails of every length, some with unpaired surrogates, to both programs.
std::wstring RandomTail(std::mt19937_64& random, size_t length)
{
    std::wstring tail(length, L'a');
    for (wchar_t& c : tail) {
        switch (random() % 6) {
        case 0: c = static_cast<wchar_t>(0xD800 + random() % 0x800); break; // lone surrogate halves
        case 1: c = static_cast<wchar_t>(0x0410 + random() % 0x40); break;  // Cyrillic
        case 2: c = L' '; break;
        case 3: c = L'"'; break;
        default: c = static_cast<wchar_t>(0x21 + random() % 0x5E); break;
        }
    }
    return tail;
}

TEST_F(HostileInput, CommandLineTailsOfEveryLength)
{
    const size_t lengths[] = { 0, 1, 249, 250, 251, 998, 999, 1000, 5000, 32000, 40000 };
    for (size_t length : lengths) {
        SCOPED_TRACE(testing::Message() << "tail of " << length);
        std::wstring tail = RandomTail(random, length);
        tail.erase(0, tail.find_first_not_of(L' ')); // the tail begins after the blanks
        ++counts.inputs;
        if (tail.find(L"/exit") != std::wstring::npos || tail.find(L"/firstrun") != std::wstring::npos)
            continue;

        // The Host hands at most 999 units to the engine.
        ASSERT_TRUE(StartHost(run, L"sweep_tail", tail)) << "the Host must start with any tail";
        auto runLine = LogLines(run.log, L"run");
        ASSERT_EQ(1u, runLine.size());
        EXPECT_EQ(std::to_wstring((std::min)(tail.size(), static_cast<size_t>(999))), Field(runLine[0], L"cmdlen"));
        DWORD code = 1;
        ASSERT_TRUE(ExitHost(run, &code));
        EXPECT_EQ(0u, code);

        // The Loader passes at most 250 units on and starts the Host either way.
        run.dir = MakeWorkDir(L"sweep_loader");
        MakeInstallFolder(run.dir);
        CopyFileW(BinPath(L"tessmark_quornel_loader.exe").c_str(), (run.dir + L"\\tessmark_quornel_loader.exe").c_str(), FALSE);
        run.log = run.dir + L"\\engine.log";
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", run.log.c_str());
        Process loader = Start(run.dir + L"\\tessmark_quornel_loader.exe", L"tessmark_quornel_loader.exe " + tail, run.dir);
        DWORD loaderCode = 1;
        ASSERT_TRUE(WaitExit(loader, kWaitMs, &loaderCode));
        EXPECT_EQ(0u, loaderCode);
        ASSERT_TRUE(WaitForLogLine(run.log, kRunLogged));
        size_t passed = wcstoul(Field(LogLines(run.log, L"run")[0], L"cmdlen").c_str(), nullptr, 10);
        EXPECT_LE(passed, 250u);
        EXPECT_GE(passed, (std::min)(tail.size(), static_cast<size_t>(249)));
        HWND tray = WaitForWindow(L"tray_wnd", kTrayTitle);
        ASSERT_NE(nullptr, tray);
        DWORD hostId = 0;
        GetWindowThreadProcessId(tray, &hostId);
        run.process.handle = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION, FALSE, hostId);
        run.tray = tray;
        ASSERT_TRUE(ExitHost(run, &code));
        EXPECT_EQ(0u, code);
    }
}

} // namespace
