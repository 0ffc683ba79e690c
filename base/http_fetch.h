// One GET over WinHTTP, run on a worker's thread (the network's, the updater's):
// the proxy the user chose, at most 5 redirects over http/https, connect and
// whole-request time-outs, a body of at most 1 MiB (or as the caller says, held on
// the heap or written to a file as it arrives), and cancellation by an event.
// WinHTTP works asynchronously, so the worker waits on its own events (the
// answer's and the cancel event) and never sits inside a call it cannot leave.
#pragma once

#include <windows.h>

#include "date_texts.h"
#include "engine_settings.h"
#include "owners.h"

// Why a fetch ended. Nothing is sent for the three settings outcomes.
enum FetchOutcome {
    FETCH_OK,                  // 200 (the body read unless only the status was asked for) or 304
    FETCH_NO_URL,              // no data address set
    FETCH_BAD_URL,             // the data address is no http or https URL
    FETCH_BAD_PROXY,           // manual proxy without a usable "host[:port]"
    FETCH_PROXY_UNREACHABLE,   // the proxy refused, closed or could not be found
    FETCH_PROXY_LOGIN_NEEDED,  // 407 and no login to give
    FETCH_PROXY_LOGIN_REFUSED, // 407 again after the login was given
    FETCH_SERVER_UNREACHABLE,  // the server refused or could not be found
    FETCH_TIMEOUT,             // connect, a step or the whole request took too long
    FETCH_CONNECTION_LOST,     // the answer was cut off
    FETCH_BAD_ANSWER,          // not HTTP
    FETCH_HTTP_STATUS,         // any other status (in `status`)
    FETCH_TOO_MANY_REDIRECTS,
    FETCH_BAD_REDIRECT,        // to no http or https URL
    FETCH_TOO_BIG,             // a body over its limit
    FETCH_SECURE_FAILURE,      // https could not be established
    FETCH_SYSTEM_ERROR,        // WinHTTP missing, out of memory, ... (in `error`)
    FETCH_CANCELLED,
    FETCH_WRITE_FAILED,        // the body's file could not be written (in `error`)
};

// What the registry says, read afresh for each fetch.
struct FetchSettings {
    WCHAR url[REGISTRY_TEXT_UNITS];
    bool manualProxy;
    WCHAR proxy[REGISTRY_TEXT_UNITS]; // "host:port", checked by ReadProxyServer
    WCHAR user[REGISTRY_TEXT_UNITS];
    WCHAR password[REGISTRY_TEXT_UNITS];
};

// Where a 200's body goes and how much of it may come: held on the heap (no file) or
// written to `file` from its current position as it arrives; at most `limit` bytes,
// and the whole request within `wholeRequestMs`.
struct FetchBody {
    DWORD limit;
    HANDLE file;
    DWORD wholeRequestMs;
};

struct FetchAnswer {
    FetchOutcome outcome;
    DWORD status;                      // the last HTTP status, 0 before one came
    DWORD error;                       // the system's error, for FETCH_SYSTEM_ERROR and FETCH_WRITE_FAILED
    OwnedHeap<char> body;              // a 200's body held on the heap, or empty
    DWORD size;                        // its size, or what was written to the file
    WCHAR lastModified[kGmtTextUnits]; // the 200's Last-Modified when it is a real date, else empty
    // When the server wants the next request (http_headers.h), in seconds of at most a day.
    bool hasMaxAge;                    // the 200's or 304's Cache-Control max-age
    DWORD maxAge;
    bool hasRetryAfter;                // the 429's or 503's Retry-After, from its arrival
    DWORD retryAfter;
};

// The address in the REG_SZ `urlValue` of the settings key and the proxy as stored
// now: FETCH_OK, or why nothing can be sent (FETCH_NO_URL, FETCH_BAD_PROXY).
FetchOutcome ReadFetchSettings(const WCHAR* urlValue, FetchSettings* settings);

// GETs settings.url, with If-Modified-Since when ifModifiedSince is not empty.
// With statusOnly the body is not read. `cancel` ends it (FETCH_CANCELLED) within
// a few milliseconds. Without `body`, the data file's: at most 1 MiB on the heap,
// the whole request within 30 s.
void Fetch(const FetchSettings& settings, const WCHAR* ifModifiedSince, bool statusOnly, HANDLE cancel,
           FetchAnswer* answer, const FetchBody* body = nullptr);
