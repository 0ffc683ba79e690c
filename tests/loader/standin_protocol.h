// What the Loader's tests and their stand-in programs agree on. The stand-in is
// copied into a test's folder as the Host, the update program or the package; it
// appends one line per event to a record file, UTF-8, tab-separated:
//   <role> <event> <counter> <module path> <current directory> <command line>
// role "host" or "update" (by its file name), event "start" or "end", counter the
// QueryPerformanceCounter value (one clock for all processes). The command line is
// last, so blanks and quotes in it stay as they are.
#pragma once

// Full path of the record file; without it "standin_record.log" in the current directory.
#define STANDIN_RECORD_VARIABLE L"QUORNEL_STANDIN_RECORD"
// Per role: milliseconds to sleep between "start" and "end", and the exit code.
#define STANDIN_UPDATE_SLEEP_VARIABLE L"QUORNEL_STANDIN_UPDATE_SLEEP_MS"
#define STANDIN_UPDATE_EXIT_VARIABLE L"QUORNEL_STANDIN_UPDATE_EXIT"
#define STANDIN_HOST_SLEEP_VARIABLE L"QUORNEL_STANDIN_HOST_SLEEP_MS"
#define STANDIN_HOST_EXIT_VARIABLE L"QUORNEL_STANDIN_HOST_EXIT"
