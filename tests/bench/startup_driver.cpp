// Start-up benchmark driver: in one run, alternating ours and the baseline, times
// (a) the Host from process creation until its tray icon is there and it takes
// messages in its loop, beside the baseline tray program, and (b) the Loader from
// process creation until the Host it starts is so far, beside the baseline
// launcher starting the baseline tray program. Each start is ended as a user ends
// it and waited for. Prints per-round times, then "RESULT key min median count".
//
//   bench_startup [--rounds N]        the timed runs (default 15 rounds)
//   bench_startup --prepare           only make the install folder
//   bench_startup --wait host|baseline  wait until a program started by someone else is ready
//   bench_startup --stop host|baseline  end that program and wait for its end
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tray_timing.h"

using namespace bench;

namespace {

const int kDefaultRounds = 15;
// Lets the shell and the server finish with the last program before the next start.
const DWORD kSettleMs = 150;

struct Series {
    const TrayProgram* program = nullptr;
    std::vector<double> ms;
    int failures = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Minimum(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

// One timed start and its clean end; negative when either failed.
double TimeOnce(const std::wstring& dir, const TrayProgram& program)
{
    TrayRun run;
    double ms = StartAndTime(dir, program, &run);
    if (ms < 0 || !StopTray(program, &run)) {
        CleanUp(program, &run);
        ms = -1;
    }
    Sleep(kSettleMs);
    return ms;
}

void Record(Series& series, double ms, int round)
{
    if (ms >= 0) {
        series.ms.push_back(ms);
        printf(" %9.1f", ms);
    } else {
        ++series.failures;
        printf(" %9s", "failed");
        fprintf(stderr, "round %d: %ls did not start and end cleanly\n", round, series.program->key);
    }
    fflush(stdout);
}

// Ours and the baseline, the first of the two alternating from round to round so
// that neither always runs on the trail of the other.
void TimePair(const std::wstring& dir, Series& ours, Series& baseline, int round)
{
    bool oursFirst = round % 2 == 1;
    double first = TimeOnce(dir, oursFirst ? *ours.program : *baseline.program);
    double second = TimeOnce(dir, oursFirst ? *baseline.program : *ours.program);
    Record(ours, oursFirst ? first : second, round);
    Record(baseline, oursFirst ? second : first, round);
}

void PrintRatio(const char* what, const Series& ours, const Series& baseline)
{
    if (ours.ms.empty() || baseline.ms.empty())
        return;
    printf("%s: ours/baseline min %.2f, median %.2f\n", what, Minimum(ours.ms) / Minimum(baseline.ms),
           Median(ours.ms) / Median(baseline.ms));
}

int RunRounds(int rounds)
{
    std::wstring dir;
    bool haveLoader = false;
    if (!PrepareInstallFolder(&dir, &haveLoader)) {
        fprintf(stderr, "the install folder could not be made: build the Host, base.dll and the baseline programs\n");
        return 2;
    }
    Series host, baseline, loader, launcher;
    host.program = &kHostDirect;
    baseline.program = &kBaselineDirect;
    loader.program = &kHostViaLoader;
    launcher.program = &kBaselineViaLauncher;

    // One unmeasured start of each: the first start pays for loading files once.
    TimeOnce(dir, kHostDirect);
    TimeOnce(dir, kBaselineDirect);
    if (haveLoader) {
        TimeOnce(dir, kHostViaLoader);
        TimeOnce(dir, kBaselineViaLauncher);
    } else {
        fprintf(stderr, "tessmark_quornel_loader.exe is not built: the Loader is not timed\n");
    }

    printf("round %9ls %9ls %9ls %9ls   (ms)\n", kHostDirect.key, kBaselineDirect.key, kHostViaLoader.key,
           kBaselineViaLauncher.key);
    for (int round = 1; round <= rounds; ++round) {
        printf("%5d", round);
        TimePair(dir, host, baseline, round);
        if (haveLoader)
            TimePair(dir, loader, launcher, round);
        printf("\n");
        fflush(stdout);
    }

    bool complete = true;
    for (const Series* series : { &host, &baseline, &loader, &launcher }) {
        if (series->ms.empty()) {
            complete = complete && !series->failures; // an unbuilt Loader is no failure
            continue;
        }
        printf("RESULT %ls %.1f %.1f %d\n", series->program->key, Minimum(series->ms), Median(series->ms),
               static_cast<int>(series->ms.size()));
        complete = complete && series->failures == 0;
    }
    PrintRatio("Host start", host, baseline);
    PrintRatio("Loader start", loader, launcher);
    return complete ? 0 : 1;
}

const TrayProgram* ProgramByKey(const wchar_t* key)
{
    if (wcscmp(key, kHostDirect.key) == 0)
        return &kHostDirect;
    if (wcscmp(key, kBaselineDirect.key) == 0)
        return &kBaselineDirect;
    return nullptr;
}

int WaitForProgram(const TrayProgram& program)
{
    HWND window = nullptr;
    if (!WaitReady(program, kReadyTimeoutMs, &window)) {
        fprintf(stderr, "%ls did not become ready\n", program.key);
        return 1;
    }
    return 0;
}

int StopProgram(const TrayProgram& program)
{
    TrayRun run;
    run.window = FindWindowW(program.trayClass, program.trayTitle);
    if (!run.window)
        return 0;
    run.tray = OpenWindowProcess(run.window);
    if (StopTray(program, &run))
        return 0;
    fprintf(stderr, "%ls did not end on its exit command\n", program.key);
    return 1;
}

int Usage()
{
    fprintf(stderr, "usage: bench_startup [--rounds N] | --prepare | --wait host|baseline | --stop host|baseline\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 1)
        return RunRounds(kDefaultRounds);
    if (argc == 2 && wcscmp(argv[1], L"--prepare") == 0) {
        std::wstring dir;
        bool haveLoader = false;
        return PrepareInstallFolder(&dir, &haveLoader) ? 0 : 2;
    }
    if (argc != 3)
        return Usage();
    if (wcscmp(argv[1], L"--rounds") == 0) {
        int rounds = _wtoi(argv[2]);
        return rounds > 0 ? RunRounds(rounds) : Usage();
    }
    const TrayProgram* program = ProgramByKey(argv[2]);
    if (!program)
        return Usage();
    if (wcscmp(argv[1], L"--wait") == 0)
        return WaitForProgram(*program);
    if (wcscmp(argv[1], L"--stop") == 0)
        return StopProgram(*program);
    return Usage();
}
