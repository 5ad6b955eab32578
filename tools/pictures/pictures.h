// The window's pictures from a vendor's PNG or BMP files, converted into exactly the bitmaps the
// stub's window code reads: fixed sizes, depths and colour tables, the set for high display
// scales RLE8-compressed. Colours are kept exactly: a picture with more colours than its table
// holds is refused, never dithered. PNG and BMP are decoded with stb_image, the same code in
// the Linux and the Windows packer.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/pe/pe_resources.h"

namespace qjxpack {

struct PictureRule {
    const char* name;  // file name without extension: NAME.png or NAME.bmp in the folder
    uint32_t id;       // bitmap resource id
    int width;
    int height;
    int bits;
    int colours;  // colour-table entries
    bool rle;
};

// The nine pictures at 96 DPI, then the seven for twice the scale, in resource-id order.
const std::vector<PictureRule>& PictureRules();

// A decoded picture: 0xRRGGBB per pixel, rows top-down.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// *transparent: whether the file had pixels that are not opaque, which the window cannot show.
bool DecodePicture(const std::vector<uint8_t>& file, RgbImage* image, bool* transparent,
                   std::string* error);

// The packed DIB (header, colour table, pixels) of image under rule; false with *error when its
// size is wrong or it has more colours than the table holds.
bool MakeBitmap(const RgbImage& image, const PictureRule& rule, std::vector<uint8_t>* dib,
                std::string* error);

// The 8-bit background brought to 16 colours (the nearest of the standard table) or to black
// and white (a threshold on brightness).
RgbImage ToStandardColours(const RgbImage& image);
RgbImage ToBlackAndWhite(const RgbImage& image);

// BI_RLE8 of rows of colour indices (bottom-up, width bytes each), ending in end-of-bitmap.
std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& rows, int width, int height);

// The smallest and largest 96-DPI size of a language's own button pictures. No narrower or lower
// than the stock buttons; at most the width a row of the 256-pixel window leaves.
constexpr int MIN_LANGUAGE_BUTTON_WIDTH = 68, MAX_LANGUAGE_BUTTON_WIDTH = 236;
constexpr int MIN_LANGUAGE_BUTTON_HEIGHT = 22, MAX_LANGUAGE_BUTTON_HEIGHT = 44;

// Replaces the stub's pictures with folder's: every 96-DPI picture but the 1- and 4-bit
// backgrounds is required (those are derived when missing); the larger set is all or nothing,
// and without it the stub's larger set is removed. Files that are no picture's name, and
// transparency that is dropped, add a line to *warnings.
// With languages (their codes, as given), the stock buttons' pictures are optional (the stub's
// stay where none are given), and button_CODE_normal and button_CODE_pressed (and their @2x at
// twice the size) come for every language or none, all of one size; written at
// IDB_LANGUAGE_PICTURES + 4 * i + 0 to 3, with *language_pictures true.
bool ApplyPictures(const std::string& folder, const std::vector<std::string>& languages,
                   ResourceTable* table, std::vector<std::string>* warnings, std::string* error,
                   bool* language_pictures);

}  // namespace qjxpack
