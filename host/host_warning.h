// The Host's one way of telling the user about a failure.
#pragma once

#include <windows.h>

#define HOST_CAPTION L"Кворнел Чемпионата мира по Футболу 2010"

// Formats with wvsprintfW rules and shows a warning box; returns when it is closed.
void ShowHostWarning(const WCHAR* format, ...);
