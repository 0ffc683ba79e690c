// The boundary between the Host and the widget engine in base.dll: the two calls,
// the two records that cross it, the failure codes and the host messages.
// The engine (and any stand-in for it) relies on every number and layout here.
#pragma once

#include <windows.h>

// Private window messages between the tray window and the engine window.
// All are sent with SendMessageW and carry wParam 0 and lParam 0 unless noted.
enum HostMessage : UINT {
    WM_TRAY_CALLBACK        = 0x3006, // shell -> tray window; lParam is the mouse message
    WM_TRAY_SET_STATE       = 0x3007, // engine -> tray window; wParam 0 online, 1 offline
    WM_ENGINE_TRAY_DBLCLK   = 0x3008, // tray icon double-clicked
    WM_ENGINE_WALLPAPER_OFF = 0x3009, // command 100 unchecked its item
    WM_ENGINE_WALLPAPER_ON  = 0x300A, // command 100 checked its item
    WM_ENGINE_PROXY_CLOSED  = 0x300D, // proxy dialog closed, values saved
    WM_ENGINE_PROXY_TEST    = 0x300E, // test requested, values saved
    WM_ENGINE_SWITCH_SKIN   = 0x3011, // "Переключить скин"
    WM_ENGINE_COLLAPSE_OFF  = 0x3012, // "Свернуть" unchecked its item
    WM_ENGINE_COLLAPSE_ON   = 0x3013, // "Свернуть" checked its item
};

// WM_COPYDATA with this dwData asks the tray window for a balloon; lpData holds
// a UTF-16 text.
const ULONG_PTR COPYDATA_BALLOON = 2;

// Filled by the Host and handed to RunQuornel.
struct QuornelInitParams {
    HWND  trayWindow;             // target of WM_TRAY_SET_STATE and COPYDATA_BALLOON
    WCHAR commandLine[1001];      // the Host's tail, at most 999 characters, terminated
    WCHAR currentDirectory[260];  // as GetCurrentDirectoryW gave it at start-up
};

// Zeroed by the Host before the call, filled by the engine when RunQuornel fails.
struct Result {
    INT32  code;      // one of QuornelFailure, or anything else
    UINT32 error;     // system error code for the failures 2, 4 and 5
    UINT32 reserved;  // zeroed, never read
};

enum QuornelFailure : INT32 {
    QUORNEL_NO_DESKTOP_WINDOW     = 1,
    QUORNEL_INSTALL_FAILED        = 2, // with error
    QUORNEL_INIT_FAILED           = 3,
    QUORNEL_DESKTOP_CHANGE_FAILED = 4, // with error
    QUORNEL_INIT_SYSTEM_ERROR     = 5, // with error
};

#ifdef QUORNEL_ENGINE_BUILD
#define QUORNEL_ENGINE_API extern "C" __declspec(dllexport)
#else
#define QUORNEL_ENGINE_API extern "C" __declspec(dllimport)
#endif

// Starts the engine. On TRUE the engine window is stored in *engineWindow and the
// engine's windows live on the calling thread; on FALSE *result says why.
QUORNEL_ENGINE_API BOOL RunQuornel(QuornelInitParams* params, HWND* engineWindow, Result* result);

// Stops the engine; called once, after the message loop, only after RunQuornel succeeded.
QUORNEL_ENGINE_API void ExitQuornel(void);
