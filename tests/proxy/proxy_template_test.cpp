// The dialog template "proxy_settings" as the built Host carries it, read back
// field by field from its resources.
#include <gtest/gtest.h>

#include <cstring>
#include <cwctype>

#include "proxy_test_support.h"
#include "test_support.h"

using namespace qt;

namespace {

const WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Reads a DLGTEMPLATEEX in the order the format lays it out.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    WORD Word()
    {
        WORD value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    DWORD Dword()
    {
        DWORD value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte()
    {
        BYTE value = 0;
        Take(&value, 1);
        return value;
    }
    // A string, or 0xFFFF and an ordinal, rendered as "#n".
    std::wstring StringOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        std::wstring text;
        for (WORD unit = first; unit && ok_; unit = Word())
            text.push_back(static_cast<wchar_t>(unit));
        return text;
    }
    void Skip(size_t bytes) { offset_ += bytes; }
    void AlignDword() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }

private:
    void Take(void* out, size_t bytes)
    {
        if (offset_ + bytes > size_) {
            ok_ = false;
            return;
        }
        memcpy(out, data_ + offset_, bytes);
        offset_ += bytes;
    }
    const BYTE* data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

struct Control {
    DWORD id;
    const wchar_t* className;
    const wchar_t* atom; // the predefined class as an ordinal
    const wchar_t* text;
    DWORD style;
    short x, y, cx, cy;
};

const Control kControls[] = {
    { 1000, L"button", L"#128", L"Автоматически", 0x50010003, 10, 7, 60, 14 },
    { 1002, L"button", L"#128", L"Ручная настройка", 0x50000007, 10, 24, 150, 90 },
    { 1003, L"edit", L"#129", L"", 0x50810080, 14, 38, 74, 12 },
    { 1006, L"static", L"#130", L"Прокси-сервер", 0x50020000, 95, 40, 53, 8 },
    { 1004, L"edit", L"#129", L"", 0x50810080, 14, 59, 54, 12 },
    { 1007, L"static", L"#130", L"Логин", 0x50020000, 75, 62, 52, 8 },
    { 1005, L"edit", L"#129", L"", 0x508100A0, 14, 78, 54, 12 },
    { 1008, L"static", L"#130", L"Пароль", 0x50020000, 75, 79, 44, 13 },
    { 1009, L"button", L"#128", L"Проверить, работает ли прокси", 0x50010000, 14, 95, 110, 12 },
};

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

class ProxyTemplate : public ::testing::Test {
protected:
    void SetUp() override
    {
        host = LoadLibraryExW(BinPath(L"tessmark_quornel.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override
    {
        if (host)
            FreeLibrary(host);
    }
    HMODULE host = nullptr;
};

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names)
{
    if (!IS_INTRESOURCE(name))
        reinterpret_cast<std::vector<std::wstring>*>(names)->push_back(name);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages)
{
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

TEST_F(ProxyTemplate, IsStoredAsPROXY_SETTINGSInUsEnglishOnly)
{
    std::vector<std::wstring> names;
    EnumResourceNamesW(host, RT_DIALOG, CollectName, reinterpret_cast<LONG_PTR>(&names));
    EXPECT_EQ(std::vector<std::wstring>{ L"PROXY_SETTINGS" }, names);
    std::vector<WORD> languages;
    EnumResourceLanguagesW(host, RT_DIALOG, L"proxy_settings", CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(std::vector<WORD>{ kEnglishUs }, languages);
}

TEST_F(ProxyTemplate, HeaderAndNineControlsAreAsTheHostExpects)
{
    HRSRC found = FindResourceExW(host, RT_DIALOG, L"proxy_settings", kEnglishUs);
    ASSERT_NE(nullptr, found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(host, found)));
    ASSERT_NE(nullptr, data);
    TemplateReader read(data, SizeofResource(host, found));

    EXPECT_EQ(1, read.Word()) << "version";
    EXPECT_EQ(0xFFFF, read.Word()) << "extended template";
    EXPECT_EQ(0u, read.Dword()) << "help id";
    EXPECT_EQ(0u, read.Dword()) << "extended style";
    EXPECT_EQ(0x80C80040u, read.Dword()) << "WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, hidden";
    WORD count = read.Word();
    EXPECT_EQ(9, count);
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(0, read.Short());
    EXPECT_EQ(178, read.Short());
    EXPECT_EQ(130, read.Short());
    EXPECT_EQ(L"", read.StringOrOrdinal()) << "no menu";
    EXPECT_EQ(L"", read.StringOrOrdinal()) << "the standard dialog class";
    EXPECT_EQ(kProxyCaption, read.StringOrOrdinal());
    EXPECT_EQ(12, read.Word()) << "points";
    EXPECT_EQ(0, read.Word()) << "weight";
    EXPECT_EQ(0, read.Byte()) << "italic";
    EXPECT_EQ(1, read.Byte()) << "DEFAULT_CHARSET";
    EXPECT_EQ(L"Verdana", read.StringOrOrdinal());
    ASSERT_TRUE(read.ok());

    for (size_t i = 0; i < ARRAYSIZE(kControls) && i < count; ++i) {
        const Control& want = kControls[i];
        SCOPED_TRACE(testing::Message() << "control " << want.id);
        read.AlignDword();
        EXPECT_EQ(0u, read.Dword()) << "help id";
        EXPECT_EQ(0u, read.Dword()) << "extended style";
        EXPECT_EQ(want.style, read.Dword()) << "style";
        EXPECT_EQ(want.x, read.Short());
        EXPECT_EQ(want.y, read.Short());
        EXPECT_EQ(want.cx, read.Short());
        EXPECT_EQ(want.cy, read.Short());
        EXPECT_EQ(want.id, read.Dword());
        std::wstring className = read.StringOrOrdinal();
        EXPECT_TRUE(className == want.atom || Lower(className) == want.className) << "class " << WideToUtf8(className);
        EXPECT_EQ(want.text, read.StringOrOrdinal());
        WORD extra = read.Word();
        EXPECT_EQ(0, extra) << "no creation data";
        read.Skip(extra);
        ASSERT_TRUE(read.ok());
    }
}

} // namespace
