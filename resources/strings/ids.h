// The ids of the texts a person reads, in the string tables of resources/strings/*.rc (one
// file per language, the same ids in each). Included by resource scripts and C++ alike.
#pragma once

#define IDS_TIP 100
#define IDS_ARRANGE_NOW 101
#define IDS_UNDO 102
#define IDS_REDO 103
#define IDS_SORT_BY 104
#define IDS_SORT_NAME 105
#define IDS_SORT_USAGE 106
#define IDS_SORT_AGE 107
#define IDS_ARRANGE 108
#define IDS_ARRANGE_AUTO 109
#define IDS_ARRANGE_LEFT 110
#define IDS_ARRANGE_RIGHT 111
#define IDS_ARRANGE_TOP 112
#define IDS_ARRANGE_BOTTOM 113
#define IDS_MONITORS 114
#define IDS_MONITORS_ALL 115
#define IDS_MONITORS_PRIMARY 116
#define IDS_MONITORS_EACH 117
#define IDS_LAYOUTS 118
#define IDS_SAVE_LAYOUT 119
#define IDS_RESTORE_EARLIER 120
#define IDS_LOCK 121
#define IDS_SHOW_ICONS 122
#define IDS_QUIT 123
#define IDS_NOT_ARRANGED 130
#define IDS_SORT_NOT_STORED 131
#define IDS_ARRANGE_NOT_STORED 132
#define IDS_MONITORS_NOT_STORED 133
#define IDS_LOCK_NOT_CHANGED 134
#define IDS_NOT_UNDONE 135
#define IDS_NOT_REDONE 136
#define IDS_ICONS_NOT_HIDDEN 137
#define IDS_ICONS_NOT_SHOWN 138
#define IDS_LAYOUT_NOT_SAVED 139
#define IDS_LAYOUT_NOT_RESTORED 140
#define IDS_POINT_NOT_RESTORED 141
#define IDS_POINT_GONE 142
#define IDS_CANNOT_SAVE 143
#define IDS_KEPT_UNTIL_SAVED 144
#define IDS_NAME_CAPTION 150
#define IDS_NAME_PROMPT 151
#define IDS_NAME_SAVE 152
#define IDS_NAME_CANCEL 153
#define IDS_NAME_PROPOSED 154
// The menu's undo and redo items with what they undo or redo, "Undo sort by name (14:02)".
#define IDS_UNDO_STEP 155
#define IDS_REDO_STEP 156
// The question the launcher asks at its start when the graphics driver's desktop menu is there.
#define IDS_COMPAT_CAPTION 160
#define IDS_COMPAT_QUESTION 161

// The phrase books of the messages Kelvara composes in English (resources/phrases/*.rc, whose
// entries are numbered, as their translations are): the separator between what failed and why,
// the full stop that ends the line, and the phrases.
#define IDS_PHRASE_SEPARATOR 390
#define IDS_PHRASE_FULL_STOP 391
#define IDS_PHRASES_FIRST 400
#define IDS_PHRASES_LAST 599

// KelvaraCmd's help, a text of its own per language (resources/help/*.txt, RCDATA).
#define IDR_CMD_HELP 300
