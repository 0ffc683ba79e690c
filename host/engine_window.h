// The engine's window as the Host knows it: stored by RunQuornel, the target of every
// host message the tray window and the proxy dialog send.
#pragma once

#include <windows.h>

// The engine's top-level window; null until RunQuornel succeeds. Main thread only.
extern HWND g_engineWindow;

// Sends a host message (wParam 0, lParam 0) to the engine window, once there is one;
// the engine's answer is not used.
void SendToEngine(UINT message);
