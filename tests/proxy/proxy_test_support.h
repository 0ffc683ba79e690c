// Helpers for the proxy and settings tests: raw registry values under
// HKEY_CURRENT_USER and a remote-controlled proxy dialog in the Host.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "host/shared_settings.h"

namespace qt {

// The key the tests own; deleted at the start of each test.
// The dialog's caption, as the user sees it.
extern const wchar_t kProxyCaption[];

bool KeyExists(const wchar_t* path);
// Number of values in the key; -1 when the key is missing.
int ValueCount(const wchar_t* path);
// Writes text without any terminator, as other software may; false unless the
// value holds exactly the text's bytes.
bool WriteUnterminated(const wchar_t* path, const wchar_t* name, const std::wstring& text);
// All four proxy values at once, as REG_SZ.
void WriteProxyValues(const std::wstring& type, const std::wstring& server, const std::wstring& user,
                      const std::wstring& password);


// Cross-process calls to the Host's windows never wait longer than this.
LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);
bool Checked(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
void Click(HWND dialog, int id);

// All top-level windows that bear the dialog's caption.
std::vector<HWND> ProxyDialogs();

} // namespace qt
