#include "host_warning.h"

#include <stdarg.h>

void ShowHostWarning(const WCHAR* format, ...)
{
    // wvsprintfW never writes more than 1024 units; the buffer leaves room to spare.
    WCHAR text[2000];
    va_list args;
    va_start(args, format);
    wvsprintfW(text, format, args);
    va_end(args);
    MessageBoxW(nullptr, text, HOST_CAPTION, MB_OK | MB_ICONWARNING);
}
