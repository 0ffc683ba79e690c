// Resource names and ids of the Host, shared by host.rc and the code.
#pragma once

// Tray menu "sample": one popup "TrayContext" with these commands.
#define IDM_CUSTOM_WALLPAPER 100 // handled, but not an item of the shipped menu
#define IDM_PROXY_SETTINGS   200
#define IDM_COLLAPSE         210
#define IDM_SWITCH_SKIN      220
#define IDM_EXIT             300

#define IDI_HOST_PROGRAM     1
