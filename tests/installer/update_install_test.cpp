// The whole update path under Wine: the widget installed by its setup, with an update
// address pointing at a local server that serves a newer setup and its description,
// signed by scripts/publish-update.sh with the tests' key (the installed base.dll
// carries its public half). The user asks for a check from the widget's menu (its
// command, sent to the widget window as the menu sends it), the balloon says the
// update was downloaded, the package waits with the newer setup's bytes and a later
// time than the installed update program, and the menu's "install" starts the
// Loader, whose setup stops this widget, replaces the files and starts the new Host.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "base/engine_settings.h"
#include "base/widget_drawing.h"
#include "engine_in_process.h"
#include "host/host_resources.h"
#include "test_support.h"
#include "update_support.h"

using namespace qt;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tessmark_quornel";
const wchar_t kShortcutName[] = L"Кворнел Чемпионата мира по Футболу 2010.lnk";
const wchar_t kUninstallerName[] = L"uninstall_tessmark_quornel.exe";
const DWORD kSetupWaitMs = 60000;
const SYSTEMTIME kJune12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };

std::wstring ShellFolder(int folder)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Runs a setup or uninstaller and gives its exit code.
DWORD RunSetup(const std::wstring& exe, const std::wstring& arguments)
{
    Process process = Start(exe, L"\"" + exe + L"\" " + arguments, L"");
    DWORD exitCode = 0xFFFFFFFF;
    if (!WaitExit(process, kSetupWaitMs, &exitCode))
        Kill(process);
    return exitCode;
}

// A balloon of the notification area that says `text`: under Wine a tooltip window of
// the desktop's explorer, which answers WM_GETTEXT with its text.
bool BalloonShown(const std::wstring& text)
{
    return WaitUntil([&] {
        for (HWND tip = FindWindowExW(nullptr, nullptr, L"tooltips_class32", nullptr); tip;
             tip = FindWindowExW(nullptr, tip, L"tooltips_class32", nullptr)) {
            wchar_t shown[512] = {};
            DWORD_PTR length = 0;
            if (IsWindowVisible(tip) &&
                SendMessageTimeoutW(tip, WM_GETTEXT, ARRAYSIZE(shown), reinterpret_cast<LPARAM>(shown), SMTO_NORMAL,
                                    1000, &length) &&
                text == shown)
                return true;
        }
        return false;
    });
}

// The program file of the process that owns `window`, or empty.
std::wstring ProgramOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (process) {
        QueryFullProcessImageNameW(process, 0, path, &size);
        CloseHandle(process);
    }
    return path;
}

class InstalledUpdate : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!BuiltWithTestKey())
            GTEST_SKIP() << "base.dll was not built with the tests' update key (QUORNEL_UPDATE_TEST_KEY)";
        work = MakeWorkDir(L"installed_update");
        dir = work + L"\\widget";
        log = work + L"\\engine.log";
        // Inherited by the Loader, the Host, the Loader the engine starts, the setup and
        // the new Host, whose engine (the newer payload's stand-in) logs there.
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", log.c_str());
        RemoveInstall();
        DeleteTree(SETTINGS_KEY);
    }
    void TearDown() override
    {
        RemoveInstall();
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", nullptr);
        servers.Stop();
        DeleteTree(SETTINGS_KEY);
    }

    // Stops whatever widget runs and removes what an install leaves in the profile.
    void RemoveInstall()
    {
        DismissAllMessageBoxes(kHostCaption);
        if (HWND tray = FindWindowW(L"tray_wnd", kTrayTitle)) {
            DWORD processId = 0;
            GetWindowThreadProcessId(tray, &processId);
            Process host;
            host.handle = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId);
            PostMessageW(tray, WM_COMMAND, IDM_EXIT, 0);
            if (!WaitExit(host, kWaitMs, nullptr))
                Kill(host);
        }
        for (int folder : { CSIDL_PROGRAMS, CSIDL_STARTUP })
            DeleteFileW((ShellFolder(folder) + L"\\" + kShortcutName).c_str());
        DeleteTree(kUninstallKey);
    }

    std::wstring Installed(const std::wstring& name) const { return dir + L"\\" + name; }

    LocalServers servers;
    std::wstring work, dir, log;
};

TEST_F(InstalledUpdate, ASignedNewerSetupIsDownloadedThenInstalledByTheLoader)
{
    const std::wstring setup = BinPath(SETUP_FROM_BIN), newer = BinPath(NEWER_SETUP_FROM_BIN);
    const std::string newerBytes = ReadFileBytes(newer);
    ASSERT_FALSE(newerBytes.empty());
    ASSERT_EQ(0u, RunSetup(setup, L"/S /nostart /D=" + dir));
    ASSERT_TRUE(servers.Start(L"installed_update_servers"));
    ASSERT_TRUE(servers.Serve(L"newer_setup.exe", newerBytes, kJune12));
    std::string description =
        PublishUpdate(servers.dir + L"\\newer_setup.exe", "newer_setup.exe", WideToUtf8(NEWER_VERSION));
    ASSERT_FALSE(description.empty());
    ASSERT_TRUE(servers.Serve(L"release.txt", description, kJune12));
    WriteText(SETTINGS_KEY, VALUE_UPDATE_URL, servers.Url(L"/files/release.txt"));

    // The installed widget, started as its shortcuts start it.
    const std::wstring loader = Installed(kLoaderName);
    Process started = Start(loader, L"\"" + loader + L"\"", dir);
    ASSERT_TRUE(WaitExit(started, kWaitMs, nullptr));
    HWND tray = WaitForWindow(L"tray_wnd", kTrayTitle);
    HWND widget = WaitForWindow(kWidgetClass, nullptr);
    ASSERT_TRUE(tray && widget);
    DWORD oldId = 0;
    GetWindowThreadProcessId(tray, &oldId);
    Process oldHost;
    oldHost.handle = OpenProcess(SYNCHRONIZE, FALSE, oldId);

    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutW(widget, WM_COMMAND, CMD_UPDATE_CHECK, 0, SMTO_NORMAL, kWaitMs, &answer));
    const std::wstring package = Installed(kPackageName);
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(package) == newerBytes; })) << "no package pending";
    EXPECT_GT(LastWriteTime(package), LastWriteTime(Installed(kUpdateProgramName)));
    EXPECT_TRUE(BalloonShown(L"Загружено обновление " NEWER_VERSION
                                 L". Оно будет установлено при следующем запуске виджета."));
    EXPECT_EQ(ReadFileBytes(setup), ReadFileBytes(Installed(kUpdateProgramName))) << "the engine leaves it alone";
    EXPECT_EQ(SETUP_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());

    // "Установить обновление и перезапустить": the Loader installs the package, its setup
    // ends this Host, and the Loader starts the new one.
    ASSERT_TRUE(SendMessageTimeoutW(widget, WM_COMMAND, CMD_UPDATE_INSTALL, 0, SMTO_NORMAL, kWaitMs, &answer));
    DWORD oldExit = 1;
    ASSERT_TRUE(WaitExit(oldHost, kSetupWaitMs, &oldExit)) << "the setup did not stop the widget";
    EXPECT_EQ(0u, oldExit);
    ASSERT_TRUE(WaitForLogLine(log, L"run", 1, kSetupWaitMs)) << "no new Host";
    HWND newTray = WaitForWindow(L"tray_wnd", kTrayTitle);
    ASSERT_TRUE(newTray);
    // The running Host is the newer build's (its file carries the newer payload's mark).
    std::wstring program = ProgramOf(newTray);
    EXPECT_EQ(0, lstrcmpiW(program.c_str(), Installed(kHostName).c_str())) << WideToUtf8(program);
    EXPECT_EQ(ReadFileBytes(BinPath(NEWER_PAYLOAD_FROM_BIN L"\\tessmark_quornel.exe")), ReadFileBytes(program));
    EXPECT_EQ(NEWER_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(newerBytes, ReadFileBytes(Installed(kUpdateProgramName)));
    EXPECT_EQ(ReadFileBytes(BinPath(NEWER_PAYLOAD_FROM_BIN L"\\base.dll")), ReadFileBytes(Installed(L"base.dll")));

    DWORD_PTR ignored;
    SendMessageTimeoutW(newTray, WM_COMMAND, IDM_EXIT, 0, SMTO_NORMAL, kWaitMs, &ignored);
    EXPECT_EQ(0u, RunSetup(dir + L"\\" + kUninstallerName, L"/S _?=" + dir));
}

} // namespace
