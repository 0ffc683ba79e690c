#include "update_check.h"

#include <bcrypt.h>

#include "owners.h"
#include "system_library.h"

namespace {

const DWORD kChunkBytes = 64 * 1024; // a file is hashed a piece at a time

// What BCRYPT_SUCCESS says, which not every SDK's bcrypt.h defines.
bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

#define CNG_FUNCTIONS(X)                                                                                              \
    X(OpenAlgorithmProvider, BCryptOpenAlgorithmProvider)                                                              \
    X(CloseAlgorithmProvider, BCryptCloseAlgorithmProvider)                                                            \
    X(CreateHash, BCryptCreateHash)                                                                                    \
    X(HashData, BCryptHashData)                                                                                        \
    X(FinishHash, BCryptFinishHash)                                                                                    \
    X(DestroyHash, BCryptDestroyHash)                                                                                  \
    X(ImportKeyPair, BCryptImportKeyPair)                                                                              \
    X(DestroyKey, BCryptDestroyKey)                                                                                    \
    X(VerifySignature, BCryptVerifySignature)                                                                          \
    X(GenRandom, BCryptGenRandom)

struct Cng {
#define DECLARE_FUNCTION(member, name) decltype(&::name) member;
    CNG_FUNCTIONS(DECLARE_FUNCTION)
#undef DECLARE_FUNCTION
};

// bcrypt.dll from the system folder, and its functions; false when one is missing.
bool LoadCng(Cng* api)
{
    HMODULE module = SystemLibrary(L"bcrypt.dll");
#define FIND_FUNCTION(member, name)                                                                                   \
    if (!BindFunction(module, #name, &api->member))                                                                    \
        return false;
    CNG_FUNCTIONS(FIND_FUNCTION)
#undef FIND_FUNCTION
    return true;
}

// One check's CNG objects, each let go at the end of the scope; `status` keeps the
// first failure.
class CngScope {
public:
    CngScope() : loaded_(LoadCng(&api_)) {}
    ~CngScope()
    {
        if (key_)
            api_.DestroyKey(key_);
        if (hash_)
            api_.DestroyHash(hash_);
        if (ecdsa_)
            api_.CloseAlgorithmProvider(ecdsa_, 0);
        if (sha_)
            api_.CloseAlgorithmProvider(sha_, 0);
    }
    CngScope(const CngScope&) = delete;
    CngScope& operator=(const CngScope&) = delete;

    const Cng& Api() const { return api_; }
    LONG Status() const { return loaded_ ? status_ : static_cast<LONG>(ERROR_PROC_NOT_FOUND); }
    // False, with the status kept, when CNG failed.
    bool Ok(NTSTATUS status)
    {
        if (Succeeded(status))
            return true;
        status_ = status;
        return false;
    }

    bool StartHash(void)
    {
        return loaded_ && Ok(api_.OpenAlgorithmProvider(&sha_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
               Ok(api_.CreateHash(sha_, &hash_, nullptr, 0, nullptr, 0, 0));
    }
    bool Hash(const void* bytes, DWORD size)
    {
        return Ok(api_.HashData(hash_, static_cast<PUCHAR>(const_cast<void*>(bytes)), size, 0));
    }
    bool FinishHash(unsigned char* digest) { return Ok(api_.FinishHash(hash_, digest, kSha256Bytes, 0)); }

    bool ImportPublicKey(const unsigned char* point)
    {
        BYTE blob[sizeof(BCRYPT_ECCKEY_BLOB) + kPublicKeyBytes];
        BCRYPT_ECCKEY_BLOB* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob);
        header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
        header->cbKey = kPublicKeyBytes / 2;
        CopyMemory(blob + sizeof(*header), point, kPublicKeyBytes);
        return loaded_ && Ok(api_.OpenAlgorithmProvider(&ecdsa_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) &&
               Ok(api_.ImportKeyPair(ecdsa_, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key_, blob, sizeof(blob), 0));
    }
    BCRYPT_KEY_HANDLE Key() const { return key_; }

private:
    Cng api_;
    bool loaded_;
    LONG status_ = 0;
    BCRYPT_ALG_HANDLE sha_ = nullptr;
    BCRYPT_ALG_HANDLE ecdsa_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
    BCRYPT_KEY_HANDLE key_ = nullptr;
};

} // namespace

CheckResult VerifySignature(const unsigned char* publicKey, const char* bytes, DWORD size,
                            const unsigned char* signature, LONG* status)
{
    CngScope cng;
    unsigned char digest[kSha256Bytes];
    if (!cng.StartHash() || !cng.Hash(bytes, size) || !cng.FinishHash(digest) || !cng.ImportPublicKey(publicKey)) {
        *status = cng.Status();
        return CHECK_UNAVAILABLE;
    }
    NTSTATUS verified = cng.Api().VerifySignature(cng.Key(), nullptr, digest, kSha256Bytes,
                                                  const_cast<PUCHAR>(signature), kSignatureBytes, 0);
    *status = verified;
    // Any refusal counts as a bad signature: a key or a signature CNG cannot take is
    // as good as a wrong one.
    return Succeeded(verified) ? CHECK_PASSED : CHECK_FAILED;
}

CheckResult HashFile(HANDLE file, DWORD size, unsigned char* hash, LONG* status)
{
    CngScope cng;
    OwnedHeap<BYTE> chunk = NewOnHeap<BYTE>(kChunkBytes);
    LARGE_INTEGER start = {};
    if (!chunk || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN) || !cng.StartHash()) {
        *status = chunk ? cng.Status() : static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
        return CHECK_UNAVAILABLE;
    }
    DWORD total = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk.Get(), kChunkBytes, &read, nullptr)) {
            *status = static_cast<LONG>(GetLastError());
            return CHECK_UNAVAILABLE;
        }
        if (!read)
            break;
        total += read;
        if (total > size)
            return CHECK_FAILED;
        if (!cng.Hash(chunk.Get(), read)) {
            *status = cng.Status();
            return CHECK_UNAVAILABLE;
        }
    }
    if (total != size)
        return CHECK_FAILED;
    if (!cng.FinishHash(hash)) {
        *status = cng.Status();
        return CHECK_UNAVAILABLE;
    }
    return CHECK_PASSED;
}

bool RandomBytes(void* bytes, DWORD size)
{
    Cng api;
    return LoadCng(&api) &&
           Succeeded(api.GenRandom(nullptr, static_cast<PUCHAR>(bytes), size, BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}
