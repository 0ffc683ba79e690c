#include "update_state.h"

#include "widget_texts.h"

namespace {

const DWORD kMinuteMs = 60 * 1000;
const DWORD kHourMs = 60 * kMinuteMs;

struct DelayRule {
    DWORD least, spread; // from least to least + spread, evenly
};
const DelayRule kDelays[] = {
    { 2 * kMinuteMs, 5 * kMinuteMs }, // FIRST_CHECK: 2 to 7 minutes after the start
    { 22 * kHourMs, 4 * kHourMs },    // NEXT_CHECK: 22 to 26 hours later
    { 1 * kHourMs, 2 * kHourMs },     // RETRY_CHECK: 1 to 3 hours after a failure
};

// "; " and the reason, at the end of line (room for kNetworkTextUnits + 2 units).
void AppendFailure(WCHAR* end, const WCHAR* failure)
{
    if (!failure[0])
        return;
    lstrcpyW(end, L"; ");
    lstrcpynW(end + 2, failure, kNetworkTextUnits);
    CharLowerBuffW(end + 2, 1); // "нет соединения", mid-sentence
}

static_assert(ARRAYSIZE(kDescriptionProblems) == DESCRIPTION_PROBLEM_COUNT, "a text for every problem");

} // namespace

void NoteUpdateReport(UpdateState* state, const UpdateReport& report)
{
    state->status = report.status;
    if (report.status == UPDATES_PENDING) {
        state->pending = true;
        state->pendingVersion = report.version;
    } else if (report.status == UPDATES_SERVER_OLDER) {
        state->offered = report.version;
    }
    lstrcpynW(state->failure, report.failure, kNetworkTextUnits);
}

void FormatUpdateState(const UpdateState& state, WCHAR* text, int units)
{
    if (units <= 0)
        return;
    WCHAR line[2 * kNetworkTextUnits]; // wsprintfW writes at most 1024 units
    WCHAR version[kVersionTextUnits];
    if (state.status == UPDATES_NOT_BUILT_IN) {
        lstrcpyW(line, kUpdatesNotBuiltIn);
    } else if (state.pending) {
        FormatReleaseVersion(state.pendingVersion, version);
        int used = wsprintfW(line, kUpdatePending, version);
        if (state.status == UPDATES_FAILED)
            AppendFailure(line + used, state.failure);
    } else {
        FormatReleaseVersion(state.installed, version);
        int used = wsprintfW(line, kUpdatesVersion, version);
        switch (state.status) {
        case UPDATES_LATEST:
            lstrcpyW(line + used, kUpdatesLatest);
            break;
        case UPDATES_NO_ADDRESS:
            lstrcpyW(line + used, kUpdatesNoAddress);
            break;
        case UPDATES_SERVER_OLDER:
            FormatReleaseVersion(state.offered, version);
            wsprintfW(line + used, kUpdatesServerOlder, version);
            break;
        case UPDATES_FAILED:
            AppendFailure(line + used, state.failure);
            break;
        default:
            break;
        }
    }
    lstrcpynW(text, line, units);
}

void FormatUpdateBalloon(const ReleaseVersion& version, WCHAR* text)
{
    WCHAR number[kVersionTextUnits];
    FormatReleaseVersion(version, number);
    wsprintfW(text, kUpdateDownloaded, number);
}

void DescribeUpdateFailure(UpdateFailure failure, DWORD detail, WCHAR* text)
{
    switch (failure) {
    case UPDATE_BAD_ADDRESS:
        lstrcpyW(text, kBadUpdateAddress);
        return;
    case UPDATE_DESCRIPTION_TOO_BIG:
        lstrcpyW(text, kUpdateDescriptionTooBig);
        return;
    case UPDATE_BAD_DESCRIPTION:
        wsprintfW(text, kBadUpdateDescription,
                  kDescriptionProblems[detail < static_cast<DWORD>(DESCRIPTION_PROBLEM_COUNT) ? detail : 0]);
        return;
    case UPDATE_BAD_SIGNATURE:
        lstrcpyW(text, kBadUpdateSignature);
        return;
    case UPDATE_CHECK_UNAVAILABLE:
        wsprintfW(text, kUpdateCheckUnavailable, detail);
        return;
    case UPDATE_BAD_PACKAGE_ADDRESS:
        lstrcpyW(text, kBadPackageAddress);
        return;
    case UPDATE_PACKAGE_SIZE:
        lstrcpyW(text, kPackageSizeDiffers);
        return;
    case UPDATE_PACKAGE_HASH:
        lstrcpyW(text, kPackageHashDiffers);
        return;
    case UPDATE_NOT_INSTALLED:
        lstrcpyW(text, kNotAnInstallFolder);
        return;
    case UPDATE_NOT_WRITTEN:
        wsprintfW(text, kPackageNotWritten, detail);
        return;
    case UPDATE_LOADER_NOT_STARTED:
        wsprintfW(text, kLoaderNotStarted, detail);
        return;
    }
    text[0] = 0;
}

DWORD CheckDelayMs(CheckDelay delay, DWORD random)
{
    const DelayRule& rule = kDelays[delay];
    return rule.least + random % (rule.spread + 1);
}
