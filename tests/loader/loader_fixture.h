// A Loader started by a test in a work folder of its own, with stand-ins for the
// Host, the update program and the package copied in as the test needs them.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace lt {

using qt::kHostName;
using qt::kLoaderName;
using qt::kPackageName;
using qt::kUpdateProgramName;

// The Loader's messages, written out here rather than taken from its header, so
// that a wrong text there is caught.
const wchar_t kCopyFailedText[] = L"debug: не могу скопировать update.tmp в update.exe";
const wchar_t kUpdateNotStartedText[] = L"debug: не могу запустить update.exe";
const wchar_t kHostNotStartedText[] = L"tessmark_quornel_loader.exe: не могу запустить tessmark_quornel.exe";

// 100 ns units.
const ULONGLONG kMillisecond = 10000;
// A fixed last-write time for the files of a test: 2010-06-11 16:00:00.000 UTC.
ULONGLONG PackageTicks();

// One line of the stand-ins' record file.
struct StandinRecord {
    std::wstring role;  // "host" or "update"
    std::wstring event; // "start" or "end"
    LONGLONG counter = 0;
    std::wstring module;
    std::wstring directory;
    std::wstring commandLine;
};

// QueryPerformanceCounter now, and a counter difference in milliseconds.
LONGLONG Counter();
double CounterMs(LONGLONG from, LONGLONG to);
// Ends the processes of that image name still running that `parentId` started;
// gives how many.
int EndChildren(DWORD parentId, const wchar_t* imageName);

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::wstring PathOf(const std::wstring& name) const { return dir + L"\\" + name; }
    // The stand-in copied into the work folder under `name`.
    void PutStandin(const std::wstring& name);
    void PutFile(const std::wstring& name, const std::string& bytes);
    void SetWriteTicks(const std::wstring& name, ULONGLONG ticks);
    ULONGLONG WriteTicks(const std::wstring& name) const;
    std::string Bytes(const std::wstring& name) const { return qt::ReadFileBytes(PathOf(name)); }
    bool Exists(const std::wstring& name) const { return qt::FileExists(PathOf(name)); }
    // Names in the work folder, sorted.
    std::vector<std::wstring> Listing() const;

    // Starts the Loader under test (qt::ProgramDir) with the command line `"<path>"` + `afterName`
    // in `directory` (default: the work folder).
    bool StartLoader(const std::wstring& afterName, const std::wstring& directory = std::wstring());
    bool StartLoaderAt(const std::wstring& loaderPath, const std::wstring& commandLine, const std::wstring& directory);
    // Waits for the Loader's end; false when it does not end in time.
    bool WaitLoader(DWORD* exitCode);
    // Runs the Loader to its end (no message box expected).
    bool RunLoader(const std::wstring& afterName, DWORD* exitCode);
    // Waits for the Loader's box, gives its text, presses OK.
    std::wstring ReadAndDismissBox();

    std::vector<StandinRecord> Records() const;
    std::vector<StandinRecord> Records(const std::wstring& role, const std::wstring& event) const;
    bool WaitForRecord(const std::wstring& role, const std::wstring& event);
    // After the Loader has ended: whether the Host shows up within a grace period
    // (a Host that was started may need a moment before it records).
    bool HostStartsLate();

    std::wstring dir;
    std::wstring record;
    qt::Process loader;
    HANDLE heldFile = INVALID_HANDLE_VALUE; // a file a test holds open without sharing
};

} // namespace lt
