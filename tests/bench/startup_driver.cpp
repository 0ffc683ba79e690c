// Start-up benchmark driver: in one run, rotating ours and its two yardsticks,
// times (a) the Host from process creation until its tray icon is there and it
// takes messages in its loop, beside the bare tray program and the floor tray
// program, and (b) the Loader from process creation until the Host it starts is so
// far, beside the bare launcher (starting the bare tray) and the floor launcher
// (starting the Host). Each start is ended as a user ends it and waited for.
// Prints per-round times, then "RESULT key min median count" for each program and
// "PAIRED key bare floor" for ours: the medians of the per-round ratios ours/bare
// and ours/floor. The waterfall mode
// times the moments of each start of the Host, the floor tray, the Loader and the
// floor launcher and prints them as markdown tables, each line after "WATERFALL ";
// the Host with the real engine starts right before or after the Host with the
// stand-in engine, in turns, and "ENGINE_START stand-in real ratio q1 q3 rounds" gives
// the engine's start (medians, ms), the median of the per-round ratios real/stand-in
// and the quartiles of those ratios.
//
//   bench_startup [--rounds N]          the timed runs (default 25 rounds)
//   bench_startup --waterfall N         the moments of N starts of each
//   bench_startup --variants N KEY:EXE...  N rounds of the files EXE... (copied from the
//                                       bin folder), in turn, each started in place of
//                                       program KEY's file: to find what costs
//   bench_startup --network N ORIGIN PROXY  the network's figures (network_bench.cpp) against
//                                       the local servers listening on those ports
//   bench_startup --prepare             only make the install folders
//   bench_startup --wait host|widget|bare|floor  wait until a program started by someone else is ready
//   bench_startup --stop host|widget|bare|floor  end that program and wait for its end
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "network_bench.h"
#include "test_support.h"
#include "tray_timing.h"
#include "waterfall.h"

using namespace bench;

namespace {

const int kDefaultRounds = 25;
// Lets the shell and the server finish with the last program before the next start.
const DWORD kSettleMs = 150;

struct Series {
    const TrayProgram* program = nullptr;
    std::vector<double> ms;
    int failures = 0;
    // Ours only: ours over each yardstick within one round, where both were timed.
    // Neighbours in time share the machine's load, so these drift less than the series.
    std::vector<double> overBare, overFloor;
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

// The value below which `share` (0 to 1) of the values lie, between neighbours.
double Quantile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    double at = share * static_cast<double>(values.size() - 1);
    size_t below = static_cast<size_t>(at);
    if (below + 1 >= values.size())
        return values.back();
    return values[below] + (at - static_cast<double>(below)) * (values[below + 1] - values[below]);
}

// One timed start and its clean end; negative when either failed.
double TimeOnce(const std::wstring& dir, const TrayProgram& program)
{
    TrayRun run;
    double ms = StartAndTime(dir, program, &run);
    bool ended = ms >= 0 && StopTray(program, &run);
    if (!ended) {
        if (ms < 0)
            fprintf(stderr, "%ls: not started, or not ready within %lu ms\n", program.key, kReadyTimeoutMs);
        else
            fprintf(stderr, "%ls: did not end with exit code 0 within %lu ms\n", program.key, kEndTimeoutMs);
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

// Ours and its two yardsticks, the first of them moving on by one from round to
// round so that none always runs on the trail of the same other.
void TimeGroup(const std::wstring& dir, Series* group[3], int round)
{
    double ms[3];
    for (int i = 0; i < 3; ++i) {
        int which = (round + i) % 3;
        ms[which] = TimeOnce(dir, *group[which]->program);
    }
    for (int i = 0; i < 3; ++i)
        Record(*group[i], ms[i], round);
    if (ms[0] >= 0 && ms[1] > 0)
        group[0]->overBare.push_back(ms[0] / ms[1]);
    if (ms[0] >= 0 && ms[2] > 0)
        group[0]->overFloor.push_back(ms[0] / ms[2]);
}

void PrintRatios(const char* what, const Series& ours, const Series& bare, const Series& floor)
{
    if (ours.ms.empty() || bare.ms.empty() || floor.ms.empty())
        return;
    printf("%s: ours/bare min %.2f, median %.2f; ours/floor min %.2f, median %.2f\n", what,
           Minimum(ours.ms) / Minimum(bare.ms), Median(ours.ms) / Median(bare.ms), Minimum(ours.ms) / Minimum(floor.ms),
           Median(ours.ms) / Median(floor.ms));
}

int RunRounds(int rounds)
{
    std::wstring dir;
    if (!PrepareInstallFolder(&dir)) {
        fprintf(stderr, "the install folder could not be made: build the programs and the yardstick programs\n");
        return 2;
    }
    const int count = 6;
    Series series[count];
    const TrayProgram* programs[count] = { &kHostDirect, &kBaselineDirect, &kFloorDirect,
                                           &kHostViaLoader, &kBaselineViaLauncher, &kFloorViaLauncher };
    for (int i = 0; i < count; ++i)
        series[i].program = programs[i];

    // One unmeasured start of each: the first start pays for loading files once.
    for (int i = 0; i < count; ++i)
        TimeOnce(dir, *programs[i]);

    printf("round");
    for (int i = 0; i < count; ++i)
        printf(" %9ls", programs[i]->key);
    printf("   (ms)\n");
    Series* hostGroup[3] = { &series[0], &series[1], &series[2] };
    Series* loaderGroup[3] = { &series[3], &series[4], &series[5] };
    for (int round = 1; round <= rounds; ++round) {
        printf("%5d", round);
        TimeGroup(dir, hostGroup, round);
        TimeGroup(dir, loaderGroup, round);
        printf("\n");
        fflush(stdout);
    }

    bool complete = true;
    for (int i = 0; i < count; ++i) {
        const Series& one = series[i];
        if (!one.ms.empty())
            printf("RESULT %ls %.1f %.1f %d\n", one.program->key, Minimum(one.ms), Median(one.ms),
                   static_cast<int>(one.ms.size()));
        complete = complete && one.failures == 0;
    }
    for (int i : { 0, 3 }) {
        const Series& ours = series[i];
        if (!ours.overBare.empty() && !ours.overFloor.empty())
            printf("PAIRED %ls %.2f %.2f\n", ours.program->key, Median(ours.overBare), Median(ours.overFloor));
    }
    PrintRatios("Host start", series[0], series[1], series[2]);
    PrintRatios("Loader start", series[3], series[4], series[5]);
    return complete ? 0 : 1;
}

// The moments of every start of one program: per moment, the median over the
// starts that saw it, or negative when fewer than half did.
struct Moments {
    const TrayProgram* program = nullptr;
    std::vector<double> seen[kMilestones];
    int starts = 0;

    double At(Milestone milestone) const
    {
        const std::vector<double>& values = seen[milestone];
        return starts && values.size() * 2 >= static_cast<size_t>(starts) ? Median(values) : -1;
    }
};

struct Row {
    Milestone milestone;
    const char* what;
    const char* seenFrom;
};

void PrintMs(double ms)
{
    if (ms < 0)
        printf(" — |");
    else
        printf(" %.1f |", ms);
}

void PrintDifference(double a, double b)
{
    if (a < 0 || b < 0)
        printf(" — |");
    else
        printf(" %+.1f |", a - b);
}

// The Host's start, step by step, beside the floor tray's: each row's moment and
// its step from the row before; the checks seen from outside carry no step.
void PrintHostWaterfall(const Moments& ours, const Moments& floor)
{
    static const Row steps[] = {
        { kCreated, "process created (CreateProcessW returned)", "outside" },
        { kAttached, "DLLs loaded; base.dll's DllMain", "inside" },
        { kMutex, "DllMain of the DLLs after it, C runtime start, entry, version check; mutex created", "outside" },
        { kTrayWindow, "tray window exists", "outside" },
        { kAddCalled, "menu (WM_CREATE) and both icons loaded; NIM_ADD called", "inside" },
        { kAddReturned, "icon added (NIM_ADD returned)", "inside" },
        { kRunEntered, "engine called (RunQuornel entered)", "inside" },
        { kRunReturned, "engine returned (RunQuornel returned)", "inside" },
        { kLoop, "message loop takes messages: ready", "outside" },
    };
    static const Row checks[] = {
        { kIconSeen, "check: the icon seen in the notification area", "outside" },
        { kEngineWindow, "check: the engine window seen", "outside" },
    };
    printf("WATERFALL | Host start: step, ending when | seen from | Host: ms | Host: step | floor: ms | floor: step | "
           "step Host−floor |\n");
    printf("WATERFALL |---|---|---:|---:|---:|---:|---:|\n");
    double oursBefore = 0, floorBefore = 0;
    for (const Row& row : steps) {
        double oursAt = ours.At(row.milestone), floorAt = floor.At(row.milestone);
        double oursStep = oursAt < 0 || oursBefore < 0 ? -1 : oursAt - oursBefore;
        double floorStep = floorAt < 0 || floorBefore < 0 ? -1 : floorAt - floorBefore;
        printf("WATERFALL | %s | %s |", row.what, row.seenFrom);
        PrintMs(oursAt);
        PrintMs(oursStep);
        PrintMs(floorAt);
        PrintMs(floorStep);
        PrintDifference(oursStep, floorStep);
        printf("\n");
        oursBefore = oursAt;
        floorBefore = floorAt;
    }
    for (const Row& row : checks) {
        printf("WATERFALL | %s | %s |", row.what, row.seenFrom);
        PrintMs(ours.At(row.milestone));
        printf(" |");
        PrintMs(floor.At(row.milestone));
        printf(" | |\n");
    }
}

// The same Host with the stand-in engine and with the real one, seen from outside:
// the step from the icon in the notification area to the loop taking messages is
// the engine's start (RunQuornel, then the Host's redraw of the engine window).
// `ratios`: the real engine's start over the stand-in's within each round.
void PrintEngineWaterfall(const Moments& standin, const Moments& widget, const std::vector<double>& ratios)
{
    static const Row moments[] = {
        { kCreated, "process created", "outside" },
        { kMutex, "DLLs loaded (the engine's imports among them), entry; mutex created", "outside" },
        { kTrayWindow, "tray window exists", "outside" },
        { kIconSeen, "icon seen in the notification area", "outside" },
        { kEngineWindow, "the engine's window seen", "outside" },
        { kLoop, "message loop takes messages: ready", "outside" },
    };
    printf("WATERFALL | Host start: moment | seen from | stand-in engine: ms | real engine: ms | real−stand-in |\n");
    printf("WATERFALL |---|---|---:|---:|---:|\n");
    for (const Row& row : moments) {
        double a = standin.At(row.milestone), b = widget.At(row.milestone);
        printf("WATERFALL | %s | %s |", row.what, row.seenFrom);
        PrintMs(a);
        PrintMs(b);
        PrintDifference(b, a);
        printf("\n");
    }
    double a = standin.At(kLoop) - standin.At(kIconSeen), b = widget.At(kLoop) - widget.At(kIconSeen);
    printf("WATERFALL | the engine's start: icon seen to ready | outside |");
    PrintMs(a);
    PrintMs(b);
    PrintDifference(b, a);
    printf("\n");
    if (a > 0 && b > 0 && !ratios.empty()) {
        printf("WATERFALL\n");
        printf("WATERFALL The engine's start, real/stand-in, within each of %d rounds: median %.2f, middle half "
               "%.2f–%.2f, all %.2f–%.2f.\n",
               static_cast<int>(ratios.size()), Median(ratios), Quantile(ratios, 0.25), Quantile(ratios, 0.75),
               Minimum(ratios), Quantile(ratios, 1));
        // The medians of each, then the median of the per-round ratios and its middle half.
        printf("ENGINE_START %.1f %.1f %.2f %.2f %.2f %d\n", a, b, Median(ratios), Quantile(ratios, 0.25),
               Quantile(ratios, 0.75), static_cast<int>(ratios.size()));
    }
}

// The Loader's start beside the floor launcher's: both start the same Host.
void PrintLoaderWaterfall(const Moments& ours, const Moments& floor)
{
    static const Row moments[] = {
        { kCreated, "starter created (CreateProcessW returned)", "outside" },
        { kAttached, "the Host's imports loaded (base.dll attached)", "inside" },
        { kStarterEnded, "starter ended", "outside" },
        { kLoop, "the Host ready (loop takes messages)", "outside" },
    };
    printf("WATERFALL | Loader start: moment | seen from | Loader: ms | floor launcher: ms | Loader−floor |\n");
    printf("WATERFALL |---|---|---:|---:|---:|\n");
    for (const Row& row : moments) {
        double oursAt = ours.At(row.milestone), floorAt = floor.At(row.milestone);
        printf("WATERFALL | %s | %s |", row.what, row.seenFrom);
        PrintMs(oursAt);
        PrintMs(floorAt);
        PrintDifference(oursAt, floorAt);
        printf("\n");
    }
}

int RunWaterfall(int rounds)
{
    std::wstring dir, widgetDir;
    if (!PrepareInstallFolder(&dir) || !PrepareWidgetFolder(&widgetDir)) {
        fprintf(stderr, "the install folder could not be made: build the programs and the yardstick programs\n");
        return 2;
    }
    std::wstring stampFile = dir + L"\\stamps.log";
    // Inherited by every program started from here on, and by the Host from its starter.
    SetEnvironmentVariableW(L"QUORNEL_BASE_STAMPS", stampFile.c_str());
    const int count = 5;
    Moments moments[count];
    const TrayProgram* programs[count] = { &kHostDirect, &kFloorDirect, &kHostViaLoader, &kFloorViaLauncher,
                                           &kWidgetDirect };
    for (int i = 0; i < count; ++i)
        moments[i].program = programs[i];

    // The real engine's start over the stand-in's, round by round: the two start one
    // right after the other, in turns either way round, so that neither always meets
    // the file cache the other left (the real engine loads more system DLLs).
    std::vector<double> engineRatios;
    int failures = 0;
    for (int round = 0; round <= rounds; ++round) {
        int order[count], n = 0;
        for (int i = 0; i < count - 1; ++i) {
            int which = (round + i) % (count - 1);
            if (which == 0 && round % 2)
                order[n++] = 4;
            order[n++] = which;
            if (which == 0 && round % 2 == 0)
                order[n++] = 4;
        }
        double engineStart[2] = { -1, -1 }; // the stand-in's, the real one's
        for (int which : order) {
            Moments& one = moments[which];
            double ms[kMilestones];
            bool real = one.program == &kWidgetDirect;
            bool ok = TimeMilestones(real ? widgetDir : dir, *one.program, real ? std::wstring() : stampFile, ms);
            Sleep(kSettleMs);
            if (round == 0)
                continue; // the unmeasured first start of each
            if (!ok) {
                ++failures;
                fprintf(stderr, "waterfall round %d: %ls did not start and end cleanly\n", round, one.program->key);
                continue;
            }
            ++one.starts;
            for (int m = 0; m < kMilestones; ++m) {
                if (ms[m] >= 0)
                    one.seen[m].push_back(ms[m]);
            }
            if ((which == 0 || which == 4) && ms[kLoop] >= 0 && ms[kIconSeen] >= 0)
                engineStart[which == 4] = ms[kLoop] - ms[kIconSeen];
        }
        if (engineStart[0] > 0 && engineStart[1] > 0)
            engineRatios.push_back(engineStart[1] / engineStart[0]);
    }
    PrintHostWaterfall(moments[0], moments[1]);
    printf("WATERFALL\n");
    PrintLoaderWaterfall(moments[2], moments[3]);
    printf("WATERFALL\n");
    PrintEngineWaterfall(moments[0], moments[4], engineRatios);
    return failures ? 1 : 0;
}


const TrayProgram* ProgramByKey(const wchar_t* key)
{
    for (const TrayProgram* program : { &kHostDirect, &kWidgetDirect, &kBaselineDirect, &kFloorDirect,
                                        &kHostViaLoader, &kBaselineViaLauncher, &kFloorViaLauncher }) {
        if (wcscmp(key, program->key) == 0)
            return program;
    }
    return nullptr;
}

// Each of `variants` is "KEY:EXE" and is changed into "KEY" and "EXE" in place.
int RunVariants(int rounds, int count, wchar_t** variants)
{
    std::wstring dir;
    if (count <= 0 || !PrepareInstallFolder(&dir))
        return 2;
    std::vector<TrayProgram> programs(count);
    std::vector<Series> series(count);
    for (int i = 0; i < count; ++i) {
        wchar_t* file = wcschr(variants[i], L':');
        if (file)
            *file++ = 0;
        const TrayProgram* like = file ? ProgramByKey(variants[i]) : nullptr;
        if (!like || !CopyFileW(qt::BinPath(file).c_str(), (dir + L"\\" + file).c_str(), FALSE)) {
            fprintf(stderr, "not a program key and a file of the bin folder: %ls\n", variants[i]);
            return 2;
        }
        programs[i] = *like;
        programs[i].exe = file;
        programs[i].key = file;
        series[i].program = &programs[i];
        TimeOnce(dir, programs[i]); // unmeasured
    }
    // Per round, each file over the first.
    std::vector<std::vector<double>> overFirst(count);
    for (int round = 1; round <= rounds; ++round) {
        printf("%5d", round);
        std::vector<double> ms(count);
        for (int i = 0; i < count; ++i) {
            int which = (round + i) % count;
            ms[which] = TimeOnce(dir, programs[which]);
        }
        for (int i = 0; i < count; ++i) {
            Record(series[i], ms[i], round);
            if (ms[i] >= 0 && ms[0] > 0)
                overFirst[i].push_back(ms[i] / ms[0]);
        }
        printf("\n");
    }
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const Series& one = series[i];
        if (!one.ms.empty())
            printf("RESULT %ls %.1f %.1f %d\n", one.program->key, Minimum(one.ms), Median(one.ms),
                   static_cast<int>(one.ms.size()));
        if (i > 0 && !overFirst[i].empty())
            printf("PAIRED %ls over %ls %.3f\n", one.program->key, programs[0].key, Median(overFirst[i]));
        failures += one.failures;
    }
    return failures ? 1 : 0;
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
    fprintf(stderr, "usage: bench_startup [--rounds N] | --waterfall N | --variants N KEY:EXE... | --prepare | "
                    "--wait host|widget|bare|floor | --stop host|widget|bare|floor | --network N ORIGIN PROXY\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 1)
        return RunRounds(kDefaultRounds);
    if (argc == 2 && wcscmp(argv[1], L"--prepare") == 0) {
        std::wstring dir, widgetDir;
        return PrepareInstallFolder(&dir) && PrepareWidgetFolder(&widgetDir) ? 0 : 2;
    }
    if (argc == 5 && wcscmp(argv[1], L"--network") == 0) {
        int rounds = _wtoi(argv[2]);
        if (rounds <= 0 || rounds > 1000)
            return Usage();
        return RunNetwork(rounds, _wtoi(argv[3]), _wtoi(argv[4]));
    }
    if (argc >= 4 && wcscmp(argv[1], L"--variants") == 0) {
        int rounds = _wtoi(argv[2]);
        if (rounds <= 0 || rounds > 1000)
            return Usage();
        return RunVariants(rounds, argc - 3, argv + 3);
    }
    if (argc != 3)
        return Usage();
    if (wcscmp(argv[1], L"--rounds") == 0 || wcscmp(argv[1], L"--waterfall") == 0) {
        int rounds = _wtoi(argv[2]);
        if (rounds <= 0 || rounds > 1000)
            return Usage();
        return argv[1][2] == L'r' ? RunRounds(rounds) : RunWaterfall(rounds);
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
