#include "window/window_layout.h"

namespace {

// The width of the margins left and right of the progress bar, and of a button at most.
constexpr int32_t MARGIN = 10;
// Buttons in a row stay at least this far apart (the stock three are 8 apart at 96 DPI).
constexpr int32_t BUTTON_GAP = 4;
// Between rows of buttons.
constexpr int32_t ROW_GAP = 6;
// Between a drawn button's border and its name.
constexpr int32_t TEXT_PADDING = 8;
constexpr int32_t TEXT_PADDING_VERTICAL = 3;

// The centre of button column of a row of n buttons in a grid of columns per row, for client
// width w. Full rows of three sit on the stock centres; rows of two on the quarters; a row
// with fewer buttons than the grid is centred on the same pitch.
int32_t ColumnCentre(int32_t columns, int32_t n, int32_t column, int32_t w) {
    if (columns == 3 && n == 3) {
        const int32_t centres[3] = {w / 5, w / 2, (4 * w) / 5};
        return centres[column];
    }
    if (columns == 3 && n == 2) return column == 0 ? (7 * w) / 20 : (13 * w) / 20;
    if (columns == 2 && n == 2) return column == 0 ? w / 4 : (3 * w) / 4;
    return w / 2;
}

// Lays the buttons out in rows of columns; false when two in a row come closer than gap or one
// leaves the client width.
bool PlaceRows(int32_t columns, int32_t count, int32_t w, int32_t top, int32_t bw, int32_t bh,
               int32_t row_pitch, int32_t gap, WindowLayout* out) {
    for (int32_t i = 0; i < count; ++i) {
        const int32_t row = i / columns;
        const int32_t first = row * columns;
        const int32_t in_row = count - first < columns ? count - first : columns;
        const int32_t left = ColumnCentre(columns, in_row, i - first, w) - bw / 2;
        out->buttons[i] = {left, top + row * row_pitch, bw, bh};
        if (left < 0 || left + bw > w) return false;
        if (i > first && out->buttons[i - 1].left + bw + gap > left) return false;
    }
    out->button_rows = (count + columns - 1) / columns;
    return true;
}

// Everything but the buttons, at dpi for the background's 96-DPI size.
void LayoutFrame(int32_t dpi, int32_t background_width, int32_t background_height,
                 WindowLayout* out) {
    const int32_t w = ScaleToDpi(background_width, dpi);
    const int32_t h = ScaleToDpi(background_height, dpi);
    out->client_width = w;
    out->client_height = h;
    out->background_height = h;

    // The rows sit at 62, 72 and 82 % of the height, in whole numbers: a 32-bit build computes
    // h * 0.82 with the x87's extended precision, 163 for 200 where an x64 build gets 164.
    const int32_t margin = ScaleToDpi(MARGIN, dpi);
    out->progress_bar = {margin, h * 62 / 100, w - 2 * margin, ScaleToDpi(15, dpi)};
    const int32_t cancel_width = ScaleToDpi(70, dpi);
    const int32_t row = h * 72 / 100;
    out->cancel = {(w - cancel_width) / 2, row, cancel_width, ScaleToDpi(25, dpi)};
    out->caption = {0, row, w, ScaleToDpi(15, dpi)};
}

}  // namespace

int32_t ScaleToDpi(int32_t value, int32_t dpi) {
    // Rounded half away from zero, as MulDiv does; both are positive here.
    return static_cast<int32_t>((static_cast<int64_t>(value) * dpi + BASE_DPI / 2) / BASE_DPI);
}

void ComputeWindowLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                         int32_t button_width, int32_t button_height, WindowLayout* out) {
    LayoutFrame(dpi, background_width, background_height, out);
    const int32_t w = out->client_width;
    const int32_t bw = ScaleToDpi(button_width, dpi);
    const int32_t bh = ScaleToDpi(button_height, dpi);
    const int32_t top = out->client_height * 82 / 100;
    const int32_t centres[3] = {w / 5, w / 2, (4 * w) / 5};
    for (int i = 0; i < 3; ++i) out->buttons[i] = {centres[i] - bw / 2, top, bw, bh};
    out->button_count = 3;
    out->button_rows = 1;
}

void ComputeLanguageLayout(int32_t dpi, int32_t background_width, int32_t background_height,
                           int32_t count, int32_t button_width, int32_t button_height,
                           WindowLayout* out) {
    LayoutFrame(dpi, background_width, background_height, out);
    if (count < 1) count = 1;
    if (count > MAX_LAYOUT_BUTTONS) count = MAX_LAYOUT_BUTTONS;
    out->button_count = count;
    const int32_t w = out->client_width;
    const int32_t h = out->background_height;
    const int32_t top = h * 82 / 100;
    const int32_t row_pitch = button_height + ScaleToDpi(ROW_GAP, dpi);
    const int32_t gap = ScaleToDpi(BUTTON_GAP, dpi);
    // Three to a row where they fit, else two, else one; one always fits a button no wider than
    // the client area (LanguageButtonWidth).
    int32_t columns = 3;
    while (columns > 1 &&
           !PlaceRows(columns, count, w, top, button_width, button_height, row_pitch, gap, out)) {
        --columns;
    }
    if (columns == 1) PlaceRows(1, count, w, top, button_width, button_height, row_pitch, 0, out);
    // Whole rows below the background; a background too short for even the first row grows to
    // hold it.
    const LayoutRect& last = out->buttons[count - 1];
    out->client_height = h + (out->button_rows - 1) * row_pitch;
    if (last.top + last.height > out->client_height) {
        out->client_height = last.top + last.height;
    }
}

int32_t LanguageButtonWidth(int32_t dpi, int32_t background_width, int32_t picture_width,
                            int32_t text_width) {
    int32_t width = text_width + 2 * ScaleToDpi(TEXT_PADDING, dpi);
    const int32_t smallest = ScaleToDpi(picture_width, dpi);
    if (width < smallest) width = smallest;
    const int32_t widest = ScaleToDpi(background_width, dpi) - 2 * ScaleToDpi(MARGIN, dpi);
    if (width > widest) width = widest;
    return width > 1 ? width : 1;
}

int32_t LanguageButtonHeight(int32_t dpi, int32_t picture_height, int32_t text_height) {
    const int32_t from_picture = ScaleToDpi(picture_height, dpi);
    const int32_t from_text = text_height + 2 * ScaleToDpi(TEXT_PADDING_VERTICAL, dpi);
    return from_text > from_picture ? from_text : from_picture;
}

int32_t DialogFontHeight(int32_t dpi) {
    // 8 points of 1/72 inch, rounded as MulDiv(8, dpi, 72) rounds.
    return -static_cast<int32_t>((8 * static_cast<int64_t>(dpi) + 36) / 72);
}

bool IsRightToLeftText(const char16_t* text) {
    for (; *text != 0; ++text) {
        const char16_t c = *text;
        // Hebrew to N'Ko (and Arabic's supplements), and their presentation forms.
        if ((c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) ||
            (c >= 0xFE70 && c <= 0xFEFF)) {
            return true;
        }
        const bool latin_letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        // Past Latin-1's symbols, everything but punctuation and spaces is a letter of a
        // left-to-right script, or a mark that follows one.
        const bool other_letter = c >= 0x00C0 && c != 0x00D7 && c != 0x00F7 &&
                                  !(c >= 0x2000 && c <= 0x2BFF) && !(c >= 0x3000 && c <= 0x303F) &&
                                  !(c >= 0xFF00 && c <= 0xFF20);
        if (latin_letter || other_letter) return false;
    }
    return false;
}

namespace {

template <typename Char>
void StripMnemonicOf(Char* text) {
    Char* out = text;
    for (const Char* in = text; *in != 0; ++in) {
        if (*in == '&') {
            ++in;  // the marked character, or the second '&' of "&&"
            if (*in == 0) break;
        }
        *out++ = *in;
    }
    *out = 0;
}

}  // namespace

void StripMnemonic(char16_t* text) {
    StripMnemonicOf(text);
}
void StripMnemonic(char* text) {
    StripMnemonicOf(text);
}
