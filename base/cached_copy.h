// The cached copy of the data file, %LOCALAPPDATA%\Morvane\Tessmark\worldcup2010.csv,
// and what the registry keeps of it beside data_url: the address it came from and
// its Last-Modified. Both threads use it; each call opens and closes its own.
#pragma once

#include <windows.h>

#include "owners.h"
#include "tournament_data.h"

// The cached copy when it came from `url` and is whole and valid: its bytes on
// the heap, its data in *data. Empty otherwise.
OwnedHeap<char> CachedCopyOf(const WCHAR* url, DWORD* size, TournamentData* data);
// Replaces the cached copy in one step: a temporary file beside it, written and
// flushed, then renamed over it. A failure leaves the old copy as it was.
bool WriteCacheFile(const char* bytes, DWORD size);
// The stored Last-Modified, written anew by the time module (so nothing but a date
// goes into a request), or empty; `text` has room for kGmtTextUnits.
void StoredLastModified(WCHAR* text);
// Stores the copy's Last-Modified; an empty one deletes the stored value.
void RememberLastModified(const WCHAR* lastModified);
