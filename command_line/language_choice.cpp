#include "command_line/language_choice.h"

#include <string.h>

namespace {

const char* const STOCK_CODES[] = {"en", "de", "ja"};
constexpr int32_t STOCK_COUNT = 3;

// The list the choice is made in: the installer's own, or the stock three by their codes.
const LanguageList& ListToChooseIn(const LanguageList& languages, LanguageList* stock) {
    if (languages.count > 0) return languages;
    ClearLanguageList(stock);
    for (int32_t i = 0; i < STOCK_COUNT; ++i) {
        memcpy(stock->entries[i].code, STOCK_CODES[i], strlen(STOCK_CODES[i]) + 1);
    }
    stock->count = STOCK_COUNT;
    return *stock;
}

int32_t MatchUser(const LanguageList& list, const char* user_tag) {
    return user_tag != nullptr && user_tag[0] != 0 ? MatchUserLanguage(list, user_tag) : -1;
}

}  // namespace

LanguageChoice ChooseLanguage(const StubSwitches& switches, const LanguageList& languages,
                              const char* user_tag) {
    LanguageList stock;
    const LanguageList& list = ListToChooseIn(languages, &stock);
    LanguageChoice choice = {-1, 0, false};
    if (languages.count > 0) {
        const int32_t user = MatchUser(list, user_tag);
        choice.focus = user >= 0 ? user : 0;
    }
    switch (switches.language) {
        case STUB_LANGUAGE_CODE:
            choice.chosen = FindLanguage(list, switches.language_value);
            break;
        case STUB_LANGUAGE_ID: {
            char tag[LANGUAGE_CODE_CAPACITY];
            choice.chosen = LanguageTagOfId(switches.language_id, tag, sizeof tag)
                                ? MatchUserLanguage(list, tag)
                                : -1;
            break;
        }
        case STUB_LANGUAGE_AUTO: {
            const int32_t user = MatchUser(list, user_tag);
            choice.chosen = user >= 0 ? user : 0;
            break;
        }
        default:
            choice.chosen = switches.quiet ? 0 : -1;
            return choice;
    }
    choice.unknown = choice.chosen < 0;
    return choice;
}

const char* LanguageCodeAt(const LanguageList& languages, int32_t index) {
    if (languages.count == 0) return index >= 0 && index < STOCK_COUNT ? STOCK_CODES[index] : "";
    return index >= 0 && index < languages.count ? languages.entries[index].code : "";
}

void DescribeLanguageCodes(const LanguageList& languages, char* out, size_t capacity) {
    if (capacity == 0) return;
    LanguageList stock;
    const LanguageList& list = ListToChooseIn(languages, &stock);
    size_t length = 0;
    out[0] = 0;
    for (int32_t i = 0; i < list.count; ++i) {
        const char* parts[2] = {i > 0 ? ", " : "", list.entries[i].code};
        for (const char* part : parts) {
            for (; *part != 0 && length + 1 < capacity; ++part) out[length++] = *part;
        }
    }
    out[length] = 0;
}
