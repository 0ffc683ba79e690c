// The cached copy of the data file is replaced whole or not at all. base.dll is
// loaded into this process as the Host loads it and downloads a new file from a
// local server (tests/network/net_server.py); its own calls to CreateFileW and
// WriteFile go through this test (swapped in its import table), which first makes
// the write fail and then watches the old copy while the new one is written. A copy
// written in place would be half a file after a full disk or a power cut, and the
// widget would then start with nothing but its built-in data.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "base/engine_settings.h"
#include "engine_in_process.h"
#include "host/engine_interface.h"
#include "test_support.h"

using namespace qt;

namespace {

const wchar_t kUpdated[] = L"Данные обновлены";

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

bool Opened(const std::wstring& path)
{
    std::lock_guard<std::mutex> hold(s_lock);
    return std::any_of(s_openedForWriting.begin(), s_openedForWriting.end(),
                       [&](const std::wstring& p) { return !lstrcmpiW(p.c_str(), path.c_str()); });
}

TEST(CachedCopy, AFailedWriteKeepsTheOldCopyAndANewOneReplacesItByRename)
{
    DeleteTree(SETTINGS_KEY);
    const std::wstring cache = CacheFile(), temporary = cache + L".new";
    DeleteFileW(temporary.c_str());
    s_oldCopy = SourceFile("data/worldcup2010/worldcup2010.csv");
    const std::string fresh = DataWithScore("1,3");
    ASSERT_NE(s_oldCopy, fresh);
    ASSERT_TRUE(WriteFileBytes(cache, s_oldCopy));
    LocalServers servers;
    ASSERT_TRUE(servers.Start(L"cached_copy"));
    SYSTEMTIME june12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };
    ASSERT_TRUE(servers.Serve(L"fresh.csv", fresh, june12));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));

    HMODULE engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
    ASSERT_TRUE(engine);
    RedirectImport(engine, reinterpret_cast<void*>(real_CreateFileW), reinterpret_cast<void*>(&WatchedCreateFileW));
    RedirectImport(engine, reinterpret_cast<void*>(real_WriteFile), reinterpret_cast<void*>(&WatchedWriteFile));
    TestTray tray;
    s_writeFails = true;
    HWND widget = RunEngine(engine, tray.window, L"/date=2010-06-22T21:00");
    ASSERT_TRUE(widget);
    auto balloons = [&](size_t count) { return PumpUntil([&] { return tray.balloons.size() >= count; }); };

    // The download at start: shown, but the copy could not be written.
    EXPECT_TRUE(balloons(1)) << "no download";
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
    EXPECT_TRUE(balloons(2)) << "no second download";
    EXPECT_EQ((std::vector<std::wstring>{ kUpdated, kUpdated }), tray.balloons);
    EXPECT_EQ(fresh, ReadFileBytes(cache));
    EXPECT_FALSE(FileExists(temporary));
    {
        std::lock_guard<std::mutex> hold(s_lock);
        EXPECT_GT(s_writes, 0);
        EXPECT_TRUE(s_oldCopyWholeWhileWriting) << "the old copy changed before the new one was whole";
    }
    EXPECT_FALSE(Opened(cache)) << "the copy itself was opened for writing";
    EXPECT_TRUE(Opened(temporary));

    ExitEngine(engine);
    FreeLibrary(engine);
    servers.Stop();
    DeleteTree(SETTINGS_KEY);
    DeleteFileW(cache.c_str());
}

} // namespace
