#include "engine_window.h"

HWND g_engineWindow;

void SendToEngine(UINT message)
{
    if (g_engineWindow)
        SendMessageW(g_engineWindow, message, 0, 0);
}
