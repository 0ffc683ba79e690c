// One GET of the data address over WinHTTP, run on the network worker's thread:
// the proxy the user chose, at most 5 redirects over http/https, connect and
// whole-request time-outs, a body of at most 1 MiB, and cancellation by an event.
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
    FETCH_TOO_BIG,             // a body over 1 MiB
    FETCH_SECURE_FAILURE,      // https could not be established
    FETCH_SYSTEM_ERROR,        // WinHTTP missing, out of memory, ... (in `error`)
    FETCH_CANCELLED,
};

// What the registry says, read afresh for each fetch.
struct FetchSettings {
    WCHAR url[REGISTRY_TEXT_UNITS];
    bool manualProxy;
    WCHAR proxy[REGISTRY_TEXT_UNITS]; // "host:port", checked by ReadProxyServer
    WCHAR user[REGISTRY_TEXT_UNITS];
    WCHAR password[REGISTRY_TEXT_UNITS];
};

struct FetchAnswer {
    FetchOutcome outcome;
    DWORD status;                      // the last HTTP status, 0 before one came
    DWORD error;                       // WinHTTP's or the system's error, for FETCH_SYSTEM_ERROR
    OwnedHeap<char> body;              // a 200's body, or empty
    DWORD size;
    WCHAR lastModified[kGmtTextUnits]; // the 200's Last-Modified when it is a real date, else empty
    // When the server wants the next request (http_headers.h), in seconds of at most a day.
    bool hasMaxAge;                    // the 200's or 304's Cache-Control max-age
    DWORD maxAge;
    bool hasRetryAfter;                // the 429's or 503's Retry-After, from its arrival
    DWORD retryAfter;
};

// GETs settings.url, with If-Modified-Since when ifModifiedSince is not empty.
// With statusOnly the body is not read. `cancel` ends it (FETCH_CANCELLED) within
// a few milliseconds.
void Fetch(const FetchSettings& settings, const WCHAR* ifModifiedSince, bool statusOnly, HANDLE cancel,
           FetchAnswer* answer);
