// Code-page text to and from UTF-8 through the system's conversion functions, in pieces.
// The expected texts come from the system converting the whole text at once.
#include <gtest/gtest.h>

#include "tests/codepage/test_support.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"

namespace {

struct Converted {
    ResultCode result;
    std::string text;  // up to the terminator
    uint32_t length;   // length_out
    bool terminated;   // a zero byte within the capacity
};

constexpr char GUARD = '\x5A';

template <typename Convert>
Converted Run(Convert convert, uint32_t code_page, const std::string& source, uint32_t capacity,
              uint32_t source_length) {
    std::string buffer(capacity + 8, GUARD);
    Converted converted = {};
    converted.length = 0xDEADBEEF;
    converted.result = convert(0, code_page, source.c_str(), source_length, &buffer[0], capacity,
                               &converted.length);
    size_t end = buffer.find('\0');
    converted.terminated = end < capacity;
    converted.text = buffer.substr(0, end < capacity ? end : capacity);
    EXPECT_EQ(buffer.substr(capacity), std::string(8, GUARD)) << "written beyond the capacity";
    return converted;
}

Converted ToUtf8(uint32_t code_page, const std::string& source, uint32_t capacity = 520,
                 uint32_t source_length = UTF8_NUL_TERMINATED) {
    return Run(CodePageToUtf8, code_page, source, capacity, source_length);
}

Converted ToCodePage(uint32_t code_page, const std::string& source, uint32_t capacity = 520,
                     uint32_t source_length = UTF8_NUL_TERMINATED) {
    return Run(Utf8ToCodePage, code_page, source, capacity, source_length);
}

// Count-only mode: the bytes that the converted text needs, without the terminator.
template <typename Convert>
uint32_t Count(Convert convert, uint32_t code_page, const std::string& source) {
    uint32_t length = 0xDEADBEEF;
    EXPECT_EQ(convert(0, code_page, source.c_str(), UTF8_NUL_TERMINATED, nullptr, 0, &length),
              RESULT_OK);
    return length;
}

// The system's own conversion of a whole text.
std::string InCodePage(uint32_t code_page, const std::wstring& text) {
    char buffer[4096];
    int n = WideCharToMultiByte(code_page, 0, text.c_str(), static_cast<int>(text.size()), buffer,
                                sizeof(buffer), nullptr, nullptr);
    return std::string(buffer, n > 0 ? n : 0);
}

std::wstring Repeat(const std::wstring& text, int times) {
    std::wstring result;
    for (int i = 0; i < times; ++i) result += text;
    return result;
}

}  // namespace

TEST(CodePageToUtf8, ConvertsAccentedText) {
    Converted converted = ToUtf8(1252, "caf\xE9");
    EXPECT_EQ(converted.result, RESULT_OK);
    EXPECT_EQ(converted.text, "caf\xC3\xA9");
    EXPECT_EQ(converted.length, 5u);
}

TEST(CodePageToUtf8, JoinsPiecesOf256And44Bytes) {
    std::string source(300, '\xE9');
    Converted converted = ToUtf8(1252, source, 1024);
    EXPECT_EQ(converted.result, RESULT_OK);
    EXPECT_EQ(converted.text, WideToUtf8(std::wstring(300, L'\u00E9')));
    EXPECT_EQ(converted.length, 600u);
    EXPECT_EQ(Count(CodePageToUtf8, 1252, source), 600u);
}

TEST(CodePageToUtf8, CutsDoubleBytePiecesBetweenCharacters) {
    // "C:\" then Japanese characters: the lead byte of one of them falls on byte 255, the last
    // of a 256-byte piece. Paths of 257 to 260 bytes all convert.
    for (size_t length = 257; length <= 260; ++length) {
        std::wstring path = L"C:\\" + Repeat(L"日本", 63) + L"日";
        if (length >= 259) path += L"表";
        if (length % 2 == 0) path += L"x";
        std::string source = InCodePage(932, path);
        ASSERT_EQ(source.size(), length);
        ASSERT_NE(IsDBCSLeadByteEx(932, static_cast<BYTE>(source[255])), 0);

        Converted converted = ToUtf8(932, source);
        EXPECT_EQ(converted.result, RESULT_OK) << length;
        EXPECT_EQ(converted.text, WideToUtf8(path)) << length;
        EXPECT_EQ(converted.length, WideToUtf8(path).size()) << length;
        EXPECT_EQ(Count(CodePageToUtf8, 932, source), WideToUtf8(path).size()) << length;
    }
}

TEST(CodePageToUtf8, CutsTheOutputAtACharacterBoundary) {
    // "abé" takes 4 bytes in UTF-8: with room for 3 and the terminator, é goes whole.
    Converted cut = ToUtf8(1252, "ab\xE9", 4);
    EXPECT_EQ(cut.result, RESULT_OK);
    EXPECT_EQ(cut.text, "ab");
    EXPECT_EQ(cut.length, 2u);
    EXPECT_TRUE(cut.terminated);

    Converted fits = ToUtf8(1252, "ab\xE9", 5);
    EXPECT_EQ(fits.text, "ab\xC3\xA9");
    EXPECT_EQ(fits.length, 4u);
}

TEST(CodePageToUtf8, StopsAtTheFirstPieceThatDoesNotFit) {
    // 256 half-width katakana (one byte each in 932, three in UTF-8) overflow the room; the short
    // second piece must not be glued on behind the characters that were dropped.
    std::wstring text = Repeat(L"ｱ", 256) + L"xy";
    Converted converted = ToUtf8(932, InCodePage(932, text), 101);
    EXPECT_EQ(converted.text, WideToUtf8(Repeat(L"ｱ", 33)));
    EXPECT_EQ(converted.length, 99u);
}

TEST(CodePageToUtf8, CapacityOfOneGivesAnEmptyText) {
    Converted converted = ToUtf8(1252, "abc", 1);
    EXPECT_EQ(converted.text, "");
    EXPECT_TRUE(converted.terminated);
    EXPECT_EQ(converted.length, 0u);
}

TEST(CodePageToUtf8, CountsWithoutADestination) {
    EXPECT_EQ(Count(CodePageToUtf8, 932, InCodePage(932, L"日本語")), 9u);
    EXPECT_EQ(Count(CodePageToUtf8, 1252, "abc"), 3u);
}

TEST(CodePageToUtf8, FailsOnACutDoubleByteCharacter) {
    // A lead byte that ends the text has no trail byte.
    std::string source = InCodePage(932, L"日本");
    source.pop_back();
    uint32_t length = 77;
    EXPECT_EQ(CodePageToUtf8(0, 932, source.c_str(), UTF8_NUL_TERMINATED, nullptr, 0, &length),
              RESULT_CONVERSION_FAILED);
    EXPECT_EQ(length, 77u) << "length_out is left alone on failure";
    // A caller that goes on with the destination finds it empty, not uninitialised.
    Converted converted = ToUtf8(932, source, 16);
    EXPECT_EQ(converted.result, RESULT_CONVERSION_FAILED);
    EXPECT_TRUE(converted.terminated);
    EXPECT_EQ(converted.text, "");
}

TEST(CodePageToUtf8, HonoursTheSourceLengthAndItsTerminator) {
    EXPECT_EQ(ToUtf8(1252, "abcdef", 520, 3).text, "abc");
    Converted empty = ToUtf8(1252, "", 520);
    EXPECT_EQ(empty.result, RESULT_OK);
    EXPECT_TRUE(empty.terminated);
    EXPECT_EQ(empty.length, 0u);
    // A zero byte ends the text even inside the given length.
    Converted stopped = ToUtf8(1252, std::string("ab\0cd", 5), 520, 5);
    EXPECT_EQ(stopped.text, "ab");
    EXPECT_EQ(stopped.length, 2u);
}

// Names the 9x family would get in another form: best-fit mapping makes a fullwidth "．．＼" the
// "..\\" that the name check passed; letters a code page holds pass, and so does ANSI text.
TEST(IsFaithfulInCodePage, RefusesTextTheCodePageChanges) {
    EXPECT_FALSE(IsFaithfulInCodePage(1252, "\\\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBCpwn.txt"));
    EXPECT_FALSE(IsFaithfulInCodePage(1252, "\\\xE8\xA1\xA8.txt"));  // 表 has no form in 1252
    EXPECT_TRUE(IsFaithfulInCodePage(1252, "\\M\xC3\xBCller\\x.txt"));
    EXPECT_TRUE(IsFaithfulInCodePage(932, "\\\xE8\xA1\xA8\\x.txt"));
    EXPECT_TRUE(IsFaithfulInCodePage(1252, "\\M\xFCller.txt"));  // not UTF-8: ANSI as it is
}

TEST(Utf8ToCodePage, ConvertsAccentedAndJapaneseText) {
    Converted accented = ToCodePage(1252, "caf\xC3\xA9");
    EXPECT_EQ(accented.result, RESULT_OK);
    EXPECT_EQ(accented.text, "caf\xE9");
    EXPECT_EQ(accented.length, 4u);

    Converted japanese = ToCodePage(932, WideToUtf8(L"日本語の表"));
    EXPECT_EQ(japanese.result, RESULT_OK);
    EXPECT_EQ(japanese.text, InCodePage(932, L"日本語の表"));
}

TEST(Utf8ToCodePage, JoinsPieces) {
    std::string source = WideToUtf8(std::wstring(300, L'\u00E9'));
    Converted converted = ToCodePage(1252, source);
    EXPECT_EQ(converted.result, RESULT_OK);
    EXPECT_EQ(converted.text, std::string(300, '\xE9'));
    EXPECT_EQ(Count(Utf8ToCodePage, 1252, source), 300u);
}

TEST(Utf8ToCodePage, UnrepresentableCharactersBecomeTheDefaultCharacter) {
    EXPECT_EQ(ToCodePage(1252, WideToUtf8(L"a日b")).text, "a?b");
}

TEST(Utf8ToCodePage, PassesTextThatIsNotUtf8ThroughUnchanged) {
    Converted early = ToCodePage(1252,
                                 "ab\x80"
                                 "c");
    EXPECT_EQ(early.result, RESULT_OK);
    EXPECT_EQ(early.text,
              "ab\x80"
              "c");
    EXPECT_EQ(early.length, 4u);

    // Undecodable only after the first 256 characters: still the whole text from its start.
    std::string late = std::string(300, 'a') + "\x80z";
    Converted whole = ToCodePage(1252, late);
    EXPECT_EQ(whole.result, RESULT_OK);
    EXPECT_EQ(whole.text, late);
    EXPECT_EQ(whole.length, 302u);
    Converted cut = ToCodePage(1252, late, 100);
    EXPECT_EQ(cut.text, late.substr(0, 99));
    EXPECT_EQ(cut.length, 99u);
}

TEST(Utf8ToCodePage, ExactFillGivesTheLastCharacterToTheTerminator) {
    Converted single = ToCodePage(1252, "abc", 3);
    EXPECT_EQ(single.result, RESULT_OK);
    EXPECT_EQ(single.text, "ab");
    EXPECT_EQ(single.length, 2u);

    // Both bytes of a double-byte character go, never its trail byte alone.
    Converted dbcs = ToCodePage(932, WideToUtf8(L"日本"), 4);
    EXPECT_EQ(dbcs.result, RESULT_OK);
    EXPECT_EQ(dbcs.text, InCodePage(932, L"日"));
    EXPECT_EQ(dbcs.length, 2u);
}

TEST(Utf8ToCodePage, StopsAtThePieceThatDoesNotFit) {
    // The first piece needs 512 bytes; the short second piece must not take its place.
    std::string source = WideToUtf8(Repeat(L"日", 256) + L"xy");
    Converted converted = ToCodePage(932, source, 100);
    EXPECT_EQ(converted.result, RESULT_BUFFER_TOO_SMALL);
    EXPECT_EQ(converted.text, "");
    EXPECT_TRUE(converted.terminated);
    EXPECT_EQ(converted.length, 0u);
}

TEST(Utf8ToCodePage, CapacityOfOneAndCounting) {
    Converted converted = ToCodePage(1252, "abc", 1);
    EXPECT_EQ(converted.text, "");
    EXPECT_TRUE(converted.terminated);
    EXPECT_EQ(converted.length, 0u);
    EXPECT_EQ(Count(Utf8ToCodePage, 932, WideToUtf8(L"日本語")), 6u);
    EXPECT_EQ(Count(Utf8ToCodePage, 1252, "ab\x80"), 3u);
    Converted empty = ToCodePage(1252, "");
    EXPECT_EQ(empty.result, RESULT_OK);
    EXPECT_EQ(empty.length, 0u);
}
