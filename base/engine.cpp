// The engine's two calls: the widget starts on the Host's thread and ends with it.
#include <windows.h>

#include "../host/engine_interface.h"
#include "widget_window.h"

QUORNEL_ENGINE_API BOOL RunQuornel(QuornelInitParams* params, HWND* engineWindow, Result* result)
{
    DWORD error = 0;
    HWND widget = CreateWidgetWindow(params->trayWindow, params->currentDirectory, &error);
    if (!widget) {
        result->code = QUORNEL_INSTALL_FAILED;
        result->error = error;
        return FALSE;
    }
    *engineWindow = widget;
    return TRUE;
}

QUORNEL_ENGINE_API void ExitQuornel(void)
{
    DestroyWidgetWindow();
}
