#include "web_address.h"

#include <wchar.h>

namespace {

const DWORD kDefaultProxyPort = 80;

// A component of an address: where it starts and how long it is. `defined` tells
// an empty component ("http://h/x?") from a missing one ("http://h/x").
struct Part {
    const WCHAR* at;
    int length;
    bool defined;
};

struct AddressParts {
    Part scheme, authority, path, query, fragment;
};

Part Take(const WCHAR* at, const WCHAR* end)
{
    return Part{ at, static_cast<int>(end - at), true };
}

// RFC 3986 appendix B: ^(([^:/?#]+):)?(//([^/?#]*))?([^?#]*)(\?([^#]*))?(#(.*))?
AddressParts Split(const WCHAR* text)
{
    AddressParts parts = {};
    const WCHAR* at = text;
    const WCHAR* schemeEnd = at + wcscspn(at, L":/?#");
    if (*schemeEnd == L':' && schemeEnd > at) {
        parts.scheme = Take(at, schemeEnd);
        at = schemeEnd + 1;
    }
    if (at[0] == L'/' && at[1] == L'/') {
        const WCHAR* end = at + 2 + wcscspn(at + 2, L"/?#");
        parts.authority = Take(at + 2, end);
        at = end;
    }
    const WCHAR* pathEnd = at + wcscspn(at, L"?#");
    parts.path = Take(at, pathEnd);
    at = pathEnd;
    if (*at == L'?') {
        const WCHAR* end = at + 1 + wcscspn(at + 1, L"#");
        parts.query = Take(at + 1, end);
        at = end;
    }
    if (*at == L'#')
        parts.fragment = Take(at + 1, at + 1 + lstrlenW(at + 1));
    return parts;
}

// Bounded appends into the result; `fits` turns false once something did not fit.
struct Builder {
    WCHAR* text;
    DWORD units;
    DWORD used;
    bool fits;
};

void Append(Builder& b, const WCHAR* at, int length)
{
    if (!b.fits || length <= 0)
        return;
    if (b.used + static_cast<DWORD>(length) >= b.units) {
        b.fits = false;
        return;
    }
    CopyMemory(b.text + b.used, at, static_cast<SIZE_T>(length) * sizeof(WCHAR));
    b.used += static_cast<DWORD>(length);
    b.text[b.used] = 0;
}

void Append(Builder& b, const Part& part)
{
    Append(b, part.at, part.length);
}

void Append(Builder& b, const WCHAR* text)
{
    Append(b, text, lstrlenW(text));
}

// Drops the last segment of `out` and the "/" before it.
void DropLastSegment(WCHAR* out, int* used)
{
    while (*used > 0 && out[*used - 1] != L'/')
        --*used;
    if (*used > 0)
        --*used;
}

// RFC 3986 section 5.2.4, from `in` (changed on the way) into `out`, which needs
// no more units than `in` has.
void RemoveDotSegments(WCHAR* in, WCHAR* out)
{
    int used = 0;
    WCHAR* p = in;
    while (*p) {
        if (!wcsncmp(p, L"../", 3)) {
            p += 3;
        } else if (!wcsncmp(p, L"./", 2)) {
            p += 2;
        } else if (!wcsncmp(p, L"/./", 3)) {
            p += 2;
        } else if (!wcscmp(p, L"/.")) {
            p[1] = L'/';
            p += 1;
        } else if (!wcsncmp(p, L"/../", 4)) {
            p += 3;
            DropLastSegment(out, &used);
        } else if (!wcscmp(p, L"/..")) {
            p[2] = L'/';
            p += 2;
            DropLastSegment(out, &used);
        } else if (!wcscmp(p, L".") || !wcscmp(p, L"..")) {
            break;
        } else {
            do {
                out[used++] = *p++;
            } while (*p && *p != L'/');
        }
    }
    out[used] = 0;
}

// The path of the result: `path` (or the base's folder and `path`, merged) without
// dot segments, appended to the builder.
void AppendPath(Builder& b, const AddressParts& base, const Part& path, bool merge)
{
    WCHAR joined[kUrlUnits], clean[kUrlUnits];
    Builder j = { joined, kUrlUnits, 0, true };
    joined[0] = 0;
    if (merge) {
        if (base.authority.defined && !base.path.length) {
            Append(j, L"/");
        } else {
            int folder = base.path.length;
            while (folder > 0 && base.path.at[folder - 1] != L'/')
                --folder;
            Append(j, base.path.at, folder);
        }
    }
    Append(j, path);
    if (!j.fits) {
        b.fits = false;
        return;
    }
    RemoveDotSegments(joined, clean);
    Append(b, clean);
}

} // namespace

bool ResolveLocation(const WCHAR* base, const WCHAR* reference, WCHAR* target, DWORD units)
{
    if (!units)
        return false;
    target[0] = 0;
    AddressParts b = Split(base), r = Split(reference);
    Builder t = { target, units, 0, true };
    const Part& scheme = r.scheme.defined ? r.scheme : b.scheme;
    const Part& authority = r.scheme.defined || r.authority.defined ? r.authority : b.authority;
    Append(t, scheme);
    Append(t, L":");
    if (authority.defined) {
        Append(t, L"//");
        Append(t, authority);
    }
    const Part* query = &r.query;
    if (r.scheme.defined || r.authority.defined || (r.path.length && r.path.at[0] == L'/')) {
        AppendPath(t, b, r.path, false);
    } else if (r.path.length) {
        AppendPath(t, b, r.path, true);
    } else {
        Append(t, b.path); // a query or fragment alone: the base's own path
        if (!r.query.defined)
            query = &b.query;
    }
    if (query->defined) {
        Append(t, L"?");
        Append(t, *query);
    }
    if (r.fragment.defined) {
        Append(t, L"#");
        Append(t, r.fragment);
    }
    if (!t.fits)
        target[0] = 0;
    return t.fits;
}

bool ReadProxyServer(const WCHAR* text, WCHAR* server, DWORD units)
{
    if (!wcsncmp(text, L"http://", 7))
        text += 7;
    // A name or IPv4 address, or an IPv6 address in brackets.
    bool bracketed = text[0] == L'[';
    const WCHAR* allowed = bracketed ? L"0123456789abcdefABCDEF:." : L"-._";
    const WCHAR* hostEnd = bracketed ? wcschr(text, L']') : text + wcscspn(text, L":");
    if (!hostEnd || hostEnd == text + bracketed)
        return false;
    for (const WCHAR* c = text + bracketed; c < hostEnd; ++c) {
        bool alphanumeric = (*c >= L'a' && *c <= L'z') || (*c >= L'A' && *c <= L'Z') || (*c >= L'0' && *c <= L'9');
        if (!(alphanumeric && !bracketed) && !wcschr(allowed, *c))
            return false;
    }
    hostEnd += bracketed;
    DWORD port = kDefaultProxyPort;
    if (*hostEnd == L':') {
        const WCHAR* digits = hostEnd + 1;
        int count = 0;
        for (port = 0; count < 6 && digits[count] >= L'0' && digits[count] <= L'9'; ++count)
            port = port * 10 + static_cast<DWORD>(digits[count] - L'0');
        if (!count || digits[count] || port < 1 || port > 65535)
            return false;
    } else if (*hostEnd) {
        return false;
    }
    int hostLength = static_cast<int>(hostEnd - text);
    if (static_cast<DWORD>(hostLength) + 7 > units)
        return false;
    lstrcpynW(server, text, hostLength + 1);
    wsprintfW(server + hostLength, L":%lu", port);
    return true;
}
