// The engine loaded into the test process as the Host loads it, with a window of the
// test's standing in for the Host's tray window; local servers on 127.0.0.1 for its
// network; and a way to watch or refuse the engine's own calls through its import
// table. Every wait has a time-out.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace qt {

// Points every import of `module` that goes to `real` at `replacement`.
void RedirectImport(HMODULE module, void* real, void* replacement);

// A hidden window in the tray window's place: it writes down the balloons
// (WM_COPYDATA 2) and the tray states (WM_TRAY_SET_STATE) the engine sends it.
struct TestTray {
    HWND window = nullptr;
    std::vector<std::wstring> balloons;
    std::vector<WPARAM> states;
    TestTray();
    ~TestTray();
    TestTray(const TestTray&) = delete;
    TestTray& operator=(const TestTray&) = delete;
};

// Serves this thread's windows (the engine's among them) until `done` holds or `ms`
// pass; true when it held.
template <class F> bool PumpUntil(F done, DWORD ms = kWaitMs)
{
    for (DWORD start = GetTickCount();; MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        if (done())
            return true;
        if (GetTickCount() - start > ms)
            return false;
    }
}

// RunQuornel of the loaded `engine` with `tray` and the command-line tail, the
// current directory (the install folder) `folder` or else bin/; the widget, or null.
HWND RunEngine(HMODULE engine, HWND tray, const wchar_t* commandLine, const std::wstring& folder = L"");
// ExitQuornel, then the messages it left; gives its own time in ms.
DWORD ExitEngine(HMODULE engine);

// The engine's cached copy of the data file (%LOCALAPPDATA%\Morvane\Tessmark).
std::wstring CacheFile();
// A file of the sources (QUORNEL_SOURCE_DIR, a Unix path) as a Windows program reads it.
std::string SourceFile(const char* relative);
// The built-in data file with France — South Africa (match 34) ending `score` (at least
// the real 1:2), its goals table agreeing.
std::string DataWithScore(const char* score);

// tests/network/net_server.py in a work folder of its own: an origin that serves the
// folder's files (and hostile answers), a proxy with Basic auth, a proxy that closes
// every connection and a dead port, all on 127.0.0.1; requests are logged.
struct LocalServers {
    std::wstring dir, log;
    int origin = 0, proxy = 0, closing = 0, dead = 0;

    bool Start(const std::wstring& name);
    void Stop();
    // The origin by name, the proxy by address: Wine's WinHTTP sends the short
    // request form to a proxy whose host is the origin's.
    std::wstring Url(const std::wstring& path) const;
    std::vector<std::wstring> Lines(const wchar_t* server) const;
    size_t Requests() const; // of every server
    bool WaitFor(size_t originRequests, DWORD ms = kWaitMs) const;
    // The file `name` served with `bytes` and that Last-Modified.
    bool Serve(const std::wstring& name, const std::string& bytes, const SYSTEMTIME& modified) const;
};

} // namespace qt
