// The modeless proxy settings dialog that tray command 200 opens.
#pragma once

#include <windows.h>

// The dialog template's name (names of resources match without regard to case).
#define PROXY_DIALOG_TEMPLATE L"proxy_settings"

// The open proxy dialog, null while there is none. Main thread only.
extern HWND g_proxyDialog;

// Opens the dialog at the cursor with the stored settings; does nothing while
// one is open.
void OpenProxyDialog(void);

// Stores the dialog's mode and its three texts in the registry. Returns the error
// of opening the proxy key, else the status of closing it.
LONG SaveProxySettings(HWND dialog);

INT_PTR CALLBACK ProxyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Enables or disables the manual controls 1002 to 1009 together.
void EnableManualProxyControls(HWND dialog, BOOL enable);

// Tear-down: destroys a dialog that is still open, storing nothing and telling
// the engine nothing.
void CloseProxyDialogWithoutSaving(void);
