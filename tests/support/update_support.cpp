#include "update_support.h"

#include <stdio.h>

namespace qt {

namespace {

// 'text', as bash reads it whatever it holds.
std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string KeyPath(const char* name)
{
    return std::string(QUORNEL_UPDATE_TEST_KEY_DIR) + "/" + name + ".pem";
}

} // namespace

bool BuiltWithTestKey()
{
    return QUORNEL_UPDATE_TEST_KEY_BUILT != 0;
}

std::string UnixPath(const std::wstring& path)
{
    auto unixName = reinterpret_cast<char*(CDECL*)(LPCWSTR)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return "";
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

bool RunOnBuildMachine(const std::string& script, const std::wstring& dir, DWORD ms)
{
    std::string unixDir = UnixPath(dir);
    std::wstring code = dir + L"\\job.code";
    DeleteFileW(code.c_str());
    // Wine hands its own PATH on; the job sets the machine's.
    if (unixDir.empty() ||
        !WriteFileBytes(dir + L"\\job.sh", "export PATH=/usr/local/bin:/usr/bin:/bin\ncd " + Quoted(unixDir) +
                                               "\n( " + script + " ) 2>job.err\necho $? >job.code.tmp\n"
                                               "mv job.code.tmp job.code\n"))
        return false;
    std::wstring command = L"bash \"" + Utf8ToWide(unixDir) + L"/job.sh\"";
    STARTUPINFOW startup = { sizeof(startup) };
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(L"Z:\\usr\\bin\\bash", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started))
        return false;
    CloseHandle(started.hThread); // a Linux program: its end shows in the marker
    CloseHandle(started.hProcess);
    return WaitUntil([&] { return FileExists(code); }, ms) && ReadFileBytes(code) == "0\n";
}

std::string PublishUpdate(const std::wstring& setup, const std::string& address, const std::string& version,
                          bool otherKey)
{
    static int jobs = 0;
    std::wstring dir = MakeWorkDir(L"publish_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                                   std::to_wstring(++jobs));
    std::string script = "bash " + Quoted(std::string(QUORNEL_SOURCE_DIR) + "/scripts/publish-update.sh") +
                         " --key " + Quoted(KeyPath(otherKey ? "other_private" : "private")) + " --address " +
                         Quoted(address) + " --version " + Quoted(version) + " --output description.txt " +
                         Quoted(UnixPath(setup));
    if (!RunOnBuildMachine(script, dir)) {
        printf("publish-update.sh failed: %s\n", ReadFileBytes(dir + L"\\job.err").c_str());
        return "";
    }
    return ReadFileBytes(dir + L"\\description.txt");
}

std::string SignedPart(const std::string& description)
{
    size_t at = description.rfind("signature: ");
    return at == std::string::npos ? description : description.substr(0, at);
}

std::string SignatureLine(const std::string& description)
{
    size_t at = description.rfind("signature: ");
    return at == std::string::npos ? "" : description.substr(at);
}

ULONGLONG LastWriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

bool SetLastWriteTime(const std::wstring& path, const SYSTEMTIME& time)
{
    FILETIME stamp;
    HANDLE file = SystemTimeToFileTime(&time, &stamp)
                      ? CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                      : INVALID_HANDLE_VALUE;
    bool set = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &stamp);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return set;
}

DWORD FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

std::vector<std::wstring> WidgetMenuTexts(HWND widget, std::vector<bool>* greyed)
{
    struct Reading {
        HWND widget;
        std::vector<std::wstring> texts;
        std::vector<bool> greyed;
    } reading = { widget, {}, {} };
    HANDLE reader = CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            Reading* r = static_cast<Reading*>(parameter);
            HWND menuWindow = nullptr;
            WaitUntil([&] {
                for (menuWindow = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); menuWindow;
                     menuWindow = FindWindowExW(nullptr, menuWindow, L"#32768", nullptr)) {
                    DWORD process = 0;
                    GetWindowThreadProcessId(menuWindow, &process);
                    if (process == GetCurrentProcessId() && IsWindowVisible(menuWindow))
                        return true;
                }
                return false;
            });
            HMENU menu = menuWindow ? reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0)) : nullptr;
            for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
                wchar_t text[256] = {};
                GetMenuStringW(menu, i, text, ARRAYSIZE(text), MF_BYPOSITION);
                if (text[0]) {
                    r->texts.push_back(text);
                    r->greyed.push_back((GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0);
                }
            }
            PostMessageW(r->widget, WM_CANCELMODE, 0, 0);
            return 0;
        },
        &reading, 0, nullptr);
    SendMessageW(widget, WM_RBUTTONUP, 0, MAKELPARAM(40, 30));
    WaitForSingleObject(reader, kWaitMs);
    CloseHandle(reader);
    if (greyed)
        *greyed = reading.greyed;
    return reading.texts;
}

std::wstring UpdateLine(const std::vector<std::wstring>& texts)
{
    for (const std::wstring& text : texts)
        if (text.compare(0, 9, L"Обновлени") == 0)
            return text;
    return L"";
}

} // namespace qt
