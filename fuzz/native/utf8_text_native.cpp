// Utf8ToUtf16 (base/utf8_text.h) for the native fuzz build: a strict decoder with the
// platform's rules for MB_ERR_INVALID_CHARS (no stray or missing continuation byte, no
// overlong form, no surrogate, nothing past U+10FFFF; 0 when the result does not fit).
#include "utf8_text.h"

int Utf8ToUtf16(const char* bytes, int count, WCHAR* units, int room)
{
    if (count <= 0 || room <= 0)
        return 0;
    int used = 0;
    for (int i = 0; i < count;) {
        unsigned lead = static_cast<unsigned char>(bytes[i]);
        unsigned point, least;
        int more;
        if (lead < 0x80) {
            point = lead, least = 0, more = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            point = lead & 0x1F, least = 0x80, more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            point = lead & 0x0F, least = 0x800, more = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            point = lead & 0x07, least = 0x10000, more = 3;
        } else {
            return 0;
        }
        if (count - i - 1 < more)
            return 0;
        for (int k = 1; k <= more; ++k) {
            unsigned next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return 0;
            point = point << 6 | (next & 0x3F);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return 0;
        i += 1 + more;
        int need = point >= 0x10000 ? 2 : 1;
        if (used + need > room)
            return 0;
        if (need == 2) {
            point -= 0x10000;
            units[used++] = static_cast<WCHAR>(0xD800 + (point >> 10));
            units[used++] = static_cast<WCHAR>(0xDC00 + (point & 0x3FF));
        } else {
            units[used++] = static_cast<WCHAR>(point);
        }
    }
    return used;
}
