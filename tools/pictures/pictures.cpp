#include "tools/pictures/pictures.h"

#include <algorithm>
#include <map>

#include "payload/payload_format.h"
#include "resources/resource_ids.h"
#include "text/language_list.h"
#include "tools/files/file_system.h"

// One decoder for both packers: integer code only (no SIMD, no floating-point formats), so the
// Linux and the Windows build decode every file to the same pixels.
#define STBI_ONLY_PNG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_SIMD
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 4096
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
// Optimised, GCC 12 inlines stb_image's reader into ours and then takes a field that stb_image
// sets before every read for uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace qjxpack {

namespace {

constexpr size_t INFO_HEADER = 40;
constexpr uint32_t BI_RLE8_ID = 1;
constexpr uint32_t PIXELS_PER_METRE = 2835;  // 72 DPI, as the stock pictures say
constexpr int LARGER_SET_FIRST = 9;          // index in PictureRules of the first larger picture
constexpr size_t MAX_PICTURE_FILE = 64u << 20;

// The standard 16-colour table, in its usual order.
constexpr uint32_t STANDARD_COLOURS[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

int Red(uint32_t c) {
    return static_cast<int>(c >> 16 & 0xFF);
}
int Green(uint32_t c) {
    return static_cast<int>(c >> 8 & 0xFF);
}
int Blue(uint32_t c) {
    return static_cast<int>(c & 0xFF);
}

void Put(std::vector<uint8_t>* bytes, size_t at, uint64_t value, size_t count) {
    WriteLittleEndian(value, bytes->data() + at, count);
}

// NAME.png or NAME.bmp in folder: the path, empty when neither, or an error when both.
bool FindPicture(const std::string& folder, const char* name, std::string* path,
                 std::string* error) {
    path->clear();
    for (const char* extension : {".png", ".bmp"}) {
        const std::string candidate = JoinPath(folder, std::string(name) + extension);
        if (GetFileInfo(candidate).kind == FileKind::kMissing) continue;
        if (!path->empty()) {
            *error = "--pictures " + folder + ": both " + name + ".png and " + name +
                     ".bmp are there; keep one";
            return false;
        }
        *path = candidate;
    }
    return true;
}

bool LoadPicture(const std::string& path, RgbImage* image, std::vector<std::string>* warnings,
                 std::string* error) {
    std::vector<uint8_t> file;
    if (!ReadFileBytes(path, &file, MAX_PICTURE_FILE)) {
        *error = "picture " + path + " cannot be read";
        return false;
    }
    bool transparent = false;
    if (!DecodePicture(file, image, &transparent, error)) {
        *error = "picture " + path + " " + *error;
        return false;
    }
    if (transparent) {
        warnings->push_back("picture " + path +
                            ": its transparency is dropped; the window draws every pixel "
                            "opaque, with the colour it has under its alpha");
    }
    return true;
}

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The language code of a language's button picture name ("button_fr_normal@2x" gives "fr"), or
// empty when stem names no such picture or a stock button's.
std::string LanguagePictureCode(const std::string& stem) {
    std::string name = stem;
    const std::string larger = "@2x";
    if (name.size() > larger.size() && Lower(name.substr(name.size() - larger.size())) == larger) {
        name.resize(name.size() - larger.size());
    }
    const std::string prefix = "button_";
    if (name.size() <= prefix.size() || Lower(name.substr(0, prefix.size())) != prefix) return "";
    std::string code;
    for (const std::string suffix : {"_normal", "_pressed"}) {
        if (name.size() > prefix.size() + suffix.size() &&
            Lower(name.substr(name.size() - suffix.size())) == suffix) {
            code = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        }
    }
    const std::string lower = Lower(code);
    return lower == "english" || lower == "german" || lower == "japanese" ? "" : code;
}

// A warning for every file in folder that is no picture qjxpack reads (the stock pictures and
// extra_names), with the nearest picture's name: a misspelt name would otherwise leave the stub's
// own picture in place.
void WarnOfOtherFiles(const std::string& folder, const std::vector<std::string>& extra_names,
                      std::vector<std::string>* warnings) {
    std::vector<std::string> names;
    if (!ListDirectory(folder, &names)) return;
    std::vector<std::string> known = extra_names;
    for (const PictureRule& rule : PictureRules()) known.push_back(rule.name);
    for (const std::string& name : names) {
        const size_t dot = name.find_last_of('.');
        const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
        const std::string extension = dot == std::string::npos ? "" : Lower(name.substr(dot));
        const bool picture_extension = extension == ".png" || extension == ".bmp";
        const std::string* nearest = &known[0];
        size_t distance = EditDistance(Lower(stem), Lower(*nearest));
        for (const std::string& candidate : known) {
            const size_t d = EditDistance(Lower(stem), Lower(candidate));
            if (d < distance) {
                nearest = &candidate;
                distance = d;
            }
        }
        if (distance == 0 && picture_extension && stem == *nearest) continue;
        std::string warning = "--pictures " + folder + ": " + name + " is left out: ";
        if (distance == 0 && !picture_extension) {
            warning += "qjxpack reads only .png and .bmp pictures";
        } else if (distance <= stem.size() / 3 + 1) {
            warning += "no picture has that name; did you mean " + *nearest +
                       (picture_extension ? extension : std::string(".png")) + "?";
        } else {
            warning += "no picture has that name (see qjxpack create --help)";
        }
        warnings->push_back(warning);
    }
}

// A language's four button pictures, in the order of their resource ids.
const char* const LANGUAGE_PICTURE_KINDS[4] = {"normal", "pressed", "normal@2x", "pressed@2x"};
constexpr int LANGUAGE_PICTURE_COLOURS[4] = {93, 40, 93, 40};

std::string LanguagePictureName(const std::string& code, size_t kind) {
    return "button_" + code + "_" + LANGUAGE_PICTURE_KINDS[kind];
}

// Writes the languages' own button pictures, when folder holds them: for all languages or none,
// the larger set likewise, all of one size.
bool ApplyLanguagePictures(const std::string& folder, const std::vector<std::string>& languages,
                           ResourceTable* table, std::vector<std::string>* warnings,
                           std::string* error, bool* written) {
    std::vector<std::string> paths(languages.size() * 4);
    std::string given[2], missing[2];  // by set: 96 DPI, twice the scale
    auto add = [](std::string* list, const std::string& name) {
        *list += (list->empty() ? "" : ", ") + name;
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string name = LanguagePictureName(languages[i / 4], i % 4);
        if (!FindPicture(folder, name.c_str(), &paths[i], error)) return false;
        add(paths[i].empty() ? &missing[i % 4 / 2] : &given[i % 4 / 2], name);
    }
    if (given[0].empty() && given[1].empty()) return true;
    if (!missing[0].empty()) {
        *error = "--pictures " + folder +
                 " has button pictures for some languages only; a language's pictures come for "
                 "every language or none: add " +
                 missing[0] + ", or remove " + (given[0].empty() ? given[1] : given[0]);
        return false;
    }
    if (!given[1].empty() && !missing[1].empty()) {
        *error = "--pictures " + folder +
                 " has part of the languages' pictures for high display scales; add " + missing[1] +
                 ", or remove " + given[1];
        return false;
    }
    for (auto it = table->begin(); it != table->end();) {
        const bool old = it->first.type == ResourceName::Id(RT_BITMAP_ID) &&
                         it->first.name.text.empty() &&
                         it->first.name.id >= IDB_LANGUAGE_PICTURES &&
                         it->first.name.id < IDB_LANGUAGE_PICTURES + 4 * MAX_LANGUAGES;
        it = old ? table->erase(it) : std::next(it);
    }
    int width = 0, height = 0;
    std::string first;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (paths[i].empty()) continue;  // no larger set
        RgbImage image;
        if (!LoadPicture(paths[i], &image, warnings, error)) return false;
        const int scale = i % 4 >= 2 ? 2 : 1;
        if (first.empty()) {
            width = image.width;
            height = image.height;
            first = paths[i];
            if (width < MIN_LANGUAGE_BUTTON_WIDTH || width > MAX_LANGUAGE_BUTTON_WIDTH ||
                height < MIN_LANGUAGE_BUTTON_HEIGHT || height > MAX_LANGUAGE_BUTTON_HEIGHT) {
                *error = "picture " + first + " is " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels; a language's button is " +
                         std::to_string(MIN_LANGUAGE_BUTTON_WIDTH) + " to " +
                         std::to_string(MAX_LANGUAGE_BUTTON_WIDTH) + " wide and " +
                         std::to_string(MIN_LANGUAGE_BUTTON_HEIGHT) + " to " +
                         std::to_string(MAX_LANGUAGE_BUTTON_HEIGHT) + " high";
                return false;
            }
        }
        const std::string name = LanguagePictureName(languages[i / 4], i % 4);
        const PictureRule rule = {name.c_str(),
                                  static_cast<uint32_t>(IDB_LANGUAGE_PICTURES + i),
                                  width * scale,
                                  height * scale,
                                  8,
                                  LANGUAGE_PICTURE_COLOURS[i % 4],
                                  scale == 2};
        std::vector<uint8_t> dib;
        if (!MakeBitmap(image, rule, &dib, error)) {
            *error = "picture " + paths[i] + " " + *error +
                     " (every language's button has the "
                     "size of " +
                     first + ", and twice that at @2x)";
            return false;
        }
        (*table)[ResourceKey{ResourceName::Id(RT_BITMAP_ID), ResourceName::Id(rule.id),
                             LANGUAGE_US_ENGLISH}]
            .bytes = std::move(dib);
    }
    *written = true;
    return true;
}

bool IsStockButton(const PictureRule& rule) {
    return rule.id != IDB_BACKGROUND_1BIT && rule.id != IDB_BACKGROUND_4BIT &&
           rule.id != IDB_BACKGROUND_8BIT && rule.id != IDB_BACKGROUND_8BIT_2X;
}

}  // namespace

const std::vector<PictureRule>& PictureRules() {
    static const std::vector<PictureRule> rules = {
        {"background_1bit", IDB_BACKGROUND_1BIT, 256, 256, 1, 2, false},
        {"background_4bit", IDB_BACKGROUND_4BIT, 256, 256, 4, 16, false},
        {"background_8bit", IDB_BACKGROUND_8BIT, 256, 256, 8, 256, false},
        {"button_english_pressed", IDB_ENGLISH_PRESSED, 68, 22, 8, 40, false},
        {"button_english_normal", IDB_ENGLISH_NORMAL, 68, 22, 8, 93, false},
        {"button_german_pressed", IDB_GERMAN_PRESSED, 68, 22, 8, 40, false},
        {"button_german_normal", IDB_GERMAN_NORMAL, 68, 22, 8, 93, false},
        {"button_japanese_pressed", IDB_JAPANESE_PRESSED, 68, 22, 8, 40, false},
        {"button_japanese_normal", IDB_JAPANESE_NORMAL, 68, 22, 8, 93, false},
        {"background_8bit@2x", IDB_BACKGROUND_8BIT_2X, 512, 512, 8, 256, true},
        {"button_english_pressed@2x", IDB_ENGLISH_PRESSED_2X, 136, 44, 8, 40, true},
        {"button_english_normal@2x", IDB_ENGLISH_NORMAL_2X, 136, 44, 8, 93, true},
        {"button_german_pressed@2x", IDB_GERMAN_PRESSED_2X, 136, 44, 8, 40, true},
        {"button_german_normal@2x", IDB_GERMAN_NORMAL_2X, 136, 44, 8, 93, true},
        {"button_japanese_pressed@2x", IDB_JAPANESE_PRESSED_2X, 136, 44, 8, 40, true},
        {"button_japanese_normal@2x", IDB_JAPANESE_NORMAL_2X, 136, 44, 8, 93, true},
    };
    return rules;
}

bool DecodePicture(const std::vector<uint8_t>& file, RgbImage* image, bool* transparent,
                   std::string* error) {
    int width = 0, height = 0, channels = 0;
    *transparent = false;
    // Four channels, so that transparency shows; the window draws every pixel opaque.
    stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width,
                                            &height, &channels, 4);
    if (pixels == nullptr) {
        const std::string reason = stbi_failure_reason();
        if (reason == "outofdata" || reason == "bad size" || reason == "no IDAT" ||
            reason == "bad zlib header" || reason == "bad huffman code") {
            *error = "is cut short or damaged (" + reason + ")";
        } else if (reason == "unknown image type") {
            *error = "is neither a PNG nor a BMP file";
        } else {
            *error = "is not a PNG or BMP file qjxpack can read (" + reason + ")";
        }
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (size_t i = 0; i < image->pixels.size(); ++i) {
        const stbi_uc* rgba = pixels + i * 4;
        // stb_image fills every byte of what it returns; the analyzer cannot see into it.
        // NOLINTNEXTLINE(clang-analyzer-core.UndefinedBinaryOperatorResult)
        image->pixels[i] = uint32_t{rgba[0]} << 16 | uint32_t{rgba[1]} << 8 | rgba[2];
        if (rgba[3] != 0xFF) *transparent = true;
    }
    stbi_image_free(pixels);
    return true;
}

bool MakeBitmap(const RgbImage& image, const PictureRule& rule, std::vector<uint8_t>* dib,
                std::string* error) {
    if (image.width != rule.width || image.height != rule.height) {
        *error = "must be " + std::to_string(rule.width) + " x " + std::to_string(rule.height) +
                 " pixels, is " + std::to_string(image.width) + " x " +
                 std::to_string(image.height);
        return false;
    }
    // Colours in ascending order: the table does not depend on where a colour first shows.
    std::map<uint32_t, uint8_t> colours;
    for (uint32_t pixel : image.pixels) colours.emplace(pixel, 0);
    if (colours.size() > static_cast<size_t>(rule.colours)) {
        *error = "has " + std::to_string(colours.size()) + " colours; its colour table holds " +
                 std::to_string(rule.colours) + ": reduce it (pngquant " +
                 std::to_string(rule.colours) + ", or ImageMagick -colors " +
                 std::to_string(rule.colours) + " +dither)";
        return false;
    }
    uint8_t next = 0;
    for (auto& colour : colours) colour.second = next++;

    const size_t width = static_cast<size_t>(rule.width);
    const size_t height = static_cast<size_t>(rule.height);
    const size_t stride = (width * static_cast<size_t>(rule.bits) + 31) / 32 * 4;
    std::vector<uint8_t> pixels(rule.rle ? width * height : stride * height, 0);
    const size_t row_bytes = rule.rle ? width : stride;
    for (size_t y = 0; y < height; ++y) {
        uint8_t* row = pixels.data() + (height - 1 - y) * row_bytes;  // bottom-up
        for (size_t x = 0; x < width; ++x) {
            const uint8_t index = colours[image.pixels[y * width + x]];
            if (rule.bits == 8) {
                row[x] = index;
            } else if (rule.bits == 4) {
                row[x / 2] = static_cast<uint8_t>(row[x / 2] | index << (x % 2 == 0 ? 4 : 0));
            } else {
                row[x / 8] = static_cast<uint8_t>(row[x / 8] | index << (7 - x % 8));
            }
        }
    }
    if (rule.rle) pixels = EncodeRle8(pixels, rule.width, rule.height);

    const size_t table = static_cast<size_t>(rule.colours) * 4;
    dib->assign(INFO_HEADER + table, 0);
    Put(dib, 0, INFO_HEADER, 4);
    Put(dib, 4, width, 4);
    Put(dib, 8, height, 4);
    Put(dib, 12, 1, 2);
    Put(dib, 14, static_cast<uint64_t>(rule.bits), 2);
    Put(dib, 16, rule.rle ? BI_RLE8_ID : 0, 4);
    Put(dib, 20, pixels.size(), 4);
    Put(dib, 24, PIXELS_PER_METRE, 4);
    Put(dib, 28, PIXELS_PER_METRE, 4);
    Put(dib, 32, static_cast<uint64_t>(rule.colours), 4);
    for (const auto& colour : colours) {
        const size_t at = INFO_HEADER + size_t{colour.second} * 4;
        (*dib)[at] = static_cast<uint8_t>(Blue(colour.first));
        (*dib)[at + 1] = static_cast<uint8_t>(Green(colour.first));
        (*dib)[at + 2] = static_cast<uint8_t>(Red(colour.first));
    }
    dib->insert(dib->end(), pixels.begin(), pixels.end());
    return true;
}

RgbImage ToStandardColours(const RgbImage& image) {
    RgbImage out = image;
    for (uint32_t& pixel : out.pixels) {
        uint32_t best = STANDARD_COLOURS[0];
        int best_distance = 1 << 30;
        for (uint32_t colour : STANDARD_COLOURS) {
            const int r = Red(pixel) - Red(colour), g = Green(pixel) - Green(colour),
                      b = Blue(pixel) - Blue(colour);
            const int distance = r * r + g * g + b * b;
            if (distance < best_distance) {
                best_distance = distance;
                best = colour;
            }
        }
        pixel = best;
    }
    return out;
}

RgbImage ToBlackAndWhite(const RgbImage& image) {
    RgbImage out = image;
    for (uint32_t& pixel : out.pixels) {
        const int brightness = 299 * Red(pixel) + 587 * Green(pixel) + 114 * Blue(pixel);
        pixel = brightness >= 128 * 1000 ? 0xFFFFFF : 0x000000;
    }
    return out;
}

std::vector<uint8_t> EncodeRle8(const std::vector<uint8_t>& rows, int width, int height) {
    std::vector<uint8_t> out;
    const size_t w = static_cast<size_t>(width);
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        const uint8_t* row = rows.data() + y * w;
        size_t i = 0;
        while (i < w) {
            size_t run = 1;
            while (i + run < w && run < 255 && row[i + run] == row[i]) ++run;
            if (run >= 2) {
                out.push_back(static_cast<uint8_t>(run));
                out.push_back(row[i]);
                i += run;
                continue;
            }
            // Pixels that do not repeat, up to where a run starts.
            size_t end = i;
            while (end < w && end - i < 255 && !(end + 1 < w && row[end] == row[end + 1])) ++end;
            if (end - i >= 3) {
                out.push_back(0);
                out.push_back(static_cast<uint8_t>(end - i));
                out.insert(out.end(), row + i, row + end);
                if ((end - i) % 2 != 0) out.push_back(0);  // absolute runs end on a word
            } else {
                for (size_t k = i; k < end; ++k) {
                    out.push_back(1);
                    out.push_back(row[k]);
                }
            }
            i = end;
        }
        out.push_back(0);
        out.push_back(y + 1 == static_cast<size_t>(height) ? 1 : 0);  // end of bitmap or line
    }
    return out;
}

bool ApplyPictures(const std::string& folder, const std::vector<std::string>& languages,
                   ResourceTable* table, std::vector<std::string>* warnings, std::string* error,
                   bool* language_pictures) {
    *language_pictures = false;
    if (GetFileInfo(folder).kind != FileKind::kDirectory) {
        *error = "--pictures " + folder + " is not a folder";
        return false;
    }
    std::vector<std::string> language_names;
    for (const std::string& code : languages) {
        for (size_t kind = 0; kind < 4; ++kind) {
            language_names.push_back(LanguagePictureName(code, kind));
        }
    }
    std::vector<std::string> files;
    if (languages.empty() && ListDirectory(folder, &files)) {
        for (const std::string& file : files) {
            const size_t dot = file.find_last_of('.');
            const std::string extension = dot == std::string::npos ? "" : Lower(file.substr(dot));
            if ((extension == ".png" || extension == ".bmp") &&
                !LanguagePictureCode(file.substr(0, dot)).empty()) {
                *error = "--pictures " + folder + ": " + file +
                         " is a language's button picture, but no languages are given; list "
                         "them with --language CODE=TEXT, or remove it";
                return false;
            }
        }
    }
    WarnOfOtherFiles(folder, language_names, warnings);
    const std::vector<PictureRule>& rules = PictureRules();
    // A vendor's languages replace the stock buttons: their pictures may stay the stub's.
    auto optional = [&languages](const PictureRule& rule) {
        return !languages.empty() && IsStockButton(rule);
    };
    std::vector<std::string> paths(rules.size());
    std::string missing_base, missing_larger, given_larger;
    auto add = [](std::string* list, const char* name) {
        *list += std::string(list->empty() ? "" : ", ") + name;
    };
    for (size_t i = 0; i < rules.size(); ++i) {
        if (!FindPicture(folder, rules[i].name, &paths[i], error)) return false;
        if (optional(rules[i])) continue;
        if (static_cast<int>(i) >= LARGER_SET_FIRST) {
            add(paths[i].empty() ? &missing_larger : &given_larger, rules[i].name);
        } else if (paths[i].empty() && rules[i].bits == 8) {
            add(&missing_base, rules[i].name);  // the 1- and 4-bit backgrounds can be derived
        }
    }
    if (!missing_base.empty()) {
        *error = "--pictures " + folder + " lacks " + missing_base +
                 " (.png or .bmp; qjxpack reads no other format)";
        return false;
    }
    if (!given_larger.empty() && !missing_larger.empty()) {
        *error = "--pictures " + folder + " has part of the set for high display scales; add " +
                 missing_larger + ", or remove " + given_larger;
        return false;
    }
    // Backwards, so that the 8-bit background is at hand for the two derived from it.
    RgbImage background;
    for (size_t i = rules.size(); i-- > 0;) {
        const PictureRule& rule = rules[i];
        if (paths[i].empty() && optional(rule)) continue;
        const ResourceName id = ResourceName::Id(rule.id);
        for (auto it = table->begin(); it != table->end();) {
            const bool old =
                it->first.type == ResourceName::Id(RT_BITMAP_ID) && it->first.name == id;
            it = old ? table->erase(it) : std::next(it);
        }
        // Without the vendor's larger set, the stub's own would show instead of the vendor's
        // pictures scaled: it stays removed.
        if (paths[i].empty() && static_cast<int>(i) >= LARGER_SET_FIRST) continue;
        RgbImage image;
        if (!paths[i].empty()) {
            if (!LoadPicture(paths[i], &image, warnings, error)) return false;
        } else {
            image = rule.bits == 4 ? ToStandardColours(background) : ToBlackAndWhite(background);
        }
        if (rule.id == IDB_BACKGROUND_8BIT) background = image;
        std::vector<uint8_t> dib;
        if (!MakeBitmap(image, rule, &dib, error)) {
            *error =
                "picture " + (paths[i].empty() ? std::string(rule.name) : paths[i]) + " " + *error;
            return false;
        }
        (*table)[ResourceKey{ResourceName::Id(RT_BITMAP_ID), id, LANGUAGE_US_ENGLISH}].bytes =
            std::move(dib);
    }
    return languages.empty() ||
           ApplyLanguagePictures(folder, languages, table, warnings, error, language_pictures);
}

}  // namespace qjxpack
