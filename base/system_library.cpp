#include "system_library.h"

HMODULE SystemLibrary(const WCHAR* dll)
{
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!length || length + 1 + lstrlenW(dll) >= MAX_PATH)
        return nullptr;
    lstrcatW(path, L"\\");
    lstrcatW(path, dll);
    HMODULE module = GetModuleHandleW(path);
    return module ? module : LoadLibraryW(path);
}

FARPROC SystemFunction(const WCHAR* dll, const char* name)
{
    HMODULE module = SystemLibrary(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}
