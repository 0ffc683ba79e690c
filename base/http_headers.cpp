#include "http_headers.h"

#include "date_texts.h"

namespace {

const ULONGLONG kTicksPerSecond = 10000000;
const DWORD kQueriedUnits = 512;  // a longer header is not asked for
const DWORD kMaxCacheControls = 4; // Cache-Control headers of one answer looked at
const DWORD kTooManyRequests = 429; // a status winhttp.h does not name

// A header's text, looked at through its first kHeaderUnits units: past them, or
// past its end, everything reads as the end.
struct HeaderText {
    const WCHAR* text;
    int length;

    HeaderText(const WCHAR* t) : text(t), length(0)
    {
        while (t && length < kHeaderUnits && t[length])
            ++length;
    }
    WCHAR operator[](int at) const { return at >= 0 && at < length ? text[at] : 0; }
};

bool IsBlank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

bool IsDigit(WCHAR c)
{
    return c >= L'0' && c <= L'9';
}

// RFC 9110's token characters.
bool IsTokenChar(WCHAR c)
{
    if ((c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || IsDigit(c))
        return true;
    for (const WCHAR* other = L"!#$%&'*+-.^_`|~"; *other; ++other) {
        if (c == *other)
            return true;
    }
    return false;
}

int SkipBlanks(const HeaderText& text, int at)
{
    while (IsBlank(text[at]))
        ++at;
    return at;
}

// The digits text[from..to) as seconds, at most kLongestHeaderS; false unless there
// are digits and nothing else.
bool ReadSeconds(const HeaderText& text, int from, int to, DWORD* seconds)
{
    if (from >= to)
        return false;
    DWORD value = 0;
    for (int at = from; at < to; ++at) {
        if (!IsDigit(text[at]))
            return false;
        value = value * 10 + static_cast<DWORD>(text[at] - L'0');
        if (value > kLongestHeaderS)
            value = kLongestHeaderS + 1; // stays small: no overflow however many digits follow
    }
    *seconds = value < kLongestHeaderS ? value : kLongestHeaderS;
    return true;
}

// Whether text[from..to) is `name`, ASCII letters in any case.
bool IsName(const HeaderText& text, int from, int to, const WCHAR* name)
{
    int at = from;
    for (; at < to && *name; ++at, ++name) {
        WCHAR c = text[at];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<WCHAR>(c - L'A' + L'a');
        if (c != *name)
            return false;
    }
    return at == to && !*name;
}

} // namespace

bool ReadMaxAge(const WCHAR* raw, DWORD* seconds)
{
    HeaderText text(raw);
    int at = 0;
    while (at < text.length) {
        at = SkipBlanks(text, at);
        int nameFrom = at;
        while (IsTokenChar(text[at]))
            ++at;
        int nameTo = at;
        at = SkipBlanks(text, at);
        int valueFrom = at, valueTo = at;
        if (text[at] == L'=') {
            at = SkipBlanks(text, at + 1);
            if (text[at] == L'"') {
                valueFrom = ++at;
                while (text[at] && text[at] != L'"')
                    at += text[at] == L'\\' && text[at + 1] ? 2 : 1; // a quoted pair
                valueTo = at;
                if (text[at])
                    ++at; // the closing quote
            } else {
                valueFrom = at;
                while (IsTokenChar(text[at]))
                    ++at;
                valueTo = at;
            }
        }
        if (IsName(text, nameFrom, nameTo, L"max-age")) {
            // The first one decides; anything but blanks between it and the next is no number.
            at = SkipBlanks(text, at);
            return (!text[at] || text[at] == L',') && ReadSeconds(text, valueFrom, valueTo, seconds);
        }
        while (text[at] && text[at] != L',')
            ++at; // what does not belong to a directive, up to the next one
        ++at;
    }
    return false;
}

bool ReadRetryAfter(const WCHAR* raw, ULONGLONG now, DWORD* seconds)
{
    HeaderText text(raw);
    int from = SkipBlanks(text, 0), to = text.length;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    if (IsDigit(text[from]))
        return ReadSeconds(text, from, to, seconds);
    WCHAR date[kHeaderUnits + 1];
    int units = 0;
    for (int at = from; at < to; ++at)
        date[units++] = text[at];
    date[units] = 0;
    SYSTEMTIME time;
    ULONGLONG ticks;
    if (!ParseUtcTime(date, &time) || !RecordToTicks(&time, &ticks))
        return false;
    ULONGLONG wait = ticks > now ? (ticks - now + kTicksPerSecond - 1) / kTicksPerSecond : 0;
    *seconds = wait < kLongestHeaderS ? static_cast<DWORD>(wait) : kLongestHeaderS;
    return true;
}

namespace {

// The `index`th header `name` of the answer, when it fits kQueriedUnits units.
bool QueryHeader(const WinHttp& api, HINTERNET request, const WCHAR* name, DWORD index, WCHAR* text)
{
    DWORD bytes = kQueriedUnits * sizeof(WCHAR);
    return api.QueryHeaders(request, WINHTTP_QUERY_CUSTOM, name, text, &bytes, &index) != FALSE;
}

} // namespace

void ReadAnswerHeaders(const WinHttp& api, HINTERNET request, DWORD status, FetchAnswer* answer)
{
    WCHAR text[kQueriedUnits];
    SYSTEMTIME time;
    ULONGLONG ticks;
    if (status == HTTP_STATUS_OK && QueryHeader(api, request, L"Last-Modified", 0, text) &&
        ParseUtcTime(text, &time) && RecordToTicks(&time, &ticks))
        FormatGmtTime(&time, answer->lastModified);
    if (status == HTTP_STATUS_OK || status == HTTP_STATUS_NOT_MODIFIED) {
        for (DWORD index = 0; index < kMaxCacheControls && !answer->hasMaxAge; ++index) {
            if (!QueryHeader(api, request, L"Cache-Control", index, text))
                break;
            answer->hasMaxAge = ReadMaxAge(text, &answer->maxAge);
        }
    }
    if (status == kTooManyRequests || status == HTTP_STATUS_SERVICE_UNAVAIL) {
        answer->hasRetryAfter = QueryHeader(api, request, L"Retry-After", 0, text) &&
                                ReadRetryAfter(text, RealUtcNow(), &answer->retryAfter);
    }
}

ULONGLONG RealUtcNow(void)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
