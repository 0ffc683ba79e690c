// The widget's settings dialog: one modeless dialog of the engine's, on the Host's
// thread. Every change applies at once: the dialog hands the whole new set of
// preferences to the widget, which stores and applies it and hands back what is in
// effect, so the dialog never shows anything else.
#pragma once

#include <windows.h>

#include "preferences.h"

typedef void (*PreferencesChosen)(const Preferences& chosen);

// Opens the dialog, or brings the open one forward. `data` names the teams and
// outlives the dialog; the team list follows it (ShowNewDataInDialog).
void OpenSettingsDialog(HINSTANCE module, const TournamentData* data, const Preferences& current,
                        PreferencesChosen chosen);
// What is in effect now, when it changed elsewhere (the widget's menu).
void ShowPreferencesInDialog(const Preferences& current);
// The data changed (a download): the team list anew, then what is in effect.
void ShowNewDataInDialog(const Preferences& current);
void CloseSettingsDialog(void);
