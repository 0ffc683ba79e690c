// The settings dialog's resource and controls (base.rc and settings_dialog.cpp).
#pragma once

#define IDD_WIDGET_SETTINGS   200
#define IDC_TEAM              201 // combo box: none, then the teams group by group
#define IDC_REMIND            202 // check box: reminders on
#define IDC_REMIND_MINUTES    203 // edit: minutes before a kick-off, 5..120
#define IDC_REMIND_SPIN       204 // its up-down
#define IDC_REMIND_MINE       205 // check box: only the favourite team's matches
#define IDC_ZONE_MOSCOW       206 // radio: Moscow time
#define IDC_ZONE_COMPUTER     207 // radio: this computer's time zone
#define IDC_LAYER             208 // combo box: a WidgetLayer
#define IDC_OPACITY           209 // track bar: 20..100 %
#define IDC_OPACITY_TEXT      210 // "80 %"
#define IDC_LOCKED            211 // check box: the widget stays in place
#define IDC_GOAL_BALLOONS     212 // combo box: a GoalBalloons
#define IDC_HIDE_SCORES       213 // check box: scores hidden until a click
