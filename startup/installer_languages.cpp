#include "startup/installer_languages.h"

#include "resources/resource_ids.h"
#include "startup/image_resource.h"
#include "startup/run_log.h"
#include "system/user_language.h"

namespace {

// Room for every code of the longest list, with separators.
constexpr size_t CODES_TEXT_CAPACITY = MAX_LANGUAGES * (LANGUAGE_CODE_CAPACITY + 2);

}  // namespace

bool ReadInstallerLanguages(LanguageList* out) {
    ClearLanguageList(out);
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (!FindImageResource(IDR_LANGUAGES, &bytes, &size)) {
        LogLine("languages: en, de, ja (the stock three)");
        return true;
    }
    if (bytes == nullptr || !ParseLanguageList(bytes, size, out)) {
        ClearLanguageList(out);
        LogLine("languages: the list in the program is damaged");
        return false;
    }
    char codes[CODES_TEXT_CAPACITY];
    DescribeLanguageCodes(*out, codes, sizeof codes);
    LogLine("languages: %s", codes);
    return true;
}

LanguageChoice ChooseRunLanguage(const StubSwitches& switches, const LanguageList& languages) {
    char user[LANGUAGE_CODE_CAPACITY];
    if (!UserLanguageTag(user, sizeof user)) user[0] = 0;
    const LanguageChoice choice = ChooseLanguage(switches, languages, user);
    if (choice.unknown) {
        char codes[CODES_TEXT_CAPACITY];
        DescribeLanguageCodes(languages, codes, sizeof codes);
        LogLine("unknown language \"%s\"; this installer has: %s", switches.language_value, codes);
    } else if (choice.chosen >= 0) {
        LogLine("language: %s (the user's is %s)", LanguageCodeAt(languages, choice.chosen),
                user[0] != 0 ? user : "unknown");
    }
    return choice;
}
