// The updater of the engine loaded into this process as the Host loads it, against
// local servers on 127.0.0.1 (tests/network/net_server.py), with descriptions signed
// by scripts/publish-update.sh with the tests' key. The engine's install folder is a
// work folder with a Loader and an update program standing in for the real ones. A
// check is asked for as the user asks, with the menu's command; what the user is told
// is read from the widget's menu and the balloons the engine asks the test tray for.
// Some of base.dll's imports are swapped: its clock and its long waits (no test waits
// minutes for the first check or a trickling server), and its file calls (a full
// disk, a folder it may not write).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/engine_settings.h"
#include "base/widget_drawing.h"
#include "engine_in_process.h"
#include "host/engine_interface.h"
#include "test_support.h"
#include "update_support.h"

using namespace qt;

namespace {

const SYSTEMTIME kJune12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };
const SYSTEMTIME kJune1 = { 2010, 6, 2, 1, 10, 0, 0, 0 };
const wchar_t kVersion[] = L"Обновления: версия " SETUP_VERSION;
const DWORD kLongWaitMs = 60 * 1000;

// ---------------------------------------------------------------------------------
// base.dll's clock and long waits, and its files, as the tests make them.

decltype(&GetTickCount) real_GetTickCount = &GetTickCount;
decltype(&WaitForMultipleObjects) real_WaitForMultipleObjects = &WaitForMultipleObjects;
decltype(&CreateFileW) real_CreateFileW = &CreateFileW;
decltype(&WriteFile) real_WriteFile = &WriteFile;
decltype(&MoveFileExW) real_MoveFileExW = &MoveFileExW;

std::atomic<DWORD> s_clockAhead;    // added to base.dll's GetTickCount
std::atomic<int> s_longWaitsToSkip; // long waits that end at once, as if their time had passed
std::mutex s_waitsLock;
std::vector<DWORD> s_longWaits;     // every long wait's length, in order
std::atomic<DWORD> s_createError;   // the error for opening the download file, or 0
std::atomic<DWORD> s_writeError;    // the error for writing it, or 0
std::atomic<DWORD> s_moveError;     // the error for renaming it, or 0
std::atomic<HANDLE> s_download;

DWORD WINAPI FakeGetTickCount()
{
    return real_GetTickCount() + s_clockAhead;
}

DWORD WINAPI FakeWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL all, DWORD ms)
{
    if (ms >= kLongWaitMs && ms != INFINITE) {
        {
            std::lock_guard<std::mutex> hold(s_waitsLock);
            s_longWaits.push_back(ms);
        }
        if (s_longWaitsToSkip > 0) {
            --s_longWaitsToSkip;
            return real_WaitForMultipleObjects(count, handles, all, 0); // as if the time had passed
        }
    }
    return real_WaitForMultipleObjects(count, handles, all, ms);
}

bool IsDownload(LPCWSTR path)
{
    std::wstring name = path;
    return name.size() > 9 && name.compare(name.size() - 9, 9, L".download") == 0;
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                              DWORD disposition, DWORD flags, HANDLE model)
{
    if (IsDownload(path) && (access & GENERIC_WRITE) && s_createError) {
        SetLastError(s_createError);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = real_CreateFileW(path, access, share, security, disposition, flags, model);
    if (IsDownload(path) && (access & GENERIC_WRITE))
        s_download = file;
    return file;
}

BOOL WINAPI FakeWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    if (file == s_download && s_writeError) {
        if (written)
            *written = 0;
        SetLastError(s_writeError);
        return FALSE;
    }
    return real_WriteFile(file, bytes, size, written, overlapped);
}

BOOL WINAPI FakeMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags)
{
    if (IsDownload(from) && s_moveError) {
        SetLastError(s_moveError);
        return FALSE;
    }
    return real_MoveFileExW(from, to, flags);
}

std::string Bytes(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(((i + seed) * 2654435761u) >> 11);
    return bytes;
}

class Updates : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!BuiltWithTestKey())
            GTEST_SKIP() << "base.dll was not built with the tests' update key (QUORNEL_UPDATE_TEST_KEY)";
        std::wstring name = Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name());
        DeleteTree(SETTINGS_KEY);
        ASSERT_TRUE(servers.Start(L"updates_" + name));
        folder = MakeWorkDir(L"updates_install_" + name);
        ASSERT_TRUE(WriteFileBytes(Installed(kLoaderName), "the Loader"));
        ASSERT_TRUE(WriteFileBytes(Installed(kUpdateProgramName), "the installed setup"));
        ASSERT_TRUE(SetLastWriteTime(Installed(kUpdateProgramName), kJune1));
        ASSERT_TRUE(servers.Serve(L"package.exe", package, kJune12));
        s_clockAhead = 0;
        s_longWaitsToSkip = 0;
        {
            std::lock_guard<std::mutex> hold(s_waitsLock);
            s_longWaits.clear();
        }
        s_createError = 0;
        s_writeError = 0;
        s_moveError = 0;
        engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
        ASSERT_TRUE(testTray.window && engine);
        RedirectImport(engine, reinterpret_cast<void*>(real_GetTickCount), reinterpret_cast<void*>(&FakeGetTickCount));
        RedirectImport(engine, reinterpret_cast<void*>(real_WaitForMultipleObjects),
                       reinterpret_cast<void*>(&FakeWaitForMultipleObjects));
        RedirectImport(engine, reinterpret_cast<void*>(real_CreateFileW), reinterpret_cast<void*>(&FakeCreateFileW));
        RedirectImport(engine, reinterpret_cast<void*>(real_WriteFile), reinterpret_cast<void*>(&FakeWriteFile));
        RedirectImport(engine, reinterpret_cast<void*>(real_MoveFileExW), reinterpret_cast<void*>(&FakeMoveFileExW));
    }
    void TearDown() override
    {
        if (widget)
            ExitEngine(engine);
        if (engine)
            FreeLibrary(engine);
        servers.Stop();
        DeleteTree(SETTINGS_KEY);
    }

    std::wstring Installed(const std::wstring& name) const { return folder + L"\\" + name; }
    std::wstring Served(const std::wstring& name) const { return servers.dir + L"\\" + name; }
    bool Run()
    {
        widget = RunEngine(engine, testTray.window, L"/date=2010-06-22T21:00", folder);
        return widget != nullptr;
    }
    // The description of `version` for the served file `file`, at `address`.
    std::string Signed(const char* version, const std::string& address = "package.exe",
                       const std::wstring& file = L"package.exe", bool otherKey = false)
    {
        std::string text = PublishUpdate(Served(file), address, version, otherKey);
        EXPECT_FALSE(text.empty());
        return text;
    }
    // Served as `name`, a minute newer than the last one served (else the server would
    // answer the engine's condition with 304).
    bool Describe(const std::string& text, const std::wstring& name = L"release.txt")
    {
        SYSTEMTIME modified = kJune12;
        ++described;
        modified.wHour = static_cast<WORD>(modified.wHour + described / 60);
        modified.wMinute = static_cast<WORD>(described % 60);
        return servers.Serve(name, text, modified);
    }
    void SetAddress(const std::wstring& path) { WriteText(SETTINGS_KEY, VALUE_UPDATE_URL, servers.Url(path)); }
    // As the menu's "Проверить обновления" asks.
    void Check() { SendMessageW(widget, WM_COMMAND, CMD_UPDATE_CHECK, 0); }
    // Waits for the menu's line on updates to be `line`; gives the last one read.
    std::wstring MenuLine(const std::wstring& line, DWORD ms = kWaitMs)
    {
        std::wstring read;
        PumpUntil([&] { return (read = UpdateLine(WidgetMenuTexts(widget))) == line; }, ms);
        return read;
    }
    bool NothingLeft() const
    {
        return !FileExists(Installed(kPackageName)) && !FileExists(Installed(L"update_for_tessmark_quornel.download")) &&
               !ReadValue(SETTINGS_KEY, VALUE_UPDATE_PENDING).exists;
    }

    TestTray testTray;
    LocalServers servers;
    std::wstring folder;
    const std::string package = Bytes(200000, 1); // served as /files/package.exe
    HWND widget = nullptr;
    HMODULE engine = nullptr;
    int described = 0;
};

// Each bad input, one check each, in an order where no two in a row are told alike:
// the menu says why, and no package is left.
TEST_F(Updates, EachBadInputIsRefusedWithItsReasonAndLeavesNoPackage)
{
    ASSERT_TRUE(servers.Serve(L"short.exe", package.substr(0, package.size() - 1), kJune12));
    ASSERT_TRUE(servers.Serve(L"long.exe", package + "x", kJune12));
    std::string other = package;
    other[100000] ^= 0x20;
    ASSERT_TRUE(servers.Serve(L"other.exe", other, kJune12));
    ASSERT_TRUE(servers.Serve(L"data.csv", SourceFile("data/worldcup2010/worldcup2010.csv"), kJune12));
    const std::string good = Signed("1.0.1"), older = Signed("0.9.0");
    std::string damaged = good;
    char& c = damaged[damaged.rfind("signature: ") + 20];
    c = c == 'A' ? 'B' : 'A';
    std::string huge = good;
    huge.replace(huge.find("size: "), huge.find('\n', huge.find("size: ")) - huge.find("size: "), "size: 16777217");
    const std::wstring refused = std::wstring(kVersion) + L"; ";
    const struct {
        const char* what;
        std::string description; // served as release.txt; empty: update_url says where
        const wchar_t* address;
        std::wstring line;
    } cases[] = {
        { "damaged signature", damaged, L"", refused + L"подпись описания обновления неверна" },
        { "no signature", SignedPart(good), L"",
          refused + L"описание обновления повреждено: подпись не в последней строке" },
        { "another key's", Signed("1.0.1", "package.exe", L"package.exe", true), L"",
          refused + L"подпись описания обновления неверна" },
        { "garbage", "", L"/garbage-body", refused + L"описание обновления повреждено: недопустимый символ" },
        { "a good signature over another text", SignedPart(Signed("1.0.2")) + SignatureLine(good), L"",
          refused + L"подпись описания обновления неверна" },
        { "an older version", older, L"", refused + L"на сервере более старая версия 0.9.0" },
        { "a package over 16 MB", huge, L"", refused + L"описание обновления повреждено: пакет больше 16 МБ" },
        { "the same version", Signed(WideToUtf8(SETUP_VERSION).c_str()), L"",
          std::wstring(kVersion) + L", последняя" },
        { "a description over 4 KB", "", L"/big", refused + L"описание обновления больше 4 КБ" },
        { "a package shorter than said", Signed("1.0.1", "short.exe"), L"",
          refused + L"размер пакета обновления не совпадает с описанием" },
        { "another package of that size", Signed("1.0.1", "other.exe"), L"",
          refused + L"контрольная сумма пакета обновления не совпадает с описанием" },
        { "a package longer than said", Signed("1.0.1", "long.exe"), L"",
          refused + L"размер пакета обновления не совпадает с описанием" },
        { "a redirect loop", "", L"/loop", refused + L"нет соединения: слишком много перенаправлений" },
        { "a package cut off", Signed("1.0.1", "/cut", L"data.csv"), L"", refused + L"нет соединения: соединение прервано" },
        { "a package's redirect loop", Signed("1.0.1", "/loop"), L"",
          refused + L"нет соединения: слишком много перенаправлений" },
        { "a package redirected to ftp", Signed("1.0.1", "/to-ftp"), L"",
          refused + L"нет соединения: перенаправление на неподдерживаемый адрес" },
        { "a package's address too long", Signed("1.0.1", "package.exe?" + std::string(300, 'q')), L"",
          refused + L"адрес пакета обновления задан неверно" },
        { "not HTTP", "", L"/garbage", refused + L"нет соединения: сервер ответил не по протоколу HTTP" },
        { "no package there", Signed("1.0.1", "/missing.exe"), L"", refused + L"нет соединения: ошибка сервера (код 404)" },
        { "an update address on ftp", "", L"ftp", refused + L"адрес обновлений задан неверно" },
        { "no update address", "", L"none", std::wstring(kVersion) + L", адрес обновлений не задан" },
    };
    ASSERT_TRUE(Run());
    std::wstring previous = UpdateLine(WidgetMenuTexts(widget));
    EXPECT_EQ(kVersion, previous) << "before the first check";
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        ASSERT_NE(previous, one.line) << "the table's order: every case changes the line";
        std::wstring address = one.address;
        if (address == L"ftp")
            WriteText(SETTINGS_KEY, VALUE_UPDATE_URL, L"ftp://localhost/release.txt");
        else if (address == L"none")
            DeleteTree(SETTINGS_KEY);
        else
            SetAddress(address.empty() ? L"/files/release.txt" : address);
        if (!one.description.empty())
            ASSERT_TRUE(Describe(one.description));
        Check();
        EXPECT_EQ(one.line, MenuLine(one.line));
        EXPECT_TRUE(NothingLeft());
        previous = one.line;
    }
    EXPECT_TRUE(testTray.balloons.empty());
    EXPECT_TRUE(testTray.states.empty()) << "the updater leaves the tray's state to the data";
}

// How many times the origin was asked for `path`.
size_t Asked(const LocalServers& servers, const std::wstring& path)
{
    auto lines = servers.Lines(L"origin");
    return std::count_if(lines.begin(), lines.end(), [&](const std::wstring& line) { return Field(line, L"path") == path; });
}

// A newer release is left for the Loader once, told with a balloon and in the menu;
// later checks ask with the description's date, download nothing for a package that
// is pending already, never swap it for an older one (a description replayed), and
// leave it as it was when a newer one fails.
TEST_F(Updates, ANewerReleaseIsLeftForTheLoaderOnceAndKept)
{
    const std::string package2 = Bytes(150000, 2);
    ASSERT_TRUE(servers.Serve(L"package2.exe", package2, kJune12));
    ASSERT_TRUE(Describe(Signed("1.0.1")));
    SetAddress(L"/files/release.txt");
    ASSERT_TRUE(Run());
    Check();
    ASSERT_TRUE(PumpUntil([&] { return testTray.balloons.size() == 1; }));
    EXPECT_EQ(L"Загружено обновление 1.0.1. Оно будет установлено при следующем запуске виджета.",
              testTray.balloons[0]);
    EXPECT_EQ(package, ReadFileBytes(Installed(kPackageName)));
    EXPECT_GT(LastWriteTime(Installed(kPackageName)), LastWriteTime(Installed(kUpdateProgramName)));
    EXPECT_FALSE(FileExists(Installed(L"update_for_tessmark_quornel.download")));
    EXPECT_EQ(L"1.0.1", ReadValue(SETTINGS_KEY, VALUE_UPDATE_PENDING).Text());
    EXPECT_EQ(L"the installed setup", Utf8ToWide(ReadFileBytes(Installed(kUpdateProgramName))));
    std::vector<std::wstring> texts = WidgetMenuTexts(widget);
    EXPECT_EQ(L"Обновление 1.0.1 загружено", UpdateLine(texts));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"Установить обновление и перезапустить"));
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"Проверить обновления"));

    // Asked again: the description's date goes with the request, the 304 says the
    // pending package is the one. A failing check after it, on another address, shows
    // when the worker is through with it.
    size_t seen = servers.Lines(L"origin").size();
    Check();
    ASSERT_TRUE(servers.WaitFor(seen + 1));
    EXPECT_EQ(L"Sat, 12 Jun 2010 10:01:00 GMT", Field(servers.Lines(L"origin")[seen], L"ims"));
    std::string other = package;
    other[5] ^= 1;
    ASSERT_TRUE(servers.Serve(L"other.exe", other, kJune12));
    ASSERT_TRUE(Describe(Signed("1.0.2", "other.exe"), L"release2.txt"));
    SetAddress(L"/files/release2.txt");
    Check();
    const std::wstring pendingLine = L"Обновление 1.0.1 загружено";
    const std::wstring hashLine = pendingLine + L"; контрольная сумма пакета обновления не совпадает с описанием";
    EXPECT_EQ(hashLine, MenuLine(hashLine));
    EXPECT_EQ(1u, Asked(servers, L"/files/package.exe"));
    EXPECT_EQ(package, ReadFileBytes(Installed(kPackageName))) << "a failed newer one leaves the pending one";
    EXPECT_EQ(L"1.0.1", ReadValue(SETTINGS_KEY, VALUE_UPDATE_PENDING).Text());

    // The same version described anew: the pending package's hash is the described
    // one, so nothing is downloaded.
    ASSERT_TRUE(Describe(Signed("1.0.1"), L"release3.txt"));
    SetAddress(L"/files/release3.txt");
    Check();
    EXPECT_EQ(pendingLine, MenuLine(pendingLine));
    EXPECT_EQ(1u, Asked(servers, L"/files/package.exe"));

    // A newer one replaces it, with its own balloon.
    ASSERT_TRUE(Describe(Signed("1.0.2", "package2.exe", L"package2.exe"), L"release4.txt"));
    SetAddress(L"/files/release4.txt");
    Check();
    ASSERT_TRUE(PumpUntil([&] { return testTray.balloons.size() == 2; }));
    EXPECT_EQ(L"Загружено обновление 1.0.2. Оно будет установлено при следующем запуске виджета.",
              testTray.balloons[1]);
    EXPECT_EQ(package2, ReadFileBytes(Installed(kPackageName)));
    EXPECT_EQ(L"1.0.2", ReadValue(SETTINGS_KEY, VALUE_UPDATE_PENDING).Text());

    // The first description replayed: validly signed, newer than the installed version,
    // older than the pending one, which stays.
    SetAddress(L"/files/release.txt");
    seen = servers.Lines(L"origin").size();
    Check();
    ASSERT_TRUE(servers.WaitFor(seen + 1));
    ASSERT_TRUE(Describe(SignedPart(Signed("1.0.3")) + SignatureLine(Signed("1.0.1")), L"release5.txt"));
    SetAddress(L"/files/release5.txt");
    Check();
    EXPECT_EQ(L"Обновление 1.0.2 загружено; подпись описания обновления неверна",
              MenuLine(L"Обновление 1.0.2 загружено; подпись описания обновления неверна"));
    EXPECT_EQ(1u, Asked(servers, L"/files/package.exe"));
    EXPECT_EQ(package2, ReadFileBytes(Installed(kPackageName)));
    EXPECT_EQ(2u, testTray.balloons.size());

    // "Установить обновление и перезапустить" starts the Loader; this folder's is no
    // program, and the menu says so.
    SendMessageW(widget, WM_COMMAND, CMD_UPDATE_INSTALL, 0);
    std::wstring line = UpdateLine(WidgetMenuTexts(widget));
    EXPECT_EQ(0u, line.find(L"Обновление 1.0.2 загружено; не удалось запустить установку обновления (ошибка "))
        << WideToUtf8(line);
}

// The first check a few minutes after the start, the next about a day after a check
// that came to its end, an hour or two after a failed one.
TEST_F(Updates, ChecksComeMinutesAfterTheStartThenDailyOrSoonerAfterAFailure)
{
    ASSERT_TRUE(Describe(SignedPart(Signed("1.0.1")) + SignatureLine(Signed("1.0.2"))));
    SetAddress(L"/files/release.txt");
    s_longWaitsToSkip = 1;
    ASSERT_TRUE(Run());
    std::wstring failed = std::wstring(kVersion) + L"; подпись описания обновления неверна";
    EXPECT_EQ(failed, MenuLine(failed)) << "no check asked for: the first one came by itself";
    auto waits = [] {
        std::lock_guard<std::mutex> hold(s_waitsLock);
        return s_longWaits;
    };
    ASSERT_TRUE(WaitUntil([&] { return waits().size() >= 2; }));
    EXPECT_GE(waits()[0], 2 * 60 * 1000u);
    EXPECT_LE(waits()[0], 7 * 60 * 1000u);
    EXPECT_GE(waits()[1], 60 * 60 * 1000u) << "after a failure";
    EXPECT_LE(waits()[1], 3 * 60 * 60 * 1000u);

    ASSERT_TRUE(Describe(Signed("1.0.1")));
    Check();
    ASSERT_TRUE(PumpUntil([&] { return testTray.balloons.size() == 1; }));
    // The package's download waits long too (its whole time): the schedule's wait is the last.
    ASSERT_TRUE(WaitUntil([&] { return waits().back() > 20 * 60 * 60 * 1000u; }));
    EXPECT_GE(waits().back(), 22 * 60 * 60 * 1000u);
    EXPECT_LE(waits().back(), 26 * 60 * 60 * 1000u);
}

// A server that keeps silent, one that sends its package a byte a second (until the
// package's whole time has passed on base.dll's clock), and the widget's end during a
// download: told, and nothing left behind, the part already written included.
TEST_F(Updates, SilentAndTricklingServersTimeOutAndLeaveNothing)
{
    ASSERT_TRUE(servers.Serve(L"data.csv", SourceFile("data/worldcup2010/worldcup2010.csv"), kJune12));
    const std::wstring timedOut = std::wstring(kVersion) + L"; нет соединения: истекло время ожидания ответа";
    SetAddress(L"/hang");
    ASSERT_TRUE(Run());
    Check();
    EXPECT_EQ(timedOut, MenuLine(timedOut, 25000)); // the answer's 10 s
    EXPECT_TRUE(NothingLeft());

    ASSERT_TRUE(Describe(Signed("0.9.0")));
    SetAddress(L"/files/release.txt");
    Check();
    EXPECT_EQ(std::wstring(kVersion) + L"; на сервере более старая версия 0.9.0",
              MenuLine(std::wstring(kVersion) + L"; на сервере более старая версия 0.9.0"));

    ASSERT_TRUE(Describe(Signed("1.0.1", "/slow", L"data.csv")));
    Check();
    const std::wstring download = Installed(L"update_for_tessmark_quornel.download");
    ASSERT_TRUE(WaitUntil([&] { return FileSize(download) >= 2; })) << "written as it arrives";
    s_clockAhead += 16 * 60 * 1000;
    EXPECT_EQ(timedOut, MenuLine(timedOut));
    EXPECT_TRUE(NothingLeft());

    Check();
    ASSERT_TRUE(WaitUntil([&] { return FileSize(download) >= 1; }));
    EXPECT_LT(ExitEngine(engine), 1000u);
    widget = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return NothingLeft(); }, 25000));
}

// A full disk, a folder the widget may not write, a pending package another program
// holds and a folder without a Loader: each told, the package pending before left as
// it was with its record; then the newer one arrives, dated a
// second after an update program from the future.
TEST_F(Updates, AFullDiskOrAFolderItCannotUseKeepsThePendingPackage)
{
    const std::string package2 = Bytes(150000, 2);
    ASSERT_TRUE(servers.Serve(L"package2.exe", package2, kJune12));
    ASSERT_TRUE(Describe(Signed("1.0.1")));
    SetAddress(L"/files/release.txt");
    ASSERT_TRUE(Run());
    Check();
    ASSERT_TRUE(PumpUntil([&] { return testTray.balloons.size() == 1; }));
    ULONGLONG pendingTime = LastWriteTime(Installed(kPackageName));

    ASSERT_TRUE(Describe(Signed("1.0.2", "package2.exe", L"package2.exe")));
    const std::wstring pendingLine = L"Обновление 1.0.1 загружено; ";
    const struct {
        const char* what;
        DWORD createError, writeError, moveError;
        bool loader;
        std::wstring line;
    } cases[] = {
        { "a full disk", 0, ERROR_DISK_FULL, 0, true,
          pendingLine + L"не удалось сохранить обновление в папке виджета (ошибка 112)" },
        { "no write access", ERROR_ACCESS_DENIED, 0, 0, true,
          pendingLine + L"не удалось сохранить обновление в папке виджета (ошибка 5)" },
        { "the pending one held open", 0, 0, ERROR_SHARING_VIOLATION, true,
          pendingLine + L"не удалось сохранить обновление в папке виджета (ошибка 32)" },
        { "no Loader", 0, 0, 0, false, pendingLine + L"виджет запущен не из папки установки" },
    };
    for (const auto& one : cases) {
        SCOPED_TRACE(one.what);
        s_createError = one.createError;
        s_writeError = one.writeError;
        s_moveError = one.moveError;
        if (!one.loader)
            ASSERT_TRUE(DeleteFileW(Installed(kLoaderName).c_str()));
        Check();
        EXPECT_EQ(one.line, MenuLine(one.line));
        EXPECT_EQ(package, ReadFileBytes(Installed(kPackageName)));
        EXPECT_EQ(pendingTime, LastWriteTime(Installed(kPackageName)));
        EXPECT_EQ(L"1.0.1", ReadValue(SETTINGS_KEY, VALUE_UPDATE_PENDING).Text());
        EXPECT_FALSE(FileExists(Installed(L"update_for_tessmark_quornel.download")));
    }
    s_createError = 0;
    s_writeError = 0;
    s_moveError = 0;
    ASSERT_TRUE(WriteFileBytes(Installed(kLoaderName), "the Loader"));
    const SYSTEMTIME future = { 2100, 1, 5, 1, 12, 0, 0, 0 };
    ASSERT_TRUE(SetLastWriteTime(Installed(kUpdateProgramName), future));
    Check();
    ASSERT_TRUE(PumpUntil([&] { return testTray.balloons.size() == 2; }));
    EXPECT_EQ(package2, ReadFileBytes(Installed(kPackageName)));
    EXPECT_EQ(LastWriteTime(Installed(kUpdateProgramName)) + 10000000, LastWriteTime(Installed(kPackageName)));
}

} // namespace
