// The Host from start to end: start-up checks, the engine calls, "Выход", "/exit",
// one widget of the family at a time, the command line handed to the engine.
#include <gtest/gtest.h>

#include "test_support.h"
#include "host/engine_interface.h"
#include "host/host_resources.h"

#include <sddl.h>

using namespace qt;

namespace {

class HostLifetime : public ::testing::Test {
protected:
    void TearDown() override
    {
        CleanUpHost(run);
        CleanUpHost(second);
        for (HWND window : familyWindows)
            DestroyWindow(window);
        if (familyMutex)
            CloseHandle(familyMutex);
    }

    // A window of another widget of the family, owned by this test process.
    void OpenFamilyWindow(const wchar_t* title)
    {
        familyWindows.push_back(CreateWindowExW(0, L"STATIC", title, WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                GetModuleHandleW(nullptr), nullptr));
    }

    // Starts a second Host that must refuse; returns the text of its box ("" if none)
    // and checks it ended with exit code 0 without running the engine.
    std::wstring SecondStartRefusal(const std::wstring& name)
    {
        std::wstring dir = MakeWorkDir(name);
        MakeInstallFolder(dir);
        std::wstring log = dir + L"\\engine.log";
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", log.c_str());
        second.process = Start(HostExe(dir), L"football ", dir);
        std::wstring text;
        HANDLE ended = second.process.handle;
        WaitUntil([&] { return FindWindowW(L"#32770", kHostCaption) || WaitForSingleObject(ended, 0) == 0; });
        if (HWND box = FindWindowW(L"#32770", kHostCaption)) {
            text = MessageBoxText(box);
            DismissMessageBox(box);
        }
        DWORD code = 1;
        EXPECT_TRUE(WaitExit(second.process, kWaitMs, &code));
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(ReadLog(log).empty()) << "the refused Host must not reach the engine";
        return text;
    }

    HostRun run, second;
    std::vector<HWND> familyWindows;
    HANDLE familyMutex = nullptr;
};

TEST_F(HostLifetime, StartsAddsIconRunsEngineAndExitsCleanly)
{
    ASSERT_TRUE(StartHost(run, L"lifetime", L""));
    EXPECT_TRUE(TrayIconPresent(run.tray));
    EXPECT_FALSE(IsWindowVisible(run.tray));

    // The icon is added before the engine runs, online, with the full record.
    auto lines = ReadLog(run.log);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(0u, lines[0].find(L"notify\t"));
    EXPECT_EQ(L"0", Field(lines[0], L"action"));
    EXPECT_EQ(L"976", Field(lines[0], L"cb"));
    EXPECT_EQ(L"7", Field(lines[0], L"flags"));
    EXPECT_EQ(L"12294", Field(lines[0], L"callback"));
    EXPECT_EQ(L"1", Field(lines[0], L"result"));
    EXPECT_EQ(L"Чeмпионат Мира по Футболу 2010", Field(lines[0], L"tip"));
    EXPECT_EQ(0u, lines[1].find(L"run\t"));
    EXPECT_EQ(L"0,0,0", Field(lines[1], L"result")) << "Result must be zeroed before the call";

    auto dir = LogLines(run.log, L"dir");
    ASSERT_EQ(1u, dir.size());
    wchar_t full[MAX_PATH];
    GetFullPathNameW(run.dir.c_str(), MAX_PATH, full, nullptr);
    EXPECT_EQ(std::wstring(L"dir\t") + full, dir[0]);

    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
    EXPECT_FALSE(TrayIconPresent(run.tray));
    EXPECT_EQ(L"2", Field(LogLines(run.log, L"notify").back(), L"action"));
}

TEST_F(HostLifetime, ExitSwitchStopsTheRunningHostAndWaitsForIt)
{
    ASSERT_TRUE(StartHost(run, L"exit_running", L""));
    // With its tray menu open: the menu's own loop must not keep the Host alive.
    PostMessageW(run.tray, WM_TRAY_CALLBACK, 0, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)) != FALSE; }));
    std::wstring dir = MakeWorkDir(L"exit_caller");
    MakeInstallFolder(dir, false);
    Process caller = Start(HostExe(dir), L"football /exit", dir);
    DWORD callerCode = 1;
    ASSERT_TRUE(WaitExit(caller, kWaitMs, &callerCode));
    EXPECT_EQ(0u, callerCode);
    // The caller returns only after the running Host has ended.
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(run.process.handle, 0));
    DWORD code = 1;
    ASSERT_TRUE(WaitExit(run.process, 0, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
    EXPECT_FALSE(TrayIconPresent(run.tray));
    EXPECT_FALSE(IsWindow(run.tray));
    // WM_DESTROY reached the window twice (from "/exit", then the tear-down); only
    // the first removed the icon.
    auto notify = LogLines(run.log, L"notify");
    ASSERT_EQ(2u, notify.size());
    EXPECT_EQ(L"2", Field(notify[1], L"action"));
    EXPECT_NE(L"0000000000000000", Field(notify[1], L"icon"));
}

TEST_F(HostLifetime, RestartedShellAfterWmDestroyGetsNoIconBack)
{
    ASSERT_TRUE(StartHost(run, L"destroyed_tray", L""));
    // Both queued at once, so the window still exists when the broadcast comes.
    SendNotifyMessageW(run.tray, WM_DESTROY, 0, 0);
    SendNotifyMessageW(run.tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(WaitExit(run.process, kWaitMs, nullptr));
    auto notify = LogLines(run.log, L"notify");
    ASSERT_EQ(2u, notify.size()) << "the add at start, one delete, nothing after";
    EXPECT_EQ(L"2", Field(notify[1], L"action"));
}

TEST_F(HostLifetime, ExitSwitchWithoutRunningHostEndsAtOnceAndSilently)
{
    std::wstring dir = MakeWorkDir(L"exit_alone");
    MakeInstallFolder(dir, false);
    std::wstring log = dir + L"\\engine.log";
    SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", log.c_str());
    Process caller = Start(HostExe(dir), L"football /exit", dir);
    DWORD code = 1;
    ASSERT_TRUE(WaitExit(caller, kWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", kHostCaption));
    EXPECT_TRUE(ReadLog(log).empty());
}

TEST_F(HostLifetime, SecondStartIsRefusedAndTheFirstRunsOn)
{
    ASSERT_TRUE(StartHost(run, L"first", L""));
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть другие кворнелы", SecondStartRefusal(L"second"));
    EXPECT_TRUE(TrayIconPresent(run.tray));
    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(HostLifetime, FamilyWindowsDecideTheRefusalWhileTheMutexExists)
{
    familyMutex = CreateMutexW(nullptr, FALSE, L"Quornel_widget_mono");
    ASSERT_NE(nullptr, familyMutex);

    OpenFamilyWindow(L"Quornel Pellwick CHM-2010");
    EXPECT_EQ(L"", SecondStartRefusal(L"pellwick"));

    OpenFamilyWindow(L"Quornel Ostrelle 1.0");
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть виджет \"Острелле\"", SecondStartRefusal(L"ostrelle"));

    OpenFamilyWindow(L"Harbinel Widget 2.0");
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть виджет \"Харбинел\"", SecondStartRefusal(L"harbinel2"));
    DestroyWindow(familyWindows.back());
    familyWindows.pop_back();
    OpenFamilyWindow(L"Harbinel Widget 1.0");
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть виджет \"Харбинел\"", SecondStartRefusal(L"harbinel1"));
}

TEST_F(HostLifetime, MutexClosedToTheHostCountsAsAnotherWidget)
{
    // What a widget of the family running elevated leaves: a mutex no one else may open.
    PSECURITY_DESCRIPTOR closed = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:", SDDL_REVISION_1, &closed, nullptr));
    SECURITY_ATTRIBUTES attributes = { sizeof(attributes), closed, FALSE };
    familyMutex = CreateMutexW(&attributes, FALSE, L"Quornel_widget_mono");
    LocalFree(closed);
    ASSERT_TRUE(familyMutex && !OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"Quornel_widget_mono"));
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть другие кворнелы", SecondStartRefusal(L"closed_mutex"));
}

TEST_F(HostLifetime, FamilyWindowsAloneDoNotStopTheHost)
{
    OpenFamilyWindow(L"Harbinel Widget 1.0");
    ASSERT_TRUE(StartHost(run, L"family_no_mutex", L""));
    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
}

TEST_F(HostLifetime, TwoHostsStartedTogetherLeaveExactlyOneRunning)
{
    std::wstring dirA = MakeWorkDir(L"race_a"), dirB = MakeWorkDir(L"race_b");
    MakeInstallFolder(dirA);
    MakeInstallFolder(dirB);
    SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", nullptr);
    run.process = Start(HostExe(dirA), L"football ", dirA);
    second.process = Start(HostExe(dirB), L"football ", dirB);
    ASSERT_TRUE(run.process.handle && second.process.handle);

    HWND box = WaitForMessageBox(kHostCaption);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"Для запуска этого кворнела нужно закрыть другие кворнелы", MessageBoxText(box));
    DismissMessageBox(box);
    HANDLE both[2] = { run.process.handle, second.process.handle };
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, FALSE, kWaitMs) & ~1u);
    // Exactly one ended; the other runs on with its tray window.
    Sleep(300);
    int running = (WaitForSingleObject(run.process.handle, 0) != 0) + (WaitForSingleObject(second.process.handle, 0) != 0);
    EXPECT_EQ(1, running);
    HWND tray = WaitForWindow(L"tray_wnd", kTrayTitle);
    ASSERT_NE(nullptr, tray);
    PostMessageW(tray, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_TRUE(WaitUntil([&] { return WaitForMultipleObjects(2, both, TRUE, 0) != WAIT_TIMEOUT; }));
}

struct EngineFailureCase {
    const wchar_t* failure;
    const wchar_t* text; // null: no box
};

TEST_F(HostLifetime, EveryEngineFailureCodeGivesItsWarningAndExitCodeZero)
{
    const EngineFailureCase cases[] = {
        { L"1 0", L"Кворнел не может найти окно рабочего стола" },
        { L"2 5", L"Кворнел не смог установиться на рабочий стол. код ошибки: 5" },
        { L"3 9", L"Ошибка инициализации кворнела: DEBUG: cant get prop" },
        { L"4 1400", L"Кворнел не смог изменить поведение рабочего стола. код ошибки: 1400" },
        { L"5 4294967295", L"Ошибка инициализации кворнела: код ошибки: 4294967295" },
        { L"7 3", nullptr },
        { L"0 0", nullptr },
    };
    for (const EngineFailureCase& c : cases) {
        SCOPED_TRACE(c.failure);
        ASSERT_TRUE(StartHost(run, L"engine_failure", L"", c.failure));
        if (c.text) {
            HWND box = WaitForMessageBox(kHostCaption);
            ASSERT_NE(nullptr, box);
            EXPECT_EQ(c.text, MessageBoxText(box));
            DismissMessageBox(box);
        }
        DWORD code = 1;
        ASSERT_TRUE(WaitExit(run.process, kWaitMs, &code));
        EXPECT_EQ(0u, code);
        EXPECT_TRUE(LogLines(run.log, L"exit").empty()) << "ExitQuornel only after a successful start";
        auto notify = LogLines(run.log, L"notify");
        ASSERT_GE(notify.size(), 2u);
        EXPECT_EQ(L"0", Field(notify.front(), L"action"));
        EXPECT_EQ(L"2", Field(notify.back(), L"action"));
        EXPECT_FALSE(TrayIconPresent(run.tray));
        CleanUpHost(run);
    }
}

TEST_F(HostLifetime, LongTailReachesTheEngineCutTo999)
{
    std::wstring tail;
    for (int i = 0; i < 2000; ++i)
        tail += static_cast<wchar_t>(L'a' + i % 26);
    ASSERT_TRUE(StartHost(run, L"long_tail", tail));
    auto runLine = LogLines(run.log, L"run");
    ASSERT_EQ(1u, runLine.size());
    EXPECT_EQ(L"999", Field(runLine[0], L"cmdlen"));
    auto cmd = LogLines(run.log, L"cmd");
    ASSERT_EQ(1u, cmd.size());
    EXPECT_EQ(L"cmd\t" + tail.substr(0, 999), cmd[0]);
    DWORD code = 1;
    EXPECT_TRUE(ExitHost(run, &code));
}

TEST_F(HostLifetime, FirstRunBalloonOnlyForTheExactLowerCaseSwitch)
{
    struct { const wchar_t* tail; bool balloon; } cases[] = {
        { L"/firstrun", true },
        { L"x/firstrunner -q", true },
        { L"/FIRSTRUN", false },
        { L"", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        ASSERT_TRUE(StartHost(run, L"firstrun", c.tail));
        auto cmd = LogLines(run.log, L"cmd");
        ASSERT_EQ(1u, cmd.size());
        EXPECT_EQ(std::wstring(L"cmd\t") + c.tail, cmd[0]);
        // The balloon comes before the message loop: once the Host has ended the log is complete.
        DWORD code = 1;
        ASSERT_TRUE(ExitHost(run, &code));
        std::vector<std::wstring> balloons;
        for (const auto& line : LogLines(run.log, L"notify"))
            if (Field(line, L"flags") == L"16")
                balloons.push_back(line);
        if (c.balloon) {
            ASSERT_EQ(1u, balloons.size());
            EXPECT_EQ(L"1", Field(balloons[0], L"action"));
            EXPECT_EQ(L"Виджет успешно установлен", Field(balloons[0], L"text"));
            EXPECT_EQ(L"Виджет Чемпионата мира по футболу 2010", Field(balloons[0], L"title"));
            EXPECT_EQ(L"1500", Field(balloons[0], L"timeout"));
            EXPECT_EQ(L"1", Field(balloons[0], L"infoflags"));
        } else {
            EXPECT_TRUE(balloons.empty());
        }
        CleanUpHost(run);
    }
}

TEST_F(HostLifetime, OldWindowsIsRefused)
{
    // Wine reports the version chosen for the program in AppDefaults; NT 4.0 has major 4.
    const wchar_t key[] = L"Software\\Wine\\AppDefaults\\tessmark_quornel.exe";
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Version", REG_SZ, L"nt40", 10));
    std::wstring dir = MakeWorkDir(L"old_windows");
    MakeInstallFolder(dir);
    std::wstring log = dir + L"\\engine.log";
    SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", log.c_str());
    run.process = Start(HostExe(dir), L"football ", dir);
    HWND box = WaitForMessageBox(kHostCaption);
    DeleteTree(L"Software\\Wine\\AppDefaults\\tessmark_quornel.exe");
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"  Слишком старая версия Windows.     \n  Нужна Windows XP, Windows Vista или Windows 7.    ",
              MessageBoxText(box));
    EXPECT_EQ(nullptr, FindWindowW(L"tray_wnd", kTrayTitle));
    DismissMessageBox(box);
    DWORD code = 1;
    ASSERT_TRUE(WaitExit(run.process, kWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_TRUE(ReadLog(log).empty());
}

} // namespace
