// The progress window's layout in client pixels for a display's DPI. Pure arithmetic, so that
// every display scale can be checked on any machine.
#pragma once

#include <stdint.h>

// The DPI at which the window is drawn exactly as its pictures are.
constexpr int32_t BASE_DPI = 96;

struct LayoutRect {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
};

struct WindowLayout {
    int32_t client_width;
    int32_t client_height;
    LayoutRect progress_bar;
    LayoutRect cancel;
    LayoutRect caption;     // "Select a Language:"
    LayoutRect buttons[3];  // English, German, Japanese
};

// value * dpi / 96, rounded to the nearest pixel.
int32_t ScaleToDpi(int32_t value, int32_t dpi);

// The layout for the 96-DPI background and button pictures' sizes at dpi. At 96 DPI the client
// area is the background's size; otherwise every size is scaled by dpi / 96 and the positions
// follow from the same factors of the client area.
void ComputeWindowLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                         int32_t button_width, int32_t button_height, WindowLayout* out);

// The height (negative: of the characters) of the 8-point dialog font at dpi.
int32_t DialogFontHeight(int32_t dpi);
