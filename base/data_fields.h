// The cells of the data file's lines, as every table of the reader takes them: plain
// text between commas, never quoted, never trimmed.
#pragma once

#include <windows.h>

#include "tournament_data.h"

struct Field {
    const char* text;
    int length;
};

// `length` bytes at `text` equal the whole of `literal`.
bool Same(const char* text, int length, const char* literal);
bool FieldIs(const Field& field, const char* literal);

// Splits at commas; false when the count differs from `count`.
bool SplitFields(const char* line, int length, Field* fields, int count);

// `digits` decimal digits at text.
bool ReadDigits(const char* text, int digits, int* value);

// A decimal number of 1 to `maxDigits` digits, no sign, no blanks.
bool ReadNumber(const Field& field, int maxDigits, int* value);

// "0" or "1".
bool ReadFlag(const Field& field, bool* value);

// A Russian name: 1 to kNameUnits - 1 UTF-16 units of valid UTF-8.
bool ReadName(const Field& field, WCHAR* name);

// A FIFA code, three capital letters.
bool ReadCode(const Field& field, char* code);

// The index of the team with the field's code among the first `teamCount` teams, or kNoTeam.
int FindTeam(const TournamentData& data, int teamCount, const Field& field);
