// The release description's reader (base/update_description.cpp ReadUpdateDescription)
// on any bytes, as a server at the update address could send them, at the sizes the
// engine passes (its download stops at kMaxDescriptionBytes) and one byte more, each
// in a block of exactly its size (an empty one as no block at all). Whatever it
// answers: a problem of the enum, the address terminated in its room, the version
// formatted into its room, read back as itself and ordered as its numbers are. A
// description it takes is exactly what the header promises: the format line first,
// the four fields once each in any order, the signature last, covering every byte
// before its line; written out again from the record, its lines are the input's. A
// refusal of the first checks (size, bytes, format line) is the one the input calls
// for, with nothing filled in.
#include "fuzz_support.h"
#include "update_description.h"

namespace {

const char kFormatLine[] = "quornel-update: 1";
const char kSignaturePrefix[] = "signature: ";
const int kLines = 6;
const char kHex[] = "0123456789abcdef";
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct Line {
    const char* at;
    size_t length;
};

bool LineIs(const Line& line, const char* text)
{
    return line.length == strlen(text) && memcmp(line.at, text, line.length) == 0;
}

// The input's first line (without its line feed; the whole input when it has none).
Line FirstLine(const char* bytes, size_t size)
{
    const char* end = static_cast<const char*>(memchr(bytes, '\n', size));
    return Line{ bytes, end ? static_cast<size_t>(end - bytes) : size };
}

// printable ASCII and line feeds, a line feed at the end.
bool IsText(const char* bytes, size_t size)
{
    if (!size || bytes[size - 1] != '\n')
        return false;
    for (size_t i = 0; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c != '\n' && (c < 0x20 || c > 0x7E))
            return false;
    }
    return true;
}

bool AllZero(const UpdateDescription& description)
{
    const unsigned char* byte = reinterpret_cast<const unsigned char*>(&description);
    for (size_t i = 0; i < sizeof(description); ++i) {
        if (byte[i])
            return false;
    }
    return true;
}

// The version as the widget shows it, in a room of exactly kVersionTextUnits: it is
// terminated there and reads back as the same version. Gives its length.
size_t CheckVersion(const ReleaseVersion& version, char* ascii)
{
    wchar_t* text = NewExact<wchar_t>(kVersionTextUnits);
    FormatReleaseVersion(version, text);
    FUZZ_CHECK(TerminatedWithin(text, kVersionTextUnits));
    size_t length = 0;
    for (; text[length]; ++length) {
        FUZZ_CHECK(text[length] == L'.' || (text[length] >= L'0' && text[length] <= L'9'));
        ascii[length] = static_cast<char>(text[length]);
    }
    ascii[length] = 0;
    free(text);
    ReleaseVersion read = { { 1, 2, 3 } };
    FUZZ_CHECK(ReadReleaseVersion(ascii, static_cast<unsigned>(length), &read));
    FUZZ_CHECK(CompareVersions(read, version) == 0 && CompareVersions(version, read) == 0);
    return length;
}

// Versions order as their three numbers do, and either way round alike.
void CheckOrder(const ReleaseVersion& a, const ReleaseVersion& b)
{
    int expected = 0;
    for (int part = 0; part < 3 && !expected; ++part)
        expected = a.part[part] < b.part[part] ? -1 : a.part[part] > b.part[part] ? 1 : 0;
    int ab = CompareVersions(a, b), ba = CompareVersions(b, a);
    FUZZ_CHECK((ab > 0) - (ab < 0) == expected && (ba > 0) - (ba < 0) == -expected);
}

// The record written out again as the publishing script writes it: the four field
// lines and the signature's, each in its own block of exactly its length.
void FieldLines(const UpdateDescription& description, const char* version, char* lines[5])
{
    char* text = NewExact<char>(32);
    snprintf(text, 32, "version: %s", version);
    lines[0] = text;

    size_t length = strlen(description.package);
    text = NewExact<char>(length + 10);
    memcpy(text, "package: ", 9);
    memcpy(text + 9, description.package, length + 1);
    lines[1] = text;

    text = NewExact<char>(32);
    snprintf(text, 32, "size: %u", description.size);
    lines[2] = text;

    text = NewExact<char>(8 + 2 * kSha256Bytes + 1);
    memcpy(text, "sha256: ", 8);
    for (int i = 0; i < kSha256Bytes; ++i) {
        text[8 + 2 * i] = kHex[description.sha256[i] >> 4];
        text[8 + 2 * i + 1] = kHex[description.sha256[i] & 15];
    }
    text[8 + 2 * kSha256Bytes] = 0;
    lines[3] = text;

    // 64 bytes: 21 groups of three, then one byte and "==".
    text = NewExact<char>(11 + 88 + 1);
    memcpy(text, kSignaturePrefix, 11);
    char* out = text + 11;
    const unsigned char* in = description.signature;
    for (int i = 0; i < 21; ++i, in += 3) {
        unsigned bits = in[0] << 16 | in[1] << 8 | in[2];
        for (int k = 3; k >= 0; --k)
            *out++ = kBase64[(bits >> (6 * k)) & 63];
    }
    *out++ = kBase64[in[0] >> 2];
    *out++ = kBase64[(in[0] & 3) << 4];
    *out++ = '=';
    *out++ = '=';
    *out = 0;
    lines[4] = text;
}

void CheckTaken(const char* bytes, size_t size, const UpdateDescription& description, const char* version)
{
    FUZZ_CHECK(description.size >= 1 && description.size <= kMaxPackageBytes);
    size_t packageLength = strlen(description.package);
    FUZZ_CHECK(packageLength >= 1);
    for (size_t i = 0; i < packageLength; ++i)
        FUZZ_CHECK(description.package[i] > ' ' && description.package[i] <= '~');

    // Six lines, the format's first and the signature's last.
    Line lines[kLines];
    size_t count = 0;
    for (size_t at = 0; at < size; ++count) {
        FUZZ_CHECK(count < kLines);
        const char* end = static_cast<const char*>(memchr(bytes + at, '\n', size - at));
        FUZZ_CHECK(end != nullptr);
        lines[count] = Line{ bytes + at, static_cast<size_t>(end - (bytes + at)) };
        at = static_cast<size_t>(end - bytes) + 1;
    }
    FUZZ_CHECK(count == kLines);
    FUZZ_CHECK(LineIs(lines[0], kFormatLine));
    FUZZ_CHECK(description.signedBytes == static_cast<size_t>(lines[kLines - 1].at - bytes));

    // The record written out again gives the signature's line and the four between,
    // each once.
    char* expected[5];
    FieldLines(description, version, expected);
    FUZZ_CHECK(LineIs(lines[kLines - 1], expected[4]));
    bool used[4] = {};
    for (int i = 0; i < 4; ++i) {
        int found = -1;
        for (int k = 0; k < 4; ++k) {
            if (!used[k] && LineIs(lines[1 + k], expected[i])) {
                found = k;
                break;
            }
        }
        FUZZ_CHECK(found >= 0);
        used[found] = true;
    }
    for (char* line : expected)
        free(line);
}

// A version to order the read one against, from the input's first bytes.
ReleaseVersion Pivot(const uint8_t* input, size_t size)
{
    ReleaseVersion pivot = {};
    for (size_t i = 0; i < 6 && i < size; ++i)
        pivot.part[i / 2] = static_cast<unsigned short>(pivot.part[i / 2] << 8 | input[i]);
    return pivot;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size)
{
    if (size > kMaxDescriptionBytes + 1)
        return 0; // one byte over the limit is enough to see it refused
    char* bytes = size ? NewExact<char>(size) : nullptr;
    if (size)
        memcpy(bytes, input, size);
    UpdateDescription* description = NewExact<UpdateDescription>(1);
    memset(description, 0xA5, sizeof(*description));
    DescriptionProblem problem = ReadUpdateDescription(bytes, static_cast<unsigned>(size), description);

    FUZZ_CHECK(problem >= DESCRIPTION_OK && problem < DESCRIPTION_PROBLEM_COUNT);
    FUZZ_CHECK(memchr(description->package, 0, kPackageReferenceUnits) != nullptr);
    FUZZ_CHECK(description->size <= kMaxPackageBytes);
    FUZZ_CHECK(description->signedBytes < size || description->signedBytes == 0);
    char version[kVersionTextUnits];
    CheckVersion(description->version, version);
    CheckOrder(description->version, Pivot(input, size));
    CheckOrder(description->version, description->version);

    bool text = IsText(bytes, size);
    if (size > kMaxDescriptionBytes)
        FUZZ_CHECK(problem == DESCRIPTION_TOO_BIG);
    else if (!text)
        FUZZ_CHECK(problem == DESCRIPTION_NOT_TEXT);
    else
        FUZZ_CHECK((problem == DESCRIPTION_BAD_FORMAT) == !LineIs(FirstLine(bytes, size), kFormatLine));
    if (problem == DESCRIPTION_TOO_BIG || problem == DESCRIPTION_NOT_TEXT || problem == DESCRIPTION_BAD_FORMAT)
        FUZZ_CHECK(AllZero(*description));

    if (problem == DESCRIPTION_OK) {
        CheckTaken(bytes, size, *description, version);
    }
    free(description);
    free(bytes);
    return 0;
}
