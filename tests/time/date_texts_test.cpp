// Date texts: the range check, the GMT text form, the file time text, the two
// readers and the Russian names.
#include <gtest/gtest.h>

#include <string>

#include "date_texts.h"
#include "test_support.h"
#include "time_test_util.h"

using tt::Record;

namespace {

const SYSTEMTIME kMatchDay = Record(2010, 6, 5, 11, 8, 5, 9, 0);

// The text FormatGmtTime writes, with the count it gives; fails the test if it
// writes past the 31 units callers give.
std::wstring Format(const SYSTEMTIME* time, int* count = nullptr)
{
    WCHAR buffer[40];
    for (WCHAR& unit : buffer)
        unit = 0xABCD;
    int written = FormatGmtTime(time, buffer);
    for (int i = kGmtTextUnits; i < 40; ++i)
        EXPECT_EQ(0xABCD, buffer[i]) << "written past the caller's 31 units at " << i;
    if (count)
        *count = written;
    return buffer;
}

// --- Range check ----------------------------------------------------------

TEST(RangeCheck, EveryFieldAtItsLimitPassesAndOnePastFails)
{
    EXPECT_FALSE(IsSystemTimeValid(nullptr));
    SYSTEMTIME top = Record(65535, 12, 6, 31, 23, 59, 59, 999);
    EXPECT_TRUE(IsSystemTimeValid(&top));
    SYSTEMTIME bottom = Record(0, 1, 0, 0);
    EXPECT_TRUE(IsSystemTimeValid(&bottom)) << "year unchecked, day 0 passes";
    SYSTEMTIME april31 = Record(2010, 4, 5, 31);
    EXPECT_TRUE(IsSystemTimeValid(&april31)) << "the day is not checked against its month";
    WORD SYSTEMTIME::*fields[] = { &SYSTEMTIME::wMonth, &SYSTEMTIME::wDayOfWeek, &SYSTEMTIME::wDay, &SYSTEMTIME::wHour,
                                   &SYSTEMTIME::wMinute, &SYSTEMTIME::wSecond, &SYSTEMTIME::wMilliseconds };
    for (WORD SYSTEMTIME::*field : fields) {
        SYSTEMTIME past = top;
        past.*field = static_cast<WORD>(past.*field + 1);
        EXPECT_FALSE(IsSystemTimeValid(&past)) << "field at offset " << (&(past.*field) - &past.wYear);
    }
    SYSTEMTIME month0 = Record(2010, 0, 0, 1);
    EXPECT_FALSE(IsSystemTimeValid(&month0));
}

// --- Text form ------------------------------------------------------------

TEST(FormatGmtTime, WritesTheWebStyleText)
{
    int count = 0;
    EXPECT_EQ(L"Fri, 11 Jun 2010 08:05:09 GMT", Format(&kMatchDay, &count));
    EXPECT_EQ(29, count);
}

TEST(FormatGmtTime, PadsYearAndDayToTwoDigits)
{
    SYSTEMTIME year5 = Record(5, 3, 1, 7, 0, 0, 0, 0);
    EXPECT_EQ(L"Mon, 07 Mar 05 00:00:00 GMT", Format(&year5));
    SYSTEMTIME day0 = Record(2010, 6, 5, 0, 1, 2, 3, 0);
    EXPECT_EQ(L"Fri, 00 Jun 2010 01:02:03 GMT", Format(&day0));
}

TEST(FormatGmtTime, WritesTheRecordAsItStands)
{
    // Weekday from the field, not from the date; milliseconds dropped; no zone.
    SYSTEMTIME sunday = Record(2010, 6, 0, 11, 23, 59, 59, 999);
    EXPECT_EQ(L"Sun, 11 Jun 2010 23:59:59 GMT", Format(&sunday));
}

TEST(FormatGmtTime, LongestTextFitsTheCallersRoom)
{
    int count = 0;
    SYSTEMTIME longest = Record(65535, 12, 3, 31, 23, 59, 59, 999);
    EXPECT_EQ(L"Wed, 31 Dec 65535 23:59:59 GMT", Format(&longest, &count));
    EXPECT_EQ(30, count);
}

TEST(FormatGmtTime, OutOfRangeFieldsGiveErr)
{
    SYSTEMTIME bad[] = { Record(2010, 13, 5, 11), Record(2010, 0, 5, 11), Record(2010, 6, 7, 11),
                         Record(2010, 6, 5, 32), Record(2010, 6, 5, 11, 24), Record(2010, 6, 5, 11, 0, 60),
                         Record(2010, 6, 5, 11, 0, 0, 60), Record(2010, 6, 5, 11, 0, 0, 0, 1000) };
    for (const SYSTEMTIME& time : bad) {
        int count = 0;
        EXPECT_EQ(L"err", Format(&time, &count)) << ::testing::PrintToString(time);
        EXPECT_EQ(3, count);
    }
    int count = 0;
    EXPECT_EQ(L"err", Format(nullptr, &count));
    EXPECT_EQ(3, count);
    EXPECT_EQ(0, FormatGmtTime(&kMatchDay, nullptr));
}

TEST(FileTimeText, WritesAnExistingFilesTime)
{
    std::wstring path = qt::MakeWorkDir(L"time_text") + L"\\update.exe";
    ASSERT_TRUE(tt::WriteFileWithTime(path, Record(2010, 6, 5, 11, 8, 5, 9, 640)));
    WCHAR text[kGmtTextUnits] = {};
    EXPECT_TRUE(GetFileTimeText(path.c_str(), text));
    EXPECT_STREQ(L"Fri, 11 Jun 2010 08:05:09 GMT", text);
}

TEST(FileTimeText, MissingFileOrNullLeavesTheBufferUntouched)
{
    std::wstring dir = qt::MakeWorkDir(L"time_text_missing");
    WCHAR text[kGmtTextUnits] = L"untouched";
    EXPECT_FALSE(GetFileTimeText((dir + L"\\absent.exe").c_str(), text));
    EXPECT_STREQ(L"untouched", text);
    EXPECT_FALSE(GetFileTimeText(nullptr, text));
    EXPECT_STREQ(L"untouched", text);
    std::wstring path = dir + L"\\present.exe";
    ASSERT_TRUE(tt::WriteFileWithTime(path, kMatchDay));
    EXPECT_FALSE(GetFileTimeText(path.c_str(), nullptr));
}

// --- Names ----------------------------------------------------------------

TEST(RussianNames, MonthsInTheGenitiveAndWeekdaysFromSunday)
{
    const wchar_t* months[] = { L"января", L"февраля", L"марта", L"апреля", L"мая", L"июня",
                                L"июля", L"августа", L"сентября", L"октября", L"ноября", L"декабря" };
    const wchar_t* weekdays[] = { L"воскресенье", L"понедельник", L"вторник", L"среда",
                                  L"четверг", L"пятница", L"суббота" };
    for (int month = 1; month <= 12; ++month) {
        SYSTEMTIME time = Record(2010, month, 0, 1);
        EXPECT_STREQ(months[month - 1], GetMonthNameRu(&time));
    }
    for (int weekday = 0; weekday <= 6; ++weekday) {
        SYSTEMTIME time = Record(2010, 6, weekday, 1);
        EXPECT_STREQ(weekdays[weekday], GetDayOfWeekNameRu(&time));
    }
    EXPECT_STREQ(L"июня", GetMonthNameRu(&kMatchDay));
}

TEST(RussianNames, AnyFieldOutOfRangeGivesTheErrorTexts)
{
    SYSTEMTIME hour24 = kMatchDay;
    hour24.wHour = 24;
    EXPECT_STREQ(L"err_month", GetMonthNameRu(&hour24));
    EXPECT_STREQ(L"err_day_of_week", GetDayOfWeekNameRu(&hour24));
    SYSTEMTIME ms1000 = kMatchDay;
    ms1000.wMilliseconds = 1000;
    EXPECT_STREQ(L"err_month", GetMonthNameRu(&ms1000));
    EXPECT_STREQ(L"err_day_of_week", GetDayOfWeekNameRu(&ms1000));
    SYSTEMTIME month13 = Record(2010, 13, 5, 11);
    EXPECT_STREQ(L"err_month", GetMonthNameRu(&month13));
    SYSTEMTIME weekday7 = Record(2010, 6, 7, 11);
    EXPECT_STREQ(L"err_day_of_week", GetDayOfWeekNameRu(&weekday7));
    EXPECT_STREQ(L"err_month", GetMonthNameRu(nullptr));
    EXPECT_STREQ(L"err_day_of_week", GetDayOfWeekNameRu(nullptr));
}

// --- Reading a UTC text ---------------------------------------------------

// The record ParseUtcTime gives, or the sentinel if it gives null (and checks
// that null means the record was left alone).
SYSTEMTIME ParseUtc(const wchar_t* text, bool* accepted = nullptr)
{
    SYSTEMTIME time = tt::Sentinel();
    SYSTEMTIME* result = ParseUtcTime(text, &time);
    EXPECT_TRUE(result == nullptr || result == &time);
    if (!result)
        EXPECT_EQ(tt::Sentinel(), time) << "record written although the text was refused";
    if (accepted)
        *accepted = result != nullptr;
    return time;
}

bool AcceptsUtc(const wchar_t* text)
{
    bool accepted = false;
    ParseUtc(text, &accepted);
    return accepted;
}

TEST(ParseUtcTime, ReadsTheTextWithOrWithoutItsZoneName)
{
    EXPECT_EQ(kMatchDay, ParseUtc(L"Fri, 11 Jun 2010 08:05:09 UTC"));
    EXPECT_EQ(kMatchDay, ParseUtc(L"Fri, 11 Jun 2010 08:05:09 GMT"));
    EXPECT_EQ(kMatchDay, ParseUtc(L"Fri, 11 Jun 2010 08:05:09"));
    EXPECT_EQ(kMatchDay, ParseUtc(L"  Fri,11   Jun 2010 08:05:09 anything"));
}

TEST(ParseUtcTime, FindsEveryNameInItsTable)
{
    const wchar_t* weekdays[] = { L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat" };
    const wchar_t* months[] = { L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec" };
    for (int weekday = 0; weekday < 7; ++weekday) {
        for (int month = 0; month < 12; ++month) {
            std::wstring text = std::wstring(weekdays[weekday]) + L", 3 " + months[month] + L" 2010 01:02:03 UTC";
            EXPECT_EQ(Record(2010, month + 1, weekday, 3, 1, 2, 3), ParseUtc(text.c_str()));
        }
    }
}

TEST(ParseUtcTime, RejectsNamesNotInTheTables)
{
    EXPECT_FALSE(AcceptsUtc(L"fri, 11 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 JUN 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Friday, 11 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Jun, 11 Fri 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fr, 11 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Ju 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri 11 Jun 2010 08:05:09 UTC"));
}

TEST(ParseUtcTime, ChecksTheRangesButNotTheYear)
{
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 24:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 08:60:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 08:05:60 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 32 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, -1 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 -1:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 08:-5:09 UTC"));
    EXPECT_EQ(Record(2010, 6, 5, 0, 23, 59, 59), ParseUtc(L"Fri, 0 Jun 2010 23:59:59 UTC"));
    EXPECT_EQ(Record(1, 6, 5, 31), ParseUtc(L"Fri, 31 Jun 1 00:00:00 UTC"));
    EXPECT_EQ(Record(99999 & 0xFFFF, 6, 5, 11), ParseUtc(L"Fri, 11 Jun 99999 00:00:00 UTC"));
    EXPECT_EQ(Record(0xFFFF, 6, 5, 11), ParseUtc(L"Fri, 11 Jun 2147483647 00:00:00 UTC"));
    EXPECT_EQ(Record(0, 6, 5, 11), ParseUtc(L"Fri, 11 Jun -2147483648 00:00:00 UTC"));
}

TEST(ParseUtcTime, RejectsNumbersPast32Bits)
{
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 99999999999 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2147483648 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun -2147483649 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 4294967307 Jun 2010 08:05:09 UTC")); // 11 in 32 bits
}

TEST(ParseUtcTime, RejectsIncompleteTexts)
{
    EXPECT_FALSE(AcceptsUtc(L""));
    EXPECT_FALSE(AcceptsUtc(L"Fri"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 08:05"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Jun 2010 08.05.09 UTC"));
}

TEST(ParseUtcTime, StopsAtTheTerminatorAndWithinItsNameBuffers)
{
    // The text ends before the seconds; what lies behind the terminator is not the text.
    const wchar_t cut[] = L"Fri, 11 Jun 2010 08:05\0:09 UTC";
    EXPECT_FALSE(AcceptsUtc(cut));
    // Overlong names are cut to three characters and then refused, not stored whole.
    EXPECT_FALSE(AcceptsUtc(L"Saturdaysaturdaysaturdaysaturdaysaturday, 11 Jun 2010 08:05:09 UTC"));
    EXPECT_FALSE(AcceptsUtc(L"Fri, 11 Juneeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee 2010 08:05:09 UTC"));
    std::wstring huge(5000, L'F');
    EXPECT_FALSE(AcceptsUtc(huge.c_str()));
}

TEST(ParseUtcTime, NullArgumentsGiveNull)
{
    SYSTEMTIME time = tt::Sentinel();
    EXPECT_EQ(nullptr, ParseUtcTime(nullptr, &time));
    EXPECT_EQ(tt::Sentinel(), time);
    EXPECT_EQ(nullptr, ParseUtcTime(L"Fri, 11 Jun 2010 08:05:09 UTC", nullptr));
}

// --- Reading a text with a numeric zone -----------------------------------

SYSTEMTIME ParseZoned(const char* text, bool* accepted = nullptr)
{
    SYSTEMTIME time = tt::Sentinel();
    SYSTEMTIME* result = ParseZonedTime(text, &time);
    EXPECT_TRUE(result == nullptr || result == &time);
    if (!result)
        EXPECT_EQ(tt::Sentinel(), time) << "record written although the text was refused";
    if (accepted)
        *accepted = result != nullptr;
    return time;
}

bool AcceptsZoned(const char* text)
{
    bool accepted = false;
    ParseZoned(text, &accepted);
    return accepted;
}

TEST(ParseZonedTime, WholeHourZonesGiveUtc)
{
    EXPECT_EQ(Record(2010, 6, 5, 11, 9, 0, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 +0300"));
    EXPECT_EQ(Record(2010, 6, 5, 11, 17, 0, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 -0500"));
    EXPECT_EQ(Record(2010, 6, 5, 11, 12, 0, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 +0000"));
    // Into the next and the previous day, weekday following the date.
    EXPECT_EQ(Record(2010, 6, 6, 12, 3, 30, 0), ParseZoned("Fri, 11 Jun 2010 22:30:00 -0500"));
    EXPECT_EQ(Record(2010, 6, 4, 10, 23, 0, 0), ParseZoned("Fri, 11 Jun 2010 02:00:00 +0300"));
}

TEST(ParseZonedTime, ReadsHoursAndMinutesOfTheZone)
{
    // +0530 is five and a half hours (Bias -330), -0330 three and a half (Bias 210).
    EXPECT_EQ(Record(2010, 6, 5, 11, 6, 30, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 +0530"));
    EXPECT_EQ(Record(2010, 6, 5, 11, 15, 30, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 -0330"));
    EXPECT_EQ(Record(2010, 6, 5, 11, 6, 15, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 +0545"));
    EXPECT_EQ(Record(2010, 6, 5, 11, 12, 1, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 -0001"));
}

TEST(ParseZonedTime, RejectsZoneNumbersThatAreNoHoursAndMinutes)
{
    EXPECT_EQ(Record(2010, 6, 1, 7, 8, 1, 0), ParseZoned("Fri, 11 Jun 2010 12:00:00 +9959"));
    for (const char* zone : { "+0060", "-0099", "+9960", "+10000", "-10000", "+2147483647", "-2147483648",
                              "+99999999999" })
        EXPECT_FALSE(AcceptsZoned((std::string("Fri, 11 Jun 2010 12:00:00 ") + zone).c_str())) << zone;
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 99999999999 12:00:00 +0300"));
}

TEST(ParseZonedTime, RejectsTextsWithoutAZoneNumber)
{
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 2010 12:00:00 GMT"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 2010 12:00:00"));
    EXPECT_FALSE(AcceptsZoned(""));
}

TEST(ParseZonedTime, RejectsWhatTheUtcReaderRejects)
{
    EXPECT_FALSE(AcceptsZoned("fri, 11 Jun 2010 12:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 JUN 2010 12:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Friday, 11 Jun 2010 12:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 2010 24:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 2010 12:60:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 32 Jun 2010 12:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Jun 2010 -2:00:00 +0300"));
}

TEST(ParseZonedTime, StopsAtTheTerminatorAndWithinItsNameBuffers)
{
    const char cut[] = "Fri, 11 Jun 2010 12:00:00\0 +0300";
    EXPECT_FALSE(AcceptsZoned(cut));
    EXPECT_FALSE(AcceptsZoned("Wednesdaywednesdaywednesdaywednesday, 11 Jun 2010 12:00:00 +0300"));
    EXPECT_FALSE(AcceptsZoned("Fri, 11 Juneeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee 2010 12:00:00 +0300"));
    std::string huge(5000, 'J');
    EXPECT_FALSE(AcceptsZoned(huge.c_str()));
}

TEST(ParseZonedTime, NoRealDateStillGivesTheRecordUnchanged)
{
    // Day 0 passes the reader's checks but the platform refuses to convert it.
    SYSTEMTIME time = tt::Sentinel();
    EXPECT_EQ(&time, ParseZonedTime("Fri, 0 Jun 2010 12:00:00 +0300", &time));
    EXPECT_EQ(tt::Sentinel(), time);
    // A real date whose UTC falls before 1601 has no record to give.
    EXPECT_FALSE(AcceptsZoned("Mon, 1 Jan 1601 01:00:00 +0300"));
    EXPECT_EQ(Record(1601, 1, 1, 1, 0, 0, 0), ParseZoned("Mon, 1 Jan 1601 03:00:00 +0300"));
}

TEST(ParseZonedTime, NullArgumentsGiveNull)
{
    SYSTEMTIME time = tt::Sentinel();
    EXPECT_EQ(nullptr, ParseZonedTime(nullptr, &time));
    EXPECT_EQ(tt::Sentinel(), time);
    EXPECT_EQ(nullptr, ParseZonedTime("Fri, 11 Jun 2010 12:00:00 +0300", nullptr));
}

} // namespace
