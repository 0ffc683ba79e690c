// The engine's two calls: the widget starts on the Host's thread and ends with it.
#include <windows.h>

#include "../host/engine_interface.h"
#include "network.h"
#include "tournament_data.h"
#include "updater.h"
#include "widget_clock.h"
#include "widget_window.h"

namespace {

HINSTANCE s_module; // base.dll: its data resource and the widget's window class

} // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        s_module = module;
    return TRUE;
}

QUORNEL_ENGINE_API BOOL RunQuornel(QuornelInitParams* params, HWND* engineWindow, Result* result)
{
    if (!params || !engineWindow || !result)
        return FALSE;
    // The Host terminates both texts; a copy keeps the engine safe should it not.
    WCHAR commandLine[ARRAYSIZE(params->commandLine)];
    WCHAR folder[ARRAYSIZE(params->currentDirectory)];
    lstrcpynW(commandLine, params->commandLine, ARRAYSIZE(commandLine));
    lstrcpynW(folder, params->currentDirectory, ARRAYSIZE(folder));
    StartWidgetClock(commandLine);

    // The last file downloaded from the data address, else the one built in.
    TournamentData data;
    if (!LoadCachedData(&data) && !LoadBuiltInData(s_module, &data)) {
        result->code = QUORNEL_INIT_FAILED;
        return FALSE;
    }
    DWORD error = 0;
    HWND widget = CreateWidgetWindow(s_module, params->trayWindow, folder, data, &error);
    if (!widget) {
        result->code = QUORNEL_INSTALL_FAILED;
        result->error = error;
        return FALSE;
    }
    *engineWindow = widget;
    StartNetwork(widget, data); // without it the widget still shows the data it has
    StartUpdater(widget, folder);
    return TRUE;
}

QUORNEL_ENGINE_API void ExitQuornel(void)
{
    AskUpdaterToStop(); // both workers stop at once: ExitQuornel keeps to its second
    StopNetwork();
    StopUpdater();
    DestroyWidgetWindow();
}
