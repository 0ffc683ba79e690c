// File times: the last-write time of a file and the order of two records.
#include <gtest/gtest.h>

#include "file_times.h"
#include "test_support.h"
#include "time_test_util.h"

using tt::Record;

namespace {

const SYSTEMTIME kDefaultFileTime = Record(1700, 1, 0, 1);

TEST(FileLastWriteTime, MissingFileGivesFalseAndTheDefaultTime)
{
    std::wstring dir = qt::MakeWorkDir(L"time_missing");
    SYSTEMTIME time = tt::Sentinel();
    EXPECT_FALSE(GetFileLastWriteTime((dir + L"\\absent.exe").c_str(), &time));
    EXPECT_EQ(kDefaultFileTime, time);
    // A pattern names no file, even where files match it.
    ASSERT_TRUE(tt::WriteFileWithTime(dir + L"\\present.exe", Record(2010, 6, 5, 11)));
    for (const wchar_t* pattern : { L"\\*.exe", L"\\present.ex?", L"\\*" }) {
        time = tt::Sentinel();
        EXPECT_FALSE(GetFileLastWriteTime((dir + pattern).c_str(), &time)) << pattern;
        EXPECT_EQ(kDefaultFileTime, time);
    }
}

TEST(FileLastWriteTime, ReadsBackATimeSetToTheMillisecond)
{
    std::wstring path = qt::MakeWorkDir(L"time_existing") + L"\\update.exe";
    for (const SYSTEMTIME& set : { Record(2010, 6, 5, 11, 8, 5, 9, 123), Record(1999, 12, 5, 31, 23, 59, 59, 999),
                                   Record(2012, 2, 3, 29, 0, 0, 0, 1) }) {
        ASSERT_TRUE(tt::WriteFileWithTime(path, set));
        SYSTEMTIME read = tt::Sentinel();
        EXPECT_TRUE(GetFileLastWriteTime(path.c_str(), &read));
        EXPECT_EQ(set, read);
    }
}

TEST(FileLastWriteTime, NullArgumentsGiveFalseAndWriteNothing)
{
    std::wstring path = qt::MakeWorkDir(L"time_null") + L"\\file.tmp";
    ASSERT_TRUE(tt::WriteFileWithTime(path, Record(2010, 6, 5, 11)));
    SYSTEMTIME time = tt::Sentinel();
    EXPECT_FALSE(GetFileLastWriteTime(nullptr, &time));
    EXPECT_EQ(tt::Sentinel(), time);
    EXPECT_FALSE(GetFileLastWriteTime(path.c_str(), nullptr));
}

TEST(SystemTimeTicks, CountsHundredNanosecondsSince1601)
{
    EXPECT_EQ(0u, SystemTimeToTicks(nullptr));
    SYSTEMTIME first = Record(1601, 1, 1, 1);
    SYSTEMTIME nextDay = Record(1601, 1, 2, 2, 0, 0, 0, 1);
    EXPECT_EQ(0u, SystemTimeToTicks(&first));
    EXPECT_EQ(864000000000ULL + 10000ULL, SystemTimeToTicks(&nextDay));
}

TEST(CompareSystemTimes, IgnoresTheWeekday)
{
    SYSTEMTIME a = Record(2010, 6, 5, 11, 8, 5, 9, 7);
    SYSTEMTIME b = a;
    b.wDayOfWeek = 2;
    EXPECT_EQ(0, CompareSystemTimes(&a, &b));
    EXPECT_EQ(0, CompareSystemTimes(&b, &a));
}

TEST(CompareSystemTimes, OrdersRecordsAMillisecondApart)
{
    SYSTEMTIME earlier = Record(2010, 6, 5, 11, 8, 5, 9, 999);
    SYSTEMTIME later = Record(2010, 6, 5, 11, 8, 5, 10, 0);
    EXPECT_EQ(-1, CompareSystemTimes(&earlier, &later));
    EXPECT_EQ(1, CompareSystemTimes(&later, &earlier));
    // Across a year boundary, where the fields alone would mislead a field-wise compare.
    SYSTEMTIME lastOfYear = Record(2009, 12, 4, 31, 23, 59, 59, 999);
    SYSTEMTIME firstOfYear = Record(2010, 1, 5, 1);
    EXPECT_EQ(-1, CompareSystemTimes(&lastOfYear, &firstOfYear));
}

TEST(CompareSystemTimes, NullCountsAsTickZero)
{
    SYSTEMTIME first = Record(1601, 1, 1, 1);
    SYSTEMTIME later = Record(2010, 6, 5, 11);
    EXPECT_EQ(0, CompareSystemTimes(nullptr, nullptr));
    EXPECT_EQ(0, CompareSystemTimes(nullptr, &first));
    EXPECT_EQ(-1, CompareSystemTimes(nullptr, &later));
    EXPECT_EQ(1, CompareSystemTimes(&later, nullptr));
}

} // namespace
