// The HTTP dates (the time module's loader/time/date_texts.cpp) on any text, and the
// engine's use of Last-Modified (base/http_fetch.cpp ReadLastModified, network.cpp
// StoredLastModified): the header's text, at most 63 units, or the stored value, at
// most 259 (any program may write it), read by ParseUtcTime; a real date is written
// by FormatGmtTime into its kGmtTextUnits, stored, and read back on the next start as
// the same record. ParseZonedTime reads the same bytes as the 8-bit text it takes. A
// refusal leaves the record as it was.
#include <wchar.h>

#include "../host/shared_settings.h"
#include "date_texts.h"
#include "fuzz_support.h"

namespace {

const size_t kHeaderUnits = 64; // ReadLastModified's buffer

SYSTEMTIME Untouched()
{
    SYSTEMTIME time;
    memset(&time, 0xA5, sizeof(time));
    return time;
}

bool Same(const SYSTEMTIME& a, const SYSTEMTIME& b)
{
    return memcmp(&a, &b, sizeof(a)) == 0;
}

void CheckLastModified(const uint8_t* bytes, size_t size, size_t units)
{
    WCHAR* received = WideText(bytes, size, units - 1);
    SYSTEMTIME time = Untouched();
    ULONGLONG ticks;
    SYSTEMTIME* read = ParseUtcTime(received, &time);
    FUZZ_CHECK(read == nullptr || read == &time);
    if (!read)
        FUZZ_CHECK(Same(time, Untouched()));
    if (read && RecordToTicks(&time, &ticks)) {
        FUZZ_CHECK(IsSystemTimeValid(&time));
        WCHAR* text = NewExact<WCHAR>(kGmtTextUnits);
        int written = FormatGmtTime(&time, text);
        FUZZ_CHECK(written > 0 && written < kGmtTextUnits && written == lstrlenW(text));
        // What the next start reads back from the registry.
        SYSTEMTIME again = Untouched();
        FUZZ_CHECK(ParseUtcTime(text, &again) == &again);
        FUZZ_CHECK(Same(again, time));
        WCHAR* rewritten = NewExact<WCHAR>(kGmtTextUnits);
        FUZZ_CHECK(FormatGmtTime(&again, rewritten) == written && wcscmp(rewritten, text) == 0);
        free(rewritten);
        free(text);
    }
    free(received);
}

void CheckZoned(const uint8_t* bytes, size_t size)
{
    size_t length = 0;
    while (length < size && bytes[length])
        ++length;
    char* text = NewExact<char>(length + 1);
    memcpy(text, bytes, length);
    text[length] = 0;
    SYSTEMTIME time = Untouched();
    SYSTEMTIME* read = ParseZonedTime(text, &time);
    FUZZ_CHECK(read == nullptr || read == &time);
    // Given back, the record is UTC of a real date, or untouched (a local time that
    // is no real date).
    ULONGLONG ticks;
    if (!read)
        FUZZ_CHECK(Same(time, Untouched()));
    else if (!Same(time, Untouched()))
        FUZZ_CHECK(RecordToTicks(&time, &ticks) && IsSystemTimeValid(&time));
    free(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    CheckLastModified(bytes, size, kHeaderUnits);
    if (size >= kHeaderUnits)
        CheckLastModified(bytes, size, REGISTRY_TEXT_UNITS); // the stored value
    CheckZoned(bytes, size);
    return 0;
}
