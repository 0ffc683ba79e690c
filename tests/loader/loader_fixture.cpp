#include "loader_fixture.h"

#include <tlhelp32.h>

#include <algorithm>

#include "standin_protocol.h"

namespace lt {

namespace {

std::wstring TestName()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');
    return qt::Utf8ToWide(name);
}

void ClearStandinVariables()
{
    for (const wchar_t* name : { STANDIN_RECORD_VARIABLE, STANDIN_UPDATE_SLEEP_VARIABLE, STANDIN_UPDATE_EXIT_VARIABLE,
                                 STANDIN_HOST_SLEEP_VARIABLE, STANDIN_HOST_EXIT_VARIABLE })
        SetEnvironmentVariableW(name, nullptr);
}

} // namespace

ULONGLONG PackageTicks()
{
    SYSTEMTIME time = { 2010, 6, 5, 11, 16, 0, 0, 0 };
    FILETIME fileTime = {};
    SystemTimeToFileTime(&time, &fileTime);
    return (static_cast<ULONGLONG>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

LONGLONG Counter()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double CounterMs(LONGLONG from, LONGLONG to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

int EndChildren(DWORD parentId, const wchar_t* imageName)
{
    int ended = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = { sizeof(entry) };
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        qt::Process child;
        // Process ids are reused: an older process may name a parent id that now
        // stands for another (test.sh's first Wine program started the desktop and
        // the services, then ended), so the image's name must match too.
        if (entry.th32ParentProcessID == parentId && !lstrcmpiW(entry.szExeFile, imageName))
            child.handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        ended += child.handle && WaitForSingleObject(child.handle, 0) == WAIT_TIMEOUT;
        qt::Kill(child);
    }
    CloseHandle(snapshot);
    return ended;
}

void LoaderTest::SetUp()
{
    dir = qt::MakeWorkDir(TestName());
    // Outside the work folder, so that the folder holds only what the test put there.
    record = dir + L".record.log";
    DeleteFileW(record.c_str());
    ClearStandinVariables();
    SetEnvironmentVariableW(STANDIN_RECORD_VARIABLE, record.c_str());
}

void LoaderTest::TearDown()
{
    if (loader.handle && WaitForSingleObject(loader.handle, 0) != WAIT_OBJECT_0)
        qt::DismissAllMessageBoxes(qt::kHostCaption);
    qt::Kill(loader);
    if (heldFile != INVALID_HANDLE_VALUE)
        CloseHandle(heldFile);
    heldFile = INVALID_HANDLE_VALUE;
    ClearStandinVariables();
}

void LoaderTest::PutStandin(const std::wstring& name)
{
    ASSERT_TRUE(CopyFileW(qt::BinPath(L"loader_standin.exe").c_str(), PathOf(name).c_str(), FALSE));
}

void LoaderTest::PutFile(const std::wstring& name, const std::string& bytes)
{
    ASSERT_TRUE(qt::WriteFileBytes(PathOf(name), bytes));
}

void LoaderTest::SetWriteTicks(const std::wstring& name, ULONGLONG ticks)
{
    HANDLE file = CreateFileW(PathOf(name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    FILETIME time = { static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32) };
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
    ASSERT_EQ(ticks, WriteTicks(name)) << "the file system keeps times to 100 ns";
}

ULONGLONG LoaderTest::WriteTicks(const std::wstring& name) const
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(PathOf(name).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

std::vector<std::wstring> LoaderTest::Listing() const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool LoaderTest::StartLoader(const std::wstring& afterName, const std::wstring& directory)
{
    std::wstring path = qt::ProgramPath(kLoaderName);
    return StartLoaderAt(path, L"\"" + path + L"\"" + afterName, directory.empty() ? dir : directory);
}

bool LoaderTest::StartLoaderAt(const std::wstring& loaderPath, const std::wstring& commandLine,
                               const std::wstring& directory)
{
    loader = qt::Start(loaderPath, commandLine, directory);
    return loader.handle != nullptr;
}

bool LoaderTest::WaitLoader(DWORD* exitCode)
{
    return qt::WaitExit(loader, qt::kWaitMs, exitCode);
}

bool LoaderTest::RunLoader(const std::wstring& afterName, DWORD* exitCode)
{
    return StartLoader(afterName) && WaitLoader(exitCode);
}

std::wstring LoaderTest::ReadAndDismissBox()
{
    HWND box = qt::WaitForMessageBox(qt::kHostCaption);
    // The box is found as soon as it exists; its text is set before it is shown.
    if (!box || !qt::WaitUntil([&] { return IsWindowVisible(box) != FALSE; }))
        return L"(no message box)";
    std::wstring text = qt::MessageBoxText(box);
    qt::DismissMessageBox(box);
    return text;
}

std::vector<StandinRecord> LoaderTest::Records() const
{
    std::vector<StandinRecord> records;
    for (const std::wstring& line : qt::ReadLog(record)) {
        // The command line is the last field and may hold anything but a line end.
        std::vector<std::wstring> fields;
        size_t start = 0;
        while (fields.size() < 5) {
            size_t tab = line.find(L'\t', start);
            if (tab == std::wstring::npos)
                break;
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        if (fields.size() < 5)
            continue; // a line still being written
        StandinRecord entry;
        entry.role = fields[0];
        entry.event = fields[1];
        entry.counter = _wtoi64(fields[2].c_str());
        entry.module = fields[3];
        entry.directory = fields[4];
        entry.commandLine = line.substr(start);
        records.push_back(entry);
    }
    return records;
}

std::vector<StandinRecord> LoaderTest::Records(const std::wstring& role, const std::wstring& event) const
{
    std::vector<StandinRecord> matching;
    for (const StandinRecord& entry : Records())
        if (entry.role == role && entry.event == event)
            matching.push_back(entry);
    return matching;
}

bool LoaderTest::WaitForRecord(const std::wstring& role, const std::wstring& event)
{
    return qt::WaitUntil([&] { return !Records(role, event).empty(); });
}

bool LoaderTest::HostStartsLate()
{
    return qt::WaitUntil([&] { return !Records(L"host", L"start").empty(); }, 1500);
}

} // namespace lt
