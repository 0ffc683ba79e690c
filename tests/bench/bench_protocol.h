// Names the benchmark's baseline programs and its driver share.
#pragma once

#include <windows.h>

// The baseline tray program's hidden window, found as the Host's is: class and title.
#define BASELINE_TRAY_CLASS L"bench_baseline_tray"
#define BASELINE_TRAY_TITLE L"Bench Baseline Tray"

// Program files, looked up in the install folder (the current directory).
#define BASELINE_TRAY_EXE L"bench_baseline_tray.exe"
#define BASELINE_LAUNCHER_EXE L"bench_baseline_launcher.exe"

// Ends the baseline tray program, as "Выход" (command 300) ends the Host.
const WPARAM BASELINE_EXIT_COMMAND = 300;
