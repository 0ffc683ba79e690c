#include "engine_in_process.h"

#include <shlobj.h>
#include <stdio.h>

#include <algorithm>

#include "host/engine_interface.h"

namespace qt {

namespace {

const wchar_t kTrayClass[] = L"quornel_test_tray";

LRESULT CALLBACK TestTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* tray = reinterpret_cast<TestTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (tray && message == WM_COPYDATA && data->dwData == COPYDATA_BALLOON)
        tray->balloons.emplace_back(static_cast<const wchar_t*>(data->lpData));
    else if (tray && message == WM_TRAY_SET_STATE)
        tray->states.push_back(wParam);
    else
        return DefWindowProcW(window, message, wParam, lParam);
    return 0;
}

} // namespace

void RedirectImport(HMODULE module, void* real, void* replacement)
{
    BYTE* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        for (auto* slot = reinterpret_cast<ULONG_PTR*>(base + imp->FirstThunk); *slot; ++slot) {
            if (*slot != reinterpret_cast<ULONG_PTR>(real))
                continue;
            DWORD old;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
            *slot = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(slot, sizeof(*slot), old, &old);
        }
    }
}

TestTray::TestTray()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = TestTrayProc;
    windowClass.lpszClassName = kTrayClass;
    RegisterClassW(&windowClass);
    window = CreateWindowExW(0, kTrayClass, L"tray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestTray::~TestTray()
{
    DestroyWindow(window);
}

HWND RunEngine(HMODULE engine, HWND tray, const wchar_t* commandLine, const std::wstring& folder)
{
    auto run = reinterpret_cast<BOOL (*)(QuornelInitParams*, HWND*, Result*)>(
        reinterpret_cast<void*>(GetProcAddress(engine, "RunQuornel")));
    static QuornelInitParams params;
    params = QuornelInitParams();
    params.trayWindow = tray;
    lstrcpynW(params.commandLine, commandLine, ARRAYSIZE(params.commandLine));
    lstrcpynW(params.currentDirectory, folder.empty() ? BinDir().c_str() : folder.c_str(),
              ARRAYSIZE(params.currentDirectory));
    Result result = {};
    HWND widget = nullptr;
    if (!run || !run(&params, &widget, &result))
        return nullptr;
    return widget;
}

DWORD ExitEngine(HMODULE engine)
{
    DWORD start = GetTickCount();
    reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(engine, "ExitQuornel")))();
    DWORD spent = GetTickCount() - start;
    PumpUntil([] { return true; }, 0);
    return spent;
}

std::wstring CacheFile()
{
    wchar_t folder[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder);
    std::wstring path = std::wstring(folder) + L"\\Morvane";
    CreateDirectoryW(path.c_str(), nullptr);
    path += L"\\Tessmark";
    CreateDirectoryW(path.c_str(), nullptr);
    return path + L"\\worldcup2010.csv";
}

std::string SourceFile(const char* relative)
{
    std::wstring path = L"Z:" + Utf8ToWide(std::string(QUORNEL_SOURCE_DIR) + "/" + relative);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return ReadFileBytes(path);
}

std::string DataWithScore(const char* score)
{
    std::string data = SourceFile("data/worldcup2010/worldcup2010.csv");
    size_t at = data.find("FRA,RSA,1,2,");
    int home = 1, away = 2;
    if (at == std::string::npos || sscanf(score, "%d,%d", &home, &away) != 2)
        return data;
    data.replace(at + 8, 3, score);
    // The goals table must agree: the goals past the real 1-2 follow its last goal
    // (no fewer goals than were scored).
    const std::string last = "\n34,2,70,0,FRA,0,0,Malouda,Малуда\n";
    size_t end = data.find(last);
    std::string added;
    for (int i = 0; i < home - 1 + away - 2; ++i) {
        added += "34,2," + std::to_string(80 + i) +
                 (i < home - 1 ? ",0,FRA,0,0,Malouda,Малуда\n" : ",0,RSA,0,0,Mphela,Мфела\n");
    }
    return end == std::string::npos ? data : data.insert(end + last.size(), added);
}

bool LocalServers::Start(const std::wstring& name)
{
    dir = MakeWorkDir(name);
    log = dir + L"\\requests.log";
    auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* root = unixName ? unixName(dir.c_str()) : nullptr;
    if (!root)
        return false;
    std::wstring command = L"python3 \"" + Utf8ToWide(QUORNEL_SOURCE_DIR "/tests/network/net_server.py") + L"\" \"" +
                           Utf8ToWide(root) + L"\" \"" +
                           Utf8ToWide(QUORNEL_SOURCE_DIR "/data/worldcup2010/worldcup2010.csv") + L"\"";
    HeapFree(GetProcessHeap(), 0, root);
    STARTUPINFOW startup = { sizeof(startup) };
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(L"Z:\\usr\\bin\\python3", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    CloseHandle(started.hThread); // a Linux program: nothing to wait on
    CloseHandle(started.hProcess);
    std::wstring ports = dir + L"\\ports.txt";
    return WaitUntil([&] { return FileExists(ports); }) &&
           sscanf(ReadFileBytes(ports).c_str(), "origin=%d proxy=%d closing=%d dead=%d", &origin, &proxy, &closing,
                  &dead) == 4;
}

void LocalServers::Stop()
{
    WriteFileBytes(dir + L"\\stop", "");
}

std::wstring LocalServers::Url(const std::wstring& path) const
{
    return L"http://localhost:" + std::to_wstring(origin) + path;
}

std::vector<std::wstring> LocalServers::Lines(const wchar_t* server) const
{
    return LogLines(log, server);
}

size_t LocalServers::Requests() const
{
    return Lines(L"origin").size() + Lines(L"proxy").size() + Lines(L"closing").size();
}

bool LocalServers::WaitFor(size_t originRequests, DWORD ms) const
{
    return WaitForLogLine(log, L"origin", originRequests, ms);
}

bool LocalServers::Serve(const std::wstring& name, const std::string& bytes, const SYSTEMTIME& modified) const
{
    FILETIME time;
    std::wstring path = dir + L"\\" + name;
    HANDLE file = WriteFileBytes(path, bytes) && SystemTimeToFileTime(&modified, &time)
                      ? CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    bool ok = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &time);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return ok;
}

} // namespace qt
