// Stand-in for the Host and the update program in the Loader's tests: records how it
// was started (standin_protocol.h), then sleeps and ends as the test asks.
#include <windows.h>

#include <string>

#include "standin_protocol.h"

namespace {

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[1024];
    DWORD n = GetEnvironmentVariableW(name, value, ARRAYSIZE(value));
    return n && n < ARRAYSIZE(value) ? std::wstring(value, n) : std::wstring();
}

std::wstring ModulePath()
{
    wchar_t path[32768];
    DWORD n = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return std::wstring(path, n);
}

std::wstring CurrentDirectory()
{
    wchar_t directory[32768];
    DWORD n = GetCurrentDirectoryW(ARRAYSIZE(directory), directory);
    return n < ARRAYSIZE(directory) ? std::wstring(directory, n) : std::wstring();
}

std::wstring Role(const std::wstring& modulePath)
{
    std::wstring name = modulePath.substr(modulePath.find_last_of(L"\\/") + 1);
    CharLowerW(&name[0]);
    if (name == L"tessmark_quornel.exe")
        return L"host";
    if (name.compare(0, 27, L"update_for_tessmark_quornel") == 0)
        return L"update";
    return name;
}

void Record(const std::wstring& role, const wchar_t* event)
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    std::wstring line = role + L"\t" + event + L"\t" + std::to_wstring(counter.QuadPart) + L"\t" + ModulePath() +
                        L"\t" + CurrentDirectory() + L"\t" + GetCommandLineW() + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(n, 0);
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], n, nullptr, nullptr);

    std::wstring path = Variable(STANDIN_RECORD_VARIABLE);
    if (path.empty())
        path = L"standin_record.log";
    // Appends are atomic; another stand-in may hold the file a moment, so retry.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written;
            WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(10);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    std::wstring role = Role(ModulePath());
    bool isUpdate = role == L"update";
    Record(role, L"start");
    std::wstring sleep = Variable(isUpdate ? STANDIN_UPDATE_SLEEP_VARIABLE : STANDIN_HOST_SLEEP_VARIABLE);
    std::wstring exitCode = Variable(isUpdate ? STANDIN_UPDATE_EXIT_VARIABLE : STANDIN_HOST_EXIT_VARIABLE);
    if (!sleep.empty())
        Sleep(wcstoul(sleep.c_str(), nullptr, 10));
    Record(role, L"end");
    return exitCode.empty() ? 0 : static_cast<int>(wcstoul(exitCode.c_str(), nullptr, 10));
}
