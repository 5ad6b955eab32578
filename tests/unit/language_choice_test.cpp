#include "command_line/language_choice.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

StubSwitches Switches(const char* tail) {
    StubSwitches switches;
    char forwarded[256];
    ReadStubSwitches(tail, forwarded, &switches);
    EXPECT_FALSE(switches.bad) << tail;
    return switches;
}

LanguageList Vendor(std::initializer_list<const char*> codes) {
    LanguageList list;
    ClearLanguageList(&list);
    for (const char* code : codes) {
        LanguageEntry& entry = list.entries[list.count++];
        memcpy(entry.code, code, strlen(code) + 1);
        entry.text[0] = u'x';
        entry.text[1] = 0;
    }
    return list;
}

LanguageList Stock() {
    LanguageList list;
    ClearLanguageList(&list);
    return list;
}

// The index /SeaLang takes (-1: ask), or -2 for an unknown value.
int32_t Chosen(const char* tail, const LanguageList& list, const char* user = "") {
    const LanguageChoice choice = ChooseLanguage(Switches(tail), list, user);
    if (choice.unknown) {
        EXPECT_EQ(choice.chosen, -1) << tail;
        return -2;
    }
    return choice.chosen;
}

// The stock three count as en, de and ja, so that the switches of the stock stub keep working;
// their focus stays on English whoever the user is.
TEST(LanguageChoice, TheStockThreeByCodeIdAndAuto) {
    const LanguageList stock = Stock();
    EXPECT_EQ(Chosen(" /SeaLang:de", stock), 1);
    EXPECT_EQ(Chosen(" /SeaLang:JA", stock), 2);
    EXPECT_EQ(Chosen(" /SeaLang:1033", stock), 0);
    EXPECT_EQ(Chosen(" /SeaLang:1031", stock), 1);
    EXPECT_EQ(Chosen(" /SeaLang:1041", stock), 2);
    EXPECT_EQ(Chosen(" /SeaLang:2057", stock), 0);  // en-GB: English all the same
    EXPECT_EQ(Chosen(" /SeaLang:3079", stock), 1);  // de-AT
    EXPECT_EQ(Chosen(" /SeaLang:fr", stock), -2);
    EXPECT_EQ(Chosen(" /SeaLang:1036", stock), -2);
    EXPECT_EQ(Chosen(" /SeaLang:en-US", stock), -2);  // codes match exactly
    EXPECT_EQ(Chosen(" /SeaLang:auto", stock, "de-CH"), 1);
    EXPECT_EQ(Chosen(" /SeaLang:auto", stock, "fr-FR"), 0);
    EXPECT_EQ(Chosen(" /SeaLang:auto", stock, ""), 0);
    EXPECT_EQ(ChooseLanguage(Switches(" /SeaWait"), stock, "ja-JP").focus, 0);
    EXPECT_EQ(ChooseLanguage(Switches(" /SeaLang:auto"), stock, "ja-JP").focus, 0);
}

TEST(LanguageChoice, AVendorsListByCodeIdAndAuto) {
    const LanguageList list = Vendor({"en", "fr", "zh-Hans", "pt-BR", "pt"});
    EXPECT_EQ(Chosen(" /SeaLang:FR", list), 1);
    EXPECT_EQ(Chosen(" /SeaLang:zh-hans", list), 2);
    EXPECT_EQ(Chosen(" /SeaLang:de", list), -2);
    EXPECT_EQ(Chosen(" /SeaLang:zh-Hant", list), -2);
    EXPECT_EQ(Chosen(" /SeaLang:zh", list), -2);
    // An id matches as the user's language would: by region, else by language, never across
    // Chinese scripts.
    EXPECT_EQ(Chosen(" /SeaLang:1036", list), 1);   // fr-FR
    EXPECT_EQ(Chosen(" /SeaLang:2052", list), 2);   // zh-CN
    EXPECT_EQ(Chosen(" /SeaLang:1028", list), -2);  // zh-TW
    EXPECT_EQ(Chosen(" /SeaLang:1046", list), 3);   // pt-BR
    EXPECT_EQ(Chosen(" /SeaLang:2070", list), 4);   // pt-PT: the bare pt before pt-BR
    EXPECT_EQ(Chosen(" /SeaLang:1031", list), -2);
    EXPECT_EQ(Chosen(" /SeaLang:1", list), -2);  // no language has this id
    EXPECT_EQ(Chosen(" /SeaLang:auto", list, "zh-SG"), 2);
    EXPECT_EQ(Chosen(" /SeaLang:auto", list, "zh-TW"), 0);
    EXPECT_EQ(Chosen(" /SeaLang:auto", list, "fr-CA"), 1);
}

TEST(LanguageChoice, WithoutTheSwitchAQuietRunTakesTheFirstAndOthersAsk) {
    const LanguageList list = Vendor({"pl", "fr"});
    EXPECT_EQ(Chosen(" /SeaQuiet", list, "fr-FR"), 0);
    EXPECT_EQ(Chosen(" /SeaQuiet", Stock(), "de-DE"), 0);
    EXPECT_EQ(Chosen(" /SeaWait", list, "fr-FR"), -1);
    EXPECT_EQ(Chosen("", Stock()), -1);
    // The user's own language takes the focus when asked; with none, the first button.
    EXPECT_EQ(ChooseLanguage(Switches(" /SeaWait"), list, "fr-BE").focus, 1);
    EXPECT_EQ(ChooseLanguage(Switches(""), list, "de-DE").focus, 0);
    EXPECT_EQ(ChooseLanguage(Switches(""), list, "").focus, 0);
}

TEST(LanguageChoice, TheCodesForTheLog) {
    char text[MAX_LANGUAGES * (LANGUAGE_CODE_CAPACITY + 2)];
    DescribeLanguageCodes(Vendor({"en", "fr", "zh-Hans"}), text, sizeof text);
    EXPECT_STREQ(text, "en, fr, zh-Hans");
    DescribeLanguageCodes(Stock(), text, sizeof text);
    EXPECT_STREQ(text, "en, de, ja");
    DescribeLanguageCodes(Vendor({"en", "fr"}), text, 6);
    EXPECT_STREQ(text, "en, f");
    EXPECT_STREQ(LanguageCodeAt(Stock(), 2), "ja");
    EXPECT_STREQ(LanguageCodeAt(Vendor({"en", "fr"}), 1), "fr");
    EXPECT_STREQ(LanguageCodeAt(Vendor({"en", "fr"}), 2), "");
}

}  // namespace
