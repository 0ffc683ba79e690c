// The Loader's file names, command lines, messages and exit codes.
#pragma once

#include <windows.h>

// The three files, all looked up in the current directory (the installation folder).
const WCHAR kPackageFileName[] = L"update_for_tessmark_quornel.tmp";
const WCHAR kUpdateProgramFileName[] = L"update_for_tessmark_quornel.exe";
const WCHAR kHostFileName[] = L"tessmark_quornel.exe";

const WCHAR kUpdateCommandLine[] = L"update /verysilent";
// Held by the setup (and the uninstaller) from its start to its end, one per user:
// this prefix and the user's name.
const WCHAR kSetupLockPrefix[] = L"Local\\tessmark_quornel_setup_";
// "football" stands where a program name stands: the Host's tail is the Loader's.
#define HOST_COMMAND_WORD L"football "
const WCHAR kHostCommandFormat[] = HOST_COMMAND_WORD L"%s";

// The host command line buffer, terminator included, and the longest tail that fits
// behind "football " and before the terminator.
const int kHostCommandLineSize = MAX_PATH;
const int kMaxHostTailLength = kHostCommandLineSize - (ARRAYSIZE(HOST_COMMAND_WORD) - 1) - 1;

const WCHAR kLoaderCaption[] = L"Кворнел Чемпионата мира по Футболу 2010";
const WCHAR kCopyFailedText[] = L"debug: не могу скопировать update.tmp в update.exe";
const WCHAR kUpdateNotStartedText[] = L"debug: не могу запустить update.exe";
const WCHAR kHostNotStartedText[] = L"tessmark_quornel_loader.exe: не могу запустить tessmark_quornel.exe";

// Exit codes.
const int kExitHostStarted = 0;
const int kExitCopyFailed = 1;
const int kExitUpdateNotStarted = 2;
const int kExitHostNotStarted = 3;
