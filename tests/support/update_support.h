// What the update tests need of the build machine: the publishing script run with the
// tests' throwaway key (made in the build folder by QUORNEL_UPDATE_TEST_KEY), and the
// widget's menu read as it opens. Wine runs a Linux program that a test gives
// CreateProcessW, with /dev/null for its standard streams: a job writes its results
// to files and ends by making a marker, which the test waits for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace qt {

// Whether base.dll was built with the tests' key (whose private halves the tests hold).
bool BuiltWithTestKey();
// The Unix path of a Windows path; empty when Wine cannot give one.
std::string UnixPath(const std::wstring& path);
// Runs the bash `script` on the build machine in `dir` (a work folder), waits for its
// end; true when it exited 0. What it wrote to stderr goes to dir\\job.err.
bool RunOnBuildMachine(const std::string& script, const std::wstring& dir, DWORD ms = kWaitMs);

// scripts/publish-update.sh for `setup` (a Windows path): the description of `version`
// at `address`, signed with the tests' key (or the other one); empty on failure.
std::string PublishUpdate(const std::wstring& setup, const std::string& address, const std::string& version,
                          bool otherKey = false);
// The description's bytes before its signature line, and that line.
std::string SignedPart(const std::string& description);
std::string SignatureLine(const std::string& description);

// A file's last-write time (0 when it is not there), set to `time` (UTC); its size.
ULONGLONG LastWriteTime(const std::wstring& path);
bool SetLastWriteTime(const std::wstring& path, const SYSTEMTIME& time);
DWORD FileSize(const std::wstring& path);

// The widget's own menu as it opens: every item's text (separators left out) and, in
// `greyed`, whether it is greyed, read by a thread of the test while the menu's loop
// runs in the widget's thread (this one, for the engine loaded in process), then closed.
std::vector<std::wstring> WidgetMenuTexts(HWND widget, std::vector<bool>* greyed = nullptr);
// Its line on updates (the one that begins "Обновлени"), or empty.
std::wstring UpdateLine(const std::vector<std::wstring>& texts);

} // namespace qt
