#include "utf8_text.h"

int Utf8ToUtf16(const char* bytes, int count, WCHAR* units, int room)
{
    if (count <= 0 || room <= 0)
        return 0;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, count, units, room);
}
