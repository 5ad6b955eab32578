#include "window/window_layout.h"

int32_t ScaleToDpi(int32_t value, int32_t dpi) {
    // Rounded half away from zero, as MulDiv does; both are positive here.
    return static_cast<int32_t>((static_cast<int64_t>(value) * dpi + BASE_DPI / 2) / BASE_DPI);
}

void ComputeWindowLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                         int32_t button_width, int32_t button_height, WindowLayout* out) {
    const int32_t w = ScaleToDpi(background_width, dpi);
    const int32_t h = ScaleToDpi(background_height, dpi);
    out->client_width = w;
    out->client_height = h;

    // The rows sit at 62, 72 and 82 % of the height, in whole numbers: a 32-bit build computes
    // h * 0.82 with the x87's extended precision, 163 for 200 where an x64 build gets 164.
    const int32_t margin = ScaleToDpi(10, dpi);
    out->progress_bar = {margin, h * 62 / 100, w - 2 * margin, ScaleToDpi(15, dpi)};
    const int32_t cancel_width = ScaleToDpi(70, dpi);
    const int32_t row = h * 72 / 100;
    out->cancel = {(w - cancel_width) / 2, row, cancel_width, ScaleToDpi(25, dpi)};
    out->caption = {0, row, w, ScaleToDpi(15, dpi)};

    const int32_t bw = ScaleToDpi(button_width, dpi);
    const int32_t bh = ScaleToDpi(button_height, dpi);
    const int32_t top = h * 82 / 100;
    const int32_t centres[3] = {w / 5, w / 2, (4 * w) / 5};
    for (int i = 0; i < 3; ++i) out->buttons[i] = {centres[i] - bw / 2, top, bw, bh};
}

int32_t DialogFontHeight(int32_t dpi) {
    // 8 points of 1/72 inch, rounded as MulDiv(8, dpi, 72) rounds.
    return -static_cast<int32_t>((8 * static_cast<int64_t>(dpi) + 36) / 72);
}
