#include "wallpaper.h"

bool CustomWallpaperIsOn(void)
{
    return false;
}

bool TurnCustomWallpaperOn(const WCHAR*)
{
    return false;
}

bool TurnCustomWallpaperOff(void)
{
    return false;
}
