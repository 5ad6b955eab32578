// Resource ids shared by the resource script, the window code and the tests.
#pragma once

#define IDD_PROGRESS 1020
#define IDC_PROGRESS_BAR 1010
#define IDC_ENGLISH 1003
#define IDC_GERMAN 1004
#define IDC_JAPANESE 1005

#define IDB_BACKGROUND_1BIT 103
#define IDB_BACKGROUND_4BIT 104
#define IDB_BACKGROUND_8BIT 105
#define IDB_ENGLISH_PRESSED 106
#define IDB_ENGLISH_NORMAL 107
#define IDB_GERMAN_PRESSED 108
#define IDB_GERMAN_NORMAL 109
#define IDB_JAPANESE_PRESSED 110
#define IDB_JAPANESE_NORMAL 111

#define IDI_PROGRAM 99
