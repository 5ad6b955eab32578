// The progress window's layout in client pixels for a display's DPI. Pure arithmetic, so that
// every display scale can be checked on any machine.
#pragma once

#include <stdint.h>

// The DPI at which the window is drawn exactly as its pictures are.
constexpr int32_t BASE_DPI = 96;
// The most language buttons a window lays out (a vendor's list holds up to 8).
constexpr int32_t MAX_LAYOUT_BUTTONS = 8;

struct LayoutRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

struct WindowLayout {
    int32_t client_width;
    int32_t client_height;      // the background's height plus the rows below it
    int32_t background_height;  // the picture's height at the DPI: below it, its bottom colour
    LayoutRect progress_bar;
    LayoutRect cancel;
    LayoutRect caption;  // "Select a Language:"
    int32_t button_count;
    int32_t button_rows;
    LayoutRect buttons[MAX_LAYOUT_BUTTONS];  // in the languages' order, row by row
};

// value * dpi / 96, rounded to the nearest pixel.
int32_t ScaleToDpi(int32_t value, int32_t dpi);

// The layout of the stock three buttons (English, German, Japanese) for the 96-DPI background
// and button pictures' sizes at dpi. At 96 DPI the client area is the background's size;
// otherwise every size is scaled by dpi / 96 and the positions follow from the same factors of
// the client area. The three always share one row.
void ComputeWindowLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                         int32_t button_width, int32_t button_height, WindowLayout* out);

// The layout of count (1 to MAX_LAYOUT_BUTTONS) language buttons of one size, given in pixels at
// dpi. Up to three share a row, centred on W/5, W/2 and 4W/5; when they would come closer than
// a small gap, rows of two (W/4, 3W/4), else of one (W/2). A row with fewer buttons is centred.
// The first row is where the stock buttons are; each further row adds its height to the client
// area below the background.
void ComputeLanguageLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                           int32_t count, int32_t button_width, int32_t button_height,
                           WindowLayout* out);

// The common width of drawn language buttons at dpi: the widest name (text_width, measured in
// the dialog font at dpi) with a margin each side, never narrower than the stock picture
// (picture_width at 96 DPI, scaled), never wider than the client area less its margins. A name
// wider than that ends in an ellipsis.
int32_t LanguageButtonWidth(int32_t dpi, int32_t background_width, int32_t picture_width,
                            int32_t text_width);
// Their common height: the stock picture's, scaled, or the text's with a margin if taller.
int32_t LanguageButtonHeight(int32_t dpi, int32_t picture_height, int32_t text_height);

// The height (negative: of the characters) of the 8-point dialog font at dpi.
int32_t DialogFontHeight(int32_t dpi);

// Whether a name reads right to left: it holds a letter of a right-to-left script (Hebrew,
// Arabic, Syriac, Thaana, N'Ko and their presentation forms) before any left-to-right letter.
// text ends at its first NUL.
bool IsRightToLeftText(const char16_t* text);

// A button's text as drawn while mnemonics are hidden: each '&' that marks a mnemonic left out,
// "&&" as one '&'. In place; text ends at its first NUL. The ANSI form may be in a double-byte
// code page: '&' is never a trail byte there.
void StripMnemonic(char16_t* text);
void StripMnemonic(char* text);
