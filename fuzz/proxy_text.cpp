// The proxy texts on any registry value: the input's first byte picks the value's
// type, the rest are its bytes, as any program may store them under the proxy key.
// The engine reads proxy_type into 8 units and proxy_server into 260 (ReadTextValue,
// host/shared_settings.h, which the Host uses as well), then ReadProxyServer makes
// "host:port" of the server (base/web_address.cpp) and the menu's text says it. Each
// result stays terminated within its room; a server taken reads back as itself.
#include <wchar.h>

#include "../host/shared_settings.h"
#include "fuzz_support.h"
#include "network.h"
#include "web_address.h"
#include "widget_texts.h"

namespace {

// The one value of this target's registry.
struct StoredValue {
    DWORD type;
    const BYTE* data;
    DWORD size;
};
StoredValue s_value;

const DWORD kTypes[] = { REG_SZ, REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD, REG_NONE };

// Reads `units` units of the stored value into a block of exactly that size.
WCHAR* ReadInto(DWORD units, bool* read)
{
    WCHAR* text = NewExact<WCHAR>(units);
    for (DWORD i = 0; i < units; ++i)
        text[i] = L'x';
    *read = ReadTextValue(reinterpret_cast<HKEY>(&s_value), VALUE_PROXY_SERVER, text, units);
    if (units)
        FUZZ_CHECK(TerminatedWithin(text, units));
    if (!*read && units)
        FUZZ_CHECK(text[0] == 0);
    return text;
}

// "host:port": no blanks or controls, a port of 1 to 5 digits from 1 to 65535.
bool IsHostAndPort(const WCHAR* server)
{
    const WCHAR* colon = nullptr;
    for (const WCHAR* c = server; *c; ++c) {
        FUZZ_CHECK(*c > L' ' && *c != L'/');
        if (*c == L':')
            colon = c;
    }
    if (!colon || colon == server)
        return false;
    DWORD port = 0;
    int digits = 0;
    for (const WCHAR* c = colon + 1; *c; ++c, ++digits) {
        if (*c < L'0' || *c > L'9' || digits == 5)
            return false;
        port = port * 10 + static_cast<DWORD>(*c - L'0');
    }
    return digits && port >= 1 && port <= 65535;
}

void CheckServer(const WCHAR* text)
{
    WCHAR* server = NewExact<WCHAR>(REGISTRY_TEXT_UNITS);
    if (ReadProxyServer(text, server, REGISTRY_TEXT_UNITS)) {
        FUZZ_CHECK(TerminatedWithin(server, REGISTRY_TEXT_UNITS));
        FUZZ_CHECK(IsHostAndPort(server));
        // Taken again, "host:port" stands as it is.
        WCHAR* again = NewExact<WCHAR>(REGISTRY_TEXT_UNITS);
        FUZZ_CHECK(ReadProxyServer(server, again, REGISTRY_TEXT_UNITS));
        FUZZ_CHECK(wcscmp(server, again) == 0);
        free(again);
        // The menu's "works through" text has room for it.
        WCHAR* said = NewExact<WCHAR>(kNetworkTextUnits);
        int written = wsprintfW(said, kConnectionWorksThrough, server);
        FUZZ_CHECK(written > 0 && written < kNetworkTextUnits);
        free(said);
    }
    // Whatever the room, the result stays in it: the smallest rooms, and those about
    // the text's own length, where "host:port" just fits or just does not.
    DWORD length = static_cast<DWORD>(lstrlenW(text));
    for (DWORD units = 0; units <= length + 8; units = units == 8 && length > 9 ? length - 1 : units + 1) {
        WCHAR* small = NewExact<WCHAR>(units);
        if (ReadProxyServer(text, small, units))
            FUZZ_CHECK(TerminatedWithin(small, units));
        free(small);
    }
    free(server);
}

} // namespace

// The registry of this target: one value, the input's, whatever the name. As the
// platform does, data too big for the buffer give ERROR_MORE_DATA and the size
// needed, with the buffer's bytes undefined (here: as much of the data as fits).
LONG RegQueryValueExW(HKEY key, const WCHAR*, DWORD*, DWORD* type, BYTE* data, DWORD* bytes)
{
    const StoredValue& value = *reinterpret_cast<const StoredValue*>(key);
    if (type)
        *type = value.type;
    if (!bytes)
        return data ? 87L /* ERROR_INVALID_PARAMETER */ : ERROR_SUCCESS;
    DWORD room = *bytes;
    *bytes = value.size;
    if (!data)
        return ERROR_SUCCESS;
    if (value.size > room) {
        memcpy(data, value.data, room);
        return ERROR_MORE_DATA;
    }
    memcpy(data, value.data, value.size);
    return ERROR_SUCCESS;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    if (!size)
        return 0;
    BYTE* stored = NewExact<BYTE>(size - 1);
    memcpy(stored, bytes + 1, size - 1);
    s_value = StoredValue{ kTypes[bytes[0] % ARRAYSIZE(kTypes)], stored, static_cast<DWORD>(size - 1) };

    bool read;
    free(ReadInto(8, &read)); // as proxy_type is read, into its 8 units

    WCHAR* server = ReadInto(REGISTRY_TEXT_UNITS, &read);
    CheckServer(server);
    free(server);
    free(stored);
    return 0;
}
