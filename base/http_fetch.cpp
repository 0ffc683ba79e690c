#include "http_fetch.h"

#include <winhttp.h>
#include <wchar.h>

#include "tournament_data.h"
#include "web_address.h"

namespace {

const WCHAR kUserAgent[] = L"Tessmark Quornel/1.0";
const int kConnectTimeoutMs = 10000; // the name look-up and the connect, each
const int kStepTimeoutMs = 10000;    // sending, and each wait for more of the answer
const DWORD kWholeRequestMs = 30000; // everything: redirects, the proxy's login, the body
// How long WinHTTP may take to let go of a closed handle (its last callback).
// Windows cancels what the handle was doing at once; Wine's WinHTTP finishes a
// receive under way first, which a silent server ends with the time-out. Should
// even that pass (Wine, a server that keeps sending a byte now and then), the
// exchange record is left to WinHTTP rather than freed under it.
const DWORD kLetGoMs = kConnectTimeoutMs + kStepTimeoutMs + 2000;
const int kMaxRedirects = 5;
const DWORD kHostUnits = 256;
// Winsock's errors (winsock2.h), which Wine's WinHTTP passes through as they are.
enum WinsockError : DWORD {
    kWinsockNetworkUnreachable = 10051,
    kWinsockAborted = 10053,
    kWinsockReset = 10054,
    kWinsockTimedOut = 10060,
    kWinsockRefused = 10061,
    kWinsockHostUnreachable = 10065,
    kWinsockHostNotFound = 11001,
};

// WinHTTP's functions, found at run time: base.dll does not import winhttp.dll,
// so the Host's start never loads it and a widget without a data address never does.
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

// winhttp.dll from the system folder (never from beside the program). Once loaded
// it stays: WinHTTP's own threads may still run after its last handle closed.
bool LoadWinHttp(WinHttp* api)
{
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (!length || length + 13 >= MAX_PATH)
        return false;
    lstrcatW(path, L"\\winhttp.dll");
    HMODULE module = GetModuleHandleW(path);
    if (!module)
        module = LoadLibraryW(path);
    if (!module)
        return false;
#define FIND_FUNCTION(member, name)                                                                                   \
    api->member = reinterpret_cast<decltype(api->member)>(reinterpret_cast<void*>(GetProcAddress(module, #name)));     \
    if (!api->member)                                                                                                  \
        return false;
    WINHTTP_FUNCTIONS(FIND_FUNCTION)
#undef FIND_FUNCTION
    return true;
}

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

void CALLBACK OnWinHttpStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length)
{
    Exchange* exchange = reinterpret_cast<Exchange*>(context);
    if (!exchange)
        return;
    DWORD error = 0, count = 0;
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        SetEvent(handle == exchange->session ? exchange->sessionClosed : exchange->requestClosed);
        return;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        count = info && length >= sizeof(DWORD) ? *static_cast<DWORD*>(info) : 0;
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        count = length;
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : 0;
        if (!error)
            error = ERROR_WINHTTP_INTERNAL_ERROR;
        break;
    default:
        return;
    }
    exchange->error = error;
    exchange->count = count;
    SetEvent(exchange->done);
}

Exchange* NewExchange(void)
{
    Exchange* exchange = static_cast<Exchange*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Exchange)));
    if (!exchange)
        return nullptr;
    exchange->done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    exchange->requestClosed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    exchange->sessionClosed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (exchange->done && exchange->requestClosed && exchange->sessionClosed)
        return exchange;
    const HANDLE events[] = { exchange->done, exchange->requestClosed, exchange->sessionClosed };
    for (HANDLE event : events) {
        if (event)
            CloseHandle(event);
    }
    HeapFree(GetProcessHeap(), 0, exchange);
    return nullptr;
}

void FreeExchange(Exchange* exchange)
{
    CloseHandle(exchange->done);
    CloseHandle(exchange->requestClosed);
    CloseHandle(exchange->sessionClosed);
    HeapFree(GetProcessHeap(), 0, exchange);
}

// One fetch's state, on the worker's stack.
struct Fetcher {
    WinHttp api;
    const FetchSettings* settings;
    const WCHAR* ifModifiedSince;
    bool statusOnly;
    HANDLE cancel;
    DWORD started;         // GetTickCount at the start: the whole request's clock
    Exchange* exchange;
    HINTERNET session;
    HINTERNET resolver;    // a synchronous session for the configuration script, when one is used
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG system; // the user's Internet settings (automatic mode)
    bool viaProxy;         // this request goes through a proxy
    bool answered;         // this request got a status line
    bool stuck;            // a request handle did not close in time: no further request
    FetchAnswer* answer;
};

FetchOutcome Failed(Fetcher& f, DWORD error)
{
    switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
        return FETCH_TIMEOUT;
    case kWinsockTimedOut:
        return FETCH_TIMEOUT;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case kWinsockRefused:
    case kWinsockHostUnreachable:
    case kWinsockNetworkUnreachable:
    case kWinsockHostNotFound:
        return f.viaProxy ? FETCH_PROXY_UNREACHABLE : FETCH_SERVER_UNREACHABLE;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case kWinsockReset:
    case kWinsockAborted:
        // Closed before any answer: through a proxy, that is the proxy letting us down.
        return f.viaProxy && !f.answered ? FETCH_PROXY_UNREACHABLE : FETCH_CONNECTION_LOST;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case ERROR_WINHTTP_HEADER_NOT_FOUND:
        return f.viaProxy && !f.answered ? FETCH_PROXY_UNREACHABLE : FETCH_BAD_ANSWER;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return FETCH_SECURE_FAILURE;
    case ERROR_WINHTTP_OPERATION_CANCELLED:
        return FETCH_CANCELLED;
    default:
        f.answer->error = error;
        return FETCH_SYSTEM_ERROR;
    }
}

// Waits for the step under way: its completion, the cancel event, or the end of
// the whole request's time.
FetchOutcome Await(Fetcher& f)
{
    DWORD spent = GetTickCount() - f.started;
    if (spent >= kWholeRequestMs)
        return FETCH_TIMEOUT;
    HANDLE events[2] = { f.cancel, f.exchange->done };
    switch (WaitForMultipleObjects(2, events, FALSE, kWholeRequestMs - spent)) {
    case WAIT_OBJECT_0:
        return FETCH_CANCELLED;
    case WAIT_OBJECT_0 + 1:
        return f.exchange->error ? Failed(f, f.exchange->error) : FETCH_OK;
    case WAIT_TIMEOUT:
        return FETCH_TIMEOUT;
    default:
        return Failed(f, GetLastError());
    }
}

// A step that WinHTTP took on (true) completes through the callback.
FetchOutcome Step(Fetcher& f, BOOL started)
{
    return started ? Await(f) : Failed(f, GetLastError());
}

bool IsPlainUrl(const WCHAR* url)
{
    for (; *url; ++url) {
        if (*url <= L' ' || *url == 0x7F)
            return false;
    }
    return true;
}

struct Target {
    WCHAR host[kHostUnits];
    WCHAR path[kUrlUnits]; // path and query, as sent
    INTERNET_PORT port;
    bool secure;
};

// An http or https URL with a host, without blanks or control characters. The
// fragment is not sent.
bool CrackTarget(const Fetcher& f, const WCHAR* url, Target* target)
{
    WCHAR extra[kUrlUnits];
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = target->host;
    parts.dwHostNameLength = kHostUnits;
    parts.lpszUrlPath = target->path;
    parts.dwUrlPathLength = kUrlUnits;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = kUrlUnits;
    if (!IsPlainUrl(url) || !f.api.CrackUrl(url, 0, 0, &parts) || !target->host[0] ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
        return false;
    if (WCHAR* fragment = wcschr(extra, L'#'))
        *fragment = 0;
    if (!target->path[0])
        lstrcpyW(target->path, L"/");
    if (lstrlenW(target->path) + lstrlenW(extra) >= static_cast<int>(kUrlUnits))
        return false;
    lstrcatW(target->path, extra);
    target->port = parts.nPort;
    target->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
}

// The user's Internet settings for this URL: the configuration script or the
// detected one first, then the fixed proxy with its exceptions. True when the
// request goes through a proxy.
bool UseSystemProxy(Fetcher& f, const WCHAR* url, HINTERNET request)
{
    const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& system = f.system;
    WINHTTP_PROXY_INFO scripted = {};
    bool found = false;
    if (system.fAutoDetect || system.lpszAutoConfigUrl) {
        // The one synchronous call: WinHTTP resolves scripts only so before Windows 8.
        if (!f.resolver) {
            f.resolver = f.api.Open(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
            if (f.resolver)
                f.api.SetTimeouts(f.resolver, kConnectTimeoutMs, kConnectTimeoutMs, kStepTimeoutMs, kStepTimeoutMs);
        }
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        if (system.lpszAutoConfigUrl) {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = system.lpszAutoConfigUrl;
        }
        if (system.fAutoDetect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        found = f.resolver && f.api.GetProxyForUrl(f.resolver, url, &options, &scripted);
    }
    WINHTTP_PROXY_INFO use = scripted;
    if (!found && system.lpszProxy) {
        use.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        use.lpszProxy = system.lpszProxy;
        use.lpszProxyBypass = system.lpszProxyBypass;
    }
    bool proxied = use.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && use.lpszProxy && use.lpszProxy[0] &&
                   f.api.SetOption(request, WINHTTP_OPTION_PROXY, &use, sizeof(use));
    if (scripted.lpszProxy)
        GlobalFree(scripted.lpszProxy);
    if (scripted.lpszProxyBypass)
        GlobalFree(scripted.lpszProxyBypass);
    return proxied;
}

// The answer to the proxy's 407: the manual login with the strongest scheme the
// proxy offers; in automatic mode the user's Windows logon, where a scheme allows
// it. False when there is nothing to give.
bool GiveProxyLogin(Fetcher& f, HINTERNET request)
{
    const FetchSettings& settings = *f.settings;
    DWORD supported = 0, first = 0, target = 0;
    if ((settings.manualProxy && !settings.user[0]) ||
        !f.api.QueryAuthSchemes(request, &supported, &first, &target) || target != WINHTTP_AUTH_TARGET_PROXY)
        return false;
    const DWORD strongestFirst[] = { WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM,
                                     WINHTTP_AUTH_SCHEME_DIGEST, WINHTTP_AUTH_SCHEME_BASIC };
    for (DWORD scheme : strongestFirst) {
        bool logonScheme = scheme == WINHTTP_AUTH_SCHEME_NEGOTIATE || scheme == WINHTTP_AUTH_SCHEME_NTLM;
        if (!(supported & scheme) || (!settings.manualProxy && !logonScheme))
            continue;
        return f.api.SetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme,
                                    settings.manualProxy ? settings.user : nullptr,
                                    settings.manualProxy ? settings.password : nullptr, nullptr) != FALSE;
    }
    return false;
}

bool IsRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void ReadLastModified(Fetcher& f, HINTERNET request)
{
    WCHAR text[64];
    DWORD bytes = sizeof(text);
    SYSTEMTIME time;
    ULONGLONG ticks;
    if (f.api.QueryHeaders(request, WINHTTP_QUERY_LAST_MODIFIED, WINHTTP_HEADER_NAME_BY_INDEX, text, &bytes,
                           WINHTTP_NO_HEADER_INDEX) &&
        ParseUtcTime(text, &time) && RecordToTicks(&time, &ticks))
        FormatGmtTime(&time, f.answer->lastModified);
}

// The body, whole: at most kMaxDataBytes, and as long as Content-Length says.
FetchOutcome ReadBody(Fetcher& f, HINTERNET request)
{
    DWORD length = 0, bytes = sizeof(length);
    bool sized = f.api.QueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                    WINHTTP_HEADER_NAME_BY_INDEX, &length, &bytes, WINHTTP_NO_HEADER_INDEX) != FALSE;
    if (sized && length > kMaxDataBytes)
        return FETCH_TOO_BIG;
    const DWORD room = kMaxDataBytes + 1; // one byte more tells a body over the limit
    char* body = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, room));
    if (!body)
        return Failed(f, ERROR_NOT_ENOUGH_MEMORY);
    DWORD size = 0;
    FetchOutcome outcome = FETCH_OK;
    while (outcome == FETCH_OK && size < room) {
        outcome = Step(f, f.api.QueryDataAvailable(request, nullptr));
        DWORD available = f.exchange->count;
        if (outcome != FETCH_OK || !available)
            break;
        DWORD want = available < room - size ? available : room - size;
        outcome = Step(f, f.api.ReadData(request, body + size, want, nullptr));
        if (outcome != FETCH_OK || !f.exchange->count)
            break;
        size += f.exchange->count;
    }
    if (outcome == FETCH_OK && size > kMaxDataBytes)
        outcome = FETCH_TOO_BIG;
    else if (outcome == FETCH_OK && sized && size < length)
        outcome = FETCH_CONNECTION_LOST;
    else if (outcome == FETCH_OK && sized && size > length)
        outcome = FETCH_BAD_ANSWER; // more than Content-Length said: Wine's WinHTTP reads on
    if (outcome != FETCH_OK) {
        HeapFree(GetProcessHeap(), 0, body);
        return outcome;
    }
    f.answer->body = body;
    f.answer->size = size;
    return FETCH_OK;
}

// One request on an open request handle: the proxy's login round when it asks,
// then the status, the redirect's target (into `next`) or the body.
FetchOutcome Converse(Fetcher& f, HINTERNET request, const WCHAR* url, WCHAR* next)
{
    const WinHttp& api = f.api;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(f.exchange);
    api.SetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context));
    DWORD off = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES;
    api.SetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &off, sizeof(off));
    // The wait for the status line, which WinHttpSetTimeouts does not set (Windows
    // waits 90 s by default, Wine for ever).
    DWORD answerTimeout = kStepTimeoutMs;
    api.SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerTimeout, sizeof(answerTimeout));
    f.viaProxy = f.settings->manualProxy || UseSystemProxy(f, url, request);
    f.answered = false;
    WCHAR headers[64] = L"";
    if (f.ifModifiedSince[0])
        wsprintfW(headers, L"If-Modified-Since: %s\r\n", f.ifModifiedSince);

    DWORD status = 0;
    for (bool loggedIn = false;; loggedIn = true) {
        FetchOutcome outcome =
            Step(f, api.SendRequest(request, headers[0] ? headers : WINHTTP_NO_ADDITIONAL_HEADERS,
                                    headers[0] ? static_cast<DWORD>(-1) : 0, WINHTTP_NO_REQUEST_DATA, 0, 0, context));
        if (outcome == FETCH_OK)
            outcome = Step(f, api.ReceiveResponse(request, nullptr));
        if (outcome != FETCH_OK)
            return outcome;
        f.answered = true;
        DWORD bytes = sizeof(status);
        if (!api.QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &status, &bytes, WINHTTP_NO_HEADER_INDEX))
            return FETCH_BAD_ANSWER;
        f.answer->status = status;
        if (status != HTTP_STATUS_PROXY_AUTH_REQ)
            break;
        if (loggedIn)
            return FETCH_PROXY_LOGIN_REFUSED;
        if (!GiveProxyLogin(f, request))
            return FETCH_PROXY_LOGIN_NEEDED;
    }
    if (IsRedirect(status)) {
        WCHAR location[kUrlUnits];
        DWORD bytes = sizeof(location);
        return api.QueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &bytes,
                                WINHTTP_NO_HEADER_INDEX) &&
                       ResolveLocation(url, location, next, kUrlUnits)
                   ? FETCH_OK
                   : FETCH_BAD_REDIRECT;
    }
    if (status == HTTP_STATUS_NOT_MODIFIED && f.ifModifiedSince[0])
        return FETCH_OK;
    if (status != HTTP_STATUS_OK)
        return FETCH_HTTP_STATUS;
    if (f.statusOnly)
        return FETCH_OK;
    ReadLastModified(f, request);
    return ReadBody(f, request);
}

// Closing a request cancels whatever it was doing; its last callback says WinHTTP
// is done with it, and only then may the next request use the exchange.
void CloseRequest(Fetcher& f, HINTERNET request)
{
    f.api.CloseHandle(request);
    if (WaitForSingleObject(f.exchange->requestClosed, kLetGoMs) == WAIT_OBJECT_0)
        ResetEvent(f.exchange->done); // a completion of the closed request's
    else
        f.stuck = true;
}

FetchOutcome Request(Fetcher& f, const WCHAR* url, const Target& target, WCHAR* next)
{
    HINTERNET connect = f.api.Connect(f.session, target.host, target.port, 0);
    if (!connect)
        return Failed(f, GetLastError());
    HINTERNET request = f.api.OpenRequest(connect, L"GET", target.path, nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0);
    FetchOutcome outcome = request ? Converse(f, request, url, next) : Failed(f, GetLastError());
    if (request)
        CloseRequest(f, request);
    f.api.CloseHandle(connect);
    return outcome;
}

FetchOutcome FollowRedirects(Fetcher& f)
{
    WCHAR url[kUrlUnits], next[kUrlUnits];
    lstrcpynW(url, f.settings->url, kUrlUnits);
    for (int redirects = 0;; ++redirects) {
        Target target;
        if (!CrackTarget(f, url, &target))
            return redirects ? FETCH_BAD_REDIRECT : FETCH_BAD_URL;
        next[0] = 0;
        FetchOutcome outcome = Request(f, url, target, next);
        if (outcome != FETCH_OK || !next[0])
            return outcome;
        if (redirects == kMaxRedirects)
            return FETCH_TOO_MANY_REDIRECTS;
        if (f.stuck)
            return FETCH_SYSTEM_ERROR;
        lstrcpyW(url, next);
    }
}

// The session goes last; its last callback (the context is set now, so that no
// child handle inherited it) means no callback will touch the exchange again.
// Without it, the record stays WinHTTP's and base.dll stays loaded for the
// process's life, since WinHTTP may still call OnWinHttpStatus with it.
void CloseSession(Fetcher& f)
{
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(f.exchange);
    bool told = f.api.SetOption(f.session, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)) != FALSE;
    f.api.CloseHandle(f.session);
    if (told && !f.stuck && WaitForSingleObject(f.exchange->sessionClosed, kLetGoMs) == WAIT_OBJECT_0) {
        FreeExchange(f.exchange);
        return;
    }
    HMODULE pinned;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&OnWinHttpStatus), &pinned);
}

} // namespace

void Fetch(const FetchSettings& settings, const WCHAR* ifModifiedSince, bool statusOnly, HANDLE cancel,
           FetchAnswer* answer)
{
    ZeroMemory(answer, sizeof(*answer));
    Fetcher f = {};
    f.settings = &settings;
    f.ifModifiedSince = ifModifiedSince;
    f.statusOnly = statusOnly;
    f.cancel = cancel;
    f.started = GetTickCount();
    f.answer = answer;
    if (!LoadWinHttp(&f.api) || !(f.exchange = NewExchange())) {
        answer->outcome = FETCH_SYSTEM_ERROR;
        answer->error = GetLastError();
        return;
    }
    f.session = f.api.Open(kUserAgent, settings.manualProxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                           settings.manualProxy ? settings.proxy : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                           WINHTTP_FLAG_ASYNC);
    if (!f.session) {
        answer->outcome = Failed(f, GetLastError());
        FreeExchange(f.exchange);
        return;
    }
    f.exchange->session = f.session;
    f.api.SetTimeouts(f.session, kConnectTimeoutMs, kConnectTimeoutMs, kStepTimeoutMs, kStepTimeoutMs);
    if (f.api.SetStatusCallback(f.session, OnWinHttpStatus,
                                WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        answer->outcome = Failed(f, GetLastError());
    } else {
        if (!settings.manualProxy && !f.api.GetIEProxyConfig(&f.system))
            ZeroMemory(&f.system, sizeof(f.system));
        answer->outcome = FollowRedirects(f);
    }
    if (answer->outcome != FETCH_OK)
        FreeFetchAnswer(answer);
    if (f.resolver)
        f.api.CloseHandle(f.resolver);
    const LPWSTR systemTexts[] = { f.system.lpszAutoConfigUrl, f.system.lpszProxy, f.system.lpszProxyBypass };
    for (LPWSTR text : systemTexts) {
        if (text)
            GlobalFree(text);
    }
    CloseSession(f);
}

void FreeFetchAnswer(FetchAnswer* answer)
{
    if (answer->body)
        HeapFree(GetProcessHeap(), 0, answer->body);
    answer->body = nullptr;
    answer->size = 0;
}
