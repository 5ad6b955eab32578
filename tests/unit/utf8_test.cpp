#include "text/utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char16_t kUntouched = 0x5555;
constexpr char kUntouchedByte = '#';

struct Decoded {
    ResultCode result;
    uint32_t units;
    uint32_t consumed;
    std::u16string out;  // the whole destination buffer, as left by the decoder
};

Decoded Decode(const std::string& bytes, uint32_t capacity, uint32_t length = UTF8_NUL_TERMINATED) {
    Decoded d;
    d.out.assign(capacity, kUntouched);
    d.units = d.consumed = 0xDEADBEEF;
    d.result = Utf8ToUtf16(bytes.c_str(), length, d.out.data(), capacity, &d.units, &d.consumed);
    return d;
}

struct Encoded {
    ResultCode result;
    uint32_t bytes;
    std::string out;
};

Encoded Encode(const std::u16string& units, uint32_t capacity) {
    Encoded e;
    e.out.assign(capacity, kUntouchedByte);
    e.bytes = 0xDEADBEEF;
    e.result = Utf16ToUtf8(units.c_str(), static_cast<uint32_t>(units.size()), e.out.data(),
                           capacity, &e.bytes);
    return e;
}

uint32_t CountBytes(const std::u16string& units) {
    uint32_t bytes = 0xDEADBEEF;
    EXPECT_EQ(RESULT_OK,
              Utf16ToUtf8(units.c_str(), static_cast<uint32_t>(units.size()), nullptr, 0, &bytes));
    return bytes;
}

TEST(Utf8Decode, ConvertsEachSequenceLength) {
    struct Case {
        const char* bytes;
        std::u16string units;
    } cases[] = {
        {"A", u"A"},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        // A surrogate written as three bytes is let through as that one unit.
        {"\xED\xA0\x80", {0xD800}},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.bytes, 8);
        EXPECT_EQ(RESULT_OK, d.result) << c.bytes;
        EXPECT_EQ(c.units.size(), d.units) << c.bytes;
        EXPECT_EQ(strlen(c.bytes), d.consumed) << c.bytes;
        EXPECT_EQ(c.units + u'\0', d.out.substr(0, c.units.size() + 1)) << c.bytes;
    }
}

TEST(Utf8Decode, RejectsInvalidSequences) {
    const char* invalid[] = {
        "\xC0\x80",
        "\xE0\x80\x80",
        "\xF0\x80\x80\x80",  // overlong
        "\x80",
        "\xBF",  // continuation as lead
        "\xE2\x82",
        "\xF0\x9F\x98",  // cut by the terminator
        "\xC3\x41",      // not a continuation
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF7\xBF\xBF\xBF",  // above U+10FFFF
        "\xF8\x90\x80\x80",
        "\xFF",  // no UTF-8 lead at all
    };
    for (const char* bytes : invalid) {
        Decoded d = Decode(bytes, 8);
        EXPECT_EQ(RESULT_BAD_UTF8, d.result) << testing::PrintToString(bytes);
        EXPECT_EQ(0u, d.units);
        EXPECT_EQ(u'\0', d.out[0]);
    }
}

TEST(Utf8Decode, InvalidByteLeavesEarlierUnitsTerminated) {
    Decoded d = Decode(
        "ab\x80"
        "c",
        8);
    EXPECT_EQ(RESULT_BAD_UTF8, d.result);
    EXPECT_EQ(0u, d.units);
    EXPECT_EQ(std::u16string(u"ab\0", 3), d.out.substr(0, 3));
    EXPECT_EQ(kUntouched, d.out[3]);
}

TEST(Utf8Decode, EmptySourceGivesLoneTerminator) {
    Decoded d = Decode("", 1);
    EXPECT_EQ(RESULT_OK, d.result);
    EXPECT_EQ(0u, d.units);
    EXPECT_EQ(0u, d.consumed);
    EXPECT_EQ(u'\0', d.out[0]);

    d = Decode("abc", 1, 0);  // length 0: nothing is read
    EXPECT_EQ(RESULT_OK, d.result);
    EXPECT_EQ(u'\0', d.out[0]);
}

TEST(Utf8Decode, NullSourceWritesNothing) {
    char16_t out[2] = {kUntouched, kUntouched};
    uint32_t units = 7, consumed = 7;
    EXPECT_EQ(RESULT_OK, Utf8ToUtf16(nullptr, 5, out, 2, &units, &consumed));
    EXPECT_EQ(0u, units);
    EXPECT_EQ(0u, consumed);
    EXPECT_EQ(kUntouched, out[0]);
}

TEST(Utf8Decode, CapacityZeroWritesNothing) {
    char16_t out[1] = {kUntouched};
    uint32_t units = 7;
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL,
              Utf8ToUtf16("a", UTF8_NUL_TERMINATED, out, 0, &units, nullptr));
    EXPECT_EQ(0u, units);
    EXPECT_EQ(kUntouched, out[0]);
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, Utf8ToUtf16("", UTF8_NUL_TERMINATED, out, 0));
    EXPECT_EQ(kUntouched, out[0]);
}

TEST(Utf8Decode, ExactFitHasNoTerminator) {
    Decoded d = Decode("abc", 3);
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, d.result);
    EXPECT_EQ(3u, d.units);
    EXPECT_EQ(3u, d.consumed);
    EXPECT_EQ(u"abc", d.out);

    d = Decode("abc", 4);
    EXPECT_EQ(RESULT_OK, d.result);
    EXPECT_EQ(std::u16string(u"abc\0", 4), d.out);
}

TEST(Utf8Decode, SurrogatePairThatDoesNotFitIsLeftWhole) {
    Decoded d = Decode("a\xF0\x9F\x98\x80", 2);
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, d.result);
    EXPECT_EQ(1u, d.units);
    EXPECT_EQ(1u, d.consumed);  // a caller continuing from here starts with the pair
    EXPECT_EQ(u'a', d.out[0]);
    EXPECT_EQ(kUntouched, d.out[1]);
}

TEST(Utf8Decode, StopsAtZeroByteWithinLength) {
    const char bytes[] = {'a', 'b', 0, 'c', 'd'};
    char16_t out[8];
    uint32_t units = 0, consumed = 0;
    EXPECT_EQ(RESULT_OK, Utf8ToUtf16(bytes, 5, out, 8, &units, &consumed));
    EXPECT_EQ(2u, units);
    EXPECT_EQ(2u, consumed);
    EXPECT_EQ(std::u16string(u"ab"), std::u16string(out));
}

TEST(Utf8Decode, SourceLengthEndsTextWithoutTerminator) {
    Decoded d = Decode("abcdef", 8, 3);
    EXPECT_EQ(RESULT_OK, d.result);
    EXPECT_EQ(3u, d.units);
    EXPECT_EQ(3u, d.consumed);
    EXPECT_EQ(std::u16string(u"abc\0", 4), d.out.substr(0, 4));

    // A sequence whose continuation bytes lie beyond the length is not read past it.
    d = Decode("a\xC3\xA9", 8, 2);
    EXPECT_EQ(RESULT_BAD_UTF8, d.result);
}

TEST(Utf8Decode, CountOnlyIgnoresCapacity) {
    uint32_t units = 0, consumed = 0;
    EXPECT_EQ(RESULT_OK, Utf8ToUtf16("a\xC3\xA9\xF0\x9F\x98\x80", UTF8_NUL_TERMINATED, nullptr, 0,
                                     &units, &consumed));
    EXPECT_EQ(4u, units);
    EXPECT_EQ(7u, consumed);
    EXPECT_EQ(RESULT_BAD_UTF8,
              Utf8ToUtf16("a\xC0\x80", UTF8_NUL_TERMINATED, nullptr, 0, &units, nullptr));
    EXPECT_EQ(0u, units);
}

TEST(Utf8Encode, ConvertsEachLength) {
    struct Case {
        std::u16string units;
        const char* bytes;
    } cases[] = {
        {u"A", "A"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u20AC", "\xE2\x82\xAC"},
        {{0xD83D, 0xDE00}, "\xF0\x9F\x98\x80"},
        {{0xDBFF, 0xDFFF}, "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases) {
        Encoded e = Encode(c.units, 8);
        EXPECT_EQ(RESULT_OK, e.result) << c.bytes;
        EXPECT_EQ(strlen(c.bytes), e.bytes);
        EXPECT_STREQ(c.bytes, e.out.c_str());
    }
}

TEST(Utf8Encode, UnpairedSurrogateEndsText) {
    Encoded e = Encode({0xD800, u'A'}, 8);
    EXPECT_EQ(RESULT_OK, e.result);
    EXPECT_EQ(0u, e.bytes);
    EXPECT_EQ('\0', e.out[0]);

    e = Encode({u'x', 0xD83D}, 8);  // a high surrogate as the last unit
    EXPECT_EQ(RESULT_OK, e.result);
    EXPECT_EQ(1u, e.bytes);
    EXPECT_STREQ("x", e.out.c_str());
}

TEST(Utf8Encode, CharacterThatDoesNotFitIsDropped) {
    Encoded e = Encode(u"a\u00E9", 2);
    EXPECT_EQ(RESULT_OK, e.result);
    EXPECT_EQ(1u, e.bytes);
    EXPECT_EQ(std::string("a\0", 2), e.out);

    e = Encode(u"a\u00E9", 3);
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, e.result);
    EXPECT_EQ(3u, e.bytes);
    EXPECT_EQ("a\xC3\xA9", e.out);
}

TEST(Utf8Encode, EmptyAndZeroCapacity) {
    Encoded e = Encode(u"", 1);
    EXPECT_EQ(RESULT_OK, e.result);
    EXPECT_EQ(0u, e.bytes);
    EXPECT_EQ('\0', e.out[0]);

    char out[1] = {kUntouchedByte};
    uint32_t bytes = 7;
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, Utf16ToUtf8(u"a", UTF8_NUL_TERMINATED, out, 0, &bytes));
    EXPECT_EQ(0u, bytes);
    EXPECT_EQ(kUntouchedByte, out[0]);
    EXPECT_EQ(RESULT_BUFFER_TOO_SMALL, Utf16ToUtf8(nullptr, 0, out, 0, &bytes));

    bytes = 7;
    EXPECT_EQ(RESULT_OK, Utf16ToUtf8(nullptr, 3, out, 1, &bytes));
    EXPECT_EQ(0u, bytes);
    EXPECT_EQ('\0', out[0]);
}

TEST(Utf8Encode, StopsAtZeroUnit) {
    const char16_t units[] = {u'a', 0, u'b'};
    char out[8];
    uint32_t bytes = 0;
    EXPECT_EQ(RESULT_OK, Utf16ToUtf8(units, 3, out, 8, &bytes));
    EXPECT_EQ(1u, bytes);
    EXPECT_STREQ("a", out);
}

TEST(Utf8Encode, CountOnlyMatchesWritingMode) {
    EXPECT_EQ(10u, CountBytes({u'a', 0x00E9, 0x20AC, 0xD83D, 0xDE00}));
    // An unpaired surrogate counts what writing would write: the text ends before it.
    const std::u16string texts[] = {
        {u'a', 0xD800, u'b'}, {u'a', u'b', 0xDBFF}, {0xDC00, u'z'}, {u'a', 0xD83D, 0xDE00, u'b'}};
    for (const std::u16string& text : texts) {
        Encoded e = Encode(text, 32);
        EXPECT_EQ(e.bytes, CountBytes(text));
    }
}

// Every scalar value class survives the trip through both directions, and the counts that
// count-only mode predicts are the ones that writing mode produces.
TEST(Utf8RoundTrip, MixedTextSurvivesBothDirections) {
    std::u16string text;
    uint32_t seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint32_t cp = (seed >> 8) % 0x110000;
        if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0x41;
        if (cp < 0x10000) {
            text += static_cast<char16_t>(cp);
        } else {
            text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
    const uint32_t needed = CountBytes(text);
    std::string utf8(needed + 1, '\0');
    uint32_t bytes = 0;
    ASSERT_EQ(RESULT_OK,
              Utf16ToUtf8(text.c_str(), UTF8_NUL_TERMINATED, utf8.data(), needed + 1, &bytes));
    ASSERT_EQ(needed, bytes);

    uint32_t units = 0, consumed = 0;
    ASSERT_EQ(RESULT_OK,
              Utf8ToUtf16(utf8.c_str(), UTF8_NUL_TERMINATED, nullptr, 0, &units, &consumed));
    EXPECT_EQ(text.size(), units);
    EXPECT_EQ(needed, consumed);
    std::u16string back(units + 1, kUntouched);
    ASSERT_EQ(RESULT_OK, Utf8ToUtf16(utf8.c_str(), UTF8_NUL_TERMINATED, back.data(), units + 1));
    back.pop_back();
    EXPECT_EQ(text, back);
}

// The encoder cuts silently; callers that need a whole path take it whole or not at all.
TEST(Utf16ToUtf8Whole, TakesATextWholeOrNotAtAll) {
    char out[8];
    EXPECT_TRUE(Utf16ToUtf8Whole(u"a\u00e9\u20ac", out, 7));  // 1 + 2 + 3 bytes and the NUL
    EXPECT_STREQ("a\xc3\xa9\xe2\x82\xac", out);
    EXPECT_FALSE(Utf16ToUtf8Whole(u"a\u00e9\u20ac", out, 6));  // the encoder would keep "a\u00e9"
    EXPECT_STREQ("", out);
    const char16_t lone_high[] = {u'a', u'b', 0xD800, u'c', 0};
    EXPECT_FALSE(Utf16ToUtf8Whole(lone_high, out, sizeof out));  // would end at "ab"
    EXPECT_FALSE(Utf16ToUtf8Whole(u"ab\xdc00", out, sizeof out));
    EXPECT_TRUE(Utf16ToUtf8Whole(u"\xd83d\xde00", out, 5));
    EXPECT_TRUE(Utf16ToUtf8Whole(u"", out, 1));
}

}  // namespace

// A command tail cut for the log: always terminated, and never a character cut in two, at one
// byte short of the buffer, exactly filling it, and one byte over.
TEST(Utf16ToUtf8Cut, IsAlwaysTerminatedAndCutBetweenCharacters) {
    for (size_t length : {999u, 1000u, 1001u}) {
        std::u16string tail(length, u'A');
        std::string buffer(1000 + 8, '\x5A');
        Utf16ToUtf8Cut(tail.c_str(), &buffer[0], 1000);
        const size_t end = buffer.find('\0');
        ASSERT_NE(std::string::npos, end) << length;
        EXPECT_EQ(std::min<size_t>(length, 999), end) << length;
        EXPECT_EQ(std::string(8, '\x5A'), buffer.substr(1000)) << "written past the buffer";
    }
    // "é" takes two bytes: with one byte left for it, it goes whole.
    std::u16string accented = std::u16string(998, u'A') + u"\u00E9";
    char buffer[1000];
    Utf16ToUtf8Cut(accented.c_str(), buffer, sizeof buffer);
    EXPECT_EQ(std::string(998, 'A'), std::string(buffer));
}

TEST(EscapeControlCharacters, WritesControlsAsHexAndCutsBetweenWholeEscapes) {
    char out[64];
    EscapeControlCharacters("entry: \\a\r\nforged line\x7F\tend \xC3\xA9", out, sizeof out);
    EXPECT_STREQ("entry: \\a\\x0D\\x0Aforged line\\x7F\\x09end \xC3\xA9", out);
    // An escape does not fit whole: it goes, and so does a character cut in two.
    EscapeControlCharacters("ab\n", out, 6);
    EXPECT_STREQ("ab", out);
    EscapeControlCharacters("ab\xC3\xA9", out, 4);
    EXPECT_STREQ("ab", out);
}
