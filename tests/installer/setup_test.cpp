// The setup program end to end: a silent install, the update path through the Loader,
// setup and uninstall while the widget runs, an update killed half-way, a file that
// cannot be replaced, and the faults a user meets: a stale uninstaller, a read-only
// source, a hung widget, two setups at once, a folder with other files, a downgrade.
// Each test installs into a work folder of its own; the shortcuts and the uninstall
// entry are the prefix's, so every test removes them again. Uninstallers run with
// "_?=<folder>", the only way their exit code is real.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"
#include "base/engine_settings.h"
#include "host/engine_interface.h"
#include "host/host_resources.h"

using namespace qt;

namespace {

const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tessmark_quornel";
const wchar_t kShortcutName[] = L"Кворнел Чемпионата мира по Футболу 2010.lnk";
const wchar_t kUninstallerName[] = L"uninstall_tessmark_quornel.exe";
// What the payload of a setup holds, as the install folder has it.
const wchar_t* const kPayloadFiles[] = { L"tessmark_quornel_loader.exe", L"tessmark_quornel.exe", L"base.dll",
                                         L"images\\tray.ico", L"images\\tray_offline.ico",
                                         L"images\\wallpaper.bmp" };
const DWORD kSetupWaitMs = 60000;
// The newer payload carries the stand-in engine, which logs; the setup's own carries
// the real one, whose window is of class qt::kWidgetClass.
const DWORD kSetupFailed = 0xFFFFFFFF;
// The setup's exit codes.
const DWORD kWidgetBusy = 3, kFileBusy = 4, kSetupRunning = 5, kForeignFiles = 6, kNotInstalled = 7,
            kOlderVersion = 8, kNoWriteAccess = 9;

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

// Ends `run` by force once `reached` holds, as a power cut would. Polled without a pause:
// the states to catch last a few milliseconds. Gives up when the run ends first or
// after kSetupWaitMs; true when the run has ended.
template <class F> bool KillWhen(Process& run, F reached)
{
    DWORD start = GetTickCount();
    while (!reached() && GetTickCount() - start < kSetupWaitMs && WaitForSingleObject(run.handle, 0))
        ;
    TerminateProcess(run.handle, 9);
    return WaitExit(run, kWaitMs, nullptr);
}

// Runs the uninstaller of `dir` in place, which gives its real exit code.
DWORD Uninstall(const std::wstring& dir)
{
    return RunSetup(dir + L"\\" + kUninstallerName, L"/S _?=" + dir);
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

// Through the item list: Wine's GetPath turns Cyrillic into question marks.
bool ReadTarget(IShellLinkW* link, wchar_t (&target)[MAX_PATH])
{
    PIDLIST_ABSOLUTE list = nullptr;
    bool read = SUCCEEDED(link->GetIDList(&list)) && SHGetPathFromIDListW(list, target);
    CoTaskMemFree(list);
    return read;
}

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
            ReadTarget(link, target) &&
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
                                        L"images\\wallpaper.bmp",
                                        L"tessmark_quornel.exe", L"tessmark_quornel_loader.exe", kUninstallerName,
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

bool ShortcutsLeadTo(const std::wstring& dir)
{
    for (const std::wstring& path : { StartMenuShortcut(), StartupShortcut() })
        if (lstrcmpiW(ReadShortcut(path).target.c_str(), (dir + L"\\" + kLoaderName).c_str()))
            return false;
    return true;
}

std::vector<std::wstring> FilesFlaggedReadOnlyHiddenOrSystem(const std::wstring& dir)
{
    std::vector<std::wstring> flagged;
    for (const std::wstring& name : FilesBelow(dir))
        if (GetFileAttributesW((dir + L"\\" + name).c_str()) &
            (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
            flagged.push_back(name);
    return flagged;
}

// A window of the tray window's class and title on a thread that pumps no messages, as
// a hung widget's: "/exit" sends it WM_DESTROY and waits for ever.
DWORD WINAPI RunHungWindow(void* release)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"tray_wnd";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"tray_wnd", kTrayTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    WaitForSingleObject(release, 10 * 60 * 1000);
    DestroyWindow(window);
    return 0;
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
            PostMessageW(tray, WM_COMMAND, IDM_EXIT, 0);
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
        { L"UninstallString", L"\"" + dir + L"\\" + kUninstallerName + L"\"" },
        { L"QuietUninstallString", L"\"" + dir + L"\\" + kUninstallerName + L"\" /S" },
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

    // The old Loader moved aside goes too; in place, the uninstaller cannot remove itself.
    EXPECT_EQ(0u, Uninstall(dir));
    EXPECT_EQ(std::vector<std::wstring>{ kUninstallerName }, FilesBelow(dir));
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
    ASSERT_TRUE(WaitForLogLine(log, kRunLogged));
    HWND newTray = WaitForTray();
    ASSERT_TRUE(newTray);
    EXPECT_NE(oldTray, newTray);
    EXPECT_EQ(L"cmd\t/firstrun", LogLines(log, L"cmd").back());
    EXPECT_FALSE(MessageBoxShown());

    // The uninstaller stops it too and leaves only the user's settings. Run as users run
    // it, it goes on from a copy of itself in the temporary folder and its exit code
    // comes at once, so only what it leaves is checked.
    ASSERT_TRUE(WriteText(PROXY_KEY, VALUE_PROXY_TYPE, PROXY_TYPE_MANUAL));
    RunSetup(dir + L"\\" + kUninstallerName, L"/S");
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dir); })) << "left in the install folder";
    EXPECT_TRUE(WaitForLogLine(log, L"exit"));
    EXPECT_FALSE(FindWindowW(L"tray_wnd", kTrayTitle));
    EXPECT_FALSE(FileExists(StartMenuShortcut()));
    EXPECT_FALSE(FileExists(StartupShortcut()));
    EXPECT_FALSE(ReadValue(kUninstallKey, L"DisplayName").exists);
    EXPECT_EQ(PROXY_TYPE_MANUAL, ReadValue(PROXY_KEY, VALUE_PROXY_TYPE).Text());
    DeleteTree(SETTINGS_KEY);
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
    ASSERT_TRUE(KillWhen(run, [&] { return FileExists(asideLoader) && FileExists(loaderFile); }));
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
    EXPECT_TRUE(WaitForLogLine(log, kRunLogged));
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
    EXPECT_FALSE(FileExists(dir + L"\\" + kPackageName));
    EXPECT_FALSE(FileExists(dir + L"\\setup_new"));
    EXPECT_FALSE(MessageBoxShown());
}

// A setup cut off before its Loader is in place leaves a folder without one, which
// would be refused as another program's; the mark that every run puts first into
// setup_new\ tells the next setup that the folder is this widget's.
TEST_F(Setup, ASetupCutOffBeforeTheLoaderIsInPlaceIsFinishedByTheNextSetup)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    WriteFileBytes(dir + L"\\notes.txt", "the user's");
    std::vector<std::wstring> complete = InstalledFiles();
    complete.push_back(L"notes.txt");
    std::sort(complete.begin(), complete.end());

    // The first install, ended while it unpacks.
    Process run = Start(NewerSetupExe(), L"\"" + NewerSetupExe() + L"\" /S /nostart /D=" + dir, work);
    ASSERT_TRUE(run.handle);
    ASSERT_TRUE(KillWhen(run, [&] { return FileExists(dir + L"\\setup_new\\" + kLoaderName); }));
    ASSERT_FALSE(FileExists(dir + L"\\" + kLoaderName)) << "the setup ended before it could be cut off";
    ASSERT_TRUE(FileExists(dir + L"\\setup_new"));
    EXPECT_EQ(0u, InstallSilently(SetupExe()));
    EXPECT_EQ(complete, FilesBelow(dir));
    ExpectPayload(BinDir());

    // An update ended between moving the old Loader aside and renaming the new one in.
    // Without the mark, the same folder is another program's and stays as it is.
    CreateDirectoryW((dir + L"\\setup_old").c_str(), nullptr);
    CreateDirectoryW((dir + L"\\setup_new").c_str(), nullptr);
    ASSERT_TRUE(MoveFileW((dir + L"\\" + kLoaderName).c_str(), (dir + L"\\setup_old\\" + kLoaderName).c_str()));
    ASSERT_TRUE(CopyFileW((BinPath(NEWER_PAYLOAD_FROM_BIN) + L"\\" + kLoaderName).c_str(),
                          (dir + L"\\setup_new\\" + kLoaderName).c_str(), FALSE));
    std::vector<std::wstring> cutOff = FilesBelow(dir);
    EXPECT_EQ(kForeignFiles, InstallSilently(NewerSetupExe()));
    EXPECT_EQ(cutOff, FilesBelow(dir));
    WriteFileBytes(dir + L"\\setup_new\\tessmark_quornel_setup.mark", "");
    EXPECT_EQ(0u, InstallSilently(NewerSetupExe()));
    EXPECT_EQ(complete, FilesBelow(dir));
    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
}

TEST_F(Setup, FileThatCannotBeReplacedLeavesTheInstalledWidgetWorking)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    // Held open without delete sharing, as a virus scanner may hold it: it cannot be moved.
    HANDLE held = CreateFileW((dir + L"\\images\\tray_offline.ico").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(kFileBusy, InstallSilently(NewerSetupExe()));
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

TEST_F(Setup, AnUninstallerActsOnlyOnItsOwnInstall)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    // A second install into another folder moves the install there.
    std::wstring second = work + L"\\второй виджет";
    ASSERT_EQ(0u, RunSetup(SetupExe(), L"/S /nostart /D=" + second));
    EXPECT_FALSE(FileExists(dir)) << "the first install's files stayed";
    EXPECT_EQ(second, ReadValue(kUninstallKey, L"InstallLocation").Text());
    EXPECT_TRUE(ShortcutsLeadTo(second));

    // An unregistered install (as two installs used to leave the first) and a copy of
    // the uninstaller without a Loader beside it leave the registration alone.
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\images").c_str(), nullptr);
    for (const std::wstring& name : InstalledFiles())
        CopyFileW((second + L"\\" + name).c_str(), (dir + L"\\" + name).c_str(), FALSE);
    EXPECT_EQ(0u, Uninstall(dir));
    EXPECT_EQ(std::vector<std::wstring>{ kUninstallerName }, FilesBelow(dir));
    DeleteFileW((dir + L"\\" + kLoaderName).c_str());
    EXPECT_EQ(kNotInstalled, Uninstall(dir));
    EXPECT_EQ(second, ReadValue(kUninstallKey, L"InstallLocation").Text());
    EXPECT_TRUE(ShortcutsLeadTo(second));

    EXPECT_EQ(0u, Uninstall(second));
    EXPECT_FALSE(ReadValue(kUninstallKey, L"InstallLocation").exists);
    EXPECT_FALSE(FileExists(StartMenuShortcut()) || FileExists(StartupShortcut()));
}

// Wine run as root writes over read-only files, so the Loader's copy over a read-only
// update program does not fail here as it does on Windows: the flags are checked.
TEST_F(Setup, ASetupFromAReadOnlySourceLeavesNoReadOnlyFile)
{
    std::wstring setup = work + L"\\setup.exe", newer = work + L"\\newer.exe";
    CopyFileW(SetupExe().c_str(), setup.c_str(), FALSE);
    CopyFileW(NewerSetupExe().c_str(), newer.c_str(), FALSE);
    SetFileAttributesW(setup.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW(newer.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(0u, InstallSilently(setup));
    HANDLE held = CreateFileW((dir + L"\\images\\tray_offline.ico").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(kFileBusy, InstallSilently(newer));
    CloseHandle(held);
    EXPECT_TRUE(FileExists(dir + L"\\" + kPackageName));
    EXPECT_EQ(std::vector<std::wstring>{}, FilesFlaggedReadOnlyHiddenOrSystem(dir));

    // The Loader's copy of a read-only package is a read-only update program; its run mends it.
    std::wstring update = dir + L"\\" + kUpdateProgramName;
    CopyFileW(newer.c_str(), update.c_str(), FALSE);
    EXPECT_EQ(0u, RunSetup(update, L"/verysilent", dir));
    EXPECT_EQ(std::vector<std::wstring>{}, FilesFlaggedReadOnlyHiddenOrSystem(dir));
}

TEST_F(Setup, AHungWidgetEndsSetupAndUninstallerAtTheDeadline)
{
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    std::wstring update = dir + L"\\" + kUpdateProgramName, package = dir + L"\\" + kPackageName;
    ASSERT_TRUE(CopyFileW(NewerSetupExe().c_str(), update.c_str(), FALSE)); // as the Loader does
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, RunHungWindow, release, 0, nullptr);
    EXPECT_TRUE(WaitForTray());
    HANDLE engine = CreateFileW((dir + L"\\base.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    DWORD started = GetTickCount();
    Process run = Start(update, L"update /verysilent", dir);
    bool packageWhileStopping = false;
    WaitUntil([&] {
        packageWhileStopping |= GetTickCount() - started < 9000 && FileExists(package);
        return WaitForSingleObject(run.handle, 0) == WAIT_OBJECT_0;
    }, kSetupWaitMs);
    DWORD exitCode = kSetupFailed;
    WaitExit(run, 0, &exitCode);
    Kill(run);
    DWORD updateMs = GetTickCount() - started;
    started = GetTickCount();
    EXPECT_EQ(kWidgetBusy, Uninstall(dir));
    DWORD uninstallMs = GetTickCount() - started;
    SetEvent(release);
    WaitForSingleObject(thread, kWaitMs);
    for (HANDLE handle : { release, thread, engine })
        CloseHandle(handle);

    printf("hung widget: update run %lu ms, uninstaller %lu ms\n", updateMs, uninstallMs);
    EXPECT_EQ(kWidgetBusy, exitCode);
    EXPECT_GE(updateMs, 10000u) << "gave up before the deadline";
    EXPECT_LT(updateMs, 25000u);
    EXPECT_LT(uninstallMs, 25000u);
    // No package for a second Loader start to copy over the running update program
    // while it waits; left for the next start once nothing could be replaced.
    EXPECT_FALSE(packageWhileStopping);
    EXPECT_TRUE(FileExists(package));
    ExpectPayload(BinDir());
}

TEST_F(Setup, TwoSetupsAtOnceLeaveOneCompleteInstall)
{
    std::wstring command = L"\"" + SetupExe() + L"\" /S /nostart /D=" + dir;
    Process runs[2] = { Start(SetupExe(), command, work), Start(SetupExe(), command, work) };
    DWORD codes[2] = { kSetupFailed, kSetupFailed };
    for (int i = 0; i < 2; ++i) {
        WaitExit(runs[i], kSetupWaitMs, &codes[i]);
        Kill(runs[i]);
        EXPECT_TRUE(codes[i] == 0 || codes[i] == kSetupRunning) << codes[i];
    }
    EXPECT_TRUE(codes[0] == 0 || codes[1] == 0);
    EXPECT_EQ(InstalledFiles(), FilesBelow(dir));
    ExpectPayload(BinDir());

    // While another run holds this user's lock, a setup and an uninstaller give up.
    wchar_t user[256] = {};
    DWORD size = ARRAYSIZE(user);
    GetUserNameW(user, &size);
    HANDLE lock = CreateMutexW(nullptr, TRUE, (std::wstring(L"Local\\tessmark_quornel_setup_") + user).c_str());
    EXPECT_EQ(kSetupRunning, InstallSilently(NewerSetupExe()));
    EXPECT_EQ(kSetupRunning, Uninstall(dir));
    CloseHandle(lock);
    EXPECT_EQ(InstalledFiles(), FilesBelow(dir));
    ExpectPayload(BinDir());
}

TEST_F(Setup, AHandPickedFolderKeepsTheFilesOfOthers)
{
    CreateDirectoryW(dir.c_str(), nullptr);
    WriteFileBytes(dir + L"\\uninstall.exe", "another program");
    WriteFileBytes(dir + L"\\notes.txt", std::string(1 << 20, 'x'));
    ASSERT_EQ(0u, InstallSilently(SetupExe()));
    ULONGLONG ours = 0;
    for (const std::wstring& name : InstalledFiles())
        ours += ReadFileBytes(dir + L"\\" + name).size();
    DWORD estimated = ReadDword(L"EstimatedSize");
    EXPECT_GE(estimated, ours / 1024) << "kilobytes";
    EXPECT_LT(estimated, ours / 1024 + 512) << "kilobytes: counts the user's megabyte";
    EXPECT_EQ(0u, Uninstall(dir));
    EXPECT_EQ((std::vector<std::wstring>{ L"notes.txt", L"uninstall.exe", kUninstallerName }), FilesBelow(dir));
    EXPECT_EQ("another program", ReadFileBytes(dir + L"\\uninstall.exe"));

    // Files by the widget's names but no Loader are another program's, and so is a
    // setup_new\ folder without this setup's mark in it.
    const wchar_t* const foreign[] = { L"base.dll", L"setup_new\\tessmark_quornel_loader.exe" };
    for (size_t i = 0; i < ARRAYSIZE(foreign); ++i) {
        std::wstring other = work + L"\\other" + std::to_wstring(i), path = other + L"\\" + foreign[i];
        CreateDirectoryW(other.c_str(), nullptr);
        CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
        WriteFileBytes(path, "another program's");
        EXPECT_EQ(kForeignFiles, RunSetup(SetupExe(), L"/S /nostart /D=" + other)) << WideToUtf8(foreign[i]);
        EXPECT_EQ(std::vector<std::wstring>{ foreign[i] }, FilesBelow(other));
        EXPECT_EQ("another program's", ReadFileBytes(path));
    }

    // A folder where the user may not write: sysfs refuses even root.
    if (FileExists(L"Z:\\sys\\kernel"))
        EXPECT_EQ(kNoWriteAccess, RunSetup(SetupExe(), L"/S /nostart /D=Z:\\sys\\tessmark_quornel"));
    else
        printf("no Z:\\sys: the write-access refusal is not tried\n");
}

TEST_F(Setup, AnOlderVersionAsksOrIsRefused)
{
    ASSERT_EQ(0u, InstallSilently(NewerSetupExe()));
    EXPECT_EQ(kOlderVersion, InstallSilently(SetupExe()));
    // The Loader's update run of an older package.
    std::wstring update = dir + L"\\" + kUpdateProgramName;
    CopyFileW(SetupExe().c_str(), update.c_str(), FALSE);
    EXPECT_EQ(kOlderVersion, RunSetup(update, L"/verysilent", dir));
    // Interactive: it asks; "No" ends it.
    Process asked = Start(SetupExe(), L"\"" + SetupExe() + L"\"", work);
    HWND box = WaitForMessageBox(L"Установка Кворнел Чемпионата мира по Футболу 2010");
    EXPECT_NE(std::wstring::npos, MessageBoxText(box).find(NEWER_VERSION)) << WideToUtf8(MessageBoxText(box));
    PostMessageW(box, WM_COMMAND, IDNO, 0);
    DWORD exitCode = kSetupFailed;
    WaitExit(asked, kSetupWaitMs, &exitCode);
    Kill(asked);
    EXPECT_EQ(kOlderVersion, exitCode);

    ExpectPayload(BinPath(NEWER_PAYLOAD_FROM_BIN));
    EXPECT_EQ(NEWER_VERSION, ReadValue(kUninstallKey, L"DisplayVersion").Text());
    EXPECT_FALSE(FileExists(dir + L"\\" + kPackageName)) << "an older version would come back";
}

// The widget's own wallpaper set: the uninstaller puts the user's back as the widget
// would, each style value with the type and bytes it had, but only while ours is still
// the one shown; a wallpaper the user chose since stays. The engine's record is written
// as the engine keeps it: the desktop's style values as they were, and the path the
// system reported for ours once it was set. (Wine keeps each process's system
// parameters apart, so the wallpaper is read from the Wallpaper value that a change
// writes.)
TEST_F(Setup, UninstallerPutsTheUsersWallpaperBack)
{
    const wchar_t desktopKey[] = L"Control Panel\\Desktop";
    const wchar_t* const desktopNames[] = { L"Wallpaper", L"WallpaperStyle", L"TileWallpaper" };
    auto readDesktop = [&] {
        std::vector<RegValue> values;
        for (const wchar_t* name : desktopNames)
            values.push_back(ReadValue(desktopKey, name));
        return values;
    };
    auto expectDesktop = [&](const std::vector<RegValue>& expected) {
        std::vector<RegValue> now = readDesktop();
        for (size_t i = 0; i < now.size(); ++i)
            EXPECT_TRUE(expected[i] == now[i]) << WideToUtf8(desktopNames[i]) << " \"" << WideToUtf8(now[i].Text())
                                               << "\" of type " << now[i].type;
    };
    // Told to every window, or only written: the widget, which runs, clears its flag
    // itself when told that the user chose another picture.
    auto setWallpaper = [](const std::wstring& path, UINT tell = SPIF_SENDCHANGE) {
        return SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, const_cast<wchar_t*>(path.c_str()),
                                     SPIF_UPDATEINIFILE | tell) != FALSE;
    };
    const std::vector<RegValue> before = readDesktop();
    const std::wstring ours = dir + L"\\images\\wallpaper.bmp";
    const DWORD style = 10; // fill, kept as a REG_DWORD as some systems keep it
    auto installAndTurnOn = [&](const std::wstring& shown) {
        ASSERT_EQ(0u, InstallSilently(SetupExe(), L""));
        HWND widget = WaitForWindow(kWidgetClass, nullptr);
        ASSERT_TRUE(widget);
        SendMessageW(widget, WM_ENGINE_WALLPAPER_ON, 0, 0);
        ASSERT_EQ(ours, ReadValue(desktopKey, L"Wallpaper").Text());
        ASSERT_TRUE(WriteRaw(SETTINGS_KEY, VALUE_SAVED_WALLPAPER_STYLE, REG_DWORD, &style, sizeof(style)));
        ASSERT_TRUE(WriteText(SETTINGS_KEY, VALUE_SHOWN_WALLPAPER, shown));
    };
    auto expectFlagCleared = [&] {
        RegValue flag = ReadValue(SETTINGS_KEY, VALUE_USE_CUSTOM_WALLPAPER);
        EXPECT_TRUE(flag.type == REG_DWORD && flag.data.size() == 4 && !*reinterpret_cast<DWORD*>(flag.data.data()));
    };

    std::wstring mine = work + L"\\мои обои.bmp";
    ASSERT_TRUE(CopyFileW(BinPath(L"images\\wallpaper.bmp").c_str(), mine.c_str(), FALSE));
    ASSERT_TRUE(WriteRaw(desktopKey, L"WallpaperStyle", REG_DWORD, &style, sizeof(style)));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, desktopKey, L"TileWallpaper");
    ASSERT_TRUE(setWallpaper(mine));
    const std::vector<RegValue> users = readDesktop();

    // Ours shown through a copy of the system's own, which the system then reports
    // (in its own spelling): the user's wallpaper and style come back, TileWallpaper
    // absent as it was.
    std::wstring copy = work + L"\\TranscodedWallpaper.bmp", reported = copy;
    CharUpperW(&reported[0]);
    ASSERT_NO_FATAL_FAILURE(installAndTurnOn(reported));
    ASSERT_TRUE(CopyFileW(ours.c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(setWallpaper(copy));
    EXPECT_EQ(0u, Uninstall(dir));
    expectDesktop(users);
    expectFlagCleared();

    // A wallpaper the user chose after ours stays as it is, style included.
    DeleteFileW((dir + L"\\" + kUninstallerName).c_str()); // left by the uninstaller run in place
    ASSERT_NO_FATAL_FAILURE(installAndTurnOn(ours));
    std::wstring newer = work + L"\\новые обои.bmp";
    ASSERT_TRUE(CopyFileW(BinPath(L"images\\wallpaper.bmp").c_str(), newer.c_str(), FALSE));
    ASSERT_TRUE(WriteText(desktopKey, L"WallpaperStyle", L"6"));
    ASSERT_TRUE(setWallpaper(newer, 0)); // the uninstaller, not the widget, must see it
    const std::vector<RegValue> chosen = readDesktop();
    EXPECT_EQ(0u, Uninstall(dir));
    expectDesktop(chosen);
    expectFlagCleared();

    for (size_t i = 0; i < before.size(); ++i) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, desktopKey, desktopNames[i]);
        if (before[i].exists)
            WriteRaw(desktopKey, desktopNames[i], before[i].type, before[i].data.data(),
                     static_cast<DWORD>(before[i].data.size()));
    }
    DeleteTree(SETTINGS_KEY);
}

} // namespace
