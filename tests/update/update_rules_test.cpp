// The updater's pure rules as tables: the release description's reader (every rule
// of base/update_description.h, one case or more each), the versions, the menu's line
// in every state, the reasons of a failure and when the checks come.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "base/update_description.h"
#include "base/update_state.h"

namespace {

const std::string kHash = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
// 64 bytes 0x00, 0x01, ... 0x3f in base64.
const std::string kSignature =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";

std::string Description(const std::string& version = "1.3.0", const std::string& size = "301568",
                        const std::string& hash = kHash, const std::string& signature = kSignature,
                        const std::string& package = "tessmark_quornel-1.3.0-setup.exe")
{
    return "quornel-update: 1\nversion: " + version + "\npackage: " + package + "\nsize: " + size +
           "\nsha256: " + hash + "\nsignature: " + signature + "\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

DescriptionProblem Read(const std::string& text, UpdateDescription* description = nullptr)
{
    UpdateDescription read;
    DescriptionProblem problem = ReadUpdateDescription(text.data(), static_cast<unsigned>(text.size()), &read);
    if (description)
        *description = read;
    return problem;
}

TEST(UpdateDescription, AWellFormedOneIsReadWhole)
{
    const std::string text = Description();
    UpdateDescription read;
    ASSERT_EQ(DESCRIPTION_OK, Read(text, &read));
    EXPECT_EQ(1, read.version.part[0]);
    EXPECT_EQ(3, read.version.part[1]);
    EXPECT_EQ(0, read.version.part[2]);
    EXPECT_STREQ("tessmark_quornel-1.3.0-setup.exe", read.package);
    EXPECT_EQ(301568u, read.size);
    EXPECT_EQ(0x9f, read.sha256[0]);
    EXPECT_EQ(0x08, read.sha256[31]);
    for (int i = 0; i < kSignatureBytes; ++i)
        ASSERT_EQ(i, read.signature[i]) << i;
    EXPECT_EQ(text.find("signature: "), read.signedBytes) << "the signature covers every byte before its line";

    // The four fields in another order, an absolute address, the limits of each.
    std::string reordered = "quornel-update: 1\nsha256: " + kHash + "\nsize: 16777216\npackage: https://h/x?y=1#z\n"
                            "version: 65535.0.65535\nsignature: " + kSignature + "\n";
    ASSERT_EQ(DESCRIPTION_OK, Read(reordered, &read));
    EXPECT_EQ(16777216u, read.size);
    EXPECT_EQ(65535, read.version.part[0]);
    EXPECT_STREQ("https://h/x?y=1#z", read.package);
    EXPECT_EQ(DESCRIPTION_OK, Read(Description("0.0.0", "1")));
    EXPECT_EQ(DESCRIPTION_OK, Read(Description("1.3.0", "301568", kHash, kSignature, std::string(1023, 'a'))));
}

TEST(UpdateDescription, AnythingElseIsRefusedWhole)
{
    const std::string good = Description();
    const std::string signature = "signature: " + kSignature + "\n";
    const struct {
        const char* what;
        std::string text;
        DescriptionProblem problem;
    } cases[] = {
        { "over 4 KB", good + std::string(4097 - good.size(), '#'), DESCRIPTION_TOO_BIG },
        { "empty", "", DESCRIPTION_NOT_TEXT },
        { "no line feed at the end", good.substr(0, good.size() - 1), DESCRIPTION_NOT_TEXT },
        { "CR LF", Replaced(good, "\nversion", "\r\nversion"), DESCRIPTION_NOT_TEXT },
        { "a tab", Replaced(good, "size: ", "size:\t"), DESCRIPTION_NOT_TEXT },
        { "a NUL", Replaced(good, "1.3.0\n", std::string("1.3.0\0\n", 7)), DESCRIPTION_NOT_TEXT },
        { "UTF-8", Replaced(good, "setup.exe", "установка.exe"), DESCRIPTION_NOT_TEXT },
        { "DEL", Replaced(good, "setup", "set\x7fup"), DESCRIPTION_NOT_TEXT },
        { "format 2", Replaced(good, "quornel-update: 1", "quornel-update: 2"), DESCRIPTION_BAD_FORMAT },
        { "no format line", good.substr(good.find('\n') + 1), DESCRIPTION_BAD_FORMAT },
        { "format line in capitals", Replaced(good, "quornel-update", "Quornel-Update"), DESCRIPTION_BAD_FORMAT },
        { "no blank after the colon", Replaced(good, "size: ", "size:"), DESCRIPTION_BAD_LINE },
        { "two blanks", Replaced(good, "size: ", "size:  "), DESCRIPTION_BAD_LINE },
        { "a blank at the end", Replaced(good, "1.3.0\n", "1.3.0 \n"), DESCRIPTION_BAD_LINE },
        { "a blank in the value", Replaced(good, "setup.exe", "set up.exe"), DESCRIPTION_BAD_LINE },
        { "an empty value", Replaced(good, "version: 1.3.0", "version: "), DESCRIPTION_BAD_LINE },
        { "an empty line", Replaced(good, "\nsize", "\n\nsize"), DESCRIPTION_BAD_LINE },
        { "a comment", Replaced(good, "\nsize", "\n# the setup\nsize"), DESCRIPTION_BAD_LINE },
        { "a key in capitals", Replaced(good, "size:", "Size:"), DESCRIPTION_BAD_LINE },
        { "an unknown key", Replaced(good, "\nsize", "\nchannel: beta\nsize"), DESCRIPTION_UNKNOWN_KEY },
        { "a key that only begins right", Replaced(good, "size:", "sizes:"), DESCRIPTION_UNKNOWN_KEY },
        { "version twice", Replaced(good, "\nsize", "\nversion: 1.3.0\nsize"), DESCRIPTION_REPEATED_KEY },
        { "format twice", Replaced(good, "\nsize", "\nquornel-update: 1\nsize"), DESCRIPTION_REPEATED_KEY },
        { "no size", Replaced(good, "size: 301568\n", ""), DESCRIPTION_MISSING_KEY },
        { "no package", Replaced(good, "package: tessmark_quornel-1.3.0-setup.exe\n", ""), DESCRIPTION_MISSING_KEY },
        { "version 1.3", Description("1.3"), DESCRIPTION_BAD_VERSION },
        { "version 1.3.0.0", Description("1.3.0.0"), DESCRIPTION_BAD_VERSION },
        { "version 01.3.0", Description("01.3.0"), DESCRIPTION_BAD_VERSION },
        { "version 1..0", Description("1..0"), DESCRIPTION_BAD_VERSION },
        { "version 1.3.65536", Description("1.3.65536"), DESCRIPTION_BAD_VERSION },
        { "version v1.3.0", Description("v1.3.0"), DESCRIPTION_BAD_VERSION },
        { "version 1.-3.0", Description("1.-3.0"), DESCRIPTION_BAD_VERSION },
        { "an address of 1024 characters", Description("1.3.0", "301568", kHash, kSignature, std::string(1024, 'a')),
          DESCRIPTION_BAD_PACKAGE },
        { "size 0", Description("1.3.0", "0"), DESCRIPTION_BAD_SIZE },
        { "size 0301568", Description("1.3.0", "0301568"), DESCRIPTION_BAD_SIZE },
        { "size -1", Description("1.3.0", "-1"), DESCRIPTION_BAD_SIZE },
        { "size 3e5", Description("1.3.0", "3e5"), DESCRIPTION_BAD_SIZE },
        { "size 2^32", Description("1.3.0", "4294967296"), DESCRIPTION_BAD_SIZE },
        { "size 16 MiB + 1", Description("1.3.0", "16777217"), DESCRIPTION_PACKAGE_TOO_BIG },
        { "63 hex digits", Description("1.3.0", "301568", kHash.substr(1)), DESCRIPTION_BAD_HASH },
        { "65 hex digits", Description("1.3.0", "301568", kHash + "0"), DESCRIPTION_BAD_HASH },
        { "upper-case hex", Description("1.3.0", "301568", "9F" + kHash.substr(2)), DESCRIPTION_BAD_HASH },
        { "no hex", Description("1.3.0", "301568", "g" + kHash.substr(1)), DESCRIPTION_BAD_HASH },
        { "87 characters", Description("1.3.0", "301568", kHash, kSignature.substr(1)), DESCRIPTION_BAD_SIGNATURE },
        { "no padding", Description("1.3.0", "301568", kHash, kSignature.substr(0, 86) + "AA"),
          DESCRIPTION_BAD_SIGNATURE },
        { "bits left over", Description("1.3.0", "301568", kHash, kSignature.substr(0, 85) + "x=="),
          DESCRIPTION_BAD_SIGNATURE },
        { "another alphabet", Description("1.3.0", "301568", kHash, Replaced(kSignature, "+", "-")),
          DESCRIPTION_BAD_SIGNATURE },
        { "no signature", good.substr(0, good.find("signature: ")), DESCRIPTION_NOT_SIGNED },
        { "a line after it", good + "size: 301568\n", DESCRIPTION_NOT_SIGNED },
        { "signature first", "quornel-update: 1\n" + signature + good.substr(good.find('\n') + 1),
          DESCRIPTION_NOT_SIGNED },
    };
    for (const auto& one : cases) {
        UpdateDescription read;
        EXPECT_EQ(one.problem, Read(one.text, &read)) << one.what;
    }
}

TEST(UpdateDescription, VersionsCompareNumberByNumber)
{
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        { "1.3.0", "1.3.0", 0 },     { "1.2.0", "1.10.0", -1 }, { "2.0.0", "1.99.99", 1 },
        { "1.0.1", "1.0.0", 1 },     { "0.0.0", "0.0.1", -1 },  { "65535.65535.65535", "65535.65535.65534", 1 },
        { "1.0.0", "0.65535.65535", 1 },
    };
    for (const auto& one : cases) {
        ReleaseVersion a, b;
        ASSERT_TRUE(ReadReleaseVersion(one.a, static_cast<unsigned>(strlen(one.a)), &a)) << one.a;
        ASSERT_TRUE(ReadReleaseVersion(one.b, static_cast<unsigned>(strlen(one.b)), &b)) << one.b;
        int order = CompareVersions(a, b);
        EXPECT_EQ(one.order, order > 0 ? 1 : order < 0 ? -1 : 0) << one.a << " against " << one.b;
        EXPECT_EQ(-one.order, (CompareVersions(b, a) > 0) - (CompareVersions(b, a) < 0)) << one.b << " against " << one.a;
        wchar_t text[kVersionTextUnits];
        FormatReleaseVersion(a, text);
        EXPECT_EQ(std::wstring(one.a, one.a + strlen(one.a)), text);
    }
    ReleaseVersion untouched = { { 7, 8, 9 } };
    EXPECT_FALSE(ReadReleaseVersion("1.3.0", 4, &untouched)) << "exactly the length given";
    EXPECT_EQ(7, untouched.part[0]);
}

ReleaseVersion Version(unsigned short major, unsigned short minor, unsigned short patch)
{
    return ReleaseVersion{ { major, minor, patch } };
}

std::wstring Line(const UpdateState& state, int units = kNetworkTextUnits)
{
    wchar_t text[kNetworkTextUnits];
    FormatUpdateState(state, text, units);
    return text;
}

// The menu's line as the worker's reports change it, one after another.
TEST(UpdateState, TheMenuLineFollowsTheReports)
{
    UpdateState state = {};
    state.installed = Version(1, 2, 0);
    EXPECT_EQ(L"Обновления: не настроены", Line(state));
    state.status = UPDATES_UNCHECKED;
    EXPECT_EQ(L"Обновления: версия 1.2.0", Line(state));

    UpdateReport report = {};
    const struct {
        UpdateStatus status;
        ReleaseVersion version;
        const wchar_t* failure;
        const wchar_t* line;
    } steps[] = {
        { UPDATES_NO_ADDRESS, {}, L"", L"Обновления: версия 1.2.0, адрес обновлений не задан" },
        { UPDATES_LATEST, Version(1, 2, 0), L"", L"Обновления: версия 1.2.0, последняя" },
        { UPDATES_SERVER_OLDER, Version(1, 1, 9), L"", L"Обновления: версия 1.2.0; на сервере более старая версия 1.1.9" },
        { UPDATES_FAILED, {}, L"Нет соединения: сервер недоступен",
          L"Обновления: версия 1.2.0; нет соединения: сервер недоступен" },
        { UPDATES_FAILED, {}, L"подпись описания обновления неверна",
          L"Обновления: версия 1.2.0; подпись описания обновления неверна" },
        { UPDATES_LATEST, Version(1, 2, 0), L"", L"Обновления: версия 1.2.0, последняя" },
        { UPDATES_PENDING, Version(1, 3, 0), L"", L"Обновление 1.3.0 загружено" },
        // Once pending, the package is the news; a later failure is told after it.
        { UPDATES_FAILED, {}, L"Нет соединения: истекло время ожидания ответа",
          L"Обновление 1.3.0 загружено; нет соединения: истекло время ожидания ответа" },
        { UPDATES_LATEST, Version(1, 2, 0), L"", L"Обновление 1.3.0 загружено" },
        { UPDATES_PENDING, Version(1, 4, 0), L"", L"Обновление 1.4.0 загружено" },
    };
    for (const auto& step : steps) {
        report.status = step.status;
        report.version = step.version;
        lstrcpyW(report.failure, step.failure);
        NoteUpdateReport(&state, report);
        EXPECT_EQ(step.line, Line(state));
    }
    EXPECT_TRUE(state.pending);
    EXPECT_EQ(L"Обновле", Line(state, 8)) << "cut to the room given, terminated";
    EXPECT_EQ(L"", Line(state, 1));
}

TEST(UpdateState, BalloonAndReasonsSayWhatHappened)
{
    wchar_t text[kNetworkTextUnits];
    FormatUpdateBalloon(Version(1, 3, 0), text);
    EXPECT_STREQ(L"Загружено обновление 1.3.0. Оно будет установлено при следующем запуске виджета.", text);
    const struct {
        UpdateFailure failure;
        DWORD detail;
        const wchar_t* text;
    } cases[] = {
        { UPDATE_BAD_ADDRESS, 0, L"адрес обновлений задан неверно" },
        { UPDATE_DESCRIPTION_TOO_BIG, 0, L"описание обновления больше 4 КБ" },
        { UPDATE_BAD_DESCRIPTION, DESCRIPTION_NOT_TEXT, L"описание обновления повреждено: недопустимый символ" },
        { UPDATE_BAD_DESCRIPTION, DESCRIPTION_PACKAGE_TOO_BIG, L"описание обновления повреждено: пакет больше 16 МБ" },
        { UPDATE_BAD_DESCRIPTION, DESCRIPTION_NOT_SIGNED,
          L"описание обновления повреждено: подпись не в последней строке" },
        { UPDATE_BAD_DESCRIPTION, 999, L"описание обновления повреждено: " },
        { UPDATE_BAD_SIGNATURE, 0, L"подпись описания обновления неверна" },
        { UPDATE_CHECK_UNAVAILABLE, 0xC0000225, L"проверка подписи недоступна (ошибка 0xC0000225)" },
        { UPDATE_BAD_PACKAGE_ADDRESS, 0, L"адрес пакета обновления задан неверно" },
        { UPDATE_PACKAGE_SIZE, 0, L"размер пакета обновления не совпадает с описанием" },
        { UPDATE_PACKAGE_HASH, 0, L"контрольная сумма пакета обновления не совпадает с описанием" },
        { UPDATE_NOT_INSTALLED, 0, L"виджет запущен не из папки установки" },
        { UPDATE_NOT_WRITTEN, ERROR_DISK_FULL, L"не удалось сохранить обновление в папке виджета (ошибка 112)" },
        { UPDATE_LOADER_NOT_STARTED, ERROR_FILE_NOT_FOUND, L"не удалось запустить установку обновления (ошибка 2)" },
    };
    for (const auto& one : cases) {
        DescribeUpdateFailure(one.failure, one.detail, text);
        EXPECT_STREQ(one.text, text);
    }
}

// A few minutes after the start, then about a day later, sooner after a failure; the
// whole spread is used, whatever the random number.
TEST(UpdateState, ChecksComeSpreadAtTheirTimes)
{
    const DWORD minute = 60 * 1000, hour = 60 * minute;
    const struct {
        CheckDelay delay;
        DWORD least, most;
    } cases[] = {
        { FIRST_CHECK, 2 * minute, 7 * minute },
        { NEXT_CHECK, 22 * hour, 26 * hour },
        { RETRY_CHECK, 1 * hour, 3 * hour },
    };
    for (const auto& one : cases) {
        DWORD lowest = 0xFFFFFFFF, highest = 0;
        for (DWORD i = 0; i < 1000; ++i) {
            DWORD ms = CheckDelayMs(one.delay, i * 2654435761u); // random numbers spread over all 32 bits
            lowest = ms < lowest ? ms : lowest;
            highest = ms > highest ? ms : highest;
        }
        EXPECT_EQ(one.least, CheckDelayMs(one.delay, 0));
        EXPECT_EQ(one.most, CheckDelayMs(one.delay, one.most - one.least));
        EXPECT_GE(lowest, one.least);
        EXPECT_LE(highest, one.most);
        const DWORD twentieth = (one.most - one.least) / 20;
        EXPECT_LT(lowest, one.least + twentieth) << "the whole spread is used";
        EXPECT_GT(highest, one.most - twentieth);
    }
}

} // namespace
