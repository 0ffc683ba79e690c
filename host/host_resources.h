// Resource names and ids of the Host, shared by host.rc and the code.
#pragma once

// Tray menu "sample": one popup "TrayContext" with these commands.
#define IDM_CUSTOM_WALLPAPER 100 // handled, but not an item of the shipped menu
#define IDM_PROXY_SETTINGS   200
#define IDM_COLLAPSE         210
#define IDM_SWITCH_SKIN      220
#define IDM_EXIT             300

#define IDI_HOST_PROGRAM     1

// Dialog "proxy_settings": the mode checkbox, then the manual controls 1002 to 1009,
// which are always enabled or disabled together. There is no control 1001.
#define IDC_PROXY_AUTOMATIC      1000
#define IDC_PROXY_MANUAL_GROUP   1002
#define IDC_PROXY_SERVER         1003
#define IDC_PROXY_USER           1004
#define IDC_PROXY_PASSWORD       1005
#define IDC_PROXY_SERVER_LABEL   1006
#define IDC_PROXY_USER_LABEL     1007
#define IDC_PROXY_PASSWORD_LABEL 1008
#define IDC_PROXY_TEST           1009
