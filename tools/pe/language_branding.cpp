#include "tools/pe/language_branding.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "payload/payload_format.h"
#include "resources/resource_ids.h"
#include "tools/installer/entry_names.h"

namespace qjxpack {

namespace {

constexpr uint32_t CAPTION_BAND_PERCENT = 72;  // the window's caption row, of the height
constexpr int64_t CAPTION_BAND_ROWS = 15;      // the caption's height at 96 DPI
constexpr uint32_t DEFAULT_CAPTION_COLOUR = 0x000000;
constexpr uint32_t FIRST_LANGUAGE_PICTURE = IDB_LANGUAGE_PICTURES;
constexpr uint32_t LAST_LANGUAGE_PICTURE = IDB_LANGUAGE_PICTURES + 4 * MAX_LANGUAGES - 1;
constexpr const char* TAG_EXAMPLES = "en, pt-BR or zh-Hans";

const ResourceData* FindData(const ResourceTable& table, uint32_t type, uint32_t name) {
    for (const auto& item : table) {
        if (item.first.type == ResourceName::Id(type) &&
            item.first.name == ResourceName::Id(name)) {
            return &item.second;
        }
    }
    return nullptr;
}

// The code points of valid UTF-8.
std::vector<char32_t> CodePoints(const std::string& text) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t point = length == 1   ? lead
                         : length == 2 ? lead & 0x1F
                         : length == 3 ? lead & 0x0F
                                       : lead & 0x07;
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            point = point << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

// What a button's text says of its mnemonic: the characters marked with a single '&' ("&&" is an
// ampersand), and whether a lone '&' ends it.
struct Mnemonics {
    std::vector<char32_t> marked;
    bool lone_at_end = false;
    size_t shown = 0;  // characters shown
};

Mnemonics ReadMnemonics(const std::string& text) {
    Mnemonics result;
    const std::vector<char32_t> points = CodePoints(text);
    for (size_t i = 0; i < points.size(); ++i) {
        if (points[i] != U'&') {
            ++result.shown;
        } else if (i + 1 == points.size()) {
            result.lone_at_end = true;
        } else if (points[i + 1] == U'&') {
            ++result.shown;
            ++i;
        } else {
            result.marked.push_back(points[i + 1]);
        }
    }
    return result;
}

// Mnemonics match without regard to case, as the dialog manager matches a key: the letters of
// ASCII, Latin-1, Greek and Cyrillic folded to their small forms.
char32_t FoldMnemonic(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

std::string Utf8Of(char32_t point) {
    std::string text;
    if (point < 0x80) {
        text += static_cast<char>(point);
    } else if (point < 0x800) {
        text += static_cast<char>(0xC0 | point >> 6);
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        text += static_cast<char>(0xE0 | point >> 12);
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | point >> 18);
        text += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    }
    return text;
}

std::string Hex6(uint32_t colour) {
    char text[8];
    snprintf(text, sizeof text, "%06X", colour & 0xFFFFFFu);
    return text;
}

std::string Ratio(double ratio) {
    char text[16];
    snprintf(text, sizeof text, "%.1f:1", floor(ratio * 10) / 10);
    return text;
}

void PutUnits(std::vector<uint8_t>* bytes, uint64_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A string of the resource: a u16 count of units, then the units.
void PutString(std::vector<uint8_t>* bytes, const char16_t* units, size_t capacity) {
    size_t length = 0;
    while (length < capacity && units[length] != 0) ++length;
    PutUnits(bytes, length, 2);
    for (size_t i = 0; i < length; ++i) PutUnits(bytes, units[i], 2);
}

// Copies text into a terminated buffer of capacity units; the checks made sure it fits.
template <typename Unit, size_t N>
void CopyUnits(const std::basic_string<Unit>& text, Unit (&buffer)[N]) {
    const size_t length = text.size() < N - 1 ? text.size() : N - 1;
    for (size_t i = 0; i < length; ++i) buffer[i] = text[i];
    buffer[length] = 0;
}

std::string OptionText(const LanguageOption& language) {
    return "--language " + PrintableName(language.code + "=" + language.text);
}

std::string TextProblemOf(const LanguageOption& language,
                          const std::vector<LanguageOption>& before) {
    const std::string option = OptionText(language);
    if (language.text.empty()) {
        return option + ": the text is empty; give the button's text in its language, as " +
               language.code + "=" +
               "Fran\xC3\xA7"
               "ais";
    }
    const std::string problem = BrandingTextProblem(language.text);
    if (!problem.empty()) return option + ": the text " + problem;
    const Mnemonics mnemonics = ReadMnemonics(language.text);
    if (mnemonics.shown > MAX_LANGUAGE_TEXT_CHARACTERS ||
        ToUtf16(language.text).size() + 1 > LANGUAGE_TEXT_CAPACITY) {
        return option + ": the text is " + std::to_string(mnemonics.shown) +
               " characters long; a button shows at most " +
               std::to_string(MAX_LANGUAGE_TEXT_CHARACTERS) +
               " (the & of a mnemonic not counted): shorten it";
    }
    if (mnemonics.lone_at_end) {
        return option +
               ": the text ends in a lone &, which marks nothing; write && for an "
               "ampersand";
    }
    if (mnemonics.marked.size() > 1) {
        return option + ": the text marks " + std::to_string(mnemonics.marked.size()) +
               " mnemonics with &; mark one, and write && for an ampersand";
    }
    if (mnemonics.marked.empty()) return std::string();
    const char32_t mine = FoldMnemonic(mnemonics.marked[0]);
    for (const LanguageOption& other : before) {
        const Mnemonics theirs = ReadMnemonics(other.text);
        if (theirs.marked.size() == 1 && FoldMnemonic(theirs.marked[0]) == mine) {
            return option + ": the mnemonic &" + Utf8Of(mnemonics.marked[0]) + " is " + other.code +
                   "'s too (" + other.text +
                   "; mnemonics ignore case): give each button its own, or none, and write && "
                   "for an ampersand";
        }
    }
    return std::string();
}

}  // namespace

std::vector<uint8_t> SerializeLanguageList(const LanguageList& list) {
    std::vector<uint8_t> bytes = {'Q', 'J', 'X', 'L'};
    PutUnits(&bytes, LANGUAGE_LIST_FORMAT, 2);
    PutUnits(&bytes, static_cast<uint64_t>(list.count), 2);
    PutUnits(&bytes, list.caption_colour, 4);
    PutUnits(&bytes, list.flags, 2);
    PutString(&bytes, list.caption, LANGUAGE_CAPTION_CAPACITY);
    for (int32_t i = 0; i < list.count && i < MAX_LANGUAGES; ++i) {
        const LanguageEntry& entry = list.entries[i];
        char16_t code[LANGUAGE_CODE_CAPACITY];
        for (size_t k = 0; k < LANGUAGE_CODE_CAPACITY; ++k) {
            code[k] = static_cast<unsigned char>(entry.code[k]);
        }
        PutString(&bytes, code, LANGUAGE_CODE_CAPACITY);
        PutString(&bytes, entry.text, LANGUAGE_TEXT_CAPACITY);
        PutString(&bytes, entry.transform, LANGUAGE_TRANSFORM_CAPACITY);
    }
    return bytes;
}

std::string TakeLanguageOptions(const std::vector<std::string>& languages,
                                const std::vector<std::string>& transforms,
                                BrandingRequest* request) {
    for (const std::string& value : languages) {
        const size_t equals = value.find('=');
        if (equals == std::string::npos || equals == 0) {
            return "--language " + PrintableName(value) +
                   ": give CODE=TEXT, a language tag and the button's text, as fr=Fran\xC3\xA7"
                   "ais";
        }
        request->languages.push_back({value.substr(0, equals), value.substr(equals + 1), ""});
    }
    for (const std::string& value : transforms) {
        const size_t equals = value.find('=');
        const std::string code = value.substr(0, equals);
        const std::string name = equals == std::string::npos ? "" : value.substr(equals + 1);
        const std::string option = "--transform " + PrintableName(value);
        if (request->languages.empty()) {
            if (code == "de" && !name.empty()) {
                request->transform_de = name;
            } else if (code == "ja" && !name.empty()) {
                request->transform_ja = name;
            } else if (name.empty() || code.empty()) {
                return option + ": give de=NAME or ja=NAME for the stock buttons";
            } else {
                return option + ": " + PrintableName(code) +
                       " is no stock button's language (de, ja); list it with --language " +
                       PrintableName(code) + "=TEXT";
            }
            continue;
        }
        if (code.empty() || name.empty()) {
            return option + ": give CODE=NAME for a listed language, as fr=Korrin_fr.mst";
        }
        LanguageOption* target = nullptr;
        for (LanguageOption& language : request->languages) {
            if (LanguageTagsEqual(language.code.c_str(), code.c_str())) target = &language;
        }
        if (target == nullptr) {
            return option + ": " + PrintableName(code) + " is not listed; add --language " +
                   PrintableName(code) + "=TEXT, or leave the transform out";
        }
        if (!target->transform.empty()) {
            return option + ": " + PrintableName(target->code) + " has a transform already (" +
                   PrintableName(target->transform) + "); give one";
        }
        target->transform = name;
    }
    return std::string();
}

bool ParseCaptionColour(const std::string& text, uint32_t* colour) {
    const size_t start = !text.empty() && text[0] == '#' ? 1 : 0;
    if (text.size() != start + 6) return false;
    uint32_t value = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            digit = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
        } else {
            return false;
        }
        value = value << 4 | digit;
    }
    *colour = value;
    return true;
}

size_t ShownCharacters(const std::string& text) {
    return ReadMnemonics(text).shown;
}

std::string LanguageValueProblem(const BrandingRequest& request) {
    const std::vector<LanguageOption>& languages = request.languages;
    if (languages.size() > static_cast<size_t>(MAX_LANGUAGES)) {
        return "--language: " + std::to_string(languages.size()) +
               " languages given; the window offers at most " + std::to_string(MAX_LANGUAGES) +
               ": leave some out";
    }
    for (size_t i = 0; i < languages.size(); ++i) {
        const LanguageOption& language = languages[i];
        const std::string option = OptionText(language);
        const std::string code = PrintableName(language.code);
        if (LanguageTagsEqual(language.code.c_str(), "auto")) {
            return option + ": " + code +
                   " is reserved (/SeaLang:auto picks the user's language); give a language "
                   "tag, as " +
                   TAG_EXAMPLES;
        }
        if (language.code.find('\0') != std::string::npos ||
            !IsPlausibleLanguageTag(language.code.c_str())) {
            return option + ": " + code + " is not a language tag; give one as " + TAG_EXAMPLES +
                   " (2 or 3 letters, then subtags of 1 to 8 letters or digits, each after a -)";
        }
        for (size_t j = 0; j < i; ++j) {
            if (LanguageTagsEqual(languages[j].code.c_str(), language.code.c_str())) {
                return option + ": " + code + " is listed already, as " +
                       PrintableName(languages[j].code) +
                       " (codes ignore case); give each language once";
            }
        }
        const std::vector<LanguageOption> before(languages.begin(), languages.begin() + i);
        std::string problem = TextProblemOf(language, before);
        if (!problem.empty()) return problem;
        if (!language.transform.empty()) {
            const std::string name_problem = LaunchNameProblem(language.transform);
            if (!name_problem.empty()) {
                return "--transform " + PrintableName(language.code + "=" + language.transform) +
                       ": the name " + name_problem;
            }
        }
    }
    if (!request.caption.empty()) {
        const std::string option = "--caption \"" + PrintableName(request.caption) + "\"";
        const std::string problem = BrandingTextProblem(request.caption);
        if (!problem.empty()) return option + " " + problem;
        const size_t characters = CodePoints(request.caption).size();
        if (characters > MAX_CAPTION_CHARACTERS ||
            ToUtf16(request.caption).size() + 1 > LANGUAGE_CAPTION_CAPACITY) {
            return option + " is " + std::to_string(characters) + " characters long; at most " +
                   std::to_string(MAX_CAPTION_CHARACTERS) + " fit the window's row: shorten it";
        }
    }
    uint32_t colour = 0;
    if (!request.caption_colour.empty() && !ParseCaptionColour(request.caption_colour, &colour)) {
        return "--caption-colour " + PrintableName(request.caption_colour) +
               ": give six hexadecimal digits RRGGBB, as 1F3A5C (black 000000, white FFFFFF)";
    }
    return std::string();
}

double RelativeLuminance(uint32_t colour) {
    double channels[3];
    for (int i = 0; i < 3; ++i) {
        const double value = static_cast<double>(colour >> (16 - 8 * i) & 0xFF) / 255.0;
        channels[i] = value <= 0.03928 ? value / 12.92 : pow((value + 0.055) / 1.055, 2.4);
    }
    return 0.2126 * channels[0] + 0.7152 * channels[1] + 0.0722 * channels[2];
}

double ContrastRatio(uint32_t a, uint32_t b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return la > lb ? (la + 0.05) / (lb + 0.05) : (lb + 0.05) / (la + 0.05);
}

bool CaptionBandColour(const std::vector<uint8_t>& dib, uint32_t* colour) {
    if (dib.size() < 40) return false;
    const uint64_t header = ReadLittleEndian(dib.data(), 4);
    const int64_t width = static_cast<int32_t>(ReadLittleEndian(dib.data() + 4, 4));
    const int64_t raw_height = static_cast<int32_t>(ReadLittleEndian(dib.data() + 8, 4));
    const uint64_t bits = ReadLittleEndian(dib.data() + 14, 2);
    const uint64_t compression = ReadLittleEndian(dib.data() + 16, 4);
    uint64_t colours = ReadLittleEndian(dib.data() + 32, 4);
    if (colours == 0) colours = 256;
    const int64_t height = raw_height < 0 ? -raw_height : raw_height;
    if (header < 40 || header > dib.size() || bits != 8 || compression != 0 || colours > 256 ||
        width <= 0 || height <= 0 || width > 65536 || height > 65536) {
        return false;
    }
    const uint64_t stride = (static_cast<uint64_t>(width) + 3) / 4 * 4;
    const uint64_t pixels = header + colours * 4;
    if (pixels + stride * static_cast<uint64_t>(height) > dib.size()) return false;
    const int64_t top = height * CAPTION_BAND_PERCENT / 100;
    const int64_t bottom = top + CAPTION_BAND_ROWS < height ? top + CAPTION_BAND_ROWS : height;
    uint64_t sums[3] = {0, 0, 0}, count = 0;
    for (int64_t y = top; y < bottom; ++y) {
        const int64_t row = raw_height < 0 ? y : height - 1 - y;  // bottom-up unless negative
        const uint8_t* at = dib.data() + pixels + stride * static_cast<uint64_t>(row);
        for (int64_t x = 0; x < width; ++x) {
            const uint64_t index = at[x];
            if (index >= colours) return false;
            const uint8_t* entry = dib.data() + header + index * 4;  // blue, green, red, 0
            sums[0] += entry[2];
            sums[1] += entry[1];
            sums[2] += entry[0];
            ++count;
        }
    }
    if (count == 0) return false;
    *colour = 0;
    for (uint64_t sum : sums)
        *colour = *colour << 8 | static_cast<uint32_t>((sum + count / 2) / count);
    return true;
}

bool ApplyLanguages(const BrandingRequest& request, bool language_pictures, ResourceTable* table,
                    std::vector<std::string>* warnings, std::string* error) {
    const ResourceData* existing = FindData(*table, RT_RCDATA_ID, IDR_LANGUAGES);
    if (!request.HasLanguageList()) {
        // Without --language the stub's own buttons stay: the stock ones take the stock
        // transforms, a list of its own carries them.
        if (existing != nullptr &&
            (!request.transform_de.empty() || !request.transform_ja.empty())) {
            LanguageList list;
            if (ParseLanguageList(existing->bytes.data(), existing->bytes.size(), &list) &&
                list.count > 0) {
                *error = std::string("--transform ") +
                         (request.transform_de.empty() ? "ja=" : "de=") +
                         ": the stub offers languages of its own (branded with --language); give "
                         "them again with --language and their transforms";
                return false;
            }
        }
        return true;
    }
    LanguageList list;
    if (existing == nullptr ||
        !ParseLanguageList(existing->bytes.data(), existing->bytes.size(), &list)) {
        ClearLanguageList(&list);
    }
    if (!request.languages.empty()) {
        list.count = static_cast<int32_t>(request.languages.size());
        list.flags = language_pictures ? LANGUAGE_FLAG_PICTURES : 0;
        for (size_t i = 0; i < request.languages.size(); ++i) {
            LanguageEntry& entry = list.entries[i];
            CopyUnits(request.languages[i].code, entry.code);
            CopyUnits(ToUtf16(request.languages[i].text), entry.text);
            CopyUnits(ToUtf16(request.languages[i].transform), entry.transform);
        }
        // The pictures of the stub's earlier languages belong to them alone.
        if (!language_pictures) {
            for (auto it = table->begin(); it != table->end();) {
                const bool old = it->first.type == ResourceName::Id(RT_BITMAP_ID) &&
                                 it->first.name.text.empty() &&
                                 it->first.name.id >= FIRST_LANGUAGE_PICTURE &&
                                 it->first.name.id <= LAST_LANGUAGE_PICTURE;
                it = old ? table->erase(it) : std::next(it);
            }
        }
    }
    if (!request.caption.empty()) CopyUnits(ToUtf16(request.caption), list.caption);
    uint32_t colour = 0;
    if (ParseCaptionColour(request.caption_colour, &colour)) list.caption_colour = colour;

    ResourceKey key{ResourceName::Id(RT_RCDATA_ID), ResourceName::Id(IDR_LANGUAGES),
                    LANGUAGE_US_ENGLISH};
    for (auto it = table->begin(); it != table->end();) {
        const bool old = it->first.type == key.type && it->first.name == key.name;
        if (old) key.language = it->first.language;
        it = old ? table->erase(it) : std::next(it);
    }
    (*table)[key].bytes = SerializeLanguageList(list);

    // The caption drawn over the background the installer carries, the vendor's or the stock.
    const ResourceData* background = FindData(*table, RT_BITMAP_ID, IDB_BACKGROUND_8BIT);
    uint32_t band = 0;
    if (background == nullptr || !CaptionBandColour(background->bytes, &band)) return true;
    const uint32_t text = list.caption_colour == LANGUAGE_DEFAULT_COLOUR ? DEFAULT_CAPTION_COLOUR
                                                                         : list.caption_colour;
    const double ratio = ContrastRatio(text, band);
    if (ratio >= MIN_CAPTION_CONTRAST) return true;
    const std::string colour_text = list.caption_colour == LANGUAGE_DEFAULT_COLOUR
                                        ? "the caption's black (the default)"
                                        : "--caption-colour " + Hex6(list.caption_colour);
    warnings->push_back(colour_text + " has a contrast of " + Ratio(ratio) +
                        " with the background behind the caption (on average " + Hex6(band) +
                        "), below the 4.5:1 that keeps text readable: choose another colour "
                        "(black gives " +
                        Ratio(ContrastRatio(0x000000, band)) + ", white " +
                        Ratio(ContrastRatio(0xFFFFFF, band)) + ")");
    return true;
}

void ReadLanguageBranding(const ResourceTable& table, StubBranding* branding) {
    const ResourceData* data = FindData(table, RT_RCDATA_ID, IDR_LANGUAGES);
    if (data == nullptr) return;
    branding->has_language_list = true;
    LanguageList list;
    if (!ParseLanguageList(data->bytes.data(), data->bytes.size(), &list)) {
        branding->language_list_damaged = true;
        return;
    }
    for (int32_t i = 0; i < list.count; ++i) {
        const LanguageEntry& entry = list.entries[i];
        branding->languages.push_back({entry.code, ToUtf8(entry.text), ToUtf8(entry.transform)});
    }
    branding->caption = ToUtf8(list.caption);
    branding->caption_colour = list.caption_colour;
    branding->language_pictures = (list.flags & LANGUAGE_FLAG_PICTURES) != 0;
}

}  // namespace qjxpack
