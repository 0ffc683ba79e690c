// Functions of system DLLs that base.dll does not import, so that the Host's start
// does not pay for them: each DLL is loaded from the system folder, never from beside
// the program or from the current directory, when first needed, and then kept.
#pragma once

#include <windows.h>

// The system DLL `dll` ("winhttp.dll"), loaded if need be; null when it is not there.
HMODULE SystemLibrary(const WCHAR* dll);
// A function of it; null when the DLL or the function is missing.
FARPROC SystemFunction(const WCHAR* dll, const char* name);

template <class F> F SystemFunction(const WCHAR* dll, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(SystemFunction(dll, name)));
}

// A function of a loaded module into *function; false when it is missing.
template <class F> bool BindFunction(HMODULE module, const char* name, F* function)
{
    *function = module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    return *function != nullptr;
}
