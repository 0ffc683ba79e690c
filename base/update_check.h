// What the updater checks with the platform's own cryptography (CNG, bcrypt.dll
// loaded when first needed, so that the Host's start never pays for it): a release
// description's ECDSA P-256 signature with SHA-256 against the public key built into
// base.dll, and a package file's SHA-256. Runs on the updater's worker.
#pragma once

#include <windows.h>

#include "update_description.h"

// The public key as the build carries it: the point's X and Y, 32 bytes each.
const int kPublicKeyBytes = 64;

enum CheckResult {
    CHECK_PASSED,
    CHECK_FAILED,      // the signature or the hash does not match
    CHECK_UNAVAILABLE, // CNG missing or failing (its status in *status), or the file unreadable
};

// True when signature (r || s) is the key's over SHA-256 of bytes[size].
CheckResult VerifySignature(const unsigned char* publicKey, const char* bytes, DWORD size,
                            const unsigned char* signature, LONG* status);

// SHA-256 of the whole open file, read from its start into hash[kSha256Bytes]; the
// file must be exactly `size` bytes long (CHECK_FAILED otherwise).
CheckResult HashFile(HANDLE file, DWORD size, unsigned char* hash, LONG* status);

// Random bytes from the system's generator; false when it cannot give them.
bool RandomBytes(void* bytes, DWORD size);
