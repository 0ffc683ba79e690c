// The widget online against local servers on 127.0.0.1 (net_server.py). The test
// starts them itself: Wine runs the Linux program it gives CreateProcessW, so each
// test has servers of its own and needs nothing outside this binary. Most tests
// load base.dll into this process as the Host does, with the test as the tray
// window that sees every balloon and tray state; the last runs the real Host and
// reads the widget as a screen reader does.
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <netlistmgr.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "accessible_reader.h"
#include "engine_in_process.h"
#include "host/engine_interface.h"
#include "test_support.h"
#include "update_support.h"
#include "base/engine_settings.h"

using namespace qt;

namespace {

const wchar_t kUpdated[] = L"Данные обновлены";
const wchar_t kJune12Text[] = L"Sat, 12 Jun 2010 10:00:00 GMT";
const SYSTEMTIME kJune12 = { 2010, 6, 6, 12, 10, 0, 0, 0 };

void SetProxy(const wchar_t* type, const std::wstring& server, const std::wstring& user, const std::wstring& password)
{
    WriteText(PROXY_KEY, VALUE_PROXY_TYPE, type);
    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, server);
    WriteText(PROXY_KEY, VALUE_PROXY_USER, user);
    WriteText(PROXY_KEY, VALUE_PROXY_PASSWORD, password);
}

class Network : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteTree(SETTINGS_KEY);
        DeleteFileW(CacheFile().c_str());
        ASSERT_TRUE(servers.Start(Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name())));
        ASSERT_TRUE(servers.Serve(L"fresh.csv", fresh, kJune12));
        engine = LoadLibraryW(ProgramPath(L"base.dll").c_str());
        ASSERT_TRUE(testTray.window && engine);
    }
    void TearDown() override
    {
        if (widget)
            Exit();
        if (engine)
            FreeLibrary(engine);
        servers.Stop();
        DeleteTree(SETTINGS_KEY);
        DeleteFileW(CacheFile().c_str());
    }

    bool Run()
    {
        widget = RunEngine(engine, testTray.window, L"/date=2010-06-22T21:00");
        return widget != nullptr;
    }
    // ExitQuornel's own time, in ms.
    DWORD Exit()
    {
        widget = nullptr;
        return ExitEngine(engine);
    }
    // As the proxy dialog tells the engine: WM_ENGINE_PROXY_CLOSED or WM_ENGINE_PROXY_TEST.
    void Send(UINT message) { SendMessageW(widget, message, 0, 0); }
    bool Balloons(size_t count, DWORD ms = kWaitMs)
    {
        return PumpUntil([&] { return testTray.balloons.size() >= count; }, ms);
    }

    TestTray testTray;
    LocalServers servers;
    const std::string fresh = DataWithScore("1,3"); // served as /files/fresh.csv
    HWND widget = nullptr;
    HMODULE engine = nullptr;
};

// Without a data address no request goes out, and the tray follows the system's
// own view at start: online under Wine here (no message), offline when the whole
// Wine runs without a network (unshare -n; see the README).
TEST_F(Network, WithoutAnAddressTheTrayFollowsTheSystem)
{
    bool online = true;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    INetworkListManager* manager = nullptr;
    NLM_CONNECTIVITY connectivity;
    if (SUCCEEDED(CoCreateInstance(CLSID_NetworkListManager, nullptr, CLSCTX_ALL, IID_INetworkListManager,
                                   reinterpret_cast<void**>(&manager))) &&
        SUCCEEDED(manager->GetConnectivity(&connectivity)))
        online = (connectivity & (NLM_CONNECTIVITY_IPV4_INTERNET | NLM_CONNECTIVITY_IPV6_INTERNET)) != 0;
    if (manager)
        manager->Release();
    CoUninitialize();
    printf("the system says %s\n", online ? "online" : "offline");
    ASSERT_TRUE(Run());
    Send(WM_ENGINE_PROXY_TEST); // answered after the worker's start
    ASSERT_TRUE(Balloons(1));
    EXPECT_EQ(L"Нет соединения: адрес данных не задан", testTray.balloons[0]);
    EXPECT_EQ(online ? std::vector<WPARAM>() : std::vector<WPARAM>{ 1 }, testTray.states);
    EXPECT_EQ(0u, servers.Requests());
}

// The download at start caches the new file; the next asks with the server's
// Last-Modified and gets 304; the server gone makes the tray offline, back makes
// it online; the next start trusts its cached copy and asks with its date.
TEST_F(Network, DownloadsThenAsksIfModifiedSinceAndFollowsTheServer)
{
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Balloons(1));
    EXPECT_EQ(fresh, ReadFileBytes(CacheFile()));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(servers.WaitFor(2));
    Send(WM_ENGINE_PROXY_TEST); // answered after the 304 was handled
    ASSERT_TRUE(Balloons(2));
    EXPECT_EQ((std::vector<std::wstring>{ kUpdated, L"Соединение работает" }), testTray.balloons);
    auto requests = servers.Lines(L"origin");
    EXPECT_EQ(L"", Field(requests[0], L"ims"));
    EXPECT_EQ(kJune12Text, Field(requests[1], L"ims"));

    WriteText(SETTINGS_KEY, VALUE_DATA_URL, L"http://127.0.0.1:" + std::to_wstring(servers.dead) + L"/files/fresh.csv");
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(PumpUntil([&] { return testTray.states.size() == 1; }));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(PumpUntil([&] { return testTray.states.size() == 2; }));
    EXPECT_EQ((std::vector<WPARAM>{ 1, 0 }), testTray.states) << "online from the start: no message until offline";
    EXPECT_EQ(fresh, ReadFileBytes(CacheFile()));

    EXPECT_LT(Exit(), 1000u);
    ASSERT_TRUE(Run());
    ASSERT_TRUE(servers.WaitFor(5)); // 3: the test's request, 4: the one back online
    EXPECT_EQ(kJune12Text, Field(servers.Lines(L"origin")[4], L"ims"));
}

// The menu's greyed last item: the built-in data, the downloaded file's date in the
// widget's zone, and a failed download's reason beside it; and the user's team.
// "Обновить сейчас" just above it, greyed while there is no data address.
TEST_F(Network, TheMenuSaysWhereTheDataComeFromAndHowFreshTheyAre)
{
    WriteText(SETTINGS_KEY, VALUE_FAVOURITE_TEAM, L"ESP");
    ASSERT_TRUE(Run());
    std::vector<bool> greyed;
    std::vector<std::wstring> texts = WidgetMenuTexts(widget, &greyed);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(L"Данные: встроенные", texts.back());
    EXPECT_TRUE(greyed.back());
    EXPECT_EQ(L"Обновить сейчас", texts[texts.size() - 2]);
    EXPECT_TRUE(greyed[texts.size() - 2]) << "no data address, nothing to ask";
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"Моя команда: Испания"));

    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(Balloons(1));
    texts = WidgetMenuTexts(widget, &greyed);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(L"Данные от 12 июня, 14:00", texts.back());
    EXPECT_EQ(L"Обновить сейчас", texts[texts.size() - 2]);
    EXPECT_FALSE(greyed[texts.size() - 2]);
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, L"http://127.0.0.1:" + std::to_wstring(servers.dead) + L"/files/fresh.csv");
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(PumpUntil([&] { return testTray.states.size() == 1; }));
    EXPECT_EQ(L"Данные от 12 июня, 14:00; нет соединения: сервер недоступен", WidgetMenuTexts(widget).back());
}

TEST_F(Network, ManualProxyAnswersItsLoginRequest)
{
    SetProxy(L"manual", L"127.0.0.1:" + std::to_wstring(servers.proxy), L"fan", L"vuvuzela");
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Balloons(1));
    EXPECT_EQ(kUpdated, testTray.balloons[0]);
    EXPECT_EQ(fresh, ReadFileBytes(CacheFile()));
    // Asked first without the login (Wine's WinHTTP asks once more before it gives it).
    auto proxied = servers.Lines(L"proxy");
    ASSERT_GE(proxied.size(), 2u);
    EXPECT_EQ(L"407", Field(proxied[0], L"status"));
    EXPECT_EQ(L"", Field(proxied[0], L"auth"));
    EXPECT_EQ(servers.Url(L"/files/fresh.csv"), Field(proxied.back(), L"target"));
    EXPECT_EQ(L"Basic ZmFuOnZ1dnV6ZWxh", Field(proxied.back(), L"auth")); // fan:vuvuzela
    EXPECT_EQ(L"200", Field(proxied.back(), L"status"));
    EXPECT_EQ(L"1.1 test-proxy", Field(servers.Lines(L"origin").at(0), L"via"));
}

// The proxy test's balloon for each setting, and whether anything was sent.
TEST_F(Network, ProxyTestAnswersWithABalloon)
{
    const std::wstring proxy = L"127.0.0.1:" + std::to_wstring(servers.proxy);
    const std::wstring data = servers.Url(L"/files/fresh.csv");
    const std::wstring no = L"Нет соединения: ";
    const struct {
        const wchar_t* type;
        std::wstring server, password, url, balloon;
        bool sent;
    } cases[] = {
        // First: the worker's download at start, whenever it runs, finds no address.
        { L"auto", L"", L"", L"", no + L"адрес данных не задан", false },
        { L"manual", proxy, L"vuvuzela", data, L"Соединение работает через прокси-сервер " + proxy, true },
        { L"manual", proxy, L"wrong", data, no + L"прокси-сервер не принял имя пользователя или пароль", true },
        { L"manual", proxy, L"", data, no + L"прокси-сервер требует имя пользователя и пароль", true },
        { L"manual", L"127.0.0.1:" + std::to_wstring(servers.dead), L"", data, no + L"прокси-сервер недоступен", false },
        { L"manual", L"127.0.0.1:" + std::to_wstring(servers.closing), L"", data, no + L"прокси-сервер недоступен", true },
        { L"manual", L"", L"", data, no + L"адрес прокси-сервера задан неверно", false },
        { L"manual", L"127.0.0.1:notaport", L"", data, no + L"адрес прокси-сервера задан неверно", false },
        { L"auto", L"", L"", data, L"Соединение работает", true },
        { L"auto", L"", L"", servers.Url(L"/server-error"), no + L"ошибка сервера (код 500)", true },
        { L"auto", L"", L"", servers.Url(L"/garbage"), no + L"сервер ответил не по протоколу HTTP", true },
        { L"auto", L"", L"", servers.Url(L"/loop"), no + L"слишком много перенаправлений", true },
        { L"auto", L"", L"", servers.Url(L"/to-ftp"), no + L"перенаправление на неподдерживаемый адрес", true },
        { L"auto", L"", L"", servers.Url(L"/hang"), no + L"истекло время ожидания ответа", true },
        { L"auto", L"", L"", L"not an address", no + L"адрес данных задан неверно", false },
        { L"auto", L"", L"", L"ftp://localhost/data.csv", no + L"адрес данных задан неверно", false },
    };
    ASSERT_TRUE(Run());
    for (const auto& one : cases) {
        SCOPED_TRACE(WideToUtf8(one.balloon));
        SetProxy(one.type, one.server, one.password.empty() ? L"" : L"fan", one.password);
        WriteText(SETTINGS_KEY, VALUE_DATA_URL, one.url);
        size_t requests = servers.Requests(), before = testTray.balloons.size();
        Send(WM_ENGINE_PROXY_TEST);
        ASSERT_TRUE(Balloons(before + 1, 25000));
        EXPECT_EQ(one.balloon, testTray.balloons.back());
        EXPECT_EQ(one.sent, servers.Requests() > requests);
    }
    // Offline when the proxy failed, online with the direct connection, offline
    // when the server kept silent.
    EXPECT_EQ((std::vector<WPARAM>{ 1, 0, 1 }), testTray.states);
}

// Values of every type and size in place of the data address, the proxy's and the
// cached copy's, then a damaged cached copy: a clean refusal each, and a download
// that trusts nothing of them.
TEST_F(Network, BadRegistryValuesAndADamagedCopyAreRefused)
{
    const wchar_t* const names[][2] = { { SETTINGS_KEY, VALUE_DATA_URL },        { SETTINGS_KEY, VALUE_DATA_SOURCE },
                                        { SETTINGS_KEY, VALUE_DATA_LAST_MODIFIED }, { PROXY_KEY, VALUE_PROXY_TYPE },
                                        { PROXY_KEY, VALUE_PROXY_SERVER },      { PROXY_KEY, VALUE_PROXY_USER },
                                        { PROXY_KEY, VALUE_PROXY_PASSWORD } };
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Balloons(1)); // a cached copy, with its address and date
    size_t before = 0;
    for (DWORD type : { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD }) {
        for (DWORD size : { 0, 1, 3, 5, 519, 520, 521, 4096 }) {
            std::string junk(size, 'm'); // no terminator anywhere
            for (const auto& name : names) {
                HKEY key;
                RegCreateKeyExW(HKEY_CURRENT_USER, name[0], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
                RegSetValueExW(key, name[1], 0, type, reinterpret_cast<const BYTE*>(junk.data()), size);
                RegCloseKey(key);
            }
            before = testTray.balloons.size();
            Send(WM_ENGINE_PROXY_TEST);
            ASSERT_TRUE(Balloons(before + 1));
            // A text of 1 to 259 units is no URL; anything else counts as no address.
            bool text = type == REG_SZ && size / 2 >= 1 && size / 2 <= 259;
            EXPECT_EQ(text ? L"Нет соединения: адрес данных задан неверно" : L"Нет соединения: адрес данных не задан",
                      testTray.balloons.back()) << "type " << type << " size " << size;
        }
    }
    EXPECT_EQ(1u, servers.Requests());
    before = testTray.balloons.size();
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(servers.WaitFor(2));
    EXPECT_EQ(L"", Field(servers.Lines(L"origin")[1], L"ims")) << "the copy's address is no longer its own";
    ASSERT_TRUE(Balloons(before + 1)); // the same file, cached anew with its address and date

    // A damaged copy is not trusted either: asked for whole, and replaced.
    ASSERT_TRUE(WriteFileBytes(CacheFile(), fresh.substr(0, fresh.size() / 2)));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(servers.WaitFor(3));
    EXPECT_EQ(L"", Field(servers.Lines(L"origin")[2], L"ims"));
    ASSERT_TRUE(Balloons(before + 2));
    EXPECT_EQ(fresh, ReadFileBytes(CacheFile()));
}

// Each hostile answer leaves the cached copy (and with it the widget's data) as it
// was and asks for no balloon; the tray goes offline only where the network failed.
// The 304 of the good file that follows shows that the answer was handled.
TEST_F(Network, HostileServersLeaveTheCachedCopyAlone)
{
    const struct {
        std::wstring path;
        bool offline;
        size_t requests;
    } cases[] = {
        { L"/garbage", false, 1 },      { L"/garbage-body", false, 1 }, { L"/big", false, 1 },
        { L"/big-unsized", false, 1 },  { L"/cut", true, 1 },           { L"/wrong-length", true, 1 },
        { L"/short-length", false, 1 }, { L"/bad-line", false, 1 },     { L"/loop", false, 6 },
        { L"/to-ftp", false, 1 },       { L"/slow", true, 1 }, // the whole request's 30 s
        { L"/" + std::wstring(258 - servers.Url(L"").size(), L'x'), false, 1 }, // 259 characters: a 404
    };
    ASSERT_EQ(259u, servers.Url(cases[11].path).size());
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(Balloons(1));
    for (const auto& one : cases) {
        SCOPED_TRACE(WideToUtf8(one.path));
        size_t seen = servers.Lines(L"origin").size();
        WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(one.path));
        Send(WM_ENGINE_PROXY_CLOSED);
        ASSERT_TRUE(servers.WaitFor(seen + 1)); // the worker has read the address
        WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/fresh.csv"));
        Send(WM_ENGINE_PROXY_CLOSED);
        ASSERT_TRUE(servers.WaitFor(seen + one.requests + 1, 45000));
        auto lines = servers.Lines(L"origin");
        EXPECT_EQ(one.path, Field(lines[seen], L"path"));
        EXPECT_EQ(kJune12Text, Field(lines[seen + one.requests], L"ims"));
        // The hostile answer's report was posted before the 304's request went out.
        PumpUntil([&] { return testTray.states.size() == (one.offline ? 2u : 0u); }, one.offline ? kWaitMs : 0);
        EXPECT_EQ(one.offline ? (std::vector<WPARAM>{ 1, 0 }) : std::vector<WPARAM>(), testTray.states);
        testTray.states.clear();
        EXPECT_EQ(1u, testTray.balloons.size());
        EXPECT_EQ(fresh, ReadFileBytes(CacheFile()));
    }

    // A Last-Modified that is no date: the valid file is taken, and the next
    // request asks without a date.
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/bad-last-modified"));
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(Balloons(2));
    EXPECT_EQ(DataWithScore("1,2"), ReadFileBytes(CacheFile()));
    size_t seen = servers.Lines(L"origin").size();
    Send(WM_ENGINE_PROXY_CLOSED);
    ASSERT_TRUE(servers.WaitFor(seen + 1));
    EXPECT_EQ(L"", Field(servers.Lines(L"origin")[seen], L"ims"));
}

// ExitQuornel within a second while the server never answers. The worker holds
// base.dll until WinHTTP has let go of everything: at once on Windows, at its
// receive time-out (10 s) under Wine, whose WinHTTP finishes a receive under way
// before a closed request goes. base.dll then unloads: nothing of it is left, not
// even a record pinned for WinHTTP's sake.
TEST_F(Network, ExitCancelsARequestThatNeverEnds)
{
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/hang"));
    ASSERT_TRUE(Run());
    ASSERT_TRUE(servers.WaitFor(1));
    Sleep(200); // the worker waits for the answer
    EXPECT_LT(Exit(), 1000u);
    FreeLibrary(engine);
    engine = nullptr;
    DWORD start = GetTickCount();
    ASSERT_TRUE(WaitUntil([] { return !GetModuleHandleW(L"base.dll"); }, 25000)) << "base.dll stays loaded";
    printf("base.dll unloaded %lu ms after ExitQuornel returned\n", GetTickCount() - start);
}

// The installed widget with the real Host: the server's data after the download at
// start, its change after the next download, and the cached copy at the next start
// with the server gone.
TEST(NetworkWidget, ShowsTheServersDataAndKeepsIt)
{
    DeleteTree(SETTINGS_KEY);
    DeleteFileW(CacheFile().c_str());
    LocalServers servers;
    ASSERT_TRUE(servers.Start(L"network_widget"));
    ASSERT_TRUE(servers.Serve(L"data.csv", DataWithScore("1,3"), kJune12));
    WriteText(SETTINGS_KEY, VALUE_DATA_URL, servers.Url(L"/files/data.csv"));
    auto shows = [](HWND widget, const wchar_t* line, DWORD ms) {
        return WaitUntil([&] { return ReadsLine(ReadAccessibleTexts(widget), line); }, ms);
    };
    HostRun run;
    ASSERT_TRUE(StartWidgetHost(run, L"network_widget_host", L"/date=2010-06-22T21:00"));
    EXPECT_TRUE(shows(run.widget, L"18:00 Франция — ЮАР 1:3", kWaitMs));
    SYSTEMTIME later = kJune12;
    later.wDay = 13;
    ASSERT_TRUE(servers.Serve(L"data.csv", DataWithScore("1,4"), later));
    DWORD_PTR answer;
    SendMessageTimeoutW(run.widget, WM_ENGINE_PROXY_CLOSED, 0, 0, SMTO_NORMAL, kWaitMs, &answer);
    EXPECT_TRUE(shows(run.widget, L"18:00 Франция — ЮАР 1:4", kWaitMs));
    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));

    servers.Stop();
    ASSERT_TRUE(StartWidgetHost(run, L"network_widget_host", L"/date=2010-06-22T21:00"));
    EXPECT_TRUE(shows(run.widget, L"18:00 Франция — ЮАР 1:4", 0));
    EXPECT_TRUE(ExitHost(run, &code));
    CleanUpHost(run);
    DeleteTree(SETTINGS_KEY);
    DeleteFileW(CacheFile().c_str());
}

} // namespace
