// The setup program end to end: a silent install, the update path through the Loader,
// setup and uninstall while the widget runs, an update killed half-way and a file that
// cannot be replaced. Each test installs into a work folder of its own; the shortcuts
// and the uninstall entry are the prefix's, so every test removes them again.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

using namespace qt;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tessmark_quornel";
const wchar_t kSettingsKey[] = L"Software\\Morvane\\Tessmark";
const wchar_t kShortcutName[] = L"Кворнел Чемпионата мира по Футболу 2010.lnk";
// What the payload of a setup holds, as the install folder has it.
const wchar_t* const kPayloadFiles[] = { L"tessmark_quornel_loader.exe", L"tessmark_quornel.exe", L"base.dll",
                                         L"images\\tray.ico", L"images\\tray_offline.ico" };
const DWORD kSetupWaitMs = 60000;
// The real engine's window; the newer payload carries the stand-in engine, which logs.
const wchar_t kWidgetClass[] = L"quornel_widget";
const DWORD kSetupFailed = 0xFFFFFFFF;

std::wstring SetupExe()
{
    return BinPath(SETUP_FROM_BIN);
}

std::wstring NewerSetupExe()
{
    return BinPath(NEWER_SETUP_FROM_BIN);
}

// Runs a setup or uninstaller with `arguments` and gives its exit code.
DWORD RunSetup(const std::wstring& exe, const std::wstring& arguments, const std::wstring& dir = L"")
{
    Process process = Start(exe, L"\"" + exe + L"\" " + arguments, dir);
    DWORD exitCode = kSetupFailed;
    if (!WaitExit(process, kSetupWaitMs, &exitCode))
        Kill(process);
    return exitCode;
}

bool SameBytes(const std::wstring& a, const std::wstring& b)
{
    std::string bytes = ReadFileBytes(a);
    return !bytes.empty() && bytes == ReadFileBytes(b);
}

// A REG_DWORD of the uninstall entry; 0 for anything else.
DWORD ReadDword(const wchar_t* name)
{
    RegValue value = ReadValue(kUninstallKey, name);
    return value.type == REG_DWORD && value.data.size() == 4 ? *reinterpret_cast<const DWORD*>(value.data.data()) : 0;
}

std::wstring ShellFolder(int folder)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring StartMenuShortcut()
{
    return ShellFolder(CSIDL_PROGRAMS) + L"\\" + kShortcutName;
}

std::wstring StartupShortcut()
{
    return ShellFolder(CSIDL_STARTUP) + L"\\" + kShortcutName;
}

struct Shortcut {
    bool read = false;
    std::wstring target;
    std::wstring workingFolder;
};

Shortcut ReadShortcut(const std::wstring& path)
{
    Shortcut shortcut;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return shortcut;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        wchar_t target[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
            SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH))) {
            shortcut.read = true;
            shortcut.target = target;
            shortcut.workingFolder = folder;
        }
        file->Release();
    }
    link->Release();
    return shortcut;
}

// Every file below dir, as paths relative to it, sorted.
void ListFiles(const std::wstring& dir, const std::wstring& prefix, std::vector<std::wstring>* files)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(dir + L"\\" + name, prefix + name + L"\\", files);
        else
            files->push_back(prefix + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::vector<std::wstring> FilesBelow(const std::wstring& dir)
{
    std::vector<std::wstring> files;
    ListFiles(dir, L"", &files);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::wstring> InstalledFiles()
{
    std::vector<std::wstring> files = { L"base.dll", L"images\\tray.ico", L"images\\tray_offline.ico",
                                        L"tessmark_quornel.exe", L"tessmark_quornel_loader.exe", L"uninstall.exe",
                                        kUpdateProgramName };
    std::sort(files.begin(), files.end());
    return files;
}

// A visible dialog-class window anywhere on the desktop: a message box of any program.
bool MessageBoxShown()
{
    bool shown = false;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(window, name, ARRAYSIZE(name));
            if (IsWindowVisible(window) && !wcscmp(name, L"#32770")) {
                *reinterpret_cast<bool*>(found) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    return shown;
}

HWND WaitForTray(DWORD ms = kWaitMs)
{
    return WaitForWindow(L"tray_wnd", kTrayTitle, ms);
}

class Setup : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        work = MakeWorkDir(std::wstring(L"setup_") +
                           Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        dir = work + L"\\widget";
        log = work + L"\\engine.log";
        // Inherited by the setup, the Loader it starts and the Host.
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", log.c_str());
        RemoveInstall();
    }

    void TearDown() override
    {
        RemoveInstall();
        SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", nullptr);
        CoUninitialize();
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
            PostMessageW(tray, WM_COMMAND, 300, 0);
            if (!WaitExit(host, kWaitMs, nullptr))
                Kill(host);
        }
        DeleteFileW(StartMenuShortcut().c_str());
        DeleteFileW(StartupShortcut().c_str());
        DeleteTree(kUninstallKey);
    }

    DWORD InstallSilently(const std::wstring& exe, const std::wstring& options = L"/nostart")
    {
        // /D= must come last and is taken as it stands, blanks included.
        return RunSetup(exe, L"/S " + options + L" /D=" + dir);
    }

    // Starts the Loader from the install folder as its shortcuts do.
    Process StartLoader() { return Start(dir + L"\\" + kLoaderName, L"\"" + dir + L"\\" + kLoaderName + L"\"", dir); }

    void ExpectPayload(const std::wstring& payload)
    {
        for (const wchar_t* name : kPayloadFiles)
            EXPECT_TRUE(SameBytes(payload + L"\\" + name, dir + L"\\" + name)) << WideToUtf8(name);
    }

    std::wstring work;
    std::wstring dir;
    std::wstring log;
};

TEST_F(Setup, SilentInstallPutsFilesShortcutsAndUninstallEntryInPlace)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));

    EXPECT_EQ(InstalledFiles(), FilesBelow(dir));
    ExpectPayload(BinDir());
    // The update program of the install is the setup itself, which the Loader compares
    // with the next package.
    EXPECT_TRUE(SameBytes(SetupExe(), dir + L"\\" + kUpdateProgramName));
    EXPECT_FALSE(FindWindowW(L"tray_wnd", kTrayTitle)) << "/nostart started the widget";

    for (const std::wstring& path : { StartMenuShortcut(), StartupShortcut() }) {
        Shortcut shortcut = ReadShortcut(path);
        ASSERT_TRUE(shortcut.read) << WideToUtf8(path);
        EXPECT_EQ(0, lstrcmpiW((dir + L"\\" + kLoaderName).c_str(), shortcut.target.c_str())) << WideToUtf8(path);
        EXPECT_EQ(0, lstrcmpiW(dir.c_str(), shortcut.workingFolder.c_str())) << WideToUtf8(path);
    }

    const std::pair<const wchar_t*, std::wstring> entry[] = {
        { L"DisplayName", L"Кворнел Чемпионата мира по Футболу 2010" },
        { L"DisplayVersion", SETUP_VERSION },
        { L"Publisher", L"Morvane" },
        { L"InstallLocation", dir },
        { L"DisplayIcon", dir + L"\\" + kLoaderName + L",0" },
        { L"UninstallString", L"\"" + dir + L"\\uninstall.exe\"" },
        { L"QuietUninstallString", L"\"" + dir + L"\\uninstall.exe\" /S" },
    };
    for (const auto& value : entry)
        EXPECT_EQ(value.second, ReadValue(kUninstallKey, value.first).Text()) << WideToUtf8(value.first);
    for (const wchar_t* flag : { L"NoModify", L"NoRepair" })
        EXPECT_EQ(1u, ReadDword(flag)) << WideToUtf8(flag);
    EXPECT_GT(ReadDword(L"EstimatedSize"), 100u) << "kilobytes";

    // Without the manifest's asInvoker, Windows would ask the Loader's start of it for elevation.
    HMODULE image = LoadLibraryExW(SetupExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(image);
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_TRUE(found);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(image, found))),
                         SizeofResource(image, found));
    FreeLibrary(image);
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\"")) << manifest;

    // "/verysilent" from a folder that holds no Loader installs where the install is,
    // not into that folder.
    std::wstring downloads = work + L"\\downloads";
    CreateDirectoryW(downloads.c_str(), nullptr);
    std::wstring copy = downloads + L"\\setup.exe";
    ASSERT_TRUE(CopyFileW(NewerSetupExe().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(0u, RunSetup(copy, L"/verysilent /nostart", downloads));
    EXPECT_EQ(std::vector<std::wstring>{ L"setup.exe" }, FilesBelow(downloads));
    EXPECT_EQ(NEWER_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
}

TEST_F(Setup, LoaderInstallsANewerPackageThenStartsTheHost)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    std::string oldLoader = ReadFileBytes(dir + L"\\" + kLoaderName);
    // A package newer than the installed update program, as a download leaves it.
    std::wstring package = dir + L"\\" + kPackageName;
    ASSERT_TRUE(CopyFileW(NewerSetupExe().c_str(), package.c_str(), FALSE));
    HANDLE file = CreateFileW(package.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    SetFileTime(file, nullptr, nullptr, &now);
    CloseHandle(file);

    LARGE_INTEGER frequency, started, ready;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    Process loader = StartLoader();
    ASSERT_TRUE(loader.handle);
    bool boxSeen = false;
    HWND tray = nullptr;
    WaitUntil([&] {
        boxSeen = boxSeen || MessageBoxShown();
        tray = FindWindowW(L"tray_wnd", kTrayTitle);
        return tray && !LogLines(log, L"run").empty();
    });
    QueryPerformanceCounter(&ready);
    ASSERT_TRUE(tray) << "no Host after the update";
    printf("silent update: Loader start to Host ready %.0f ms\n",
           (ready.QuadPart - started.QuadPart) * 1000.0 / frequency.QuadPart);
    DWORD exitCode = 1;
    ASSERT_TRUE(WaitExit(loader, kWaitMs, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_FALSE(boxSeen || MessageBoxShown());

    EXPECT_FALSE(FileExists(package));
    EXPECT_TRUE(SameBytes(NewerSetupExe(), dir + L"\\" + kUpdateProgramName));
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
    EXPECT_EQ(NEWER_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());
    // The running Loader could only be moved aside (Wine, like Windows, refuses to write
    // or delete a running program's file); it stays there until the next run.
    bool movedAside = false;
    for (const std::wstring& name : FilesBelow(dir + L"\\setup_old"))
        movedAside = movedAside || ReadFileBytes(dir + L"\\setup_old\\" + name) == oldLoader;
    EXPECT_TRUE(movedAside);

    EXPECT_EQ(0u, RunSetup(dir + L"\\uninstall.exe", L"/S"));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dir); })) << "the next run leaves the old Loader behind";
}

TEST_F(Setup, SetupAndUninstallStopTheRunningWidget)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    Process loader = StartLoader();
    ASSERT_TRUE(WaitExit(loader, kWaitMs, nullptr));
    HWND oldTray = WaitForTray();
    ASSERT_TRUE(oldTray);
    DWORD oldId = 0;
    GetWindowThreadProcessId(oldTray, &oldId);
    Process oldHost;
    oldHost.handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, oldId);
    ASSERT_TRUE(WaitForWindow(kWidgetClass, nullptr)) << "the installed engine shows no widget";

    ASSERT_EQ(0u, InstallSilently(NewerSetupExe(), L""));
    DWORD oldExit = 1;
    EXPECT_TRUE(WaitExit(oldHost, 0, &oldExit)) << "the old Host still runs after the setup";
    EXPECT_EQ(0u, oldExit) << "the old Host was ended by force, not by \"/exit\"";
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));

    // The new widget (the newer payload's stand-in engine) is started with "/firstrun".
    ASSERT_TRUE(WaitForLogLine(log, L"run"));
    HWND newTray = WaitForTray();
    ASSERT_TRUE(newTray);
    EXPECT_NE(oldTray, newTray);
    EXPECT_EQ(L"cmd\t/firstrun", LogLines(log, L"cmd").back());
    EXPECT_FALSE(MessageBoxShown());

    // The uninstaller stops it too and leaves only the user's settings. It runs on from
    // a copy of itself in the temporary folder.
    const wchar_t proxyKey[] = L"Software\\Morvane\\Tessmark\\proxy\\user";
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, proxyKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                             nullptr));
    RegSetValueExW(key, L"proxy_type", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"manual"), 14);
    RegCloseKey(key);
    EXPECT_EQ(0u, RunSetup(dir + L"\\uninstall.exe", L"/S"));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dir); })) << "left in the install folder";
    EXPECT_TRUE(WaitForLogLine(log, L"exit"));
    EXPECT_FALSE(FindWindowW(L"tray_wnd", kTrayTitle));
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_FALSE(FileExists(StartupShortcut()));
    EXPECT_FALSE(ReadValue(kUninstallKey, L"DisplayName").exists);
    EXPECT_EQ(L"manual", ReadValue(proxyKey, L"proxy_type").Text());
    DeleteTree(kSettingsKey);
}

TEST_F(Setup, UpdateKilledHalfWayIsFinishedByTheNextLoaderStart)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    // As the Loader runs it: the package copied over the update program, run as
    // "update /verysilent" in the install folder.
    std::wstring update = dir + L"\\" + kUpdateProgramName;
    ASSERT_TRUE(CopyFileW(NewerSetupExe().c_str(), update.c_str(), FALSE));
    Process run = Start(update, L"update /verysilent", dir);
    ASSERT_TRUE(run.handle);
    // Killed once it has begun to replace files: the Loader, which goes first, is then
    // in place again (a kill between its two renames would leave none to start).
    std::wstring asideLoader = dir + L"\\setup_old\\" + kLoaderName;
    std::wstring loaderFile = dir + L"\\" + kLoaderName;
    DWORD start = GetTickCount();
    while (!(FileExists(asideLoader) && FileExists(loaderFile)) && GetTickCount() - start < kSetupWaitMs &&
           WaitForSingleObject(run.handle, 0))
        ;
    TerminateProcess(run.handle, 9);
    ASSERT_TRUE(WaitExit(run, kWaitMs, nullptr));
    ASSERT_TRUE(FileExists(dir + L"\\" + kPackageName)) << "the update ended before it could be cut off";
    int replaced = 0;
    for (const wchar_t* name : kPayloadFiles)
        replaced += SameBytes(BinPath(NEWER_PAYLOAD_FROM_BIN) + L"\\" + name, dir + L"\\" + name);
    printf("killed with %d of %d program files replaced\n", replaced, static_cast<int>(ARRAYSIZE(kPayloadFiles)));

    Process loader = StartLoader();
    DWORD exitCode = 1;
    ASSERT_TRUE(WaitExit(loader, kSetupWaitMs, &exitCode));
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(WaitForTray());
    EXPECT_TRUE(WaitForLogLine(log, L"run"));
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
    EXPECT_FALSE(FileExists(dir + L"\\" + kPackageName));
    EXPECT_FALSE(FileExists(dir + L"\\setup_new"));
    EXPECT_FALSE(MessageBoxShown());
}

TEST_F(Setup, FileThatCannotBeReplacedLeavesTheInstalledWidgetWorking)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    // Held open without delete sharing, as a virus scanner may hold it: it cannot be moved.
    HANDLE held = CreateFileW((dir + L"\\images\\tray_offline.ico").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(4u, InstallSilently(NewerSetupExe()));
    CloseHandle(held);
    // Every old file back in place, and the pending package that the setup left first.
    std::vector<std::wstring> expected = InstalledFiles();
    expected.push_back(kPackageName);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FilesBelow(dir));
    ExpectPayload(BinDir());
    EXPECT_EQ(SETUP_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());

    // That package makes the next Loader start try again, now with success.
    Process loader = StartLoader();
    ASSERT_TRUE(WaitExit(loader, kSetupWaitMs, nullptr));
    EXPECT_TRUE(WaitForTray());
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
}

} // namespace
