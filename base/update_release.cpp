#include "update_release.h"

#include <string.h>

#include "../loader/loader_texts.h"
#include "data_source.h"
#include "engine_settings.h"
#include "http_fetch.h"
#include "owners.h"
#include "update_build.h"
#include "update_check.h"
#include "web_address.h"

namespace {

const DWORD kDescriptionWholeMs = 30 * 1000;
const DWORD kPackageWholeMs = 15 * 60 * 1000; // 16 MB at 150 kbit/s
const ULONGLONG kSecond = 10000000;           // in FILETIME's 100 ns
const int kVersionSettingUnits = 32;

// folder\name into path[MAX_PATH]; false when it does not fit.
bool FolderPath(const UpdatePlace& place, const WCHAR* name, WCHAR* path)
{
    if (lstrlenW(place.folder) + 1 + lstrlenW(name) >= MAX_PATH)
        return false;
    lstrcpyW(path, place.folder);
    lstrcatW(path, L"\\");
    lstrcatW(path, name);
    return true;
}

// The file's last-write time, or false when it is not there.
bool LastWriteTime(const UpdatePlace& place, const WCHAR* name, ULONGLONG* time)
{
    WCHAR path[MAX_PATH];
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!FolderPath(place, name, path) || !GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    *time = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

// As the Loader sees it: a package there, newer than the update program (or without one).
bool PackageWaits(const UpdatePlace& place)
{
    ULONGLONG package, program;
    return LastWriteTime(place, kPackageFileName, &package) &&
           (!LastWriteTime(place, kUpdateProgramFileName, &program) || package > program);
}

bool ReadVersionSetting(const WCHAR* name, ReleaseVersion* version)
{
    WCHAR text[kVersionSettingUnits];
    char ascii[kVersionSettingUnits];
    ReadSettingText(SETTINGS_KEY, name, text, kVersionSettingUnits);
    int length = 0;
    for (; text[length]; ++length) {
        if (text[length] > 0x7F)
            return false;
        ascii[length] = static_cast<char>(text[length]);
    }
    return ReadReleaseVersion(ascii, static_cast<unsigned>(length), version);
}

void WriteVersionSetting(const WCHAR* name, const ReleaseVersion& version)
{
    WCHAR text[kVersionTextUnits];
    FormatReleaseVersion(version, text);
    WriteSettingText(SETTINGS_KEY, name, text);
}

// The package the engine left for the Loader, while it is still there; a record of one
// the Loader has taken is forgotten.
bool PendingVersion(const UpdatePlace& place, ReleaseVersion* version)
{
    if (!ReadVersionSetting(VALUE_UPDATE_PENDING, version))
        return false;
    if (PackageWaits(place))
        return true;
    DeleteSetting(SETTINGS_KEY, VALUE_UPDATE_PENDING);
    return false;
}

// What the last verified description at this address said: its version and its
// Last-Modified for the next request's condition. False when nothing is known of it.
bool StoredDescription(const WCHAR* url, ReleaseVersion* version, WCHAR* lastModified)
{
    WCHAR checked[REGISTRY_TEXT_UNITS], stored[REGISTRY_TEXT_UNITS];
    SYSTEMTIME time;
    ULONGLONG ticks;
    if (!ReadSettingText(SETTINGS_KEY, VALUE_UPDATE_CHECKED_URL, checked, REGISTRY_TEXT_UNITS) ||
        wcscmp(checked, url) || !ReadVersionSetting(VALUE_UPDATE_DESCRIBED, version) ||
        !ReadSettingText(SETTINGS_KEY, VALUE_UPDATE_LAST_MODIFIED, stored, REGISTRY_TEXT_UNITS) ||
        !ParseUtcTime(stored, &time) || !RecordToTicks(&time, &ticks))
        return false;
    FormatGmtTime(&time, lastModified); // written anew: nothing but a date goes out
    return true;
}

void ForgetDescription(void)
{
    DeleteSetting(SETTINGS_KEY, VALUE_UPDATE_CHECKED_URL);
    DeleteSetting(SETTINGS_KEY, VALUE_UPDATE_DESCRIBED);
    DeleteSetting(SETTINGS_KEY, VALUE_UPDATE_LAST_MODIFIED);
}

void RememberDescription(const WCHAR* url, const ReleaseVersion& version, const WCHAR* lastModified)
{
    ForgetDescription(); // the address last: a record half written is never trusted
    if (!lastModified[0])
        return; // nothing to ask with
    WriteVersionSetting(VALUE_UPDATE_DESCRIBED, version);
    WriteSettingText(SETTINGS_KEY, VALUE_UPDATE_LAST_MODIFIED, lastModified);
    WriteSettingText(SETTINGS_KEY, VALUE_UPDATE_CHECKED_URL, url);
}

// ---------------------------------------------------------------------------------
// The check.

void Fail(UpdateReport* report, UpdateFailure failure, DWORD detail)
{
    report->status = UPDATES_FAILED;
    DescribeUpdateFailure(failure, detail, report->failure);
}

// A fetch that failed, as the menu says it.
void FailFetch(UpdateReport* report, const FetchAnswer& answer, const FetchSettings& settings)
{
    report->status = UPDATES_FAILED;
    if (answer.outcome == FETCH_WRITE_FAILED)
        DescribeUpdateFailure(UPDATE_NOT_WRITTEN, answer.error, report->failure);
    else
        DescribeFetch(answer, settings, report->failure);
}

// The package arrived whole in `file`: as long and of the hash the description says.
bool PackageMatches(HANDLE file, const UpdateDescription& description, UpdateReport* report)
{
    unsigned char hash[kSha256Bytes];
    LONG status = 0;
    switch (HashFile(file, description.size, hash, &status)) {
    case CHECK_PASSED:
        if (memcmp(hash, description.sha256, kSha256Bytes)) {
            Fail(report, UPDATE_PACKAGE_HASH, 0);
            return false;
        }
        return true;
    case CHECK_FAILED:
        Fail(report, UPDATE_PACKAGE_SIZE, 0);
        return false;
    default:
        Fail(report, UPDATE_CHECK_UNAVAILABLE, static_cast<DWORD>(status));
        return false;
    }
}

// The package into the download file, checked there. False with the report's failure
// (none when cancelled).
bool DownloadPackage(const UpdatePlace& place, const FetchSettings& settings, const UpdateDescription& description,
                     HANDLE file, UpdateReport* report)
{
    FetchSettings package = settings;
    WCHAR reference[kPackageReferenceUnits];
    for (int i = 0; i < kPackageReferenceUnits; ++i)
        reference[i] = static_cast<unsigned char>(description.package[i]);
    if (!ResolveLocation(settings.url, reference, package.url, REGISTRY_TEXT_UNITS)) {
        Fail(report, UPDATE_BAD_PACKAGE_ADDRESS, 0);
        return false;
    }
    // Not a byte more than described is taken.
    FetchBody body = { description.size, file, kPackageWholeMs };
    FetchAnswer answer;
    Fetch(package, L"", false, place.cancel, &answer, &body);
    switch (answer.outcome) {
    case FETCH_OK:
        if (answer.size != description.size) {
            Fail(report, UPDATE_PACKAGE_SIZE, 0);
            return false;
        }
        return PackageMatches(file, description, report);
    case FETCH_CANCELLED:
        return false;
    case FETCH_BAD_URL:
        Fail(report, UPDATE_BAD_PACKAGE_ADDRESS, 0);
        return false;
    case FETCH_TOO_BIG:
        Fail(report, UPDATE_PACKAGE_SIZE, 0);
        return false;
    default:
        FailFetch(report, answer, package);
        return false;
    }
}

// The downloaded file a second newer than the update program (or now, if that is
// later), set through a handle of its own once the writing one is closed.
bool MakeNewerThanProgram(const UpdatePlace& place, const WCHAR* path)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULONGLONG later = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime, program;
    if (LastWriteTime(place, kUpdateProgramFileName, &program) && program + kSecond > later)
        later = program + kSecond;
    FILETIME time = { static_cast<DWORD>(later), static_cast<DWORD>(later >> 32) };
    OwnedFile file(CreateFileW(path, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && SetFileTime(file.Get(), nullptr, nullptr, &time);
}

// Downloads the described package and leaves it as the pending one: written beside it,
// checked, dated, then renamed over it in one step. Any failure leaves nothing of its
// own behind. True when the package waits.
bool LeavePackage(const UpdatePlace& place, const FetchSettings& settings, const UpdateDescription& description,
                  UpdateReport* report)
{
    WCHAR download[MAX_PATH], pending[MAX_PATH], loader[MAX_PATH];
    if (!FolderPath(place, kLoaderFileName, loader) || GetFileAttributesW(loader) == INVALID_FILE_ATTRIBUTES ||
        !FolderPath(place, kDownloadFileName, download) || !FolderPath(place, kPackageFileName, pending)) {
        Fail(report, UPDATE_NOT_INSTALLED, 0); // no Loader would ever install it
        return false;
    }
    OwnedFile file(CreateFileW(download, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        Fail(report, UPDATE_NOT_WRITTEN, GetLastError());
        return false;
    }
    bool left = DownloadPackage(place, settings, description, file.Get(), report);
    if (left && !FlushFileBuffers(file.Get())) {
        Fail(report, UPDATE_NOT_WRITTEN, GetLastError());
        left = false;
    }
    left = CloseHandle(file.Release()) && left; // closed before the rename, and its failure counts
    // The record of the package there goes before the file it names, and comes back
    // when that file stays.
    ReleaseVersion before;
    bool recorded = ReadVersionSetting(VALUE_UPDATE_PENDING, &before);
    if (left && !(MakeNewerThanProgram(place, download) && DeleteSetting(SETTINGS_KEY, VALUE_UPDATE_PENDING) &&
                  MoveFileExW(download, pending, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
        Fail(report, UPDATE_NOT_WRITTEN, GetLastError());
        if (recorded)
            WriteVersionSetting(VALUE_UPDATE_PENDING, before);
        left = false;
    }
    if (!left) {
        DeleteFileW(download);
        return false;
    }
    WriteVersionSetting(VALUE_UPDATE_PENDING, description.version);
    report->status = UPDATES_PENDING;
    report->version = description.version;
    report->downloaded = true;
    return true;
}

// The pending package is the described one already: the same version, as long and of
// the same hash.
bool AlreadyPending(const UpdatePlace& place, const UpdateDescription& description)
{
    WCHAR path[MAX_PATH];
    ReleaseVersion pending;
    if (!PendingVersion(place, &pending) || CompareVersions(pending, description.version) ||
        !FolderPath(place, kPackageFileName, path))
        return false;
    OwnedFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
    unsigned char hash[kSha256Bytes];
    LONG status;
    return file && HashFile(file.Get(), description.size, hash, &status) == CHECK_PASSED &&
           !memcmp(hash, description.sha256, kSha256Bytes);
}

// What a verified release means here: the same or an older version is no update; a
// package pending for it (or for a newer one) stays; else it is downloaded.
void TakeRelease(const UpdatePlace& place, const FetchSettings& settings, const UpdateDescription& description,
                 UpdateReport* report)
{
    int newer = CompareVersions(description.version, place.installed);
    ReleaseVersion pending;
    if (newer <= 0) {
        report->status = newer ? UPDATES_SERVER_OLDER : UPDATES_LATEST;
        report->version = description.version;
    } else if (PendingVersion(place, &pending) && CompareVersions(pending, description.version) > 0) {
        report->status = UPDATES_PENDING; // never replaced by an older one, say a description replayed
        report->version = pending;
    } else if (AlreadyPending(place, description)) {
        report->status = UPDATES_PENDING;
        report->version = description.version;
    } else {
        LeavePackage(place, settings, description, report);
    }
}

// A 304 for the description last verified at this address: its version decides, unless
// a download of it is still due. False when the description must be asked for whole.
bool TakeUnchanged(const UpdatePlace& place, const ReleaseVersion& described, UpdateReport* report)
{
    int newer = CompareVersions(described, place.installed);
    ReleaseVersion pending;
    if (newer <= 0) {
        report->status = newer ? UPDATES_SERVER_OLDER : UPDATES_LATEST;
        report->version = described;
        return true;
    }
    if (!PendingVersion(place, &pending) || CompareVersions(pending, described) < 0)
        return false;
    report->status = UPDATES_PENDING;
    report->version = pending;
    return true;
}

// The description checked whole: well formed, signed with the built-in key.
bool VerifyDescription(const FetchAnswer& answer, UpdateDescription* description, UpdateReport* report)
{
    DescriptionProblem problem = ReadUpdateDescription(answer.body.Get(), answer.size, description);
    if (problem != DESCRIPTION_OK) {
        Fail(report, UPDATE_BAD_DESCRIPTION, problem);
        return false;
    }
    LONG status = 0;
    switch (VerifySignature(kUpdatePublicKey, answer.body.Get(), description->signedBytes, description->signature,
                            &status)) {
    case CHECK_PASSED:
        return true;
    case CHECK_FAILED:
        Fail(report, UPDATE_BAD_SIGNATURE, 0);
        return false;
    default:
        Fail(report, UPDATE_CHECK_UNAVAILABLE, static_cast<DWORD>(status));
        return false;
    }
}

// One check, its outcome in the report (none when cancelled). True when it came to a
// conclusion, false when it failed and is to be tried again sooner.
} // namespace

bool CheckForRelease(const UpdatePlace& place, UpdateReport* report)
{
    FetchSettings settings;
    FetchAnswer answer = FetchAnswer();
    answer.outcome = ReadFetchSettings(VALUE_UPDATE_URL, &settings);
    if (answer.outcome == FETCH_NO_URL) {
        report->status = UPDATES_NO_ADDRESS;
        return true;
    }
    const FetchBody body = { kMaxDescriptionBytes, nullptr, kDescriptionWholeMs };
    ReleaseVersion described;
    WCHAR since[kGmtTextUnits];
    if (answer.outcome == FETCH_OK && StoredDescription(settings.url, &described, since)) {
        Fetch(settings, since, false, place.cancel, &answer, &body);
        if (answer.outcome == FETCH_OK && answer.status == 304 && TakeUnchanged(place, described, report))
            return true;
    }
    if (answer.outcome == FETCH_OK && answer.status != 200)
        Fetch(settings, L"", false, place.cancel, &answer, &body);
    UpdateDescription description;
    switch (answer.outcome) {
    case FETCH_OK:
        break;
    case FETCH_CANCELLED:
        return false;
    case FETCH_BAD_URL:
        Fail(report, UPDATE_BAD_ADDRESS, 0);
        return false;
    case FETCH_TOO_BIG:
        Fail(report, UPDATE_DESCRIPTION_TOO_BIG, 0);
        ForgetDescription();
        return false;
    default:
        FailFetch(report, answer, settings);
        return false;
    }
    if (!VerifyDescription(answer, &description, report)) {
        ForgetDescription();
        return false;
    }
    RememberDescription(settings.url, description.version, answer.lastModified);
    TakeRelease(place, settings, description, report);
    return report->status != UPDATES_FAILED;
}

void NotePendingAtStart(const UpdatePlace& place, UpdateReport* report)
{
    WCHAR download[MAX_PATH];
    if (FolderPath(place, kDownloadFileName, download))
        DeleteFileW(download); // a download cut off by the end of the last run
    if (PendingVersion(place, &report->version))
        report->status = UPDATES_PENDING;
}
