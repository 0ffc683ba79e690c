// WinHTTP as the network's fetch uses it: its functions found at run time (base.dll
// does not import winhttp.dll, so the Host's start never loads it and a widget
// without a data address never does), the record its callback fills for the worker,
// and an owner of its handles.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "owners.h"

#define WINHTTP_FUNCTIONS(X)                                                                                          \
    X(Open, WinHttpOpen)                                                                                               \
    X(Connect, WinHttpConnect)                                                                                         \
    X(OpenRequest, WinHttpOpenRequest)                                                                                 \
    X(SendRequest, WinHttpSendRequest)                                                                                 \
    X(ReceiveResponse, WinHttpReceiveResponse)                                                                         \
    X(QueryHeaders, WinHttpQueryHeaders)                                                                               \
    X(QueryDataAvailable, WinHttpQueryDataAvailable)                                                                   \
    X(ReadData, WinHttpReadData)                                                                                       \
    X(CloseHandle, WinHttpCloseHandle)                                                                                 \
    X(SetStatusCallback, WinHttpSetStatusCallback)                                                                     \
    X(SetOption, WinHttpSetOption)                                                                                     \
    X(SetTimeouts, WinHttpSetTimeouts)                                                                                 \
    X(CrackUrl, WinHttpCrackUrl)                                                                                       \
    X(QueryAuthSchemes, WinHttpQueryAuthSchemes)                                                                       \
    X(SetCredentials, WinHttpSetCredentials)                                                                           \
    X(GetIEProxyConfig, WinHttpGetIEProxyConfigForCurrentUser)                                                         \
    X(GetProxyForUrl, WinHttpGetProxyForUrl)

struct WinHttp {
#define DECLARE_FUNCTION(member, name) decltype(&::name) member;
    WINHTTP_FUNCTIONS(DECLARE_FUNCTION)
#undef DECLARE_FUNCTION
};

// winhttp.dll from the system folder, and its functions; false when one is missing.
// Once loaded it stays: WinHTTP's own threads may still run after its last handle closed.
bool LoadWinHttp(WinHttp* api);

// What WinHTTP's callback hands to the worker. The callback runs on WinHTTP's
// threads (or inside the call that started the step); the worker reads `error` and
// `count` only after `done` was signalled, and frees the record only once the
// session's last callback came.
struct Exchange {
    HANDLE done;          // auto-reset: the step under way completed or failed
    HANDLE requestClosed; // auto-reset: a request handle is gone
    HANDLE sessionClosed; // manual-reset: the session is gone, nothing more comes
    HINTERNET session;
    DWORD error;          // 0, or WinHTTP's error for the step
    DWORD count;          // bytes available or read
};

// The status callback that fills the exchange named by a handle's context value.
void CALLBACK OnWinHttpStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length);

struct ExchangeTraits {
    typedef Exchange* Type;
    static Exchange* Empty() { return nullptr; }
    static void Free(Exchange* exchange)
    {
        CloseHandle(exchange->done);
        CloseHandle(exchange->requestClosed);
        CloseHandle(exchange->sessionClosed);
        HeapFree(GetProcessHeap(), 0, exchange);
    }
};
typedef Owner<ExchangeTraits> OwnedExchange;

// A new exchange with its three events; empty when out of memory or handles.
OwnedExchange NewExchange(void);

// A WinHTTP handle, closed at the end of its scope.
class InternetHandle {
public:
    InternetHandle() : api_(nullptr), handle_(nullptr) {}
    InternetHandle(const WinHttp* api, HINTERNET handle) : api_(api), handle_(handle) {}
    ~InternetHandle() { Reset(nullptr, nullptr); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET Get() const { return handle_; }
    void Reset(const WinHttp* api, HINTERNET handle)
    {
        if (handle_)
            api_->CloseHandle(handle_);
        api_ = api;
        handle_ = handle;
    }

private:
    const WinHttp* api_;
    HINTERNET handle_;
};
