// The settings store on its own: the wallpaper flag, the registry text helpers and the
// proxy settings read and stored, against values as the Host and other software may
// have stored them; every path closes the key it opened.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "host/settings_store.h"
#include "proxy_test_support.h"
#include "test_support.h"

using namespace qt;

namespace {

const wchar_t kFlag[] = VALUE_USE_CUSTOM_WALLPAPER;

// Wine counts no handles (GetProcessHandleCount gives 0), but like Windows it hands
// the slot of the handle closed last to the next one: a handle left open by the
// code under test shows as a slot that is not free again afterwards.
HANDLE FreeHandleSlot(void)
{
    HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(probe);
    return probe;
}

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { DeleteTree(kMorvaneKey); }

    // Reads `name` of the proxy key through the store into a buffer with guard
    // units behind its 260, which must never change.
    BOOL ReadText(const wchar_t* name, std::wstring& text)
    {
        HKEY key;
        EXPECT_EQ(ERROR_SUCCESS, OpenSettingsKey(PROXY_KEY, &key));
        BOOL found = ReadText(key, name, text);
        RegCloseKey(key);
        return found;
    }
    BOOL ReadText(HKEY key, const wchar_t* name, std::wstring& text)
    {
        for (wchar_t& unit : buffer)
            unit = L'#';
        BOOL found = ReadTextValue(key, name, buffer, REGISTRY_TEXT_UNITS);
        for (size_t i = REGISTRY_TEXT_UNITS; i < ARRAYSIZE(buffer); ++i)
            EXPECT_EQ(L'#', buffer[i]) << "written past the buffer at unit " << i;
        size_t n = 0;
        while (n < REGISTRY_TEXT_UNITS && buffer[n])
            ++n;
        EXPECT_LT(n, static_cast<size_t>(REGISTRY_TEXT_UNITS)) << "not terminated inside the buffer";
        text.assign(buffer, n);
        return found;
    }
    wchar_t buffer[REGISTRY_TEXT_UNITS + 8];
};

TEST_F(SettingsStore, WallpaperFlagMissingReadsZeroAndCreatesTheKey)
{
    EXPECT_EQ(0u, ReadUseCustomWallpaper());
    EXPECT_TRUE(KeyExists(SETTINGS_KEY));
    EXPECT_EQ(0, ValueCount(SETTINGS_KEY)) << "the Host only reads the flag";
}

TEST_F(SettingsStore, WallpaperFlagIsTheStoredDwordUnchanged)
{
    for (DWORD stored : { 0u, 1u, 7u, 0xFFFFFFFFu }) {
        ASSERT_TRUE(WriteDword(SETTINGS_KEY, kFlag, stored));
        EXPECT_EQ(stored, ReadUseCustomWallpaper());
    }
}

TEST_F(SettingsStore, WallpaperFlagOfAnotherTypeReadsZero)
{
    ASSERT_TRUE(WriteText(SETTINGS_KEY, kFlag, L"1"));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "REG_SZ \"1\"";

    ULONGLONG wide = 1;
    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_QWORD, &wide, sizeof(wide)));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "REG_QWORD 1";

    DWORD one = 1;
    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_BINARY, &one, sizeof(one)));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "REG_BINARY of 4 bytes";

    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_DWORD_BIG_ENDIAN, &one, sizeof(one)));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "REG_DWORD_BIG_ENDIAN";
}

TEST_F(SettingsStore, ShortDwordReadsZero)
{
    // Another program stored only part of a DWORD: there is no whole value.
    const BYTE two[2] = { 1, 0 };
    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_DWORD, two, sizeof(two)));
    ASSERT_EQ(2u, ReadValue(SETTINGS_KEY, kFlag).data.size());
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "2 bytes";

    const BYTE three[3] = { 7, 7, 7 };
    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_DWORD, three, sizeof(three)));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "3 bytes";

    ASSERT_TRUE(WriteRaw(SETTINGS_KEY, kFlag, REG_DWORD, two, 0));
    EXPECT_EQ(0u, ReadUseCustomWallpaper()) << "no data";
}

TEST_F(SettingsStore, WallpaperReadClosesTheKeyWhateverTheOutcome)
{
    ReadUseCustomWallpaper(); // the first open may set up lasting state in the process
    DeleteTree(SETTINGS_KEY);
    HANDLE slot = FreeHandleSlot();
    ReadUseCustomWallpaper(); // missing: the key is created
    EXPECT_EQ(slot, FreeHandleSlot());
    WriteDword(SETTINGS_KEY, kFlag, 5); // found
    slot = FreeHandleSlot();
    EXPECT_EQ(5u, ReadUseCustomWallpaper());
    EXPECT_EQ(slot, FreeHandleSlot());
    WriteText(SETTINGS_KEY, kFlag, L"5"); // another type
    slot = FreeHandleSlot();
    ReadUseCustomWallpaper();
    EXPECT_EQ(slot, FreeHandleSlot());
}

TEST_F(SettingsStore, OpenCreatesTheWholePathAndTheHandleIsClosedByTheCaller)
{
    ASSERT_FALSE(KeyExists(SETTINGS_KEY));
    HKEY key = nullptr;
    HANDLE slot = FreeHandleSlot();
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(PROXY_KEY, &key));
    ASSERT_NE(nullptr, key);
    EXPECT_NE(slot, FreeHandleSlot()) << "the caller's handle is open";
    EXPECT_TRUE(KeyExists(PROXY_KEY));
    RegCloseKey(key);
    EXPECT_EQ(slot, FreeHandleSlot());
}

TEST_F(SettingsStore, WriteStoresTextWithItsTerminator)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(PROXY_KEY, &key));
    EXPECT_EQ(ERROR_SUCCESS, WriteRegistryText(key, VALUE_PROXY_TYPE, L"auto", 4));
    EXPECT_EQ(ERROR_SUCCESS, WriteRegistryText(key, VALUE_PROXY_SERVER, L"", 0));
    EXPECT_EQ(ERROR_SUCCESS, WriteRegistryText(key, VALUE_PROXY_USER, L"Логин", 5));
    RegCloseKey(key);

    RegValue type = ReadValue(PROXY_KEY, VALUE_PROXY_TYPE);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type.type);
    EXPECT_EQ(10u, type.data.size());
    EXPECT_EQ(L"auto", type.Text());
    EXPECT_EQ(0, type.data[8] | type.data[9]);
    RegValue server = ReadValue(PROXY_KEY, VALUE_PROXY_SERVER);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), server.type);
    EXPECT_EQ(std::vector<BYTE>(2, 0), server.data);
    RegValue user = ReadValue(PROXY_KEY, VALUE_PROXY_USER);
    EXPECT_EQ(12u, user.data.size());
    EXPECT_EQ(L"Логин", user.Text());
}

TEST_F(SettingsStore, TerminatedTextsUpTo259CharactersAreRead)
{
    std::wstring text;
    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, L"proxy.example:3128");
    EXPECT_TRUE(ReadText(VALUE_PROXY_SERVER, text));
    EXPECT_EQ(L"proxy.example:3128", text);

    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, L"");
    EXPECT_TRUE(ReadText(VALUE_PROXY_SERVER, text));
    EXPECT_EQ(L"", text);

    std::wstring longest(259, L'ж');
    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, longest);
    ASSERT_EQ(520u, ReadValue(PROXY_KEY, VALUE_PROXY_SERVER).data.size());
    EXPECT_TRUE(ReadText(VALUE_PROXY_SERVER, text));
    EXPECT_EQ(longest, text);
}

TEST_F(SettingsStore, TextsThatDoNotFitOrHaveAnotherTypeAreAbsent)
{
    std::wstring text;
    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, std::wstring(260, L'x')); // 522 bytes
    EXPECT_FALSE(ReadText(VALUE_PROXY_SERVER, text));
    EXPECT_EQ(L"", text);

    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, std::wstring(1000, L'x'));
    EXPECT_FALSE(ReadText(VALUE_PROXY_SERVER, text));
    EXPECT_EQ(L"", text);

    WriteText(PROXY_KEY, VALUE_PROXY_TYPE, L"manual", REG_EXPAND_SZ);
    EXPECT_FALSE(ReadText(VALUE_PROXY_TYPE, text));
    EXPECT_EQ(L"", text);

    WriteRaw(PROXY_KEY, VALUE_PROXY_TYPE, REG_MULTI_SZ, L"manual\0", 16);
    EXPECT_FALSE(ReadText(VALUE_PROXY_TYPE, text));

    WriteRaw(PROXY_KEY, VALUE_PROXY_TYPE, REG_BINARY, L"manual", 14);
    EXPECT_FALSE(ReadText(VALUE_PROXY_TYPE, text));

    EXPECT_FALSE(ReadText(L"proxy_missing", text));
    EXPECT_EQ(L"", text);
}

TEST_F(SettingsStore, UnterminatedTextsEndWhereTheirDataEnds)
{
    std::wstring text;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(PROXY_KEY, &key));

    // The buffer is reused: a long value first leaves its units behind the short one.
    WriteText(PROXY_KEY, VALUE_PROXY_TYPE, L"manual");
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_SERVER, L"ab"));
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_TYPE, text));
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_SERVER, text));
    EXPECT_EQ(L"ab", text);

    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_TYPE, L"manual"));
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_TYPE, text));
    EXPECT_EQ(L"manual", text);

    std::wstring almost(259, L'q');
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_PASSWORD, almost)); // 518 bytes
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_PASSWORD, text));
    EXPECT_EQ(almost, text);

    // 520 bytes of text: no room left for the terminator, so it counts as absent.
    ASSERT_TRUE(WriteUnterminated(PROXY_KEY, VALUE_PROXY_USER, std::wstring(260, L'u')));
    EXPECT_FALSE(ReadText(key, VALUE_PROXY_USER, text));
    EXPECT_EQ(L"", text);

    // An odd byte count: the half unit at the end is not part of the text.
    WriteRaw(PROXY_KEY, VALUE_PROXY_USER, REG_SZ, L"xyz", 5);
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_USER, text));
    EXPECT_EQ(L"xy", text);

    // Data with a NUL inside: the text ends at the first NUL.
    WriteRaw(PROXY_KEY, VALUE_PROXY_USER, REG_SZ, L"one\0two", 14);
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_USER, text));
    EXPECT_EQ(L"one", text);

    WriteRaw(PROXY_KEY, VALUE_PROXY_USER, REG_SZ, L"", 0);
    EXPECT_TRUE(ReadText(key, VALUE_PROXY_USER, text));
    EXPECT_EQ(L"", text);
    RegCloseKey(key);
}

// The proxy settings read on every path: the key missing, proxy_type missing or of
// another type (nothing read), "manual" exactly or anything else, each text there, of
// another type or missing. The key is closed on each.
TEST_F(SettingsStore, ProxyReadOnEveryPathClosesItsKeyAndTakesOnlyTexts)
{
    ReadUseCustomWallpaper(); // the first open may set up lasting state in the process
    const DWORD number = 1;
    const struct {
        const char* what;
        std::function<void()> store;
        BOOL read, manual;
        BOOL found[PROXY_TEXT_COUNT];
        const wchar_t* texts[PROXY_TEXT_COUNT];
    } paths[] = {
        { "no key", [] {}, FALSE, FALSE, {}, {} },
        { "no proxy_type", [] { WriteText(PROXY_KEY, VALUE_PROXY_SERVER, L"p:1"); }, FALSE, FALSE, {}, {} },
        { "proxy_type a DWORD",
          [&] { WriteRaw(PROXY_KEY, VALUE_PROXY_TYPE, REG_DWORD, &number, sizeof(number)); }, FALSE, FALSE, {}, {} },
        { "proxy_type expandable",
          [] { WriteText(PROXY_KEY, VALUE_PROXY_TYPE, PROXY_TYPE_MANUAL, REG_EXPAND_SZ); }, FALSE, FALSE, {}, {} },
        { "manual, no texts", [] { WriteText(PROXY_KEY, VALUE_PROXY_TYPE, PROXY_TYPE_MANUAL); }, TRUE, TRUE,
          { FALSE, FALSE, FALSE }, { L"", L"", L"" } },
        { "manual, the server of another type, the others there",
          [&] {
              WriteProxyValues(PROXY_TYPE_MANUAL, L"", L"Логин", L"");
              WriteRaw(PROXY_KEY, VALUE_PROXY_SERVER, REG_DWORD, &number, sizeof(number));
          },
          TRUE, TRUE, { FALSE, TRUE, TRUE }, { L"", L"Логин", L"" } },
        { "\"Manual\", the password missing",
          [] {
              WriteProxyValues(L"Manual", L"proxy:3128", L"u", L"");
              RegDeleteKeyValueW(HKEY_CURRENT_USER, PROXY_KEY, VALUE_PROXY_PASSWORD);
          },
          TRUE, FALSE, { TRUE, TRUE, FALSE }, { L"proxy:3128", L"u", L"" } },
        { "auto, every text", [] { WriteProxyValues(PROXY_TYPE_AUTO, L"s", L"u", L"p"); }, TRUE, FALSE,
          { TRUE, TRUE, TRUE }, { L"s", L"u", L"p" } },
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.what);
        DeleteTree(kMorvaneKey);
        path.store();
        ProxySettings settings;
        memset(&settings, 0x55, sizeof(settings)); // garbage that a path must not leave as it was
        HANDLE slot = FreeHandleSlot();
        EXPECT_EQ(path.read, ReadProxySettings(&settings));
        EXPECT_EQ(slot, FreeHandleSlot()) << "the key was left open";
        EXPECT_TRUE(KeyExists(PROXY_KEY));
        if (!path.read)
            continue;
        EXPECT_EQ(path.manual, settings.manual);
        for (int i = 0; i < PROXY_TEXT_COUNT; ++i) {
            EXPECT_EQ(path.found[i], settings.found[i]) << i;
            EXPECT_STREQ(path.texts[i], settings.text[i]) << i;
        }
    }
}

// Storing writes the mode and the three texts, each cut to 259 characters, and closes
// the key, whether it was there or not and whatever it held before.
TEST_F(SettingsStore, ProxyStoreWritesEveryValueAndClosesItsKey)
{
    ReadUseCustomWallpaper();
    for (bool keyThere : { false, true }) {
        for (BOOL manual : { TRUE, FALSE }) {
            SCOPED_TRACE(std::string(keyThere ? "over old values" : "no key") + (manual ? ", manual" : ", auto"));
            DeleteTree(kMorvaneKey);
            if (keyThere) {
                const DWORD number = 7;
                WriteRaw(PROXY_KEY, VALUE_PROXY_TYPE, REG_DWORD, &number, sizeof(number));
                WriteText(PROXY_KEY, VALUE_PROXY_USER, std::wstring(300, L'o'));
            }
            ProxySettings settings = {};
            settings.manual = manual;
            for (int i = 0; i < PROXY_TEXT_COUNT; ++i) // unterminated in its buffer
                for (wchar_t& unit : settings.text[i])
                    unit = static_cast<wchar_t>(L'a' + i);
            HANDLE slot = FreeHandleSlot();
            EXPECT_EQ(ERROR_SUCCESS, StoreProxySettings(&settings));
            EXPECT_EQ(slot, FreeHandleSlot()) << "the key was left open";
            RegValue type = ReadValue(PROXY_KEY, VALUE_PROXY_TYPE);
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), type.type);
            EXPECT_EQ(manual ? PROXY_TYPE_MANUAL : PROXY_TYPE_AUTO, type.Text());
            const wchar_t* names[] = { VALUE_PROXY_SERVER, VALUE_PROXY_USER, VALUE_PROXY_PASSWORD };
            for (int i = 0; i < PROXY_TEXT_COUNT; ++i) {
                RegValue text = ReadValue(PROXY_KEY, names[i]);
                EXPECT_EQ(static_cast<DWORD>(REG_SZ), text.type) << i;
                EXPECT_EQ(520u, text.data.size()) << i; // 259 units and the terminator
                EXPECT_EQ(std::wstring(259, static_cast<wchar_t>(L'a' + i)), text.Text()) << i;
            }
            ProxySettings back;
            ASSERT_TRUE(ReadProxySettings(&back));
            EXPECT_EQ(manual, back.manual);
        }
    }
}

} // namespace
