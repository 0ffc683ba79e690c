// What the Host gets: "football " and the Loader's command-line tail, character for
// character, cut to 250 units without splitting a surrogate pair.
#include "loader_fixture.h"

using namespace lt;

namespace {

// U+1D53D, one character in two UTF-16 units.
const std::wstring kPair = L"\xD835\xDD3D";

struct TailCase {
    const char* name;
    std::wstring afterLoaderName; // what follows the quoted Loader path on its command line
    std::wstring hostTail;        // what the Host must get behind "football "
};

// The case's name stands for it in test names and messages.
void PrintTo(const TailCase& tailCase, std::ostream* out)
{
    *out << tailCase.name;
}

std::wstring Repeat(wchar_t c, size_t n)
{
    return std::wstring(n, c);
}

// A tail of `n` units that tells where each unit stood.
std::wstring Numbered(size_t n)
{
    std::wstring text;
    for (size_t i = 0; i < n; ++i)
        text += static_cast<wchar_t>(L'a' + i % 26);
    return text;
}

std::vector<TailCase> Cases()
{
    return {
        { "Empty", L"", L"" },
        { "BlankOnly", L" ", L"" },
        { "FirstRun", L" /firstrun", L"/firstrun" },
        { "BlanksAfterTheNameAreSkipped", L"   \t/firstrun", L"/firstrun" },
        { "QuotesAndInnerBlanks", L" \"C:\\Program Files\\x y\" /a  b   \"\" 'c'  ",
          L"\"C:\\Program Files\\x y\" /a  b   \"\" 'c'  " },
        { "Percent", L" %s %d %% %ls", L"%s %d %% %ls" },
        { "Cyrillic", L" /firstrun Кворнел Чемпионата ёЁ " + kPair, L"/firstrun Кворнел Чемпионата ёЁ " + kPair },
        { "Tail250", L" " + Numbered(250), Numbered(250) },
        { "Tail251", L" " + Numbered(251), Numbered(250) },
        { "Tail40000", L" " + Numbered(40000), Numbered(250) },
        { "PairAcrossTheCut", L" " + Repeat(L'x', 249) + kPair + L"yz", Repeat(L'x', 249) },
        { "PairEndingAtTheCut", L" " + Repeat(L'x', 248) + kPair + L"yz", Repeat(L'x', 248) + kPair },
        { "CyrillicAtTheCut", L" " + Repeat(L'ж', 300), Repeat(L'ж', 250) },
    };
}

class LoaderTail : public LoaderTest, public ::testing::WithParamInterface<TailCase> {};

TEST_P(LoaderTail, HostGetsFootballAndTheTail)
{
    PutStandin(kHostName);
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(GetParam().afterLoaderName, &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    auto host = Records(L"host", L"start");
    ASSERT_EQ(1u, host.size());
    EXPECT_EQ(L"football " + GetParam().hostTail, host[0].commandLine);
}

INSTANTIATE_TEST_SUITE_P(Tails, LoaderTail, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TailCase>& info) { return info.param.name; });

using LoaderCommandLine = LoaderTest;

TEST_F(LoaderCommandLine, QuotedLoaderPathWithBlanksIsNotPartOfTheTail)
{
    std::wstring folder = dir + L"\\my programs";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring loaderPath = folder + L"\\" + kLoaderName;
    ASSERT_TRUE(CopyFileW(qt::ProgramPath(kLoaderName).c_str(), loaderPath.c_str(), FALSE));
    PutStandin(kHostName);

    ASSERT_TRUE(StartLoaderAt(loaderPath, L"\"" + loaderPath + L"\"  /firstrun x", dir));
    DWORD code = 99;
    ASSERT_TRUE(WaitLoader(&code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    EXPECT_EQ(L"football /firstrun x", Records(L"host", L"start")[0].commandLine);
}

} // namespace
