// Micro-benchmark of the time module: operations per second of FormatGmtTime,
// ParseUtcTime and UtcToFixedZone on a spread of valid inputs, so that what is
// timed is the working path and not an early refusal.
//
//   bench_time [seconds per operation, default 1]
// Prints "TIME name ops_per_second" per operation.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "date_texts.h"
#include "day_arithmetic.h"
#include "fixed_zone.h"

namespace {

const int kInputs = 64;
const int kBatch = 4096;
const int kRepeats = 3; // the best of three runs: the least disturbed by the machine

SYSTEMTIME s_times[kInputs];
WCHAR s_texts[kInputs][kGmtTextUnits];
volatile unsigned s_sink; // keeps every result in use

double Seconds()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Times spread over both zone seasons and all weekdays, months and digit widths;
// their texts read back as "... UTC".
bool MakeInputs()
{
    SYSTEMTIME start = { 2010, 1, 5, 1, 0, 0, 0, 0 };
    for (int i = 0; i < kInputs; ++i) {
        SYSTEMTIME time = start;
        AddDays(&time, static_cast<DWORD>(i * 23));
        time.wHour = static_cast<WORD>(i % 24);
        time.wMinute = static_cast<WORD>((i * 7) % 60);
        time.wSecond = static_cast<WORD>((i * 13) % 60);
        s_times[i] = time;
        int n = FormatGmtTime(&time, s_texts[i]);
        if (n < 4 || !IsSystemTimeValid(&time))
            return false;
        lstrcpyW(s_texts[i] + n - 3, L"UTC");
        SYSTEMTIME read = {};
        if (!ParseUtcTime(s_texts[i], &read) || read.wDay != time.wDay || read.wSecond != time.wSecond)
            return false;
    }
    return true;
}

void FormatBatch()
{
    WCHAR text[kGmtTextUnits];
    unsigned sum = 0;
    for (int i = 0; i < kBatch; ++i)
        sum += static_cast<unsigned>(FormatGmtTime(&s_times[i % kInputs], text)) + text[5];
    s_sink = s_sink + sum;
}

void ParseBatch()
{
    SYSTEMTIME time;
    unsigned sum = 0;
    for (int i = 0; i < kBatch; ++i)
        sum += ParseUtcTime(s_texts[i % kInputs], &time) ? time.wSecond : 1000u;
    s_sink = s_sink + sum;
}

void ZoneBatch()
{
    SYSTEMTIME local;
    unsigned sum = 0;
    for (int i = 0; i < kBatch; ++i) {
        UtcToFixedZone(&local, &s_times[i % kInputs]);
        sum += local.wHour;
    }
    s_sink = s_sink + sum;
}

double OpsPerSecond(void (*batch)(), double seconds)
{
    double best = 0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        double begin = Seconds(), spent = 0;
        long long calls = 0;
        do {
            batch();
            calls += kBatch;
            spent = Seconds() - begin;
        } while (spent < seconds);
        double rate = static_cast<double>(calls) / spent;
        if (rate > best)
            best = rate;
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? atof(argv[1]) : 1.0;
    if (seconds <= 0)
        seconds = 1.0;
    if (!MakeInputs()) {
        fprintf(stderr, "the time module did not write and read back its own texts\n");
        return 1;
    }
    printf("TIME FormatGmtTime %.0f\n", OpsPerSecond(FormatBatch, seconds));
    printf("TIME ParseUtcTime %.0f\n", OpsPerSecond(ParseBatch, seconds));
    printf("TIME UtcToFixedZone %.0f\n", OpsPerSecond(ZoneBatch, seconds));
    return 0;
}
