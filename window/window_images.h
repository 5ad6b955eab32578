// The progress window's pictures: the background chosen by screen depth, with a palette made
// from its colour table, and the owner-drawn language buttons (Win32).
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

// Draws a language button's picture: normal, or pressed while the button is held down.
void DrawLanguageButton(const DRAWITEMSTRUCT* item);

// --- pure pieces, exposed for the tests --------------------------------------------------------

// Background resource id for a screen depth (planes x bits per pixel): 103, 104 or 105.
int BackgroundIdForDepth(int depth);

// Picture id for a language button (1003, 1004, 1005), or 0 for another control.
int LanguageButtonBitmapId(UINT control_id, bool pressed);
