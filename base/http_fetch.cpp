#include "http_fetch.h"

#include <winhttp.h>
#include <wchar.h>

#include "http_headers.h"
#include "tournament_data.h"
#include "web_address.h"
#include "winhttp_api.h"

namespace {

const WCHAR kUserAgent[] = L"Tessmark Quornel/1.0";
const int kConnectTimeoutMs = 10000; // the name look-up and the connect, each
const int kStepTimeoutMs = 10000;    // sending, and each wait for more of the answer
const DWORD kWholeRequestMs = 30000; // everything: redirects, the proxy's login, the body
const DWORD kFilePieceBytes = 64 * 1024; // a body written to a file goes through a buffer this big
const FetchBody kDataFileBody = { kMaxDataBytes, nullptr, kWholeRequestMs };
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

// The user's Internet settings, their texts held until the fetch ends.
struct SystemProxy {
    bool autoDetect;
    OwnedGlobalText autoConfigUrl, proxy, bypass;
};

// One fetch's state, on the worker's stack.
struct Fetcher {
    WinHttp api;
    const FetchSettings* settings;
    const WCHAR* ifModifiedSince;
    bool statusOnly;
    HANDLE cancel;
    const FetchBody* body;
    DWORD started;         // GetTickCount at the start: the whole request's clock
    Exchange* exchange;
    HINTERNET session;
    InternetHandle resolver; // a synchronous session for the configuration script, when one is used
    SystemProxy system;    // the user's Internet settings (automatic mode)
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
    if (spent >= f.body->wholeRequestMs)
        return FETCH_TIMEOUT;
    HANDLE events[2] = { f.cancel, f.exchange->done };
    switch (WaitForMultipleObjects(2, events, FALSE, f.body->wholeRequestMs - spent)) {
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
    const SystemProxy& system = f.system;
    WINHTTP_PROXY_INFO scripted = {};
    OwnedGlobalText scriptedProxy, scriptedBypass;
    bool found = false;
    if (system.autoDetect || system.autoConfigUrl) {
        // The one synchronous call: WinHTTP resolves scripts only so before Windows 8.
        if (!f.resolver.Get()) {
            f.resolver.Reset(&f.api, f.api.Open(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                WINHTTP_NO_PROXY_BYPASS, 0));
            if (f.resolver.Get())
                f.api.SetTimeouts(f.resolver.Get(), kConnectTimeoutMs, kConnectTimeoutMs, kStepTimeoutMs,
                                  kStepTimeoutMs);
        }
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        if (system.autoConfigUrl) {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = system.autoConfigUrl.Get();
        }
        if (system.autoDetect) {
            options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        }
        options.fAutoLogonIfChallenged = TRUE;
        found = f.resolver.Get() && f.api.GetProxyForUrl(f.resolver.Get(), url, &options, &scripted);
        scriptedProxy.Reset(scripted.lpszProxy);
        scriptedBypass.Reset(scripted.lpszProxyBypass);
    }
    WINHTTP_PROXY_INFO use = scripted;
    if (!found && system.proxy) {
        use.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        use.lpszProxy = system.proxy.Get();
        use.lpszProxyBypass = system.bypass.Get();
    }
    return use.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && use.lpszProxy && use.lpszProxy[0] &&
           f.api.SetOption(request, WINHTTP_OPTION_PROXY, &use, sizeof(use));
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

bool WriteAll(HANDLE file, const char* bytes, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, bytes, size, &written, nullptr) && written == size;
}

// The body, whole: at most its limit, and as long as Content-Length says. Held on
// the heap (one byte more than the limit tells a body over it), or written to its
// file a piece at a time, never past the limit.
FetchOutcome ReadBody(Fetcher& f, HINTERNET request)
{
    const FetchBody& sink = *f.body;
    DWORD length = 0, bytes = sizeof(length);
    bool sized = f.api.QueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                    WINHTTP_HEADER_NAME_BY_INDEX, &length, &bytes, WINHTTP_NO_HEADER_INDEX) != FALSE;
    if (sized && length > sink.limit)
        return FETCH_TOO_BIG;
    const DWORD room = sink.file ? kFilePieceBytes : sink.limit + 1;
    OwnedHeap<char> buffer(static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, room)));
    if (!buffer)
        return Failed(f, ERROR_NOT_ENOUGH_MEMORY);
    DWORD size = 0, held = 0; // the body's bytes so far; those in the buffer
    FetchOutcome outcome = FETCH_OK;
    while (outcome == FETCH_OK && size <= sink.limit) {
        outcome = Step(f, f.api.QueryDataAvailable(request, nullptr));
        DWORD available = f.exchange->count;
        if (outcome != FETCH_OK || !available)
            break;
        if (sink.file)
            held = 0;
        DWORD want = available < room - held ? available : room - held;
        outcome = Step(f, f.api.ReadData(request, buffer.Get() + held, want, nullptr));
        DWORD read = f.exchange->count;
        if (outcome != FETCH_OK || !read)
            break;
        size += read;
        held += read;
        if (sink.file && size <= sink.limit && !WriteAll(sink.file, buffer.Get(), read)) {
            f.answer->error = GetLastError();
            outcome = FETCH_WRITE_FAILED;
        }
    }
    if (outcome == FETCH_OK && size > sink.limit)
        outcome = FETCH_TOO_BIG;
    else if (outcome == FETCH_OK && sized && size < length)
        outcome = FETCH_CONNECTION_LOST;
    else if (outcome == FETCH_OK && sized && size > length)
        outcome = FETCH_BAD_ANSWER; // more than Content-Length said: Wine's WinHTTP reads on
    if (outcome != FETCH_OK)
        return outcome;
    if (!sink.file)
        f.answer->body = Moved(buffer);
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
    ReadAnswerHeaders(api, request, status, f.answer);
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
    return f.statusOnly ? FETCH_OK : ReadBody(f, request);
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

// A request handle, closed through CloseRequest at the end of its scope.
class RequestHandle {
public:
    RequestHandle(Fetcher& f, HINTERNET request) : f_(f), request_(request) {}
    ~RequestHandle()
    {
        if (request_)
            CloseRequest(f_, request_);
    }
    RequestHandle(const RequestHandle&) = delete;
    RequestHandle& operator=(const RequestHandle&) = delete;
    HINTERNET Get() const { return request_; }

private:
    Fetcher& f_;
    HINTERNET request_;
};

FetchOutcome Request(Fetcher& f, const WCHAR* url, const Target& target, WCHAR* next)
{
    InternetHandle connect(&f.api, f.api.Connect(f.session, target.host, target.port, 0));
    if (!connect.Get())
        return Failed(f, GetLastError());
    RequestHandle request(f, f.api.OpenRequest(connect.Get(), L"GET", target.path, nullptr, WINHTTP_NO_REFERER,
                                               WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0));
    return request.Get() ? Converse(f, request.Get(), url, next) : Failed(f, GetLastError());
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
// child handle inherited it) means no callback will touch the exchange again: true,
// the exchange may go. Without it, the record stays WinHTTP's and base.dll stays
// loaded for the process's life, since WinHTTP may still call OnWinHttpStatus with it.
bool CloseSession(Fetcher& f)
{
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(f.exchange);
    bool told = f.api.SetOption(f.session, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)) != FALSE;
    f.api.CloseHandle(f.session);
    if (told && !f.stuck && WaitForSingleObject(f.exchange->sessionClosed, kLetGoMs) == WAIT_OBJECT_0)
        return true;
    HMODULE pinned;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&OnWinHttpStatus), &pinned);
    return false;
}

// The user's Internet settings; their texts become the fetch's to free.
void ReadSystemProxy(Fetcher& f)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!f.api.GetIEProxyConfig(&config))
        return;
    f.system.autoDetect = config.fAutoDetect != FALSE;
    f.system.autoConfigUrl.Reset(config.lpszAutoConfigUrl);
    f.system.proxy.Reset(config.lpszProxy);
    f.system.bypass.Reset(config.lpszProxyBypass);
}

} // namespace

FetchOutcome ReadFetchSettings(const WCHAR* urlValue, FetchSettings* settings)
{
    ZeroMemory(settings, sizeof(*settings));
    ReadSettingText(SETTINGS_KEY, urlValue, settings->url, REGISTRY_TEXT_UNITS);
    if (!settings->url[0])
        return FETCH_NO_URL;
    WCHAR type[8];
    ReadSettingText(PROXY_KEY, VALUE_PROXY_TYPE, type, ARRAYSIZE(type));
    settings->manualProxy = !wcscmp(type, PROXY_TYPE_MANUAL);
    if (!settings->manualProxy)
        return FETCH_OK;
    WCHAR server[REGISTRY_TEXT_UNITS];
    ReadSettingText(PROXY_KEY, VALUE_PROXY_SERVER, server, REGISTRY_TEXT_UNITS);
    ReadSettingText(PROXY_KEY, VALUE_PROXY_USER, settings->user, REGISTRY_TEXT_UNITS);
    ReadSettingText(PROXY_KEY, VALUE_PROXY_PASSWORD, settings->password, REGISTRY_TEXT_UNITS);
    return ReadProxyServer(server, settings->proxy, REGISTRY_TEXT_UNITS) ? FETCH_OK : FETCH_BAD_PROXY;
}

void Fetch(const FetchSettings& settings, const WCHAR* ifModifiedSince, bool statusOnly, HANDLE cancel,
           FetchAnswer* answer, const FetchBody* body)
{
    *answer = FetchAnswer();
    Fetcher f = {};
    f.settings = &settings;
    f.ifModifiedSince = ifModifiedSince;
    f.statusOnly = statusOnly;
    f.cancel = cancel;
    f.body = body ? body : &kDataFileBody;
    f.started = GetTickCount();
    f.answer = answer;
    OwnedExchange exchange;
    if (!LoadWinHttp(&f.api) || !(exchange = NewExchange())) {
        answer->outcome = FETCH_SYSTEM_ERROR;
        answer->error = GetLastError();
        return;
    }
    f.exchange = exchange.Get();
    f.session = f.api.Open(kUserAgent, settings.manualProxy ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY,
                           settings.manualProxy ? settings.proxy : WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                           WINHTTP_FLAG_ASYNC);
    if (!f.session) {
        answer->outcome = Failed(f, GetLastError());
        return;
    }
    f.exchange->session = f.session;
    f.api.SetTimeouts(f.session, kConnectTimeoutMs, kConnectTimeoutMs, kStepTimeoutMs, kStepTimeoutMs);
    if (f.api.SetStatusCallback(f.session, OnWinHttpStatus,
                                WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        answer->outcome = Failed(f, GetLastError());
    } else {
        if (!settings.manualProxy)
            ReadSystemProxy(f);
        answer->outcome = FollowRedirects(f);
    }
    if (answer->outcome != FETCH_OK) {
        answer->body.Reset();
        answer->size = 0;
    }
    f.resolver.Reset(nullptr, nullptr);
    if (!CloseSession(f))
        exchange.Release(); // WinHTTP's from now on
}
