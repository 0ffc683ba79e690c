// Where a tray program's start-up time goes: the moments of one start, seen from
// outside by polling (the mutex, the windows, the icon, the loop) and from inside
// by the stand-in engine's performance counter stamps (QUORNEL_BASE_STAMPS).
#pragma once

#include <windows.h>

#include <string>

#include "tray_timing.h"

namespace bench {

enum Milestone {
    kCreated,        // CreateProcessW returned (outside)
    kStarterEnded,   // the created process ended; only for a starter (outside)
    kAttached,       // the DLLs loaded, base.dll's DllMain; the entry follows (inside)
    kMutex,          // the family mutex exists (outside)
    kTrayWindow,     // the tray window exists (outside)
    kAddCalled,      // icons loaded, NIM_ADD called (inside)
    kAddReturned,    // NIM_ADD returned (inside)
    kIconSeen,       // the notification area holds the icon (outside)
    kRunEntered,     // RunQuornel entered (inside)
    kEngineWindow,   // the engine window exists (outside)
    kRunReturned,    // RunQuornel returned (inside)
    kLoop,           // the tray window's thread takes messages in its loop (outside)
    kMilestones
};

// One start of `program` in `dir`, ended as a user ends it: each moment in ms
// after just before process creation, negative where it was not seen. False when
// the start or the end failed. The stand-in engine's stamps go to `stampFile`; with
// an empty one (the real engine) only the moments seen from outside are taken.
bool TimeMilestones(const std::wstring& dir, const TrayProgram& program, const std::wstring& stampFile,
                    double ms[kMilestones]);

} // namespace bench
