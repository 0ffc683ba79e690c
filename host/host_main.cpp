// The Host's entry: start-up checks, the engine, the one message loop, tear-down.
#include <windows.h>
#include <shellapi.h>

#include "engine_interface.h"
#include "engine_window.h"
#include "host_warning.h"
#include "proxy_dialog.h"
#include "tray_window.h"

namespace {

const WCHAR kWidgetMutex[] = L"Quornel_widget_mono";

const WCHAR kTooOldWindows[] =
    L"  Слишком старая версия Windows.     \n  Нужна Windows XP, Windows Vista или Windows 7.    ";
const WCHAR kCloseHarbinel[] = L"Для запуска этого кворнела нужно закрыть виджет \"Харбинел\"";
const WCHAR kCloseOstrelle[] = L"Для запуска этого кворнела нужно закрыть виджет \"Острелле\"";
const WCHAR kCloseOthers[] = L"Для запуска этого кворнела нужно закрыть другие кворнелы";
const WCHAR kFirstRunText[] = L"Виджет успешно установлен";
const WCHAR kFirstRunTitle[] = L"Виджет Чемпионата мира по футболу 2010";

HANDLE s_widgetMutex; // held until the process ends: the family's "a widget runs" flag

bool TailHas(const WCHAR* tail, const WCHAR* word)
{
    return tail && wcsstr(tail, word) != nullptr;
}

bool WindowsIsTooOld(void)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#ifdef _MSC_VER
#pragma warning(suppress : 4996) // the major version is all we need
#endif
    GetVersionExW(&version);
    return version.dwMajorVersion < 5;
}

// "/exit": stop the running Host and wait until its process has ended.
void StopRunningHost(void)
{
    HWND tray = FindWindowW(nullptr, TRAY_WINDOW_TITLE);
    if (!tray)
        return;
    DWORD processId = 0;
    GetWindowThreadProcessId(tray, &processId);
    // Opened before the send: once that Host has ended, its id may name another process.
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    SendMessageW(tray, WM_DESTROY, 0, 0);
    if (process) {
        WaitForSingleObject(process, INFINITE);
        CloseHandle(process);
    }
}

// Creates the family's mutex; when it already existed another widget runs, and the
// titles of the family's windows decide what the user is told. Creating and testing
// in one step keeps two Hosts started at the same instant from both passing. No handle
// at all also means it exists: one made by a widget running elevated is closed to us.
bool ClaimSingleWidget(void)
{
    s_widgetMutex = CreateMutexW(nullptr, FALSE, kWidgetMutex);
    if (s_widgetMutex && GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    if (s_widgetMutex)
        CloseHandle(s_widgetMutex);
    s_widgetMutex = nullptr;

    if (FindWindowW(nullptr, L"Harbinel Widget 1.0") || FindWindowW(nullptr, L"Harbinel Widget 2.0"))
        ShowHostWarning(kCloseHarbinel);
    else if (FindWindowW(nullptr, L"Quornel Ostrelle 1.0"))
        ShowHostWarning(kCloseOstrelle);
    else if (FindWindowW(nullptr, L"Quornel Pellwick CHM-2010"))
        ; // that widget's user knows: end without a word
    else
        ShowHostWarning(kCloseOthers);
    return false;
}

void ShowEngineFailure(const Result& result)
{
    switch (result.code) {
    case QUORNEL_NO_DESKTOP_WINDOW:
        ShowHostWarning(L"Кворнел не может найти окно рабочего стола");
        break;
    case QUORNEL_INSTALL_FAILED:
        ShowHostWarning(L"Кворнел не смог установиться на рабочий стол. код ошибки: %u", result.error);
        break;
    case QUORNEL_INIT_FAILED:
        ShowHostWarning(L"Ошибка инициализации кворнела: DEBUG: cant get prop");
        break;
    case QUORNEL_DESKTOP_CHANGE_FAILED:
        ShowHostWarning(L"Кворнел не смог изменить поведение рабочего стола. код ошибки: %u", result.error);
        break;
    case QUORNEL_INIT_SYSTEM_ERROR:
        ShowHostWarning(L"Ошибка инициализации кворнела: код ошибки: %u", result.error);
        break;
    }
}

void RunMessageLoop(void)
{
    MSG message = {};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void RedrawEngineWindow(void)
{
    // Before the engine ran the handle is null, which redraws the whole desktop.
    RedrawWindow(g_engineWindow, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR tail, int)
{
    if (WindowsIsTooOld()) {
        ShowHostWarning(kTooOldWindows);
        return 0;
    }
    if (TailHas(tail, L"/exit")) {
        StopRunningHost();
        return 0;
    }
    if (!ClaimSingleWidget())
        return 0;

    HWND trayWindow = CreateTrayWindow();
    LoadTrayIcons(); // a failure was reported; the Host goes on with a null icon
    NotifyTrayIcon(trayWindow, NIM_ADD, 0, CurrentTrayIcon(), CurrentTrayTip());

    // On the stack: a zeroed static would take its 2.5 KB in the file (mingw keeps
    // such statics in .data when every object has its own section).
    QuornelInitParams params = {};
    params.trayWindow = trayWindow;
    lstrcpynW(params.commandLine, tail ? tail : L"", 1000);
    params.commandLine[999] = 0;
    GetCurrentDirectoryW(ARRAYSIZE(params.currentDirectory), params.currentDirectory);
    Result result = {};

    if (RunQuornel(&params, &g_engineWindow, &result)) {
        RedrawEngineWindow();
        if (TailHas(tail, L"/firstrun"))
            ShowTrayBalloon(trayWindow, 0, kFirstRunText, kFirstRunTitle);
        RunMessageLoop();
        ExitQuornel();
    } else {
        ShowEngineFailure(result);
    }

    DestroyWindow(trayWindow);
    CloseProxyDialogWithoutSaving();
    RedrawEngineWindow();
    return 0;
}
