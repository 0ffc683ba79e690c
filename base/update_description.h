// The release description the updater fetches from the update address, and the rule
// of versions. A description is a few lines of printable ASCII, each "key: value" and
// a line feed, read strictly and whole:
//
//   quornel-update: 1
//   version: 1.3.0
//   package: tessmark_quornel-1.3.0-setup.exe
//   size: 301568
//   sha256: <64 lower-case hex digits>
//   signature: <base64 of the 64 bytes r || s>
//
// The format line first, the signature last; the four others once each, in any order.
// The signature (ECDSA P-256 with SHA-256) covers every byte before its line. Plain
// code over bytes without a system header, so that it builds and runs anywhere (a
// fuzzer on the build machine included).
#pragma once

const unsigned kMaxDescriptionBytes = 4096;
const unsigned kMaxPackageBytes = 16 * 1024 * 1024;
const int kSha256Bytes = 32;
const int kSignatureBytes = 64;        // r || s, 32 bytes each, big-endian
const int kPackageReferenceUnits = 1024; // the package's address as written, terminator included
const int kVersionTextUnits = 18;      // "65535.65535.65535" and the terminator

struct ReleaseVersion {
    unsigned short part[3]; // major, minor, patch
};

struct UpdateDescription {
    ReleaseVersion version;
    char package[kPackageReferenceUnits]; // absolute, or relative to the description's address
    unsigned size;                        // 1 to kMaxPackageBytes
    unsigned char sha256[kSha256Bytes];
    unsigned char signature[kSignatureBytes];
    unsigned signedBytes;                    // how many of the first bytes the signature covers
};

// Why a description was refused; the first problem found wins.
enum DescriptionProblem {
    DESCRIPTION_OK,
    DESCRIPTION_TOO_BIG,          // over kMaxDescriptionBytes
    DESCRIPTION_NOT_TEXT,         // a byte that is no printable ASCII or line feed, or no line feed at the end
    DESCRIPTION_BAD_FORMAT,       // the first line is not "quornel-update: 1"
    DESCRIPTION_BAD_LINE,         // a line that is not "key: value"
    DESCRIPTION_UNKNOWN_KEY,
    DESCRIPTION_REPEATED_KEY,
    DESCRIPTION_MISSING_KEY,
    DESCRIPTION_BAD_VERSION,
    DESCRIPTION_BAD_PACKAGE,      // an address too long
    DESCRIPTION_BAD_SIZE,
    DESCRIPTION_PACKAGE_TOO_BIG,  // a size over kMaxPackageBytes
    DESCRIPTION_BAD_HASH,
    DESCRIPTION_BAD_SIGNATURE,    // not the base64 of 64 bytes
    DESCRIPTION_NOT_SIGNED,       // no signature line, or lines after it
    DESCRIPTION_PROBLEM_COUNT
};

// Reads bytes[size] into *description (zeroed first; filled only as far as read).
DescriptionProblem ReadUpdateDescription(const char* bytes, unsigned size, UpdateDescription* description);

// "1.3.0": three decimal numbers of 0 to 65535 without leading zeros, exactly `length`
// characters. False (version untouched) for anything else.
bool ReadReleaseVersion(const char* text, unsigned length, ReleaseVersion* version);
// Negative, zero or positive as a is older than, the same as or newer than b.
int CompareVersions(const ReleaseVersion& a, const ReleaseVersion& b);
// "1.3.0" into text[kVersionTextUnits].
void FormatReleaseVersion(const ReleaseVersion& version, wchar_t* text);
