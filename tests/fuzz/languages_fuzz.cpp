// The stub's reading of its language list, which comes from the installer's resources: it never
// reads outside the bytes, a refused list leaves the stock list, and an accepted one holds only
// what the stub may use (terminated, plausible codes, named buttons) and the packer writes back
// to exactly the bytes it came from. Looking the entries up again finds each by its own code.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "text/language_list.h"
#include "tools/pe/language_branding.h"

#define CHECK(condition) \
    if (!(condition)) abort()

namespace {

template <typename Char>
size_t TerminatedLength(const Char* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != 0) ++length;
    CHECK(length < capacity);
    return length;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly size bytes on the heap, so that the address sanitizer sees any read past them.
    std::vector<uint8_t> bytes(data, data + size);
    LanguageList list;
    memset(&list, 0x5A, sizeof list);
    if (!ParseLanguageList(bytes.data(), bytes.size(), &list)) {
        CHECK(list.count == 0 && list.caption[0] == 0);
        CHECK(list.caption_colour == LANGUAGE_DEFAULT_COLOUR);
        return 0;
    }
    CHECK(list.count >= 0 && list.count <= MAX_LANGUAGES);
    TerminatedLength(list.caption, LANGUAGE_CAPTION_CAPACITY);
    for (int32_t i = 0; i < list.count; ++i) {
        const LanguageEntry& entry = list.entries[i];
        TerminatedLength(entry.code, LANGUAGE_CODE_CAPACITY);
        CHECK(IsPlausibleLanguageTag(entry.code));
        CHECK(TerminatedLength(entry.text, LANGUAGE_TEXT_CAPACITY) > 0);
        TerminatedLength(entry.transform, LANGUAGE_TRANSFORM_CAPACITY);
        const int32_t found = FindLanguage(list, entry.code);
        CHECK(found >= 0 && found <= i && LanguageTagsEqual(list.entries[found].code, entry.code));
        CHECK(MatchUserLanguage(list, entry.code) == found);
    }
    CHECK(qjxpack::SerializeLanguageList(list) == bytes);
    return 0;
}
