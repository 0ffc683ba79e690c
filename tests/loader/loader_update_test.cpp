// The Loader's update decision and install, end to end: real Loader, stand-in
// Host and update program, file times set to the 100 ns.
#include "loader_fixture.h"
#include "standin_protocol.h"

using namespace lt;

namespace {

const char kOldProgram[] = "the update program of the last install";

class LoaderUpdate : public LoaderTest {
protected:
    // Host and package in place, the package at the fixed time.
    void PutHostAndPackage()
    {
        PutStandin(kHostName);
        PutStandin(kPackageName);
        SetWriteTicks(kPackageName, PackageTicks());
        package = Bytes(kPackageName);
    }
    // An update program that cannot run: if it is started instead of replaced, the
    // Loader reports it and the test sees that.
    void PutOldUpdateProgram(ULONGLONG ticks)
    {
        PutFile(kUpdateProgramName, kOldProgram);
        SetWriteTicks(kUpdateProgramName, ticks);
    }

    void ExpectInstalled()
    {
        EXPECT_FALSE(Exists(kPackageName)) << "the package is deleted";
        EXPECT_EQ(package, Bytes(kUpdateProgramName)) << "the update program holds the package";
        auto starts = Records(L"update", L"start");
        auto ends = Records(L"update", L"end");
        ASSERT_EQ(1u, starts.size());
        ASSERT_EQ(1u, ends.size());
        EXPECT_EQ(L"update /verysilent", starts[0].commandLine);
        EXPECT_EQ(dir, starts[0].directory);
        EXPECT_EQ(PathOf(kUpdateProgramName), starts[0].module);
    }

    void ExpectNotInstalled(ULONGLONG programTicks)
    {
        EXPECT_TRUE(Records(L"update", L"start").empty()) << "the update program did not run";
        EXPECT_EQ(package, Bytes(kPackageName)) << "the package stays";
        EXPECT_EQ(PackageTicks(), WriteTicks(kPackageName));
        EXPECT_EQ(kOldProgram, Bytes(kUpdateProgramName));
        EXPECT_EQ(programTicks, WriteTicks(kUpdateProgramName));
    }

    // The Host ran with "football " after the update program had ended.
    void ExpectHostAfterUpdate()
    {
        ASSERT_TRUE(WaitForRecord(L"host", L"start"));
        auto records = Records();
        size_t updateEnd = records.size();
        size_t hostStart = records.size();
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].role == L"update" && records[i].event == L"end")
                updateEnd = i;
            if (records[i].role == L"host" && records[i].event == L"start" && hostStart == records.size())
                hostStart = i;
        }
        ASSERT_LT(updateEnd, records.size());
        EXPECT_LT(updateEnd, hostStart);
        EXPECT_LE(records[updateEnd].counter, records[hostStart].counter);
        EXPECT_EQ(L"football ", records[hostStart].commandLine);
    }

    std::string package;
};

TEST_F(LoaderUpdate, NoPackageStartsTheHostAtOnceAndTouchesNothing)
{
    PutStandin(kHostName);
    PutOldUpdateProgram(PackageTicks() - 1000 * kMillisecond);
    auto before = Listing();
    // A Host that stays far longer than the wait for the Loader: the Loader must not wait for it.
    SetEnvironmentVariableW(STANDIN_HOST_SLEEP_VARIABLE, L"600000");

    DWORD code = 99;
    ASSERT_TRUE(StartLoader(L""));
    DWORD loaderId = loader.id;
    bool loaderEnded = WaitLoader(&code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    EXPECT_EQ(1, EndChildren(loaderId, kHostName)) << "the Host runs on";
    ASSERT_TRUE(loaderEnded) << "the Loader waited for the Host";
    EXPECT_EQ(0u, code);
    auto host = Records(L"host", L"start");
    ASSERT_EQ(1u, host.size());
    EXPECT_EQ(L"football ", host[0].commandLine);
    EXPECT_EQ(dir, host[0].directory);
    EXPECT_EQ(PathOf(kHostName), host[0].module);

    EXPECT_TRUE(Records(L"update", L"start").empty());
    EXPECT_EQ(before, Listing());
    EXPECT_EQ(kOldProgram, Bytes(kUpdateProgramName));
    EXPECT_EQ(PackageTicks() - 1000 * kMillisecond, WriteTicks(kUpdateProgramName));
}

TEST_F(LoaderUpdate, PackageWithoutUpdateProgramIsInstalledThenHostStarts)
{
    PutHostAndPackage();
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ExpectInstalled();
    ExpectHostAfterUpdate();
    EXPECT_EQ(PackageTicks(), WriteTicks(kUpdateProgramName)) << "the copy keeps the package's time";
}

TEST_F(LoaderUpdate, EqualTimesKeepThePackage)
{
    PutHostAndPackage();
    PutOldUpdateProgram(PackageTicks());
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    ExpectNotInstalled(PackageTicks());
}

TEST_F(LoaderUpdate, TimesWithinOneMillisecondCountAsEqual)
{
    PutHostAndPackage();
    // 0.9 ms older, but in the same millisecond as the package.
    SetWriteTicks(kPackageName, PackageTicks() + 9 * kMillisecond / 10);
    PutOldUpdateProgram(PackageTicks());
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    EXPECT_TRUE(Records(L"update", L"start").empty());
    EXPECT_TRUE(Exists(kPackageName));
    EXPECT_EQ(kOldProgram, Bytes(kUpdateProgramName));
}

TEST_F(LoaderUpdate, NewerUpdateProgramKeepsThePackage)
{
    PutHostAndPackage();
    PutOldUpdateProgram(PackageTicks() + kMillisecond);
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    ExpectNotInstalled(PackageTicks() + kMillisecond);
}

TEST_F(LoaderUpdate, UpdateProgramOneMillisecondOlderIsReplacedAndRun)
{
    PutHostAndPackage();
    PutOldUpdateProgram(PackageTicks() - kMillisecond);
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ExpectInstalled();
    ExpectHostAfterUpdate();
}

TEST_F(LoaderUpdate, FailingUpdateProgramStillStartsTheHostAfterItEnds)
{
    PutHostAndPackage();
    PutOldUpdateProgram(PackageTicks() - 1000 * kMillisecond);
    // Long enough that a Loader which does not wait for the end is caught.
    SetEnvironmentVariableW(STANDIN_UPDATE_SLEEP_VARIABLE, L"1500");
    SetEnvironmentVariableW(STANDIN_UPDATE_EXIT_VARIABLE, L"7");
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    LONGLONG loaderEnded = Counter();
    EXPECT_EQ(0u, code);
    ExpectInstalled();
    ExpectHostAfterUpdate();
    auto ends = Records(L"update", L"end");
    ASSERT_EQ(1u, ends.size());
    EXPECT_GE(CounterMs(Records(L"update", L"start")[0].counter, ends[0].counter), 1400.0);
    EXPECT_LT(ends[0].counter, loaderEnded) << "the Loader ended after the update program";
}

// While a setup of this user runs (its lock exists), the pending package is that
// setup's own: a second Loader leaves it and the update program alone, shows no box
// and starts nothing. Once the setup has ended, the package is installed as usual.
TEST_F(LoaderUpdate, SecondStartWhileASetupRunsTouchesNothingAndSaysNothing)
{
    PutHostAndPackage();
    PutOldUpdateProgram(PackageTicks() - kMillisecond);
    wchar_t user[257] = {};
    DWORD size = ARRAYSIZE(user);
    ASSERT_TRUE(GetUserNameW(user, &size));
    HANDLE lock = CreateMutexW(nullptr, TRUE, (std::wstring(L"Local\\tessmark_quornel_setup_") + user).c_str());
    ASSERT_TRUE(lock);
    DWORD code = 99;
    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(1u, code);
    EXPECT_FALSE(FindWindowW(L"#32770", qt::kHostCaption)) << "a message box";
    EXPECT_FALSE(HostStartsLate());
    ExpectNotInstalled(PackageTicks() - kMillisecond);
    CloseHandle(lock);

    ASSERT_TRUE(RunLoader(L"", &code));
    EXPECT_EQ(0u, code);
    ExpectInstalled();
    ExpectHostAfterUpdate();
}

} // namespace
