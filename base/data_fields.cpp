#include "data_fields.h"

#include "utf8_text.h"

bool Same(const char* text, int length, const char* literal)
{
    int i = 0;
    for (; i < length; ++i) {
        if (text[i] != literal[i] || !literal[i])
            return false;
    }
    return literal[i] == 0;
}

bool FieldIs(const Field& field, const char* literal)
{
    return Same(field.text, field.length, literal);
}

bool SplitFields(const char* line, int length, Field* fields, int count)
{
    int n = 0;
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && line[i] != ',')
            continue;
        if (n == count)
            return false;
        fields[n].text = line + start;
        fields[n].length = i - start;
        ++n;
        start = i + 1;
    }
    return n == count;
}

bool ReadDigits(const char* text, int digits, int* value)
{
    int result = 0;
    for (int i = 0; i < digits; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0');
    }
    *value = result;
    return true;
}

bool ReadNumber(const Field& field, int maxDigits, int* value)
{
    return field.length >= 1 && field.length <= maxDigits && ReadDigits(field.text, field.length, value);
}

bool ReadFlag(const Field& field, bool* value)
{
    if (field.length != 1 || (field.text[0] != '0' && field.text[0] != '1'))
        return false;
    *value = field.text[0] == '1';
    return true;
}

bool ReadName(const Field& field, WCHAR* name)
{
    if (field.length < 1)
        return false;
    int units = Utf8ToUtf16(field.text, field.length, name, kNameUnits - 1);
    if (units <= 0)
        return false;
    name[units] = 0;
    return true;
}

bool ReadCode(const Field& field, char* code)
{
    if (field.length != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        if (field.text[i] < 'A' || field.text[i] > 'Z')
            return false;
        code[i] = field.text[i];
    }
    code[3] = 0;
    return true;
}

int FindTeam(const TournamentData& data, int teamCount, const Field& field)
{
    char code[4];
    if (!ReadCode(field, code))
        return kNoTeam;
    for (int i = 0; i < teamCount; ++i) {
        if (Same(code, 3, data.teams[i].code))
            return i;
    }
    return kNoTeam;
}
