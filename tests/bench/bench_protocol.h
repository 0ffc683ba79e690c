// Names the benchmark's yardstick programs and its driver share.
#pragma once

#include <windows.h>

// The bare tray program's hidden window, found as the Host's is: class and title.
#define BASELINE_TRAY_CLASS L"bench_baseline_tray"
#define BASELINE_TRAY_TITLE L"Bench Baseline Tray"

// The floor tray program: its window, its family mutex and its menu resource.
#define FLOOR_TRAY_CLASS L"bench_floor_tray"
#define FLOOR_TRAY_TITLE L"Bench Floor Tray"
#define FLOOR_TRAY_MUTEX L"bench_floor_widget"
#define FLOOR_TRAY_MENU L"floor_menu" // the name floor_tray.rc gives the menu

// Program files, looked up in the install folder (the current directory).
#define BASELINE_TRAY_EXE L"bench_baseline_tray.exe"
#define BASELINE_LAUNCHER_EXE L"bench_baseline_launcher.exe"
#define FLOOR_TRAY_EXE L"bench_floor_tray.exe"
#define FLOOR_LAUNCHER_EXE L"bench_floor_launcher.exe"

// Ends either tray yardstick, as "Выход" (command 300) ends the Host.
const WPARAM BASELINE_EXIT_COMMAND = 300;
