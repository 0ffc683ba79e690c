#include "proxy_dialog.h"

#include "engine_interface.h"
#include "engine_window.h"
#include "host_resources.h"
#include "settings_store.h"

HWND g_proxyDialog;

namespace {

const int kManualControls[] = {
    IDC_PROXY_MANUAL_GROUP, IDC_PROXY_SERVER,       IDC_PROXY_USER,           IDC_PROXY_PASSWORD,
    IDC_PROXY_SERVER_LABEL, IDC_PROXY_USER_LABEL,   IDC_PROXY_PASSWORD_LABEL, IDC_PROXY_TEST,
};

// The edits of the three texts, in ProxyText order.
const int kTextControls[PROXY_TEXT_COUNT] = { IDC_PROXY_SERVER, IDC_PROXY_USER, IDC_PROXY_PASSWORD };

void ShowAutomaticMode(HWND dialog)
{
    CheckDlgButton(dialog, IDC_PROXY_AUTOMATIC, BST_CHECKED);
    EnableManualProxyControls(dialog, FALSE);
}

// Automatic mode unless proxy_type is exactly "manual" (the template's state);
// the stored texts are shown only when proxy_type itself could be read.
void ShowStoredSettings(HWND dialog)
{
    ProxySettings stored;
    if (!ReadProxySettings(&stored)) {
        ShowAutomaticMode(dialog);
        return;
    }
    if (!stored.manual)
        ShowAutomaticMode(dialog);
    for (int i = 0; i < PROXY_TEXT_COUNT; ++i) {
        if (stored.found[i])
            SetDlgItemTextW(dialog, kTextControls[i], stored.text[i]);
    }
}

// Bottom-right corner on the cursor; the position is not kept on the screen.
void PlaceAtCursor(HWND dialog)
{
    RECT frame = {};
    GetWindowRect(dialog, &frame);
    POINT cursor = {};
    GetCursorPos(&cursor);
    SetWindowPos(dialog, HWND_TOP, cursor.x - (frame.right - frame.left), cursor.y - (frame.bottom - frame.top), 0, 0,
                 SWP_NOSIZE | SWP_SHOWWINDOW);
}

} // namespace

void EnableManualProxyControls(HWND dialog, BOOL enable)
{
    for (int id : kManualControls)
        EnableWindow(GetDlgItem(dialog, id), enable);
}

void OpenProxyDialog(void)
{
    // An open dialog is neither moved, nor activated, nor refilled.
    if (IsWindow(g_proxyDialog))
        return;
    // The desktop as parent: no window of the Host owns the dialog.
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), PROXY_DIALOG_TEMPLATE, GetDesktopWindow(),
                                     ProxyDialogProc, 0);
    if (!dialog)
        return; // the next command 200 tries again

    ShowStoredSettings(dialog); // a key that cannot be opened shows automatic mode
    PlaceAtCursor(dialog);
    g_proxyDialog = dialog;
}

LONG SaveProxySettings(HWND dialog)
{
    // The mode is taken before anything else, as the user left it; a longer text is
    // cut to its first 259 characters, and disabled edits count too.
    ProxySettings settings;
    settings.manual = IsDlgButtonChecked(dialog, IDC_PROXY_AUTOMATIC) != BST_CHECKED;
    for (int i = 0; i < PROXY_TEXT_COUNT; ++i) {
        settings.text[i][0] = 0;
        GetDlgItemTextW(dialog, kTextControls[i], settings.text[i], REGISTRY_TEXT_UNITS);
    }
    return StoreProxySettings(&settings);
}

INT_PTR CALLBACK ProxyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE; // OpenProxyDialog fills the controls once the dialog exists
    if (message != WM_COMMAND)
        return FALSE;

    switch (LOWORD(wParam)) {
    case IDCANCEL:
        // The dialog manager's answer to WM_CLOSE. The engine is told only once the
        // values are stored and the dialog is gone.
        SaveProxySettings(dialog);
        DestroyWindow(dialog);
        g_proxyDialog = nullptr;
        SendToEngine(WM_ENGINE_PROXY_CLOSED);
        break;
    case IDC_PROXY_AUTOMATIC:
        // The checkbox has already toggled itself; nothing is stored until a test or close.
        EnableManualProxyControls(dialog, IsDlgButtonChecked(dialog, IDC_PROXY_AUTOMATIC) == BST_UNCHECKED);
        break;
    case IDC_PROXY_TEST:
        SaveProxySettings(dialog);
        SendToEngine(WM_ENGINE_PROXY_TEST);
        break;
    }
    return TRUE;
}

void CloseProxyDialogWithoutSaving(void)
{
    if (IsWindow(g_proxyDialog))
        DestroyWindow(g_proxyDialog);
    g_proxyDialog = nullptr;
}
