// The Loader's failures, end to end: each shows its one message box (MB_OK, no
// icon, the widget's caption), ends with its exit code and starts nothing after it.
#include "loader_fixture.h"

using namespace lt;

namespace {

const char kOldProgram[] = "the update program of the last install";

class LoaderFailure : public LoaderTest {
protected:
    // The Loader shows `text` and, only once the box is closed, ends with `code`.
    void ExpectBoxThenExit(const wchar_t* text, DWORD code)
    {
        EXPECT_EQ(text, ReadAndDismissBox());
        DWORD exitCode = 99;
        ASSERT_TRUE(WaitLoader(&exitCode));
        EXPECT_EQ(code, exitCode);
    }

    // Whether the box shows an icon: its icon control (id 0x14 on Windows, 0x440
    // in Wine's template) is there, visible and holds one. The box is filled in
    // before it is shown, so wait for that first.
    static bool BoxHasIcon(HWND box)
    {
        EXPECT_TRUE(qt::WaitUntil([&] { return IsWindowVisible(box) != FALSE; }));
        for (int id : { 0x0014, 0x0440 }) {
            HWND icon = GetDlgItem(box, id);
            if (icon && IsWindowVisible(icon) && SendMessageW(icon, STM_GETICON, 0, 0) != 0)
                return true;
        }
        return false;
    }
};

TEST_F(LoaderFailure, CopyFailureShowsMessage1KeepsThePackageAndStartsNothing)
{
    PutStandin(kHostName);
    PutStandin(kPackageName);
    SetWriteTicks(kPackageName, PackageTicks());
    std::string package = Bytes(kPackageName);
    PutFile(kUpdateProgramName, kOldProgram);
    SetWriteTicks(kUpdateProgramName, PackageTicks() - kMillisecond);
    ASSERT_TRUE(SetFileAttributesW(PathOf(kUpdateProgramName).c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine lets root overwrite a read-only file; holding it open without sharing
    // makes the copy fail there as it does on Windows.
    heldFile = CreateFileW(PathOf(kUpdateProgramName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, heldFile);

    ASSERT_TRUE(StartLoader(L""));
    HWND box = qt::WaitForMessageBox(qt::kHostCaption);
    ASSERT_TRUE(box);
    EXPECT_FALSE(BoxHasIcon(box));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(loader.handle, 0)) << "the Loader waits for the user";
    ExpectBoxThenExit(kCopyFailedText, 1);

    EXPECT_FALSE(HostStartsLate());
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(package, Bytes(kPackageName)) << "the package stays for the next start";
    CloseHandle(heldFile);
    heldFile = INVALID_HANDLE_VALUE;
    EXPECT_EQ(kOldProgram, Bytes(kUpdateProgramName));
}

TEST_F(LoaderFailure, PackageThatIsNoProgramShowsMessage2)
{
    const char text[] = "this package is no program";
    PutStandin(kHostName);
    PutFile(kPackageName, text);

    ASSERT_TRUE(StartLoader(L""));
    ExpectBoxThenExit(kUpdateNotStartedText, 2);

    EXPECT_FALSE(HostStartsLate());
    EXPECT_FALSE(Exists(kPackageName)) << "the package was deleted before the start";
    EXPECT_EQ(text, Bytes(kUpdateProgramName)) << "and copied over the update program";
}

TEST_F(LoaderFailure, MissingHostShowsMessage3)
{
    ASSERT_TRUE(StartLoader(L" /firstrun"));
    ExpectBoxThenExit(kHostNotStartedText, 3);
    EXPECT_TRUE(Listing().empty());
}

TEST_F(LoaderFailure, MissingHostAfterAnInstallShowsMessage3)
{
    PutStandin(kPackageName);
    ASSERT_TRUE(StartLoader(L""));
    ExpectBoxThenExit(kHostNotStartedText, 3);
    EXPECT_EQ(1u, Records(L"update", L"end").size()) << "the update program ran first";
    EXPECT_FALSE(Exists(kPackageName));
}

TEST_F(LoaderFailure, FilesAreTakenFromTheCurrentDirectoryNotTheLoadersFolder)
{
    // The Loader's own folder holds a Host and a package; the current directory has neither.
    std::wstring own = dir + L"\\program";
    std::wstring current = dir + L"\\install";
    ASSERT_TRUE(CreateDirectoryW(own.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(current.c_str(), nullptr));
    PutStandin(L"program\\" + std::wstring(kHostName));
    PutStandin(L"program\\" + std::wstring(kPackageName));
    std::wstring loaderPath = own + L"\\" + kLoaderName;
    ASSERT_TRUE(CopyFileW(qt::ProgramPath(kLoaderName).c_str(), loaderPath.c_str(), FALSE));

    ASSERT_TRUE(StartLoaderAt(loaderPath, L"\"" + loaderPath + L"\"", current));
    ExpectBoxThenExit(kHostNotStartedText, 3);
    EXPECT_TRUE(Records().empty());

    // With a Host in the current directory, that one runs there.
    PutStandin(L"install\\" + std::wstring(kHostName));
    ASSERT_TRUE(StartLoaderAt(loaderPath, L"\"" + loaderPath + L"\"", current));
    DWORD code = 99;
    ASSERT_TRUE(WaitLoader(&code));
    EXPECT_EQ(0u, code);
    ASSERT_TRUE(WaitForRecord(L"host", L"start"));
    auto host = Records(L"host", L"start");
    EXPECT_EQ(current + L"\\" + kHostName, host[0].module);
    EXPECT_EQ(current, host[0].directory);
    EXPECT_TRUE(Records(L"update", L"start").empty());
    EXPECT_TRUE(qt::FileExists(own + L"\\" + kPackageName));
}

// Folders past MAX_PATH are made and filled through the \\?\ form.
class LoaderLongDirectory : public LoaderFailure {
protected:
    // A folder below the work folder whose full path is exactly `length` units long,
    // in a branch of that length's own.
    std::wstring MakeDirectoryOfLength(size_t length)
    {
        std::wstring path = dir + L"\\" + std::to_wstring(length);
        EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        while (path.size() < length) {
            size_t remaining = length - path.size();
            size_t segment = remaining - 1 > 100 ? 100 : remaining - 1;
            if (remaining - 1 - segment == 1)
                --segment; // leave room for a last "\x"
            path += L"\\" + std::wstring(segment, L'd');
            EXPECT_TRUE(CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr)) << GetLastError();
        }
        EXPECT_EQ(length, path.size());
        return path;
    }

    // The ground for each case: a program started in `directory` really runs there.
    void ExpectProgramsRunIn(const std::wstring& directory)
    {
        std::wstring probe = qt::BinPath(L"loader_standin.exe");
        qt::Process process = qt::Start(probe, L"probe", directory);
        ASSERT_TRUE(process.handle) << GetLastError();
        ASSERT_TRUE(qt::WaitExit(process, qt::kWaitMs, nullptr));
        auto probes = Records(L"loader_standin.exe", L"start");
        ASSERT_EQ(1u, probes.size());
        EXPECT_EQ(directory, probes[0].directory);
    }

    bool NothingStarted() const
    {
        return Records(L"host", L"start").empty() && Records(L"update", L"start").empty();
    }

    void PutStandinAt(const std::wstring& directory, const wchar_t* name)
    {
        ASSERT_TRUE(CopyFileW(qt::BinPath(L"loader_standin.exe").c_str(),
                              (L"\\\\?\\" + directory + L"\\" + name).c_str(), FALSE))
            << GetLastError();
    }
};

TEST_F(LoaderLongDirectory, PathsPastMaxPathShowMessage3AndStartNothing)
{
    // At 235 units the Host's path (length + 21) fits in MAX_PATH, the update files'
    // (length + 32) do not; at 258, as long as a folder gets (Wine, like Windows, runs
    // no process in a longer one), none fits. The Host's name is the shortest, so its
    // path never fails alone. Either way the Loader neither installs nor starts the Host.
    for (size_t length : { 235, 258 }) {
        SCOPED_TRACE(length);
        DeleteFileW(record.c_str());
        std::wstring longDir = MakeDirectoryOfLength(length);
        PutStandinAt(longDir, kHostName);
        PutStandinAt(longDir, kPackageName);
        ExpectProgramsRunIn(longDir);

        ASSERT_TRUE(StartLoaderAt(qt::ProgramPath(kLoaderName), L"\"" + qt::ProgramPath(kLoaderName) + L"\"", longDir));
        ExpectBoxThenExit(kHostNotStartedText, 3);
        EXPECT_FALSE(HostStartsLate());
        EXPECT_TRUE(NothingStarted());
        EXPECT_TRUE(qt::FileExists(L"\\\\?\\" + longDir + L"\\" + kPackageName)) << "the package is not touched";
        EXPECT_FALSE(qt::FileExists(L"\\\\?\\" + longDir + L"\\" + kUpdateProgramName));
    }
}

} // namespace
