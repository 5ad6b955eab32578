// The progress window's pictures: the background chosen by screen depth, with a palette made
// from its colour table, and the owner-drawn language buttons (Win32). Above 96 DPI they are
// drawn from the double-size set when the stub carries it, else from the 96-DPI set, scaled.
#pragma once

#include <stdint.h>
#include <windows.h>

// Loads the background for the screen's depth. The caller deletes the bitmap and the palette
// (null when the picture has none). Width and height are 0 when the resource is missing.
HBITMAP LoadBackgroundImage(HPALETTE* palette, int32_t* width, int32_t* height);

// Loads bitmap resource id as a device-dependent bitmap made on the screen, with its palette in
// *palette. Null, with *palette untouched, when the resource is missing.
HBITMAP LoadResourceDib(HINSTANCE module, int id, HPALETTE* palette);

// A palette from the colour table that follows header (2, 16 or 256 entries by bit count), or
// null with a count of 0 for more than 8 bits per pixel.
HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int32_t* colour_count);

// Draws a language button's picture: normal, or pressed while the button is held down, at the
// button's size; with a focus mark while it has the keyboard, unless the system hides those.
void DrawLanguageButton(const DRAWITEMSTRUCT* item);

// Draws picture id at the button's size (or double_id, where not 0 and the stub carries it, for a
// button larger than the picture), with the focus mark as for DrawLanguageButton.
void DrawPictureButton(const DRAWITEMSTRUCT* item, int id, int double_id);

// The focus mark: drawn while the button has the keyboard, left out while the system hides
// focus marks (ITEM_NO_FOCUS_MARK).
void DrawFocusMark(const DRAWITEMSTRUCT* item);

// ODS_NOFOCUSRECT, which the headers define only for Windows 2000 and later (older systems never
// set it): the item is drawn without its focus mark.
constexpr UINT ITEM_NO_FOCUS_MARK = 0x0200;
// ODS_NOACCEL and DT_HIDEPREFIX, likewise: mnemonics are not underlined.
constexpr UINT ITEM_NO_ACCELERATOR = 0x0100;
constexpr UINT TEXT_HIDE_PREFIX = 0x00100000;

// Draws a language button as a plain push button in the system's colours, with its text in font
// (high contrast).
void DrawPlainLanguageButton(const DRAWITEMSTRUCT* item, HFONT font);

// A plain push button in the system's colours with text (wide, or ansi where wide is null) in
// font, centred, with its mnemonic's underline unless the system hides those; flags adds to
// DrawText's.
void DrawPlainButton(const DRAWITEMSTRUCT* item, HFONT font, const wchar_t* wide, const char* ansi,
                     UINT flags);

// The background scaled to width x height: from the double-size picture where the screen's depth
// takes the 8-bit one and the stub carries it (its palette then replaces *palette), else from
// base. Null when it cannot be made.
HBITMAP ScaleBackgroundImage(HBITMAP base, int32_t width, int32_t height, HPALETTE* palette);

// Loads a bitmap resource, compressed (RLE8) or not, with a colour table of biClrUsed entries,
// as a device-dependent bitmap made on the screen. Null when it is missing.
HBITMAP LoadPicture(HINSTANCE module, int id);

// --- pure pieces, exposed for the tests --------------------------------------------------------

// Background resource id for a screen depth (planes x bits per pixel): 103, 104 or 105.
int BackgroundIdForDepth(int depth);

// Picture id for a language button (1003, 1004, 1005), or 0 for another control.
int LanguageButtonBitmapId(UINT control_id, bool pressed);

// A language button's text, with its mnemonic (the accessible name and the high-contrast label):
// "&English", "&Deutsch" and the Japanese name with "(&J)"; on the 9x family, whose texts are
// ANSI, "Japanese (&J)" (ANSI variant). Null for another control.
const wchar_t* LanguageButtonText(UINT control_id);
const char* LanguageButtonTextA(UINT control_id);

// The double-size picture of a 96-DPI one (105 to 111 give 125 to 131), or 0 where there is none
// (the 1- and 4-bit backgrounds are scaled from themselves).
int DoubleSizePictureId(int id);
