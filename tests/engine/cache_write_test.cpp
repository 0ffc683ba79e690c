// The cached copy of the data file is replaced whole or not at all. base.dll is
// loaded into this process as the Host loads it and downloads a new file from a
// local server (tests/network/net_server.py); its own calls to CreateFileW and
// WriteFile go through this test (swapped in its import table), which first makes
// the write fail and then watches the old copy while the new one is written. A copy
// written in place would be half a file after a full disk or a power cut, and the
// widget would then start with nothing but its built-in data.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <stdio.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "host/engine_interface.h"
#include "test_support.h"

using namespace qt;

namespace {

const wchar_t kSettingsKey[] = L"Software\\Morvane\\Tessmark";
const wchar_t kUpdated[] = L"Данные обновлены";

std::wstring CacheFile()
{
    wchar_t folder[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    std::wstring path = std::wstring(folder) + L"\\Morvane";
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\Tessmark";
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\worldcup2010.csv";
}

std::string SourceFile(const char* relative)
{
    std::wstring path = L"Z:" + Utf8ToWide(std::string(QUORNEL_SOURCE_DIR) + "/" + relative);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return ReadFileBytes(path);
}

// What the engine's worker did with files, seen from its import table.
std::mutex s_lock;
bool s_writeFails;
int s_writes;
bool s_oldCopyWholeWhileWriting = true;
std::string s_oldCopy;
std::vector<std::wstring> s_openedForWriting;

decltype(&CreateFileW) real_CreateFileW = &CreateFileW;
decltype(&WriteFile) real_WriteFile = &WriteFile;

HANDLE WINAPI WatchedCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE model)
{
    if (access & (GENERIC_WRITE | FILE_WRITE_DATA)) {
        std::lock_guard<std::mutex> hold(s_lock);
        s_openedForWriting.push_back(path);
    }
    return real_CreateFileW(path, access, share, security, disposition, flags, model);
}

BOOL WINAPI WatchedWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    {
        std::lock_guard<std::mutex> hold(s_lock);
        ++s_writes;
        if (ReadFileBytes(CacheFile()) != s_oldCopy)
            s_oldCopyWholeWhileWriting = false;
        if (s_writeFails) {
            if (written)
                *written = 0;
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
    }
    return real_WriteFile(file, bytes, size, written, overlapped);
}

// Points every import of `module` that goes to `real` at `watched`.
void Redirect(HMODULE module, void* real, void* watched)
{
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        for (auto* slot = reinterpret_cast<ULONG_PTR*>(base + imp->FirstThunk); *slot; ++slot) {
            if (*slot != reinterpret_cast<ULONG_PTR>(real))
                continue;
            DWORD old;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
            *slot = reinterpret_cast<ULONG_PTR>(watched);
            VirtualProtect(slot, sizeof(*slot), old, &old);
        }
    }
}

std::vector<std::wstring> s_balloons;

LRESULT CALLBACK TrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (message == WM_COPYDATA && data->dwData == COPYDATA_BALLOON) {
        s_balloons.emplace_back(static_cast<const wchar_t*>(data->lpData));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Serves this thread's windows (the engine's among them) until `count` balloons came.
bool WaitForBalloons(size_t count)
{
    for (DWORD start = GetTickCount(); s_balloons.size() < count;) {
        if (GetTickCount() - start > kWaitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    return true;
}

// The origin server in a work folder of its own, serving `bytes` as /files/fresh.csv;
// its port, or 0.
int StartServer(const std::wstring& dir, const std::string& bytes)
{
    auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* root = unixName ? unixName(dir.c_str()) : nullptr;
    if (!root || !WriteFileBytes(dir + L"\\fresh.csv", bytes))
        return 0;
    std::wstring command = L"python3 \"" + Utf8ToWide(QUORNEL_SOURCE_DIR "/tests/network/net_server.py") + L"\" \"" +
                           Utf8ToWide(root) + L"\" \"" +
                           Utf8ToWide(QUORNEL_SOURCE_DIR "/data/worldcup2010/worldcup2010.csv") + L"\"";
    HeapFree(GetProcessHeap(), 0, root);
    STARTUPINFOW startup = { sizeof(startup) };
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(L"Z:\\usr\\bin\\python3", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return 0;
    CloseHandle(started.hThread); // a Linux program: nothing to wait on
    CloseHandle(started.hProcess);
    std::wstring ports = dir + L"\\ports.txt";
    int origin = 0;
    if (!WaitUntil([&] { return FileExists(ports); }) || sscanf(ReadFileBytes(ports).c_str(), "origin=%d", &origin) != 1)
        return 0;
    return origin;
}

bool Opened(const std::wstring& path)
{
    std::lock_guard<std::mutex> hold(s_lock);
    return std::any_of(s_openedForWriting.begin(), s_openedForWriting.end(),
                       [&](const std::wstring& p) { return !lstrcmpiW(p.c_str(), path.c_str()); });
}

TEST(CachedCopy, AFailedWriteKeepsTheOldCopyAndANewOneReplacesItByRename)
{
    DeleteTree(kSettingsKey);
    const std::wstring cache = CacheFile(), temporary = cache + L".new";
    DeleteFileW(temporary.c_str());
    s_oldCopy = SourceFile("data/worldcup2010/worldcup2010.csv");
    std::string fresh = s_oldCopy;
    size_t score = fresh.find("FRA,RSA,1,2,");
    ASSERT_NE(std::string::npos, score);
    fresh.replace(score + 8, 3, "1,3");
    ASSERT_TRUE(WriteFileBytes(cache, s_oldCopy));
    const std::wstring dir = MakeWorkDir(L"cached_copy");
    const int port = StartServer(dir, fresh);
    ASSERT_NE(0, port);
    WriteText(kSettingsKey, L"data_url", L"http://localhost:" + std::to_wstring(port) + L"/files/fresh.csv");

    HMODULE engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
    ASSERT_TRUE(engine);
    Redirect(engine, reinterpret_cast<void*>(real_CreateFileW), reinterpret_cast<void*>(&WatchedCreateFileW));
    Redirect(engine, reinterpret_cast<void*>(real_WriteFile), reinterpret_cast<void*>(&WatchedWriteFile));
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TrayProc;
    windowClass.lpszClassName = L"cached_copy_tray";
    RegisterClassW(&windowClass);
    HWND tray = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                nullptr);
    static QuornelInitParams params;
    params.trayWindow = tray;
    lstrcpynW(params.commandLine, L"/date=2010-06-22T21:00", ARRAYSIZE(params.commandLine));
    lstrcpynW(params.currentDirectory, BinDir().c_str(), ARRAYSIZE(params.currentDirectory));
    Result result = {};
    HWND widget = nullptr;
    auto run = reinterpret_cast<BOOL (*)(QuornelInitParams*, HWND*, Result*)>(
        reinterpret_cast<void*>(GetProcAddress(engine, "RunQuornel")));
    s_writeFails = true;
    ASSERT_TRUE(run && run(&params, &widget, &result));

    // The download at start: shown, but the copy could not be written.
    EXPECT_TRUE(WaitForBalloons(1)) << "no download";
    {
        std::lock_guard<std::mutex> hold(s_lock);
        EXPECT_GT(s_writes, 0) << "the engine wrote nothing";
        s_writeFails = false;
        s_writes = 0;
        s_openedForWriting.clear();
    }
    EXPECT_EQ(s_oldCopy, ReadFileBytes(cache)) << "the old copy was spoiled by the failed write";
    EXPECT_FALSE(FileExists(temporary)) << "the failed write's file was left behind";

    // The next download writes beside the old copy and renames over it.
    SendMessageW(widget, WM_ENGINE_PROXY_CLOSED, 0, 0);
    EXPECT_TRUE(WaitForBalloons(2)) << "no second download";
    EXPECT_EQ((std::vector<std::wstring>{ kUpdated, kUpdated }), s_balloons);
    EXPECT_EQ(fresh, ReadFileBytes(cache));
    EXPECT_FALSE(FileExists(temporary));
    {
        std::lock_guard<std::mutex> hold(s_lock);
        EXPECT_GT(s_writes, 0);
        EXPECT_TRUE(s_oldCopyWholeWhileWriting) << "the old copy changed before the new one was whole";
    }
    EXPECT_FALSE(Opened(cache)) << "the copy itself was opened for writing";
    EXPECT_TRUE(Opened(temporary));

    reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(engine, "ExitQuornel")))();
    FreeLibrary(engine);
    DestroyWindow(tray);
    WriteFileBytes(dir + L"\\stop", "");
    DeleteTree(kSettingsKey);
    DeleteFileW(cache.c_str());
}

} // namespace
