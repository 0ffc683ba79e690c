// The redirect resolver (base/web_address.cpp ResolveLocation) on any base address and
// Location: the input is the base, a zero byte, then the reference (one unit a byte).
// Whatever it gives stays within the room it was given and is terminated there; a
// result fits exactly the room of its length and terminator and not one unit less;
// a refusal leaves an empty text.
#include <wchar.h>

#include "fuzz_support.h"
#include "web_address.h"

namespace {

// ResolveLocation into a block of exactly `units` units: true and the text, or false
// and an empty text.
bool ResolveInto(const WCHAR* base, const WCHAR* reference, DWORD units, WCHAR** result)
{
    WCHAR* target = NewExact<WCHAR>(units);
    for (DWORD i = 0; i < units; ++i)
        target[i] = L'x';
    bool resolved = ResolveLocation(base, reference, target, units);
    if (units)
        FUZZ_CHECK(TerminatedWithin(target, units));
    if (!resolved && units)
        FUZZ_CHECK(target[0] == 0);
    *result = target;
    return resolved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const uint8_t* split = static_cast<const uint8_t*>(memchr(bytes, 0, size));
    size_t baseBytes = split ? static_cast<size_t>(split - bytes) : size;
    size_t rest = split ? size - baseBytes - 1 : 0;
    // Longer than any address the engine follows, so the limits are crossed too.
    WCHAR* base = WideText(bytes, baseBytes, 2 * kUrlUnits);
    WCHAR* reference = WideText(bytes + baseBytes + (split ? 1 : 0), rest, 2 * kUrlUnits);

    WCHAR* full;
    bool resolved = ResolveInto(base, reference, kUrlUnits, &full);
    if (resolved) {
        DWORD length = static_cast<DWORD>(lstrlenW(full));
        FUZZ_CHECK(length < kUrlUnits);
        WCHAR* exact;
        FUZZ_CHECK(ResolveInto(base, reference, length + 1, &exact));
        FUZZ_CHECK(wcscmp(exact, full) == 0);
        free(exact);
        WCHAR* shorter;
        FUZZ_CHECK(!ResolveInto(base, reference, length, &shorter));
        free(shorter);
    }
    free(full);
    WCHAR* none;
    FUZZ_CHECK(!ResolveInto(base, reference, 0, &none));
    free(none);
    free(reference);
    free(base);
    return 0;
}
