// The modeless proxy settings dialog that tray command 200 opens.
#pragma once

#include <windows.h>

// The template's name and caption; the open dialog is found by this caption.
#define PROXY_DIALOG_TEMPLATE L"proxy_settings"
#define PROXY_DIALOG_CAPTION  L"Настройки прокси — кворнел Чемпионата мира по Футболу 2010"

// The open proxy dialog, null while there is none. Main thread only.
extern HWND g_proxyDialog;

// Opens the dialog at the cursor with the stored settings; does nothing while
// one is open.
void OpenProxyDialog(void);

INT_PTR CALLBACK ProxyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Enables or disables the manual controls 1002 to 1009 together.
void EnableManualProxyControls(HWND dialog, BOOL enable);

// Tear-down: destroys a dialog that is still open, storing nothing and telling
// the engine nothing.
void CloseProxyDialogWithoutSaving(void);
