#include "command_line/stub_switches.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Read {
    StubSwitches switches;
    std::string forwarded;
};

Read ReadAnsi(const std::string& tail) {
    Read read;
    std::string forwarded(tail.size() + 1, '\x7f');
    ReadStubSwitches(tail.c_str(), &forwarded[0], &read.switches);
    read.forwarded = forwarded.c_str();
    return read;
}

TEST(StubSwitches, ATailWithoutSwitchesComesBackByteForByte) {
    for (const char* tail : {"", " ", " /qn", "  /qb \"TARGETDIR=C:\\My Apps\"\t", " /l*v log.txt ",
                             " -s", " \"/qn", " sea /se a", " \"/se\" a"}) {
        Read read = ReadAnsi(tail);
        EXPECT_EQ(read.forwarded, tail);
        EXPECT_FALSE(read.switches.any) << tail;
        EXPECT_FALSE(read.switches.bad) << tail;
    }
}

TEST(StubSwitches, SwitchesAreRemovedWithTheBlanksBeforeThem) {
    EXPECT_EQ(ReadAnsi(" /SeaQuiet /qn").forwarded, " /qn");
    EXPECT_EQ(ReadAnsi(" /qn /SeaQuiet").forwarded, " /qn");
    EXPECT_EQ(ReadAnsi(" /qn\t -SEAWAIT  /norestart ").forwarded, " /qn  /norestart ");
    EXPECT_EQ(ReadAnsi(" \"/SeaLog:C:\\my logs\\a.log\" /qn").forwarded, " /qn");
    EXPECT_EQ(ReadAnsi(" /SeaLog:\"C:\\my logs\\a.log\"").forwarded, "");
}

TEST(StubSwitches, FlagsLanguagesAndPaths) {
    Read read = ReadAnsi(" /seaquiet /SeaLang:DE /SeaKeep \"/SeaLog:C:\\my logs\\a.log\"");
    const StubSwitches& s = read.switches;
    EXPECT_TRUE(s.any && s.quiet && s.wait && s.keep);
    EXPECT_FALSE(s.bad);
    EXPECT_EQ(s.language, STUB_LANGUAGE_CODE);
    EXPECT_STREQ(s.language_value, "DE");
    EXPECT_STREQ(s.log_path, "C:\\my logs\\a.log");
    EXPECT_STREQ(s.extract_path, "");
    EXPECT_EQ(ReadAnsi(" /SeaQuiet").switches.language, STUB_LANGUAGE_ASK);

    Read id = ReadAnsi(" /SeaLang=1041");
    EXPECT_EQ(id.switches.language, STUB_LANGUAGE_ID);
    EXPECT_EQ(id.switches.language_id, 1041);
    EXPECT_EQ(ReadAnsi(" -sealang:en").switches.language, STUB_LANGUAGE_CODE);
    EXPECT_EQ(ReadAnsi(" /SeaLang:1033").switches.language_id, 1033);
    Read wait = ReadAnsi(" /SeaWait /SeaExtract=\"D:\\out dir\"");
    EXPECT_TRUE(wait.switches.wait);
    EXPECT_FALSE(wait.switches.quiet);
    EXPECT_STREQ(wait.switches.extract_path, "D:\\out dir");
}

TEST(StubSwitches, UnknownSwitchesAndBadValuesAreRefusedAndNeverForwarded) {
    for (const char* tail : {" /SeaQiet", " /SeaLang:f", " /SeaLang", " /SeaQuiet:1", " /SeaWait=",
                             " /SeaLog", " /SeaLog:", " -sea", " /season", " /SeaExtract:\"\""}) {
        Read read = ReadAnsi(std::string(tail) + " /qn");
        EXPECT_TRUE(read.switches.bad) << tail;
        EXPECT_EQ(read.forwarded, " /qn") << tail;
        EXPECT_EQ(std::string(read.switches.bad_token), std::string(tail + 1)) << tail;
    }
    // Too long for the path, and too long for the token buffer that holds it unquoted.
    for (size_t length : {600, 1100}) {
        Read long_path = ReadAnsi(" /SeaLog:" + std::string(length, 'a'));
        EXPECT_TRUE(long_path.switches.bad) << length;
        EXPECT_STREQ(long_path.switches.log_path, "") << length;
        EXPECT_EQ(long_path.forwarded, "") << length;
    }
}

// Any code an installer may carry, in any case, a language id or "auto"; the entry decides later
// whether the installer has it. Only a value of the wrong form is a bad switch.
TEST(StubSwitches, LanguageValuesAreCodesIdsOrAuto) {
    for (const char* code : {"fr", "pt-BR", "ZH-hans", "sr-Latn-RS", "fil", "de-CH-1996"}) {
        const StubSwitches s = ReadAnsi(std::string(" /SeaLang:") + code).switches;
        EXPECT_FALSE(s.bad) << code;
        EXPECT_EQ(s.language, STUB_LANGUAGE_CODE) << code;
        EXPECT_STREQ(s.language_value, code);
    }
    EXPECT_EQ(ReadAnsi(" /SeaLang:AUTO").switches.language, STUB_LANGUAGE_AUTO);
    EXPECT_EQ(ReadAnsi(" /SeaLang:65535").switches.language_id, 65535);
    EXPECT_EQ(ReadAnsi(" /SeaLang:1").switches.language_id, 1);
    EXPECT_EQ(ReadAnsi(" /SeaLang:01031").switches.language_id, 1031);
    // The later of two wins, as for the other switches.
    const StubSwitches twice = ReadAnsi(" /SeaLang:1031 /SeaLang:ja").switches;
    EXPECT_EQ(twice.language, STUB_LANGUAGE_CODE);
    EXPECT_STREQ(twice.language_value, "ja");

    // The longest tag a code may be, and one letter more.
    const std::string longest = "en-abcdefgh-abcdefgh-abcdefgh-abcde";
    const std::string too_long = longest + "f";
    ASSERT_EQ(longest.size() + 1, LANGUAGE_CODE_CAPACITY);
    for (const std::string& value :
         {std::string("0"), std::string("65536"), std::string("123456"), std::string("-1"),
          std::string("en_US"), std::string("en-"), std::string("-en"), std::string("autos"),
          std::string("auto-x"), std::string("e"), std::string("english"), std::string(""),
          std::string("\"\""), std::string("1031x"), too_long}) {
        Read read = ReadAnsi(" /SeaLang:" + value + " /qn");
        EXPECT_TRUE(read.switches.bad) << value;
        EXPECT_EQ(read.forwarded, " /qn") << value;
    }
    EXPECT_STREQ(ReadAnsi(" /SeaLang:" + longest).switches.language_value, longest.c_str());
}

struct WideRead {
    StubSwitches switches;
    std::u16string forwarded;
};

WideRead ReadWide(const std::u16string& tail) {
    WideRead read;
    std::u16string forwarded(tail.size() + 1, u'\x7f');
    ReadStubSwitches(tail.c_str(), &forwarded[0], &read.switches);
    read.forwarded = forwarded.c_str();
    return read;
}

// The NT family reads one command line, the wide one: switches, paths and what goes on to the
// installer all come from it, so that an argument outside the ANSI code page arrives whole.
TEST(StubSwitches, TheWideTailIsReadOnceForSwitchesPathsAndWhatIsForwarded) {
    WideRead read =
        ReadWide(u" /SeaQuiet \"/SeaLog:C:\\Журнал\\a.log\" INSTALLDIR=\"C:\\製品\" /qn");
    EXPECT_TRUE(read.switches.quiet);
    EXPECT_FALSE(read.switches.bad);
    EXPECT_STREQ(read.switches.log_path, "C:\\Журнал\\a.log");
    EXPECT_EQ(read.forwarded, u" INSTALLDIR=\"C:\\製品\" /qn");
    // A fullwidth quote is no quote: it neither hides a blank nor starts a value.
    WideRead fullwidth = ReadWide(u" \uff02/SeaQuiet /qn\uff02 /SeaWait");
    EXPECT_TRUE(fullwidth.switches.wait);
    EXPECT_FALSE(fullwidth.switches.quiet);
    EXPECT_EQ(fullwidth.forwarded, u" \uff02/SeaQuiet /qn\uff02");
    for (const char16_t* tail : {u"", u" /qn", u"  /qb \"TARGETDIR=C:\\My Apps\"\t"}) {
        EXPECT_EQ(ReadWide(tail).forwarded, tail);
    }
}

// A value the path buffer cannot hold whole is a bad switch, never a shorter path.
TEST(StubSwitches, AWideValueThatWouldBeCutIsBad) {
    // 200 three-byte letters: 400 units fit the token, 600 bytes do not fit the path's 520.
    const std::u16string letters(200, u'製');
    WideRead cut = ReadWide(u" /SeaLog:C:\\" + letters + u" /qn");
    EXPECT_TRUE(cut.switches.bad);
    EXPECT_STREQ(cut.switches.log_path, "");
    EXPECT_EQ(cut.forwarded, u" /qn");
    EXPECT_FALSE(ReadWide(u" /SeaExtract:C:\\" + letters.substr(0, 150)).switches.bad);
    EXPECT_TRUE(ReadWide(u" /SeaExtract:C:\\a\xd800").switches.bad);  // a lone surrogate
}

// The wide tail's values are ASCII or bad: a letter outside it never becomes a code by cutting.
TEST(StubSwitches, AWideLanguageValueIsReadAsTheAnsiOne) {
    const StubSwitches s = ReadWide(u" /SeaLang:zh-Hant /qn").switches;
    EXPECT_EQ(s.language, STUB_LANGUAGE_CODE);
    EXPECT_STREQ(s.language_value, "zh-Hant");
    EXPECT_EQ(ReadWide(u" /SeaLang:Auto").switches.language, STUB_LANGUAGE_AUTO);
    EXPECT_EQ(ReadWide(u" /SeaLang:1041").switches.language_id, 1041);
    for (const char16_t* tail : {u" /SeaLang:fr\u00e9", u" /SeaLang:\u65e5\u672c",
                                 u" /SeaLang:e\u0100", u" /SeaLang:\uff11\uff10\uff13\uff11"}) {
        EXPECT_TRUE(ReadWide(tail).switches.bad);
    }
}

TEST(StubSwitches, SkipsTheProgramNameInBothForms) {
    EXPECT_STREQ(SkipProgramName("\"C:\\my files\\set up.exe\" /qb"), " /qb");
    const char16_t* wide = u"\"C:\\my files\\set up.exe\" /qb";
    EXPECT_EQ(std::u16string(SkipProgramName(wide)), u" /qb");
}

}  // namespace
