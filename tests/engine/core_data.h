// What the in-process tables of the engine's core start from: moments in UTC ticks
// and the data file that base.dll carries, read by the engine's own reader.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "base/tournament_data.h"
#include "base/widget_content.h"
#include "test_support.h"

inline ULONGLONG Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute)
{
    SYSTEMTIME time = { year, month, 0, day, hour, minute, 0, 0 };
    FILETIME file;
    SystemTimeToFileTime(&time, &file);
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
}

// The data file as base.dll carries it.
inline std::string BuiltInDataFile()
{
    HMODULE engine = LoadLibraryExW(qt::BinPath(L"base.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = engine ? FindResourceW(engine, MAKEINTRESOURCEW(BUILT_IN_DATA_RESOURCE), RT_RCDATA) : nullptr;
    std::string text;
    if (found)
        text.assign(static_cast<const char*>(LockResource(LoadResource(engine, found))), SizeofResource(engine, found));
    if (engine)
        FreeLibrary(engine);
    return text;
}

// The file up to its goals table: teams, cities and matches, as before the goals came.
inline std::string ResultsOnly(const std::string& text)
{
    return text.substr(0, text.find("\nnum,period,") + 1);
}

inline bool Read(const std::string& text, TournamentData* data)
{
    return ReadTournamentData(text.data(), static_cast<DWORD>(text.size()), data);
}

inline TournamentData BuiltInData()
{
    TournamentData data = {};
    EXPECT_TRUE(Read(BuiltInDataFile(), &data));
    return data;
}

// The match line of the view whose teams read `teams`, as "kick-off teams".
inline std::wstring MatchLine(const WidgetView& view, const wchar_t* teams)
{
    for (int i = 0; i < view.lineCount; ++i) {
        const ViewLine& line = view.lines[i];
        if (line.style == LINE_MATCH && std::wstring(line.cell[1]) == teams)
            return std::wstring(line.cell[0]) + L" " + line.cell[1];
    }
    return L"none";
}
