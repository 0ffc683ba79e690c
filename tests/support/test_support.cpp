#include "test_support.h"
#include "base/widget_window.h"
#include "host/host_resources.h"

#include <shellapi.h>

namespace qt {

std::wstring BinDir()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

std::wstring BinPath(const std::wstring& name)
{
    return BinDir() + L"\\" + name;
}

std::wstring ProgramDir()
{
    DWORD n = GetEnvironmentVariableW(L"QUORNEL_TEST_PROGRAMS", nullptr, 0);
    if (n == 0)
        return BinDir();
    std::wstring dir(n, 0);
    dir.resize(GetEnvironmentVariableW(L"QUORNEL_TEST_PROGRAMS", &dir[0], n));
    for (wchar_t& c : dir)
        if (c == L'/')
            c = L'\\';
    if (!(dir.size() > 1 && dir[1] == L':') && dir.compare(0, 2, L"\\\\") != 0)
        dir = BinDir() + L"\\" + dir;
    // Without "..": the programs see the path they were started by.
    wchar_t full[MAX_PATH];
    n = GetFullPathNameW(dir.c_str(), MAX_PATH, full, nullptr);
    return n && n < MAX_PATH ? std::wstring(full, n) : dir;
}

std::wstring ProgramPath(const std::wstring& name)
{
    return ProgramDir() + L"\\" + name;
}

static void DeleteFolder(const std::wstring& dir)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolder(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

std::wstring MakeWorkDir(const std::wstring& name)
{
    std::wstring root = BinDir() + L"\\testwork";
    CreateDirectoryW(root.c_str(), nullptr);
    std::wstring dir = root + L"\\" + name;
    DeleteFolder(dir);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

void CopyImages(const std::wstring& dir)
{
    std::wstring images = dir + L"\\images";
    CreateDirectoryW(images.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(BinPath(L"images\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            CopyFileW(BinPath(std::wstring(L"images\\") + found.cFileName).c_str(),
                      (images + L"\\" + found.cFileName).c_str(), FALSE);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void MakeInstallFolder(const std::wstring& dir, bool withImages)
{
    CopyFileW(ProgramPath(kHostName).c_str(), HostExe(dir).c_str(), FALSE);
    CopyFileW(BinPath(L"standin\\base.dll").c_str(), (dir + L"\\base.dll").c_str(), FALSE);
    if (withImages)
        CopyImages(dir);
}

std::wstring HostExe(const std::wstring& dir)
{
    return dir + L"\\tessmark_quornel.exe";
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

Process Start(const std::wstring& exe, const std::wstring& commandLine, const std::wstring& dir)
{
    Process process;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process.handle = info.hProcess;
        process.id = info.dwProcessId;
    }
    return process;
}

bool WaitExit(Process& process, DWORD ms, DWORD* exitCode)
{
    if (!process.handle || WaitForSingleObject(process.handle, ms) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(process.handle, &code);
    if (exitCode)
        *exitCode = code;
    CloseHandle(process.handle);
    process.handle = nullptr;
    return true;
}

void Kill(Process& process)
{
    if (!process.handle)
        return;
    if (WaitForSingleObject(process.handle, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.handle, 99);
        WaitForSingleObject(process.handle, 5000);
    }
    CloseHandle(process.handle);
    process.handle = nullptr;
}

HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* title, DWORD ms)
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowW(windowClass, title)) != nullptr; }, ms);
    return found;
}

HWND WaitForMessageBox(const wchar_t* caption, DWORD ms)
{
    return WaitForWindow(L"#32770", caption, ms);
}

std::wstring WindowText(HWND window)
{
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

std::wstring MessageBoxText(HWND box)
{
    // The box's text is its static control 0xFFFF.
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
    return text;
}

void DismissMessageBox(HWND box)
{
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitUntil([&] { return !IsWindow(box); }, 5000);
}

int DismissAllMessageBoxes(const wchar_t* caption)
{
    int count = 0;
    while (HWND box = FindWindowW(L"#32770", caption)) {
        DismissMessageBox(box);
        if (++count > 20)
            break;
    }
    return count;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n, 0);
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, 0);
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n, nullptr, nullptr);
    return bytes;
}

std::vector<std::wstring> Split(const std::wstring& line, wchar_t separator)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        size_t end = line.find(separator, start);
        parts.push_back(line.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::wstring> ReadLog(const std::wstring& path)
{
    // The last piece is empty after a whole line, else a line still being written.
    std::vector<std::wstring> lines = Split(Utf8ToWide(ReadFileBytes(path)), L'\n');
    if (!lines.empty())
        lines.pop_back();
    return lines;
}

std::vector<std::wstring> LogLines(const std::wstring& path, const std::wstring& kind)
{
    std::vector<std::wstring> matching;
    for (const std::wstring& line : ReadLog(path))
        if (line.compare(0, kind.size(), kind) == 0 && (line.size() == kind.size() || line[kind.size()] == L'\t'))
            matching.push_back(line);
    return matching;
}

bool WaitForLogLine(const std::wstring& path, const std::wstring& kind, size_t count, DWORD ms)
{
    return WaitUntil([&] { return LogLines(path, kind).size() >= count; }, ms);
}

std::wstring Field(const std::wstring& line, const std::wstring& key)
{
    for (const std::wstring& part : Split(line))
        if (part.compare(0, key.size() + 1, key + L"=") == 0)
            return part.substr(key.size() + 1);
    return std::wstring();
}

std::vector<UINT> EngineMessages(const std::wstring& logPath)
{
    std::vector<UINT> numbers;
    for (const std::wstring& line : LogLines(logPath, L"msg"))
        numbers.push_back(wcstoul(Split(line)[1].c_str(), nullptr, 16));
    return numbers;
}

const wchar_t kHostCaption[] = L"Кворнел Чемпионата мира по Футболу 2010";
const wchar_t kTrayTitle[] = L"Quornel Football World Cup 2010"; // the exact title others find it by

bool StartHost(HostRun& run, const std::wstring& name, const std::wstring& tail, const wchar_t* engineFailure,
               bool withImages)
{
    run.dir = MakeWorkDir(name);
    MakeInstallFolder(run.dir, withImages);
    run.log = run.dir + L"\\engine.log";
    SetEnvironmentVariableW(L"QUORNEL_BASE_LOG", run.log.c_str());
    SetEnvironmentVariableW(L"QUORNEL_BASE_FAIL", engineFailure);
    run.process = Start(HostExe(run.dir), L"football " + tail, run.dir);
    SetEnvironmentVariableW(L"QUORNEL_BASE_FAIL", nullptr);
    if (!run.process.handle || !WaitForLogLine(run.log, kRunLogged))
        return false;
    // The tray window the engine was given; after a failed engine start it may
    // already be gone again.
    run.tray = reinterpret_cast<HWND>(wcstoull(Field(LogLines(run.log, L"run")[0], L"tray").c_str(), nullptr, 16));
    return run.tray != nullptr;
}

const wchar_t kWidgetClass[] = WIDGET_WINDOW_CLASS;

bool StartWidgetHost(HostRun& run, const std::wstring& name, const std::wstring& tail)
{
    run.dir = MakeWorkDir(name);
    CopyFileW(BinPath(kHostName).c_str(), HostExe(run.dir).c_str(), FALSE);
    CopyFileW(BinPath(L"base.dll").c_str(), (run.dir + L"\\base.dll").c_str(), FALSE);
    CopyImages(run.dir);
    run.process = Start(HostExe(run.dir), L"football " + tail, run.dir);
    if (!run.process.handle)
        return false;
    run.tray = WaitForWindow(L"tray_wnd", kTrayTitle);
    // The engine makes its window before it places and shows it: only a shown widget
    // of this Host is ready to be measured and read.
    WaitUntil([&] {
        HWND found = FindWindowW(kWidgetClass, nullptr);
        DWORD owner = 0;
        GetWindowThreadProcessId(found, &owner);
        run.widget = found && owner == run.process.id && IsWindowVisible(found) ? found : nullptr;
        return run.widget != nullptr;
    });
    return run.tray && run.widget;
}

bool ExitHost(HostRun& run, DWORD* exitCode)
{
    PostMessageW(run.tray, WM_COMMAND, IDM_EXIT, 0);
    return WaitExit(run.process, kWaitMs, exitCode);
}

void CleanUpHost(HostRun& run)
{
    if (run.process.handle && WaitForSingleObject(run.process.handle, 0) != WAIT_OBJECT_0) {
        DismissAllMessageBoxes(kHostCaption);
        Kill(run.process);
    }
    Kill(run.process);
}

bool TrayIconPresent(HWND tray)
{
    // A modify that changes nothing succeeds only for an icon the shell holds.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = tray;
    data.uID = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::wstring RegValue::Text() const
{
    std::wstring text;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (!unit)
            break;
        text.push_back(unit);
    }
    return text;
}

bool operator==(const RegValue& a, const RegValue& b)
{
    return a.exists == b.exists && a.type == b.type && a.data == b.data;
}

RegValue ReadValue(const wchar_t* path, const wchar_t* name)
{
    RegValue value;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
        value.data.resize(size);
        if (RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) == ERROR_SUCCESS) {
            value.exists = true;
            value.data.resize(size);
        }
    }
    RegCloseKey(key);
    return value;
}

bool WriteRaw(const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD bytes)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool WriteText(const wchar_t* path, const wchar_t* name, const std::wstring& text, DWORD type)
{
    return WriteRaw(path, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool WriteDword(const wchar_t* path, const wchar_t* name, DWORD value)
{
    return WriteRaw(path, name, REG_DWORD, &value, sizeof(value));
}

std::vector<std::pair<std::wstring, RegValue>> KeySnapshot(const wchar_t* path)
{
    std::vector<std::pair<std::wstring, RegValue>> values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = ARRAYSIZE(name);
        if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        values.emplace_back(name, ReadValue(path, name));
    }
    RegCloseKey(key);
    return values;
}

void DeleteTree(const wchar_t* subKey)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey);
}

bool Above(HWND upper, HWND lower)
{
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == upper)
            return true;
        if (w == lower)
            return false;
    }
    return false;
}

} // namespace qt
