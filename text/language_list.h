// A vendor's languages: the list of language buttons an installer offers, its caption and the
// caption's colour, as the packer writes them into the stub's resources (IDR_LANGUAGES) and the
// stub reads them back from its mapped image. Pure code, built on every platform.
//
// The resource, little-endian throughout:
//   "QJXL"                  4 bytes
//   u16 format              LANGUAGE_LIST_FORMAT
//   u16 count               0 to MAX_LANGUAGES; 0: the stock three buttons (English, Deutsch,
//                           Japanese) with their pictures, as an installer made without languages
//   u32 caption colour      0x00RRGGBB, or LANGUAGE_DEFAULT_COLOUR for the stock black
//   u16 flags               LANGUAGE_FLAG_*
//   string caption          empty: the stock "Select a Language:"
//   count times:
//     string code           a language tag ("en", "pt-BR", "zh-Hans"), ASCII
//     string text           the button's name in its own language; '&' marks the mnemonic
//     string transform      the transform's file name at the payload's root; empty: none
// where a string is a u16 count of UTF-16 units followed by the units, without a terminator.
// Nothing may follow the last string.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr uint16_t LANGUAGE_LIST_FORMAT = 1;
constexpr int32_t MAX_LANGUAGES = 8;
constexpr uint32_t LANGUAGE_DEFAULT_COLOUR = 0xFFFFFFFFu;
// Each language has pictures of its own (IDB_LANGUAGE_PICTURES): its buttons are not drawn.
constexpr uint16_t LANGUAGE_FLAG_PICTURES = 1;

// Capacities, terminator included. A list whose strings do not fit is refused whole.
constexpr size_t LANGUAGE_CODE_CAPACITY = 36;        // ASCII
constexpr size_t LANGUAGE_TEXT_CAPACITY = 64;        // UTF-16 units
constexpr size_t LANGUAGE_TRANSFORM_CAPACITY = 260;  // UTF-16 units, ASCII only in practice
constexpr size_t LANGUAGE_CAPTION_CAPACITY = 128;    // UTF-16 units

struct LanguageEntry {
    char code[LANGUAGE_CODE_CAPACITY];
    char16_t text[LANGUAGE_TEXT_CAPACITY];
    char16_t transform[LANGUAGE_TRANSFORM_CAPACITY];  // empty: the package as it is
};

struct LanguageList {
    int32_t count;            // 0: the stock three
    uint32_t caption_colour;  // 0x00RRGGBB or LANGUAGE_DEFAULT_COLOUR
    uint16_t flags;
    char16_t caption[LANGUAGE_CAPTION_CAPACITY];  // empty: the stock caption
    LanguageEntry entries[MAX_LANGUAGES];
};

// Reads the resource. False, with *out the stock list (count 0, default caption and colour),
// when the bytes are not a whole, valid list: a bad magic or format, a count above MAX_LANGUAGES,
// a string running past the end or over its capacity, a code that is not a plausible tag,
// an empty text, a NUL unit inside a string, or bytes after the last string.
bool ParseLanguageList(const uint8_t* bytes, size_t size, LanguageList* out);

// The stock list: no languages of the vendor's, default caption and colour.
void ClearLanguageList(LanguageList* out);

// A plausible BCP 47 language tag: a primary subtag of 2 to 3 letters, then subtags of 1 to 8
// letters or digits separated by '-', at most LANGUAGE_CODE_CAPACITY - 1 characters in all.
// "auto" (reserved for /SeaLang) is not one.
bool IsPlausibleLanguageTag(const char* tag);

// Tags compared as language tags compare: ASCII letters without regard to case.
bool LanguageTagsEqual(const char* a, const char* b);

// The index of the entry whose code equals code (ignoring case), or -1.
int32_t FindLanguage(const LanguageList& list, const char* code);

// The entry for a user whose UI language is user_tag ("pt-BR", "zh-TW", "de"), or -1:
//   1. the entry whose code equals the tag;
//   2. else the entry whose code is the tag's bare primary language ("pt" for "pt-BR");
//   3. else the first entry of the same primary language ("pt-PT" for "pt-BR").
// Chinese goes by script, never across: zh-CN, zh-SG, zh-Hans-* and a bare zh are Simplified
// and match "zh-Hans" (and "zh-CN", "zh-SG", "zh"); zh-TW, zh-HK, zh-MO and zh-Hant-* are
// Traditional and match "zh-Hant" (and "zh-TW", "zh-HK", "zh-MO").
int32_t MatchUserLanguage(const LanguageList& list, const char* user_tag);

// A language tag for a Windows language id (LANGID), from a built-in table of the common
// languages and regions ("en-US" for 0x0409, "zh-TW" for 0x0404, "de" for a bare 0x0007); false
// with out empty when the id is unknown or out (capacity units) is too small.
bool LanguageTagOfId(uint16_t language_id, char* out, size_t capacity);
