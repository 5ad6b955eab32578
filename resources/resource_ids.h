// Resource ids shared by the resource scripts, the window code, the extraction job and the tests.
// Plain macros, because the resource compiler reads only the preprocessor.
#pragma once

#define IDD_PROGRESS 1020
#define IDC_PROGRESS_BAR 1010
#define IDC_ENGLISH 1003
#define IDC_GERMAN 1004
#define IDC_JAPANESE 1005
// The buttons of a vendor's languages (text/language_list.h): language i has 1040 + i.
#define IDC_LANGUAGE_BUTTONS 1040

#define IDB_BACKGROUND_1BIT 103
#define IDB_BACKGROUND_4BIT 104
#define IDB_BACKGROUND_8BIT 105
#define IDB_ENGLISH_PRESSED 106
#define IDB_ENGLISH_NORMAL 107
#define IDB_GERMAN_PRESSED 108
#define IDB_GERMAN_NORMAL 109
#define IDB_JAPANESE_PRESSED 110
#define IDB_JAPANESE_NORMAL 111

// The set for high display scales, twice the size of the 8-bit background and the buttons
// (512 x 512 and 136 x 44, 8 bits, RLE8-compressed), in the order of 105 to 111.
#define IDB_BACKGROUND_8BIT_2X 125
#define IDB_ENGLISH_PRESSED_2X 126
#define IDB_ENGLISH_NORMAL_2X 127
#define IDB_GERMAN_PRESSED_2X 128
#define IDB_GERMAN_NORMAL_2X 129
#define IDB_JAPANESE_PRESSED_2X 130
#define IDB_JAPANESE_NORMAL_2X 131

#define IDI_PROGRAM 99

// The extraction job's messages (strings.rc).
#define IDS_QJX_ERROR 5082           // "QJX Error"
#define IDS_NOT_VALID_SEA 5084       // "This is not a valid QJX SEA file!"
#define IDS_CANT_OPEN_FOR_READ 5087  // "Error: Could not open the file for reading."
#define IDS_CANT_CREATE_TEMP 5088    // "Error: Could not create the temporary folder."
#define IDS_DAMAGED_SIGNATURE 5089   // "The installer is damaged: its signature does not ..."
#define IDS_DAMAGED_PAYLOAD 5090     // "The installer is damaged: its contents are not ..."

// The branding the packer may replace: a string-table block of its own (ids 5120 to 5135), so
// that rewriting it leaves the job's messages alone. UTF-16 texts.
#define IDS_BRAND_TITLE 5120               // the window's title
#define IDS_BRAND_PACKAGE 5121             // the package every button installs
#define IDS_BRAND_TRANSFORM_GERMAN 5122    // the German button's transform
#define IDS_BRAND_TRANSFORM_JAPANESE 5123  // the Japanese button's transform
// The error boxes' title: the product's name once branded. The stock stub has none and shows
// IDS_QJX_ERROR.
#define IDS_BRAND_ERROR_TITLE 5124

// The stub's own version (RCDATA, ASCII), which branding never touches: it names the stub
// inside a vendor's installer.
#define IDR_STUB_VERSION 201
// The payload's digest (RCDATA, payload/payload_digest.h): a placeholder as built, which the
// packer fills in place once the payload is written. The stub reads it from its mapped image.
#define IDR_PAYLOAD_DIGEST 202
// A vendor's languages, caption and caption colour (RCDATA, text/language_list.h), written by
// the packer. The stock stub has none: the stock three buttons and caption.
#define IDR_LANGUAGES 203
// A vendor's own button pictures, when the languages carry them: language i's normal, pressed,
// double-size normal and double-size pressed pictures are 140 + 4 * i + 0, 1, 2 and 3 (up to 171).
#define IDB_LANGUAGE_PICTURES 140
