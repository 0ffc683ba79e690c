#include "update_description.h"

namespace {

enum Key { KEY_FORMAT, KEY_VERSION, KEY_PACKAGE, KEY_SIZE, KEY_SHA256, KEY_SIGNATURE, KEY_COUNT };
const char* const kKeys[KEY_COUNT] = { "quornel-update", "version", "package", "size", "sha256", "signature" };
const char kFormat[] = "1";
const unsigned kMaxVersionPart = 65535;
const int kSignatureTextLength = 88; // 64 bytes: 21 groups of four characters, then "xx=="
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// A part of the description: where it starts and how many bytes it has.
struct Span {
    const char* at;
    unsigned length;
};

bool Equals(Span span, const char* text)
{
    unsigned i = 0;
    for (; i < span.length; ++i) {
        if (span.at[i] != text[i])
            return false; // also where text ends first
    }
    return text[i] == 0;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-';
}

// A decimal number without leading zeros (but "0" itself), at most `most`.
bool ReadNumber(Span span, unsigned most, unsigned* number)
{
    if (!span.length || span.length > 10 || (span.at[0] == '0' && span.length > 1))
        return false;
    unsigned long long value = 0;
    for (unsigned i = 0; i < span.length; ++i) {
        if (!IsDigit(span.at[i]))
            return false;
        value = value * 10 + static_cast<unsigned>(span.at[i] - '0');
    }
    if (value > most)
        return false;
    *number = static_cast<unsigned>(value);
    return true;
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; // lower case only, as the publishing script writes it
}

bool ReadHash(Span span, unsigned char* hash)
{
    if (span.length != 2 * kSha256Bytes)
        return false;
    for (int i = 0; i < kSha256Bytes; ++i) {
        int high = HexValue(span.at[2 * i]), low = HexValue(span.at[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        hash[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return true;
}

int Base64Value(char c)
{
    for (int i = 0; i < 64; ++i) {
        if (kBase64[i] == c)
            return i;
    }
    return -1;
}

// Exactly 88 characters of the standard alphabet, "==" at the end and no bits left
// over: the one text of those 64 bytes.
bool ReadSignature(Span span, unsigned char* signature)
{
    if (span.length != static_cast<unsigned>(kSignatureTextLength) || span.at[86] != '=' || span.at[87] != '=')
        return false;
    unsigned bits = 0;
    int held = 0, written = 0;
    for (int i = 0; i < 86; ++i) {
        int value = Base64Value(span.at[i]);
        if (value < 0)
            return false;
        bits = (bits << 6) | static_cast<unsigned>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            signature[written++] = static_cast<unsigned char>(bits >> held);
            bits &= (1u << held) - 1;
        }
    }
    return written == kSignatureBytes && bits == 0;
}

// The value of one line by its key, into the description.
DescriptionProblem ReadValue(Key key, Span value, UpdateDescription* description)
{
    switch (key) {
    case KEY_FORMAT:
        return Equals(value, kFormat) ? DESCRIPTION_OK : DESCRIPTION_BAD_FORMAT;
    case KEY_VERSION:
        return ReadReleaseVersion(value.at, value.length, &description->version) ? DESCRIPTION_OK
                                                                                : DESCRIPTION_BAD_VERSION;
    case KEY_PACKAGE:
        if (value.length >= static_cast<unsigned>(kPackageReferenceUnits))
            return DESCRIPTION_BAD_PACKAGE;
        for (unsigned i = 0; i < value.length; ++i)
            description->package[i] = value.at[i];
        description->package[value.length] = 0;
        return DESCRIPTION_OK;
    case KEY_SIZE: {
        unsigned size = 0;
        if (!ReadNumber(value, 0xFFFFFFFFu, &size) || !size)
            return DESCRIPTION_BAD_SIZE;
        if (size > kMaxPackageBytes)
            return DESCRIPTION_PACKAGE_TOO_BIG;
        description->size = size;
        return DESCRIPTION_OK;
    }
    case KEY_SHA256:
        return ReadHash(value, description->sha256) ? DESCRIPTION_OK : DESCRIPTION_BAD_HASH;
    case KEY_SIGNATURE:
        return ReadSignature(value, description->signature) ? DESCRIPTION_OK : DESCRIPTION_BAD_SIGNATURE;
    default:
        return DESCRIPTION_UNKNOWN_KEY;
    }
}

// "key: value": a key of lower-case letters, digits and hyphens, one colon, one
// blank, then a value of printable characters without blanks.
bool SplitLine(Span line, Span* key, Span* value)
{
    unsigned colon = 0;
    while (colon < line.length && IsKeyCharacter(line.at[colon]))
        ++colon;
    if (!colon || colon + 2 >= line.length || line.at[colon] != ':' || line.at[colon + 1] != ' ')
        return false;
    *key = Span{ line.at, colon };
    *value = Span{ line.at + colon + 2, line.length - colon - 2 };
    for (unsigned i = 0; i < value->length; ++i) {
        if (value->at[i] == ' ')
            return false;
    }
    return true;
}

} // namespace

DescriptionProblem ReadUpdateDescription(const char* bytes, unsigned size, UpdateDescription* description)
{
    *description = UpdateDescription();
    if (size > kMaxDescriptionBytes)
        return DESCRIPTION_TOO_BIG;
    if (!size || bytes[size - 1] != '\n')
        return DESCRIPTION_NOT_TEXT;
    for (unsigned i = 0; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c != '\n' && (c < 0x20 || c > 0x7E))
            return DESCRIPTION_NOT_TEXT;
    }
    bool seen[KEY_COUNT] = {};
    for (unsigned at = 0, lines = 0; at < size; ++lines) {
        if (seen[KEY_SIGNATURE])
            return DESCRIPTION_NOT_SIGNED; // a line after the signature, which it would not cover
        unsigned end = at;
        while (bytes[end] != '\n')
            ++end; // the last byte is a line feed
        Span key, value;
        if (!SplitLine(Span{ bytes + at, end - at }, &key, &value))
            return lines ? DESCRIPTION_BAD_LINE : DESCRIPTION_BAD_FORMAT;
        int found = 0;
        while (found < KEY_COUNT && !Equals(key, kKeys[found]))
            ++found;
        if (!lines && found != KEY_FORMAT)
            return DESCRIPTION_BAD_FORMAT;
        if (found == KEY_COUNT)
            return DESCRIPTION_UNKNOWN_KEY;
        if (seen[found])
            return DESCRIPTION_REPEATED_KEY;
        seen[found] = true;
        if (found == KEY_SIGNATURE)
            description->signedBytes = at;
        DescriptionProblem problem = ReadValue(static_cast<Key>(found), value, description);
        if (problem != DESCRIPTION_OK)
            return problem;
        at = end + 1;
    }
    if (!seen[KEY_SIGNATURE])
        return DESCRIPTION_NOT_SIGNED;
    for (int key = 0; key < KEY_COUNT; ++key) {
        if (!seen[key])
            return DESCRIPTION_MISSING_KEY;
    }
    return DESCRIPTION_OK;
}

bool ReadReleaseVersion(const char* text, unsigned length, ReleaseVersion* version)
{
    ReleaseVersion read = {};
    unsigned start = 0;
    for (int part = 0; part < 3; ++part) {
        unsigned end = start;
        while (end < length && text[end] != '.')
            ++end;
        if ((part < 2) != (end < length))
            return false; // a dot missing after the first two, or one after the third
        unsigned number = 0;
        if (!ReadNumber(Span{ text + start, end - start }, kMaxVersionPart, &number))
            return false;
        read.part[part] = static_cast<unsigned short>(number);
        start = end + 1;
    }
    *version = read;
    return true;
}

int CompareVersions(const ReleaseVersion& a, const ReleaseVersion& b)
{
    for (int part = 0; part < 3; ++part) {
        if (a.part[part] != b.part[part])
            return a.part[part] < b.part[part] ? -1 : 1;
    }
    return 0;
}

void FormatReleaseVersion(const ReleaseVersion& version, wchar_t* text)
{
    int at = 0;
    for (int part = 0; part < 3; ++part) {
        if (part)
            text[at++] = L'.';
        wchar_t digits[5];
        int count = 0;
        unsigned number = version.part[part];
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + number % 10);
            number /= 10;
        } while (number);
        while (count)
            text[at++] = digits[--count];
    }
    text[at] = 0;
}
