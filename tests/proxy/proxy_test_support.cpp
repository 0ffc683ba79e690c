#include "proxy_test_support.h"

namespace qt {

const wchar_t kProxyCaption[] = L"Настройки прокси \x2014 кворнел Чемпионата мира по Футболу 2010";

bool KeyExists(const wchar_t* path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

int ValueCount(const wchar_t* path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return static_cast<int>(values);
}

bool WriteUnterminated(const wchar_t* path, const wchar_t* name, const std::wstring& text)
{
    // RegSetValueExW counts in a NUL that directly follows the data it is given;
    // a unit other than NUL behind the text keeps the value unterminated.
    std::wstring followed = text + L'!';
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    return WriteRaw(path, name, REG_SZ, followed.data(), bytes) && ReadValue(path, name).data.size() == bytes;
}

void WriteProxyValues(const std::wstring& type, const std::wstring& server, const std::wstring& user,
                      const std::wstring& password)
{
    WriteText(PROXY_KEY, VALUE_PROXY_TYPE, type);
    WriteText(PROXY_KEY, VALUE_PROXY_SERVER, server);
    WriteText(PROXY_KEY, VALUE_PROXY_USER, user);
    WriteText(PROXY_KEY, VALUE_PROXY_PASSWORD, password);
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

std::wstring ControlText(HWND dialog, int id)
{
    wchar_t text[1024] = {};
    Send(GetDlgItem(dialog, id), WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text));
    return text;
}

void SetControlText(HWND dialog, int id, const std::wstring& text)
{
    Send(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

bool Checked(HWND dialog, int id)
{
    return Send(GetDlgItem(dialog, id), BM_GETCHECK) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

void Click(HWND dialog, int id)
{
    // The button notifies its dialog before BM_CLICK returns.
    Send(GetDlgItem(dialog, id), BM_CLICK);
}

std::vector<HWND> ProxyDialogs()
{
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, nullptr, kProxyCaption)) != nullptr)
        found.push_back(window);
    return found;
}

} // namespace qt
