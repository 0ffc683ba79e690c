// The proxy dialog in the running Host, driven as the user would: opened with tray
// command 200, clicked and typed into, closed from its caption; checked against
// the registry and against what the stand-in engine saw and when.
#include <gtest/gtest.h>

#include "proxy_test_support.h"
#include "test_support.h"
#include "host/engine_interface.h"

using namespace qt;

namespace {

const int kCheckbox = 1000;
const int kServer = 1003, kUser = 1004, kPassword = 1005, kTestButton = 1009;
const int kManualControls[] = { 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009 };

class ProxyDialog : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(kMorvaneKey); }
    void TearDown() override { CleanUpHost(run); }

    // Tray command 200, then the dialog found by its caption; null if none came.
    HWND Open()
    {
        Send(run.tray, WM_COMMAND, 200);
        return WaitForWindow(L"#32770", kProxyCaption, 5000);
    }

    // The caption's close box: WM_CLOSE, which the dialog manager turns into
    // IDCANCEL. Waits for the dialog's end and the engine's message.
    void Close(HWND dialog)
    {
        size_t closed = CountMessages(WM_ENGINE_PROXY_CLOSED);
        Send(dialog, WM_CLOSE);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 5000)) << "dialog not destroyed";
        EXPECT_TRUE(WaitUntil([&] { return CountMessages(WM_ENGINE_PROXY_CLOSED) == closed + 1; }, 5000))
            << "WM_ENGINE_PROXY_CLOSED not sent";
    }

    size_t CountMessages(UINT message)
    {
        size_t n = 0;
        for (UINT m : EngineMessages(run.log))
            n += m == message;
        return n;
    }

    // The stand-in's "proxy" lines: the key and the dialog as the engine found them.
    std::vector<std::wstring> ProxyLines() { return LogLines(run.log, L"proxy"); }

    HostRun run;
};

void ExpectAutomaticMode(HWND dialog, bool automatic)
{
    EXPECT_EQ(automatic, Checked(dialog, kCheckbox)) << "checkbox 1000";
    EXPECT_TRUE(Enabled(dialog, kCheckbox)) << "the checkbox is never disabled";
    for (int id : kManualControls)
        EXPECT_EQ(!automatic, Enabled(dialog, id)) << "control " << id;
}

void ExpectTexts(HWND dialog, const std::wstring& server, const std::wstring& user, const std::wstring& password)
{
    EXPECT_EQ(server, ControlText(dialog, kServer));
    EXPECT_EQ(user, ControlText(dialog, kUser));
    EXPECT_EQ(password, ControlText(dialog, kPassword));
}

// REG_SZ, UTF-16 with its NUL, (n + 1) * 2 bytes.
void ExpectStored(const wchar_t* name, const std::wstring& text)
{
    SCOPED_TRACE(WideToUtf8(name));
    RegValue value = ReadValue(PROXY_KEY, name);
    ASSERT_TRUE(value.exists);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    ASSERT_EQ((text.size() + 1) * 2, value.data.size());
    EXPECT_EQ(0, value.data[value.data.size() - 2] | value.data[value.data.size() - 1]) << "terminator";
    EXPECT_EQ(text, value.Text());
}

void ExpectStoredAll(const std::wstring& type, const std::wstring& server, const std::wstring& user,
                     const std::wstring& password)
{
    ExpectStored(VALUE_PROXY_TYPE, type);
    ExpectStored(VALUE_PROXY_SERVER, server);
    ExpectStored(VALUE_PROXY_USER, user);
    ExpectStored(VALUE_PROXY_PASSWORD, password);
}

TEST_F(ProxyDialog, FirstUseCreatesTheKeyShowsAutomaticModeAndCloseStoresDefaults)
{
    ASSERT_TRUE(StartHost(run, L"proxy_first_use", L""));
    ASSERT_FALSE(KeyExists(SETTINGS_KEY));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_TRUE(KeyExists(PROXY_KEY)) << "opened with RegCreateKeyExW, whole path";
    EXPECT_EQ(0, ValueCount(PROXY_KEY)) << "opening writes nothing";
    ExpectAutomaticMode(dialog, true);
    ExpectTexts(dialog, L"", L"", L"");
    EXPECT_TRUE(EngineMessages(run.log).empty());

    Close(dialog);
    ExpectStoredAll(L"auto", L"", L"", L"");
    EXPECT_EQ(4, ValueCount(PROXY_KEY));
    EXPECT_EQ(std::vector<UINT>{ WM_ENGINE_PROXY_CLOSED }, EngineMessages(run.log));
    auto lines = ProxyLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"0", Field(lines[0], L"dialog")) << "the engine is told after the dialog is gone";
    EXPECT_EQ(L"auto", Field(lines[0], L"type")) << "and after the values are stored";
}

TEST_F(ProxyDialog, ManualShowsStoredTextsWithEveryControlEnabled)
{
    WriteProxyValues(L"manual", L"proxy.example:3128", L"Иван", L"секрет 1");
    ASSERT_TRUE(StartHost(run, L"proxy_manual", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ExpectAutomaticMode(dialog, false);
    ExpectTexts(dialog, L"proxy.example:3128", L"Иван", L"секрет 1");

    HWND password = GetDlgItem(dialog, kPassword);
    EXPECT_TRUE(GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD);
    EXPECT_NE(0, Send(password, EM_GETPASSWORDCHAR)) << "the password is shown masked";

    Close(dialog);
    ExpectStoredAll(L"manual", L"proxy.example:3128", L"Иван", L"секрет 1");
}

TEST_F(ProxyDialog, AnyTypeButExactlyManualShowsAutomaticModeWithTheStoredTexts)
{
    ASSERT_TRUE(StartHost(run, L"proxy_other_types", L""));
    for (const wchar_t* type : { L"auto", L"", L"Manual", L"MANUAL", L"manual ", L"manua", L"manualx", L" manual" }) {
        SCOPED_TRACE(testing::Message() << "proxy_type \"" << WideToUtf8(type) << "\"");
        WriteProxyValues(type, L"10.0.0.1:8080", L"user", L"pw");
        HWND dialog = Open();
        ASSERT_NE(nullptr, dialog);
        ExpectAutomaticMode(dialog, true);
        ExpectTexts(dialog, L"10.0.0.1:8080", L"user", L"pw");
        Close(dialog);
        // The disabled edits are stored too.
        ExpectStoredAll(L"auto", L"10.0.0.1:8080", L"user", L"pw");
    }
}

TEST_F(ProxyDialog, TypeMissingOrNotRegSzShowsEmptyAutomaticModeAndCloseOverwrites)
{
    ASSERT_TRUE(StartHost(run, L"proxy_type_absent", L""));
    for (DWORD type : { static_cast<DWORD>(REG_NONE), static_cast<DWORD>(REG_EXPAND_SZ),
                        static_cast<DWORD>(REG_MULTI_SZ) }) {
        SCOPED_TRACE(testing::Message() << "proxy_type of type " << type << " (0: missing)");
        DeleteTree(PROXY_KEY);
        WriteText(PROXY_KEY, VALUE_PROXY_SERVER, L"stored.example:80");
        WriteText(PROXY_KEY, VALUE_PROXY_USER, L"stored user");
        WriteText(PROXY_KEY, VALUE_PROXY_PASSWORD, L"stored password");
        if (type == REG_EXPAND_SZ)
            WriteText(PROXY_KEY, VALUE_PROXY_TYPE, L"manual", REG_EXPAND_SZ);
        if (type == REG_MULTI_SZ)
            WriteRaw(PROXY_KEY, VALUE_PROXY_TYPE, REG_MULTI_SZ, L"manual\0", 16);
        HWND dialog = Open();
        ASSERT_NE(nullptr, dialog);
        ExpectAutomaticMode(dialog, true);
        ExpectTexts(dialog, L"", L"", L"");
        Close(dialog);
        ExpectStoredAll(L"auto", L"", L"", L"");
    }
}

TEST_F(ProxyDialog, StoredServerOf259CharactersIsShownAnd260IsNot)
{
    const std::wstring longest(259, L's');
    WriteProxyValues(L"manual", longest, L"u", L"p");
    ASSERT_EQ(520u, ReadValue(PROXY_KEY, VALUE_PROXY_SERVER).data.size());
    ASSERT_TRUE(StartHost(run, L"proxy_long_server", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ExpectTexts(dialog, longest, L"u", L"p");
    Close(dialog);
    ExpectStored(VALUE_PROXY_SERVER, longest);

    for (size_t length : { 260u, 261u, 400u }) {
        SCOPED_TRACE(testing::Message() << "server of " << length << " characters");
        WriteProxyValues(L"manual", std::wstring(length, L's'), L"u", L"p");
        dialog = Open();
        ASSERT_NE(nullptr, dialog);
        ExpectAutomaticMode(dialog, false);
        ExpectTexts(dialog, L"", L"u", L"p");
        Close(dialog);
        ExpectStored(VALUE_PROXY_SERVER, L"");
    }
}

TEST_F(ProxyDialog, UnterminatedStoredTextsEndWhereTheirDataEnds)
{
    ASSERT_TRUE(StartHost(run, L"proxy_unterminated", L""));

    // proxy_type without its NUL still means manual; a short server read after the
    // longer type into the same buffer shows nothing of the type.
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_TYPE, L"manual"));
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_SERVER, L"ab"));
    // 520 bytes of text: no room left for the NUL.
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_USER, std::wstring(260, L'u')));
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_PASSWORD, std::wstring(259, L'p')));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ExpectAutomaticMode(dialog, false);
    ExpectTexts(dialog, L"ab", L"", std::wstring(259, L'p'));
    Close(dialog);
    ExpectStoredAll(L"manual", L"ab", L"", std::wstring(259, L'p'));

    // An unterminated type shorter than "manual" is not "manual".
    WriteProxyValues(L"manual", L"", L"", L"");
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_TYPE, L"man"));
    dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ExpectAutomaticMode(dialog, true);
    Close(dialog);
}

TEST_F(ProxyDialog, TypedTextsAreStoredCutTo259Characters)
{
    WriteProxyValues(L"manual", L"", L"", L"");
    ASSERT_TRUE(StartHost(run, L"proxy_typed", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    std::wstring typed;
    for (int i = 0; i < 300; ++i)
        typed.push_back(static_cast<wchar_t>(L'a' + i % 26));
    SetControlText(dialog, kServer, typed);
    ASSERT_EQ(typed, ControlText(dialog, kServer)) << "the edit has no limit of its own";
    SetControlText(dialog, kUser, L"Пользователь");
    SetControlText(dialog, kPassword, L"pa\x00DFw\x00F6rd \x2014 42");
    Close(dialog);

    RegValue server = ReadValue(PROXY_KEY, VALUE_PROXY_SERVER);
    EXPECT_EQ(520u, server.data.size());
    ExpectStored(VALUE_PROXY_SERVER, typed.substr(0, 259));
    ExpectStored(VALUE_PROXY_USER, L"Пользователь");
    ExpectStored(VALUE_PROXY_PASSWORD, L"pa\x00DFw\x00F6rd \x2014 42"); // plain text, as the engine reads it
    ExpectStored(VALUE_PROXY_TYPE, L"manual");
}

TEST_F(ProxyDialog, CheckboxSwitchesTheModeAndStoresNothing)
{
    WriteProxyValues(L"manual", L"host:1", L"u", L"p");
    auto stored = KeySnapshot(PROXY_KEY);
    ASSERT_TRUE(StartHost(run, L"proxy_checkbox", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    ExpectAutomaticMode(dialog, false);

    Click(dialog, kCheckbox);
    ExpectAutomaticMode(dialog, true);
    EXPECT_TRUE(KeySnapshot(PROXY_KEY) == stored) << "the mode reaches the registry only on a test or close";
    Click(dialog, kCheckbox);
    ExpectAutomaticMode(dialog, false);
    EXPECT_TRUE(KeySnapshot(PROXY_KEY) == stored);
    EXPECT_TRUE(EngineMessages(run.log).empty());

    // Switched to automatic, the close stores "auto" with the texts.
    Click(dialog, kCheckbox);
    Close(dialog);
    ExpectStoredAll(L"auto", L"host:1", L"u", L"p");
}

TEST_F(ProxyDialog, TestButtonStoresThenTellsTheEngineAndTheDialogStays)
{
    ASSERT_TRUE(StartHost(run, L"proxy_test_button", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    EXPECT_FALSE(Enabled(dialog, kTestButton)) << "disabled in automatic mode";

    Click(dialog, kCheckbox); // manual
    ASSERT_TRUE(Enabled(dialog, kTestButton));
    SetControlText(dialog, kServer, L"proxy.test:8080");
    SetControlText(dialog, kUser, L"tester");
    SetControlText(dialog, kPassword, L"hidden");
    EXPECT_EQ(0, ValueCount(PROXY_KEY));

    Click(dialog, kTestButton);
    ASSERT_TRUE(WaitForLogLine(run.log, L"proxy", 1, 5000));
    EXPECT_EQ(std::vector<UINT>{ WM_ENGINE_PROXY_TEST }, EngineMessages(run.log));
    ExpectStoredAll(L"manual", L"proxy.test:8080", L"tester", L"hidden");
    auto lines = ProxyLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"1", Field(lines[0], L"dialog")) << "the dialog stays open";
    EXPECT_EQ(L"manual", Field(lines[0], L"type")) << "stored before the engine is told";
    EXPECT_EQ(L"proxy.test:8080", Field(lines[0], L"server"));
    EXPECT_EQ(L"tester", Field(lines[0], L"user"));
    EXPECT_EQ(L"hidden", Field(lines[0], L"password"));
    EXPECT_TRUE(IsWindowVisible(dialog));
    ExpectAutomaticMode(dialog, false);

    // A second test request stores the edits as they are now.
    SetControlText(dialog, kServer, L"other:1");
    Click(dialog, kTestButton);
    ASSERT_TRUE(WaitForLogLine(run.log, L"proxy", 2, 5000));
    EXPECT_EQ(L"other:1", Field(ProxyLines()[1], L"server"));

    Close(dialog);
    std::vector<UINT> expected = { WM_ENGINE_PROXY_TEST, WM_ENGINE_PROXY_TEST, WM_ENGINE_PROXY_CLOSED };
    EXPECT_EQ(expected, EngineMessages(run.log));
    ExpectStoredAll(L"manual", L"other:1", L"tester", L"hidden");
}

LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

void Pump(void)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// True when `upper` lies above `lower` in the Z order of top-level windows.
bool IsAbove(HWND upper, HWND lower)
{
    for (HWND window = GetTopWindow(nullptr); window; window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == upper)
            return true;
        if (window == lower)
            return false;
    }
    return false;
}

TEST_F(ProxyDialog, Command200WhileOpenChangesNothing)
{
    WriteProxyValues(L"manual", L"first", L"first", L"first");
    ASSERT_TRUE(StartHost(run, L"proxy_reopen", L""));
    SetCursorPos(600, 500);
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    RECT before;
    GetWindowRect(dialog, &before);
    SetControlText(dialog, kServer, L"typed, not stored");
    WriteProxyValues(L"auto", L"second", L"second", L"second"); // what a refill would show

    // A window of the test's own above the dialog: the dialog must not come to the front.
    WNDCLASSW coverClass = {};
    coverClass.lpfnWndProc = CoverProc;
    coverClass.hInstance = GetModuleHandleW(nullptr);
    coverClass.lpszClassName = L"proxy_test_cover";
    RegisterClassW(&coverClass);
    HWND cover = CreateWindowExW(0, coverClass.lpszClassName, L"cover", WS_POPUP | WS_VISIBLE, before.left,
                                 before.top, 200, 100, nullptr, nullptr, coverClass.hInstance, nullptr);
    ASSERT_NE(nullptr, cover);
    SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Pump();
    ASSERT_TRUE(IsAbove(cover, dialog));

    SetCursorPos(300, 200);
    Send(run.tray, WM_COMMAND, 200);
    Pump();
    EXPECT_EQ(std::vector<HWND>{ dialog }, ProxyDialogs()) << "no second dialog";
    RECT after;
    GetWindowRect(dialog, &after);
    EXPECT_TRUE(EqualRect(&before, &after)) << "not moved";
    EXPECT_TRUE(IsAbove(cover, dialog)) << "not brought to the front";
    EXPECT_EQ(L"typed, not stored", ControlText(dialog, kServer)) << "not refilled";
    ExpectAutomaticMode(dialog, false);
    EXPECT_TRUE(EngineMessages(run.log).empty());
    DestroyWindow(cover);

    // Once closed, command 200 opens a fresh dialog with what was stored.
    Close(dialog);
    HWND fresh = Open();
    ASSERT_NE(nullptr, fresh);
    ExpectTexts(fresh, L"typed, not stored", L"first", L"first");
    Close(fresh);
}

TEST_F(ProxyDialog, BottomRightCornerLandsOnTheCursor)
{
    ASSERT_TRUE(StartHost(run, L"proxy_position", L""));
    // Within the 1024x768 virtual desktop; near its top-left corner the dialog
    // goes partly off the screen, as the position is not clamped.
    for (POINT cursor : { POINT{ 900, 700 }, POINT{ 500, 400 }, POINT{ 60, 50 } }) {
        SCOPED_TRACE(testing::Message() << "cursor " << cursor.x << "," << cursor.y);
        SetCursorPos(cursor.x, cursor.y);
        POINT actual;
        GetCursorPos(&actual);
        ASSERT_EQ(cursor.x, actual.x);
        ASSERT_EQ(cursor.y, actual.y);
        HWND dialog = Open();
        ASSERT_NE(nullptr, dialog);
        RECT frame;
        GetWindowRect(dialog, &frame);
        EXPECT_EQ(cursor.x, frame.right);
        EXPECT_EQ(cursor.y, frame.bottom);
        EXPECT_GT(frame.right - frame.left, 100) << "keeps the template's size";
        EXPECT_GT(frame.bottom - frame.top, 100);
        EXPECT_TRUE(IsWindowVisible(dialog));
        Close(dialog);
    }
}

TEST_F(ProxyDialog, ExitWhileOpenDestroysTheDialogWithoutStoring)
{
    WriteProxyValues(L"manual", L"kept", L"kept", L"kept");
    auto stored = KeySnapshot(PROXY_KEY);
    ASSERT_TRUE(StartHost(run, L"proxy_exit_open", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, kServer, L"changed");
    Click(dialog, kCheckbox);

    DWORD code = 1;
    ASSERT_TRUE(ExitHost(run, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(KeySnapshot(PROXY_KEY) == stored) << "nothing stored at the Host's tear-down";
    EXPECT_TRUE(EngineMessages(run.log).empty()) << "no WM_ENGINE_PROXY_CLOSED";
    EXPECT_EQ(1u, LogLines(run.log, L"exit").size());
}

TEST_F(ProxyDialog, SecondHostWithExitWhileOpenStoresNothing)
{
    WriteProxyValues(L"auto", L"kept", L"kept", L"kept");
    auto stored = KeySnapshot(PROXY_KEY);
    ASSERT_TRUE(StartHost(run, L"proxy_exit_switch", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    SetControlText(dialog, kUser, L"changed");

    Process stopper = Start(BinPath(L"tessmark_quornel.exe"), L"football /exit", run.dir);
    DWORD code = 1;
    EXPECT_TRUE(WaitExit(stopper, kWaitMs, &code));
    Kill(stopper);
    ASSERT_TRUE(WaitExit(run.process, kWaitMs, &code));
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(KeySnapshot(PROXY_KEY) == stored);
    EXPECT_TRUE(EngineMessages(run.log).empty());
}

TEST_F(ProxyDialog, RepeatedUseLeavesNoRegistryHandleOpenInTheHost)
{
    WriteProxyValues(L"manual", L"h", L"u", L"p");
    ASSERT_TRUE(StartHost(run, L"proxy_handles", L""));
    HWND dialog = Open();
    ASSERT_NE(nullptr, dialog);
    Click(dialog, kTestButton);
    Close(dialog); // the first round may set up lasting state in the Host

    // The stand-in logs the Host's lowest free handle slot with every proxy
    // message: a key left open by an opening, a test or a close moves it.
    for (int round = 0; round < 3; ++round) {
        dialog = Open();
        ASSERT_NE(nullptr, dialog);
        Click(dialog, kTestButton);
        Close(dialog);
    }
    auto lines = ProxyLines();
    ASSERT_EQ(8u, lines.size());
    const std::wstring slot = Field(lines[1], L"slot");
    ASSERT_FALSE(slot.empty());
    for (size_t i = 2; i < lines.size(); ++i)
        EXPECT_EQ(slot, Field(lines[i], L"slot")) << "after proxy message " << i;
}

} // namespace
