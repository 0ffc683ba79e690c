// A stand-in for the widget engine, so that the Host can be tested end to end: it
// keeps the engine's boundary exactly and shows a small window that makes each
// command visible. Test equipment only: it is built into bin/standin/ and never
// ships; the Host's tests copy it beside the Host as base.dll.
//
// For tests, three environment variables:
//   QUORNEL_BASE_LOG   a file to which every host message received, the init
//                      parameters and every Shell_NotifyIconW call of the Host are
//                      appended as UTF-8 lines of tab-separated fields;
//   QUORNEL_BASE_FAIL  "code error": RunQuornel fails with that Result;
//   QUORNEL_BASE_STAMPS a file to which ExitQuornel appends one "stamps" line of
//                      performance counter readings taken during start-up: base.dll
//                      attached, the Host's first NIM_ADD called and returned,
//                      RunQuornel entered and returned (for the benchmark).
// On the two proxy messages the log also gets a "proxy" line with what the proxy
// key holds at that moment, whether a dialog of the Host's thread (the proxy
// dialog) still exists, and the process's lowest free handle slot (a handle the
// Host leaves open moves it).
#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>

#include "../../host/engine_interface.h"
#include "../../host/shared_settings.h"

#ifdef _MSC_VER
#pragma comment(lib, "advapi32.lib")
#endif

namespace {

const WCHAR kEngineClass[] = L"quornel_engine";
// Where the engine finds the proxy settings that the Host's dialog stores.
const WCHAR kEngineTitle[] = L"Кворнел 2010";

WCHAR s_logPath[MAX_PATH];
WCHAR s_stampPath[MAX_PATH];
// Only read from the counter during start-up; written out at the end, so that the
// stamps cost the start nothing else.
LONGLONG s_attached, s_addCalled, s_addReturned, s_runEntered, s_runReturned;
HWND s_engineWindow;
HWND s_trayWindow;
bool s_collapsed, s_wallpaper, s_offline;
int s_skin = 1;

LONGLONG Counter(void)
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

void AppendLine(const WCHAR* path, const WCHAR* text)
{
    if (!path[0])
        return;
    static char utf8[8192];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8) - 1, nullptr, nullptr);
    if (bytes <= 0)
        return;
    utf8[bytes - 1] = '\n';
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, utf8, bytes, &written, nullptr);
    CloseHandle(file);
}

void AppendLog(const WCHAR* text)
{
    AppendLine(s_logPath, text);
}

void Log(const WCHAR* format, ...)
{
    WCHAR line[1024];
    va_list args;
    va_start(args, format);
    wvsprintfW(line, format, args);
    va_end(args);
    AppendLog(line);
}

// Records what the Host asks of the notification area, then passes it on.
typedef BOOL(WINAPI* NotifyIconFn)(DWORD, PNOTIFYICONDATAW);
NotifyIconFn s_realNotifyIcon;

BOOL WINAPI LoggedNotifyIcon(DWORD action, PNOTIFYICONDATAW data)
{
    LONGLONG called = Counter();
    BOOL ok = s_realNotifyIcon(action, data);
    if (action == NIM_ADD && !s_addCalled) {
        s_addCalled = called;
        s_addReturned = Counter();
    }
    static WCHAR line[2048];
    wsprintfW(line, L"notify\taction=%u\tid=%u\tflags=%u\ticon=%p\tcb=%u\tcallback=%u\tresult=%d", action,
              data->uID, data->uFlags, data->hIcon, data->cbSize, data->uCallbackMessage, ok);
    if (data->uFlags & NIF_TIP) {
        lstrcatW(line, L"\ttip=");
        lstrcatW(line, data->szTip);
    }
    if (data->uFlags & NIF_INFO) {
        wsprintfW(line + lstrlenW(line), L"\ttimeout=%u\tinfoflags=%u\ttitle=", data->uTimeout, data->dwInfoFlags);
        lstrcatW(line, data->szInfoTitle);
        lstrcatW(line, L"\ttext=");
        lstrcatW(line, data->szInfo);
    }
    AppendLog(line);
    return ok;
}

// Points the Host's import of Shell_NotifyIconW at the logger.
void HookHostNotifyIcon(void)
{
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    FARPROC real = shell ? GetProcAddress(shell, "Shell_NotifyIconW") : nullptr;
    if (!real)
        return;
    BYTE* host = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(host);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(host + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(host + dir.VirtualAddress); imp->Name; ++imp) {
        for (auto* slot = reinterpret_cast<ULONG_PTR*>(host + imp->FirstThunk); *slot; ++slot) {
            if (*slot != reinterpret_cast<ULONG_PTR>(real))
                continue;
            DWORD old;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
            s_realNotifyIcon = reinterpret_cast<NotifyIconFn>(reinterpret_cast<void*>(real));
            *slot = reinterpret_cast<ULONG_PTR>(&LoggedNotifyIcon);
            VirtualProtect(slot, sizeof(*slot), old, &old);
        }
    }
}

// A dialog among the top-level windows of this thread, the Host's: its proxy dialog.
bool ThreadHasDialog(void)
{
    bool found = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            WCHAR name[16];
            if (GetClassNameW(window, name, ARRAYSIZE(name)) && !lstrcmpW(name, L"#32770")) {
                *reinterpret_cast<bool*>(result) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Test aid: the proxy values as the engine would find them now (absent ones left
// out), and dialog=1 while the Host's proxy dialog exists.
void LogProxyState(UINT message)
{
    // The next handle takes the lowest free slot (Wine counts no handles).
    HANDLE slot = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    CloseHandle(slot);
    static WCHAR line[2048];
    wsprintfW(line, L"proxy\tmsg=0x%04X\tdialog=%d\tslot=%p", message,
              ThreadHasDialog() ? 1 : 0, slot);
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, PROXY_KEY, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        static const WCHAR* const names[][2] = { { VALUE_PROXY_TYPE, L"type" },
                                                 { VALUE_PROXY_SERVER, L"server" },
                                                 { VALUE_PROXY_USER, L"user" },
                                                 { VALUE_PROXY_PASSWORD, L"password" } };
        for (const auto& name : names) {
            WCHAR text[261] = {}; // a stored text of up to 260 units and a terminator
            DWORD type = 0, size = 260 * sizeof(WCHAR);
            if (RegQueryValueExW(key, name[0], nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
                type != REG_SZ)
                continue;
            wsprintfW(line + lstrlenW(line), L"\t%s=", name[1]);
            lstrcatW(line, text);
        }
        RegCloseKey(key);
    }
    AppendLog(line);
}

void PaintWidget(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT area;
    GetClientRect(window, &area);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(s_offline ? GRAY_BRUSH : WHITE_BRUSH)));
    WCHAR text[256];
    wsprintfW(text, L"Скин %d\nСвёрнут: %s\nОбои: %s\nСеть: %s\n\nЩелчок: онлайн/оффлайн\nПравая кнопка: балун", s_skin,
              s_collapsed ? L"да" : L"нет", s_wallpaper ? L"свои" : L"обычные", s_offline ? L"оффлайн" : L"онлайн");
    SetBkMode(dc, TRANSPARENT);
    InflateRect(&area, -8, -6);
    DrawTextW(dc, text, -1, &area, DT_LEFT);
    EndPaint(window, &paint);
}

void ShowCollapsed(HWND window)
{
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, s_collapsed ? GetSystemMetrics(SM_CYCAPTION) + 8 : 170,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// What the engine would do on its own: report the network state and ask for a balloon.
void DemoNetworkToggle(void)
{
    s_offline = !s_offline;
    SendMessageW(s_trayWindow, WM_TRAY_SET_STATE, s_offline ? 1 : 0, 0);
}

void DemoBalloon(HWND window)
{
    static const WCHAR text[] = L"Матч начинается через 15 минут";
    COPYDATASTRUCT data = { COPYDATA_BALLOON, sizeof(text), const_cast<WCHAR*>(text) };
    SendMessageW(s_trayWindow, WM_COPYDATA, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&data));
}

LRESULT CALLBACK EngineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_TRAY_CALLBACK && message <= WM_ENGINE_COLLAPSE_ON) {
        Log(L"msg\t0x%04X\t%u\t%d", message, static_cast<unsigned>(wParam), static_cast<int>(lParam));
        switch (message) {
        case WM_ENGINE_PROXY_TEST:
        case WM_ENGINE_PROXY_CLOSED:
            LogProxyState(message);
            break;
        case WM_ENGINE_COLLAPSE_ON:
        case WM_ENGINE_COLLAPSE_OFF:
            s_collapsed = message == WM_ENGINE_COLLAPSE_ON;
            ShowCollapsed(window);
            break;
        case WM_ENGINE_SWITCH_SKIN:
            s_skin = s_skin % 3 + 1;
            break;
        case WM_ENGINE_WALLPAPER_ON:
        case WM_ENGINE_WALLPAPER_OFF:
            s_wallpaper = message == WM_ENGINE_WALLPAPER_ON;
            break;
        case WM_ENGINE_TRAY_DBLCLK:
            ShowWindow(window, SW_SHOWNORMAL);
            SetForegroundWindow(window);
            break;
        }
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    }
    switch (message) {
    case WM_PAINT:
        PaintWidget(window);
        return 0;
    case WM_LBUTTONUP:
        DemoNetworkToggle();
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_RBUTTONUP:
        DemoBalloon(window);
        return 0;
    case WM_CLOSE:
        return 0; // the widget ends with the Host, not on its own
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        s_attached = Counter();
        DWORD n = GetEnvironmentVariableW(L"QUORNEL_BASE_LOG", s_logPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            s_logPath[0] = 0;
        n = GetEnvironmentVariableW(L"QUORNEL_BASE_STAMPS", s_stampPath, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            s_stampPath[0] = 0;
        if (s_logPath[0] || s_stampPath[0])
            HookHostNotifyIcon(); // the Host adds its icon before it calls us
    }
    return TRUE;
}

QUORNEL_ENGINE_API BOOL RunQuornel(QuornelInitParams* params, HWND* engineWindow, Result* result)
{
    s_runEntered = Counter();
    Log(L"run\ttray=%p\tcmdlen=%d\tdirlen=%d\tresult=%d,%u,%u", params->trayWindow, lstrlenW(params->commandLine),
        lstrlenW(params->currentDirectory), result->code, result->error, result->reserved);
    static WCHAR line[1100];
    lstrcpyW(line, L"cmd\t");
    lstrcatW(line, params->commandLine);
    AppendLog(line);
    lstrcpyW(line, L"dir\t");
    lstrcatW(line, params->currentDirectory);
    AppendLog(line);

    WCHAR failure[64];
    if (GetEnvironmentVariableW(L"QUORNEL_BASE_FAIL", failure, ARRAYSIZE(failure))) {
        WCHAR* rest;
        result->code = static_cast<INT32>(wcstol(failure, &rest, 10));
        result->error = static_cast<UINT32>(wcstoul(rest, nullptr, 10));
        return FALSE;
    }

    s_trayWindow = params->trayWindow;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = EngineWindowProc;
    windowClass.hInstance = GetModuleHandleW(L"base.dll");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_HAND);
    windowClass.lpszClassName = kEngineClass;
    RegisterClassExW(&windowClass);
    s_engineWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kEngineClass, kEngineTitle, WS_POPUP | WS_CAPTION | WS_VISIBLE,
                                     760, 40, 220, 170, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!s_engineWindow) {
        result->code = QUORNEL_INIT_SYSTEM_ERROR;
        result->error = GetLastError();
        return FALSE;
    }
    *engineWindow = s_engineWindow;
    s_runReturned = Counter();
    return TRUE;
}

QUORNEL_ENGINE_API void ExitQuornel(void)
{
    Log(L"exit");
    WCHAR stamps[256];
    wsprintfW(stamps, L"stamps\tattached=%I64d\tadd_called=%I64d\tadd_returned=%I64d\trun_entered=%I64d\trun_returned=%I64d",
              s_attached, s_addCalled, s_addReturned, s_runEntered, s_runReturned);
    AppendLine(s_stampPath, stamps);
    DestroyWindow(s_engineWindow);
    s_engineWindow = nullptr;
}
