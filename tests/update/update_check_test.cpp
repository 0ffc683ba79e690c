// The updater's checks with the platform's cryptography (CNG under Wine), against
// descriptions that scripts/publish-update.sh signs with the tests' throwaway key
// (made in the build folder; base.dll carries its public half, update_build.h): a
// good signature, a damaged one, another key's, a good one over another text, and
// the package's SHA-256 as openssl computed it for the description.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/update_check.h"
#include "base/update_description.h"
#include "test_support.h"
#include "update_build.h"
#include "update_support.h"

using namespace qt;

namespace {

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!BuiltWithTestKey())
            GTEST_SKIP() << "base.dll was not built with the tests' update key (QUORNEL_UPDATE_TEST_KEY)";
        dir = MakeWorkDir(L"update_check_" +
                          Utf8ToWide(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        package = dir + L"\\package.exe";
        std::string bytes(150000, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        ASSERT_TRUE(WriteFileBytes(package, bytes));
    }

    // Read whole, then checked against the key built into base.dll.
    CheckResult Verify(const std::string& text)
    {
        UpdateDescription description;
        EXPECT_EQ(DESCRIPTION_OK,
                  ReadUpdateDescription(text.data(), static_cast<unsigned>(text.size()), &description))
            << text;
        LONG status = 0;
        return VerifySignature(kUpdatePublicKey, text.data(), description.signedBytes, description.signature,
                               &status);
    }

    std::wstring dir, package;
};

TEST_F(UpdateCheck, OnlyTheBuiltInKeysSignatureOverExactlyThisTextPasses)
{
    std::string good = PublishUpdate(package, "package.exe", "1.3.0");
    std::string newer = PublishUpdate(package, "package.exe", "1.4.0");
    std::string other = PublishUpdate(package, "package.exe", "1.3.0", true);
    ASSERT_FALSE(good.empty() || newer.empty() || other.empty());
    EXPECT_EQ(CHECK_PASSED, Verify(good));
    EXPECT_EQ(CHECK_PASSED, Verify(newer));

    EXPECT_EQ(CHECK_FAILED, Verify(other)) << "another key's signature";
    EXPECT_EQ(CHECK_FAILED, Verify(SignedPart(newer) + SignatureLine(good))) << "a good signature over another text";
    std::string changed = good;
    changed.replace(changed.find("version: 1.3.0"), 14, "version: 1.3.1");
    EXPECT_EQ(CHECK_FAILED, Verify(changed)) << "the text changed after signing";
    // One bit of r, then of s, flipped (their base64 characters stay in the alphabet).
    for (size_t at : { size_t(11), size_t(11 + 50) }) {
        std::string damaged = good;
        char& c = damaged[damaged.rfind("signature: ") + at];
        c = c == 'A' ? 'B' : 'A';
        EXPECT_EQ(CHECK_FAILED, Verify(damaged)) << at;
    }
    // r and s out of their range: zero, and all bits set.
    for (const std::string& signature : { std::string(86, 'A') + "==", std::string(85, '/') + "w==" })
        EXPECT_EQ(CHECK_FAILED, Verify(SignedPart(good) + "signature: " + signature + "\n")) << signature;
}

TEST_F(UpdateCheck, ThePackagesHashIsTheDescribedOne)
{
    std::string text = PublishUpdate(package, "package.exe", "1.3.0");
    UpdateDescription description;
    ASSERT_EQ(DESCRIPTION_OK, ReadUpdateDescription(text.data(), static_cast<unsigned>(text.size()), &description));
    ASSERT_EQ(150000u, description.size);
    HANDLE file = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    unsigned char hash[kSha256Bytes] = {};
    LONG status = 0;
    SetFilePointer(file, 1000, nullptr, FILE_BEGIN); // read from the start whatever the position
    EXPECT_EQ(CHECK_PASSED, HashFile(file, description.size, hash, &status));
    EXPECT_EQ(0, memcmp(hash, description.sha256, kSha256Bytes));
    EXPECT_EQ(CHECK_FAILED, HashFile(file, description.size - 1, hash, &status)) << "longer than said";
    EXPECT_EQ(CHECK_FAILED, HashFile(file, description.size + 1, hash, &status)) << "shorter than said";
    CloseHandle(file);

    std::string bytes = ReadFileBytes(package);
    bytes[75000] ^= 1;
    ASSERT_TRUE(WriteFileBytes(package, bytes));
    file = CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(CHECK_PASSED, HashFile(file, description.size, hash, &status));
    EXPECT_NE(0, memcmp(hash, description.sha256, kSha256Bytes)) << "one bit changed";
    CloseHandle(file);

    unsigned char first[16] = {}, second[16] = {};
    ASSERT_TRUE(RandomBytes(first, sizeof(first)));
    ASSERT_TRUE(RandomBytes(second, sizeof(second)));
    EXPECT_NE(0, memcmp(first, second, sizeof(first)));
}

} // namespace
