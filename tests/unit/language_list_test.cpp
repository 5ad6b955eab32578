#include "text/language_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A list's bytes, written field by field as the packer writes them.
struct ListBytes {
    std::vector<uint8_t> bytes;

    void Number(uint32_t value, size_t count) {
        for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void String(const std::u16string& text) {
        Number(static_cast<uint32_t>(text.size()), 2);
        for (char16_t unit : text) Number(unit, 2);
    }
    static ListBytes Header(uint32_t count, uint32_t colour = LANGUAGE_DEFAULT_COLOUR,
                            uint32_t flags = 0, const std::u16string& caption = u"") {
        ListBytes list;
        list.bytes = {'Q', 'J', 'X', 'L'};
        list.Number(LANGUAGE_LIST_FORMAT, 2);
        list.Number(count, 2);
        list.Number(colour, 4);
        list.Number(flags, 2);
        list.String(caption);
        return list;
    }
    ListBytes& Language(const std::u16string& code, const std::u16string& text,
                        const std::u16string& transform = u"") {
        String(code);
        String(text);
        String(transform);
        return *this;
    }
};

LanguageList Parsed(const ListBytes& list, bool expected = true) {
    LanguageList out;
    EXPECT_EQ(expected, ParseLanguageList(list.bytes.data(), list.bytes.size(), &out));
    return out;
}

LanguageList Codes(std::initializer_list<const char*> codes) {
    LanguageList list;
    ClearLanguageList(&list);
    for (const char* code : codes) {
        std::string(code).copy(list.entries[list.count].code, LANGUAGE_CODE_CAPACITY - 1);
        list.entries[list.count++].text[0] = u'x';
    }
    return list;
}

TEST(LanguageList, ReadsEveryFieldOfAWholeList) {
    ListBytes list = ListBytes::Header(3, 0xFFEE00, LANGUAGE_FLAG_PICTURES, u"Choisissez :");
    list.Language(u"en", u"&English")
        .Language(u"fr", u"&Fran\u00e7ais", u"Korrin_fr.mst")
        .Language(u"zh-Hans", u"\u7b80\u4f53\u4e2d\u6587", u"Korrin_zh.mst");
    const LanguageList out = Parsed(list);
    ASSERT_EQ(3, out.count);
    EXPECT_EQ(0xFFEE00u, out.caption_colour);
    EXPECT_EQ(LANGUAGE_FLAG_PICTURES, out.flags);
    EXPECT_EQ(u"Choisissez :", std::u16string(out.caption));
    EXPECT_STREQ("zh-Hans", out.entries[2].code);
    EXPECT_EQ(u"&Fran\u00e7ais", std::u16string(out.entries[1].text));
    EXPECT_EQ(u"", std::u16string(out.entries[0].transform));
    EXPECT_EQ(u"Korrin_zh.mst", std::u16string(out.entries[2].transform));

    // A caption alone: no languages of the vendor's, the stock three stay.
    const LanguageList caption_only = Parsed(ListBytes::Header(0, 0xFFFFFF, 0, u"Sprache:"));
    EXPECT_EQ(0, caption_only.count);
    EXPECT_EQ(u"Sprache:", std::u16string(caption_only.caption));
}

TEST(LanguageList, RefusesDamagedListsWholeAndLeavesTheStockList) {
    const std::u16string longest_text(LANGUAGE_TEXT_CAPACITY - 1, u'x');
    ListBytes fits = ListBytes::Header(1);
    fits.Language(u"en", longest_text);
    Parsed(fits);

    std::vector<std::pair<const char*, ListBytes>> damaged;
    auto add = [&](const char* why, ListBytes list) { damaged.emplace_back(why, list); };
    ListBytes list = ListBytes::Header(1);
    list.Language(u"en", u"English");
    ListBytes bad = list;
    bad.bytes[0] = 'X';
    add("magic", bad);
    bad = list;
    bad.bytes[4] = 2;
    add("format", bad);
    add("count above eight", ListBytes::Header(9));
    add("count beyond the strings", ListBytes::Header(2).Language(u"en", u"English"));
    add("colour with a high byte", ListBytes::Header(0, 0x01000000));
    add("unknown flag", ListBytes::Header(0, LANGUAGE_DEFAULT_COLOUR, 2));
    add("text over its capacity", ListBytes::Header(1).Language(u"en", longest_text + u"x"));
    add("caption over its capacity",
        ListBytes::Header(0, LANGUAGE_DEFAULT_COLOUR, 0,
                          std::u16string(LANGUAGE_CAPTION_CAPACITY, u'c')));
    add("empty text", ListBytes::Header(1).Language(u"en", u""));
    add("NUL in a text", ListBytes::Header(1).Language(u"en", std::u16string(u"Eng\0lish", 8)));
    add("code outside ASCII", ListBytes::Header(1).Language(u"d\u00e9", u"x"));
    add("reserved code", ListBytes::Header(1).Language(u"auto", u"x"));
    add("implausible code", ListBytes::Header(1).Language(u"en_US", u"x"));
    bad = list;
    bad.bytes.push_back(0);
    add("a byte after the last string", bad);
    for (size_t size = 0; size < list.bytes.size(); ++size) {
        bad = list;
        bad.bytes.resize(size);
        add("cut short", bad);
    }
    for (const auto& item : damaged) {
        SCOPED_TRACE(item.first);
        const LanguageList out = Parsed(item.second, false);
        EXPECT_EQ(0, out.count);
        EXPECT_EQ(LANGUAGE_DEFAULT_COLOUR, out.caption_colour);
        EXPECT_EQ(0, out.caption[0]);
    }
    LanguageList out;
    EXPECT_FALSE(ParseLanguageList(nullptr, 0, &out));
}

TEST(LanguageTags, PlausibleTagsAndCaseBlindComparison) {
    for (const char* tag : {"en", "fr", "pt-BR", "zh-Hans", "zh-Hant-TW", "gsw", "es-419",
                            "sr-Latn-RS", "de-CH-1996"}) {
        EXPECT_TRUE(IsPlausibleLanguageTag(tag)) << tag;
    }
    for (const char* tag : {"", "e", "auto", "english", "en-", "-en", "en--US", "en_US", "e1",
                            "en-abcdefghi", "en US", "en-US-", "en-ü"}) {
        EXPECT_FALSE(IsPlausibleLanguageTag(tag)) << tag;
    }
    const std::string longest = "en-abcdefgh-abcdefgh-abcdefgh-abcde";
    ASSERT_EQ(LANGUAGE_CODE_CAPACITY - 1, longest.size());
    EXPECT_TRUE(IsPlausibleLanguageTag(longest.c_str()));
    EXPECT_FALSE(IsPlausibleLanguageTag((longest + "f").c_str()));

    const LanguageList list = Codes({"en", "pt-BR", "zh-Hans"});
    EXPECT_EQ(1, FindLanguage(list, "PT-br"));
    EXPECT_EQ(2, FindLanguage(list, "ZH-HANS"));
    EXPECT_EQ(-1, FindLanguage(list, "pt"));
    EXPECT_EQ(-1, FindLanguage(list, "en-US"));
}

TEST(LanguageTags, TheUsersLanguageExactThenPrimaryNeverAcrossChineseScripts) {
    const struct {
        std::initializer_list<const char*> codes;
        const char* user;
        int32_t expected;
    } cases[] = {
        {{"en", "pt", "pt-BR"}, "pt-BR", 2},
        {{"en", "pt-BR", "pt"}, "pt-PT", 2},
        {{"en", "pt-PT", "pt-BR"}, "pt-BR", 2},
        {{"en", "pt-PT"}, "pt-BR", 1},
        {{"en", "de"}, "DE-at", 1},
        {{"en-GB", "en-US"}, "en-US", 1},
        {{"en", "de"}, "fr-FR", -1},
        {{"en", "de"}, "", -1},
        {{"en", "zh-Hans", "zh-Hant"}, "zh-TW", 2},
        {{"en", "zh-Hans", "zh-Hant"}, "zh-HK", 2},
        {{"en", "zh-Hant", "zh-Hans"}, "zh-SG", 2},
        {{"en", "zh-Hans", "zh-Hant"}, "zh-Hant-MO", 2},
        {{"en", "zh-Hant"}, "zh-CN", -1},
        {{"en", "zh-Hans"}, "zh-TW", -1},
        {{"en", "zh-TW", "zh-Hant"}, "zh-MO", 2},
        {{"en", "zh-TW"}, "zh-HK", 1},
        {{"en", "zh"}, "zh-CN", 1},
        {{"ja", "zh-Hans"}, "ja-JP", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        EXPECT_EQ(c.expected, MatchUserLanguage(Codes(c.codes), c.user));
    }
}

TEST(LanguageTags, WindowsLanguageIds) {
    const struct {
        uint16_t id;
        const char* tag;
    } cases[] = {{0x0409, "en-US"}, {0x0407, "de-DE"}, {0x0C07, "de-AT"},  {0x0404, "zh-TW"},
                 {0x0804, "zh-CN"}, {0x0416, "pt-BR"}, {0x0816, "pt-PT"},  {0x0007, "de"},
                 {0x1C07, "de"},    {0x0411, "ja-JP"}, {0x7C04, "zh-Hant"}};
    for (const auto& c : cases) {
        char tag[LANGUAGE_CODE_CAPACITY];
        EXPECT_TRUE(LanguageTagOfId(c.id, tag, sizeof tag)) << c.id;
        EXPECT_STREQ(c.tag, tag);
    }
    char tag[LANGUAGE_CODE_CAPACITY] = "left";
    EXPECT_FALSE(LanguageTagOfId(0, tag, sizeof tag));
    EXPECT_STREQ("", tag);
    EXPECT_FALSE(LanguageTagOfId(0x00FF, tag, sizeof tag));
    EXPECT_FALSE(LanguageTagOfId(0x0409, tag, 5));
    EXPECT_TRUE(LanguageTagOfId(0x0409, tag, 6));
}

}  // namespace
