#include "text/language_list.h"

#include <string.h>

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads bytes as the list's little-endian fields, never past its end.
struct Reader {
    const uint8_t* bytes;
    size_t size;
    size_t at;

    bool Take(size_t count, uint32_t* value) {
        if (size - at < count) return false;
        *value = 0;
        for (size_t i = count; i-- > 0;) *value = (*value << 8) | bytes[at + i];
        at += count;
        return true;
    }

    // A string of at most capacity - 1 units, without NUL units, terminated in out.
    template <typename Char>
    bool String(Char* out, size_t capacity, bool ascii) {
        uint32_t length;
        if (!Take(2, &length) || length >= capacity || (size - at) / 2 < length) return false;
        for (uint32_t i = 0; i < length; ++i) {
            uint32_t unit = 0;
            if (!Take(2, &unit) || unit == 0 || (ascii && unit >= 0x80)) return false;
            out[i] = static_cast<Char>(unit);
        }
        out[length] = 0;
        return true;
    }
};

bool ReadList(const uint8_t* bytes, size_t size, LanguageList* out) {
    Reader reader = {bytes, size, 0};
    uint32_t format, count, colour, flags;
    if (size < 4 || memcmp(bytes, "QJXL", 4) != 0) return false;
    reader.at = 4;
    if (!reader.Take(2, &format) || format != LANGUAGE_LIST_FORMAT || !reader.Take(2, &count) ||
        count > static_cast<uint32_t>(MAX_LANGUAGES) || !reader.Take(4, &colour) ||
        (colour != LANGUAGE_DEFAULT_COLOUR && colour > 0xFFFFFFu) || !reader.Take(2, &flags) ||
        (flags & ~static_cast<uint32_t>(LANGUAGE_FLAG_PICTURES)) != 0 ||
        !reader.String(out->caption, LANGUAGE_CAPTION_CAPACITY, false)) {
        return false;
    }
    out->count = static_cast<int32_t>(count);
    out->caption_colour = colour;
    out->flags = static_cast<uint16_t>(flags);
    for (uint32_t i = 0; i < count; ++i) {
        LanguageEntry& entry = out->entries[i];
        if (!reader.String(entry.code, LANGUAGE_CODE_CAPACITY, true) ||
            !IsPlausibleLanguageTag(entry.code) ||
            !reader.String(entry.text, LANGUAGE_TEXT_CAPACITY, false) || entry.text[0] == 0 ||
            !reader.String(entry.transform, LANGUAGE_TRANSFORM_CAPACITY, false)) {
            return false;
        }
    }
    return reader.at == size;
}

// The length of tag's first subtag.
size_t PrimaryLength(const char* tag) {
    size_t length = 0;
    while (tag[length] != 0 && tag[length] != '-') ++length;
    return length;
}

// Whether tag's primary subtag equals primary (length letters), ignoring case.
bool SamePrimary(const char* tag, const char* primary, size_t length) {
    if (PrimaryLength(tag) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(tag[i]) != LowerAscii(primary[i])) return false;
    }
    return true;
}

// Whether the subtag [begin, begin + length) equals text, ignoring case.
bool SubtagIs(const char* begin, size_t length, const char* text) {
    if (strlen(text) != length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (LowerAscii(begin[i]) != LowerAscii(text[i])) return false;
    }
    return true;
}

// The script of a Chinese tag: 'T' for Traditional (Hant, or the regions that write it), else
// 'S' for Simplified (Hans, the regions that write it, and a tag naming neither).
char ChineseScript(const char* tag) {
    const char* p = tag;
    while (*p != 0) {
        const char* begin = p;
        while (*p != 0 && *p != '-') ++p;
        const size_t length = static_cast<size_t>(p - begin);
        if (SubtagIs(begin, length, "hant") || SubtagIs(begin, length, "tw") ||
            SubtagIs(begin, length, "hk") || SubtagIs(begin, length, "mo")) {
            return 'T';
        }
        if (SubtagIs(begin, length, "hans")) return 'S';
        if (*p == '-') ++p;
    }
    return 'S';
}

struct IdTag {
    uint16_t id;
    const char* tag;
};

// Whole language ids (language and region) first; then, by primary language alone, the bare
// language of the ids whose region is missing here.
const IdTag REGION_TAGS[] = {
    {0x0401, "ar-SA"},   {0x0402, "bg-BG"}, {0x0403, "ca-ES"}, {0x0404, "zh-TW"},
    {0x0405, "cs-CZ"},   {0x0406, "da-DK"}, {0x0407, "de-DE"}, {0x0408, "el-GR"},
    {0x0409, "en-US"},   {0x040A, "es-ES"}, {0x040B, "fi-FI"}, {0x040C, "fr-FR"},
    {0x040D, "he-IL"},   {0x040E, "hu-HU"}, {0x040F, "is-IS"}, {0x0410, "it-IT"},
    {0x0411, "ja-JP"},   {0x0412, "ko-KR"}, {0x0413, "nl-NL"}, {0x0414, "nb-NO"},
    {0x0415, "pl-PL"},   {0x0416, "pt-BR"}, {0x0418, "ro-RO"}, {0x0419, "ru-RU"},
    {0x041A, "hr-HR"},   {0x041B, "sk-SK"}, {0x041D, "sv-SE"}, {0x041E, "th-TH"},
    {0x041F, "tr-TR"},   {0x0421, "id-ID"}, {0x0422, "uk-UA"}, {0x0424, "sl-SI"},
    {0x0425, "et-EE"},   {0x0426, "lv-LV"}, {0x0427, "lt-LT"}, {0x0429, "fa-IR"},
    {0x042A, "vi-VN"},   {0x0439, "hi-IN"}, {0x0804, "zh-CN"}, {0x0807, "de-CH"},
    {0x0809, "en-GB"},   {0x080A, "es-MX"}, {0x080C, "fr-BE"}, {0x0810, "it-CH"},
    {0x0813, "nl-BE"},   {0x0814, "nn-NO"}, {0x0816, "pt-PT"}, {0x081D, "sv-FI"},
    {0x0C04, "zh-HK"},   {0x0C07, "de-AT"}, {0x0C09, "en-AU"}, {0x0C0A, "es-ES"},
    {0x0C0C, "fr-CA"},   {0x1004, "zh-SG"}, {0x1009, "en-CA"}, {0x100C, "fr-CH"},
    {0x1404, "zh-MO"},   {0x1409, "en-NZ"}, {0x1809, "en-IE"}, {0x0004, "zh-Hans"},
    {0x7C04, "zh-Hant"},
};

const IdTag PRIMARY_TAGS[] = {
    {0x01, "ar"}, {0x02, "bg"}, {0x03, "ca"}, {0x04, "zh"}, {0x05, "cs"}, {0x06, "da"},
    {0x07, "de"}, {0x08, "el"}, {0x09, "en"}, {0x0A, "es"}, {0x0B, "fi"}, {0x0C, "fr"},
    {0x0D, "he"}, {0x0E, "hu"}, {0x0F, "is"}, {0x10, "it"}, {0x11, "ja"}, {0x12, "ko"},
    {0x13, "nl"}, {0x14, "nb"}, {0x15, "pl"}, {0x16, "pt"}, {0x18, "ro"}, {0x19, "ru"},
    {0x1A, "hr"}, {0x1B, "sk"}, {0x1C, "sq"}, {0x1D, "sv"}, {0x1E, "th"}, {0x1F, "tr"},
    {0x20, "ur"}, {0x21, "id"}, {0x22, "uk"}, {0x23, "be"}, {0x24, "sl"}, {0x25, "et"},
    {0x26, "lv"}, {0x27, "lt"}, {0x29, "fa"}, {0x2A, "vi"}, {0x2B, "hy"}, {0x2D, "eu"},
    {0x2F, "mk"}, {0x36, "af"}, {0x37, "ka"}, {0x39, "hi"}, {0x3E, "ms"}, {0x3F, "kk"},
    {0x41, "sw"}, {0x56, "gl"},
};

}  // namespace

void ClearLanguageList(LanguageList* out) {
    memset(out, 0, sizeof *out);
    out->caption_colour = LANGUAGE_DEFAULT_COLOUR;
}

bool ParseLanguageList(const uint8_t* bytes, size_t size, LanguageList* out) {
    ClearLanguageList(out);
    if (bytes != nullptr && ReadList(bytes, size, out)) return true;
    ClearLanguageList(out);
    return false;
}

bool IsPlausibleLanguageTag(const char* tag) {
    const size_t primary = PrimaryLength(tag);
    if (primary < 2 || primary > 3) return false;
    size_t length = 0;
    size_t subtag = 0;
    for (; tag[length] != 0; ++length) {
        const char c = tag[length];
        if (c == '-') {
            if (subtag == 0) return false;
            subtag = 0;
            continue;
        }
        const bool allowed = length < primary ? IsLetter(c) : IsLetter(c) || IsDigit(c);
        if (!allowed || ++subtag > 8) return false;
    }
    return subtag != 0 && length < LANGUAGE_CODE_CAPACITY;
}

bool LanguageTagsEqual(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
        if (*a == 0) return true;
    }
}

int32_t FindLanguage(const LanguageList& list, const char* code) {
    for (int32_t i = 0; i < list.count; ++i) {
        if (LanguageTagsEqual(list.entries[i].code, code)) return i;
    }
    return -1;
}

int32_t MatchUserLanguage(const LanguageList& list, const char* user_tag) {
    const size_t primary = PrimaryLength(user_tag);
    if (primary == 0) return -1;
    const bool chinese = SamePrimary(user_tag, "zh", 2);
    const char script = chinese ? ChineseScript(user_tag) : 0;
    const char* script_tag = script == 'T' ? "zh-Hant" : "zh-Hans";
    // 0: the same tag; 1: the bare language (for Chinese, the script's tag); 2: the language.
    int32_t best = -1;
    int32_t best_rank = 3;
    for (int32_t i = 0; i < list.count; ++i) {
        const char* code = list.entries[i].code;
        if (!SamePrimary(code, user_tag, primary)) continue;
        if (chinese && ChineseScript(code) != script) continue;
        int32_t rank = 2;
        if (LanguageTagsEqual(code, user_tag)) {
            rank = 0;
        } else if (chinese ? LanguageTagsEqual(code, script_tag) : code[primary] == 0) {
            rank = 1;
        }
        if (rank < best_rank) {
            best = i;
            best_rank = rank;
        }
    }
    return best;
}

bool LanguageTagOfId(uint16_t language_id, char* out, size_t capacity) {
    const char* tag = nullptr;
    for (const IdTag& entry : REGION_TAGS) {
        if (entry.id == language_id) tag = entry.tag;
    }
    for (const IdTag& entry : PRIMARY_TAGS) {
        if (tag == nullptr && entry.id == (language_id & 0x3FF)) tag = entry.tag;
    }
    if (capacity > 0) out[0] = 0;
    if (tag == nullptr || strlen(tag) >= capacity) return false;
    memcpy(out, tag, strlen(tag) + 1);
    return true;
}
