// A vendor's language buttons (g_languages): their names as this system can draw them, their
// controls, and their drawing without pictures or with the vendor's pictures (Win32).
#pragma once

#include <stdint.h>
#include <windows.h>

#include "text/language_list.h"

// The control id of language index's button: a vendor's list has its own ids; the stock three
// are IDC_ENGLISH, IDC_GERMAN and IDC_JAPANESE.
int LanguageButtonId(int32_t index);
// The language of a button's control id, or -1 for another control.
int32_t LanguageIndexOfButton(int id);
// How many language buttons the window shows: the vendor's count, or the stock three.
int32_t LanguageButtonCount();

// A text as this system draws it: on the NT family the UTF-16 text; on the 9x family, whose
// W functions are not native, the text in the ANSI code page.
struct DrawnText {
    wchar_t wide[LANGUAGE_CAPTION_CAPACITY];
    char ansi[2 * LANGUAGE_CAPTION_CAPACITY];
    bool ansi_only;  // the 9x family: draw ansi with the A functions
    bool right_to_left;
};

// text in the ANSI code page, when it converts there and back to itself (no character
// replaced by '?' or a look-alike); false otherwise. out holds capacity bytes.
bool ToAnsiExactly(const wchar_t* text, char* out, int capacity);

// Language index's name: the vendor's text; on the 9x family its ANSI form, or its code where
// the code page cannot show it.
void LanguageNameFor(int32_t index, DrawnText* out);
// The caption: the vendor's, else (and on the 9x family where the code page cannot show it)
// the stock "Select a Language:".
void CaptionTextFor(DrawnText* out);
// DrawText on the DC in the family's own way.
int DrawTextFor(HDC dc, const DrawnText& text, RECT* r, UINT flags);

// Creates the vendor's language buttons, hidden and disabled as the stock ones are in the
// template, after the control after in the tab order: the first starts a group, all are tab
// stops that report their focus, and each one's text (its accessible name) is its name with
// its mnemonic.
void CreateLanguageButtons(HWND dialog, HWND after);

// The character set that leads the font mapper to a face with the name's glyphs where the
// dialog's face has none and no font link stands in (Chinese, Japanese, Korean, Thai; Chinese
// by the code's script or region), else DEFAULT_CHARSET.
int LanguageCharsetHint(const char* code, const wchar_t* text);
// base with language index's character set hint, or null where it needs none (and on the 9x
// family, whose names are in the code page's own set). The caller deletes it.
HFONT CreateLanguageFont(HFONT base, int32_t index);
// base with the hint for a text in language code ("" where unknown), or null.
HFONT CreateHintedFont(HFONT base, const char* code, const char16_t* text);

// The widest and tallest name, each in its fonts[i] or else font, in pixels.
void MeasureLanguageNames(const HFONT* fonts, HFONT font, int32_t* widest, int32_t* tallest);

// Draws a vendor's button without pictures in the stock buttons' look, scaled to the button:
// rounded corners, a dark blue border, a light face (darker pressed), the name centred in font.
// background draws the window behind the corners.
typedef void (*BackgroundPainter)(const void* context, const DRAWITEMSTRUCT* item);
void DrawDrawnLanguageButton(const DRAWITEMSTRUCT* item, HFONT font, int32_t dpi,
                             BackgroundPainter background, const void* context);
// The same in high contrast: a plain push button in the system's colours.
void DrawPlainVendorButton(const DRAWITEMSTRUCT* item, HFONT font);
// Draws a vendor's own picture for the button (LANGUAGE_FLAG_PICTURES).
void DrawVendorPictureButton(const DRAWITEMSTRUCT* item);
// The 96-DPI size of the vendor's pictures; false when the stub carries none.
bool VendorPictureSize(int32_t* width, int32_t* height);
