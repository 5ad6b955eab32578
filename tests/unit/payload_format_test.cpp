#include "payload/payload_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "payload/payload_writer.h"
#include "scratch.h"

namespace {

std::string Le(uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}

TEST(Trailer, LayoutIsLittleEndianByteByByte) {
    PayloadTrailer trailer = {};
    trailer.payload_offset = 0x39000;
    trailer.flags = TRAILER_FLAG_QUIET;
    trailer.payload_size = 0x0102030405060708ull;
    trailer.entry_count = 3;
    uint8_t bytes[TRAILER_SIZE];
    memset(bytes, 0xAA, sizeof bytes);
    SerializeTrailer(trailer, bytes);
    const std::string expected = std::string("QJXSEA\0\0", 8) + Le(0x39000, 4) + Le(1, 4) +
                                 Le(0x0102030405060708ull, 8) + Le(3, 8);
    EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(bytes), sizeof bytes));

    PayloadTrailer parsed;
    ASSERT_TRUE(ParseTrailer(bytes, &parsed));
    EXPECT_EQ(0x39000u, parsed.payload_offset);
    EXPECT_EQ(1u, parsed.flags);
    EXPECT_EQ(0x0102030405060708ull, parsed.payload_size);
    EXPECT_EQ(3u, parsed.entry_count);
}

TEST(Trailer, OnlyTheFirstSixBytesAreMagic) {
    uint8_t bytes[TRAILER_SIZE] = {'Q', 'J', 'X', 'S', 'E', 'A', 'x', 'y', 0xFF, 0xFF, 0xFF, 0xFF};
    PayloadTrailer parsed;
    EXPECT_TRUE(ParseTrailer(bytes, &parsed));
    EXPECT_EQ(0xFFFFFFFFu, parsed.payload_offset);  // the full unsigned range

    bytes[5] = 'a';
    parsed.payload_offset = 0;
    EXPECT_FALSE(ParseTrailer(bytes, &parsed));
    EXPECT_EQ(0xFFFFFFFFu, parsed.payload_offset);  // filled either way
}

namespace {

// Feeds bytes to a fresh decoder; returns the step of the last byte and how many were taken.
EntryHeaderStep Decode(const std::string& bytes, EntryHeaderDecoder* decoder, size_t* taken) {
    *decoder = {};
    EntryHeaderStep step = ENTRY_HEADER_MORE;
    for (*taken = 0; *taken < bytes.size() && step == ENTRY_HEADER_MORE; ++*taken) {
        step = PushEntryHeaderByte(decoder, static_cast<uint8_t>(bytes[*taken]));
    }
    return step;
}

}  // namespace

TEST(EntryHeader, EndsAtTheNameNulAndHoldsTheLongestName) {
    EntryHeaderDecoder decoder;
    size_t taken;
    const std::string name(ENTRY_NAME_CAPACITY - 1, 'n');
    // The bytes after the NUL belong to the entry's data: the header ends before them.
    EXPECT_EQ(ENTRY_HEADER_DONE,
              Decode(Le(0x0102030405060708ull, 8) + name + std::string(1, '\0') + "data", &decoder,
                     &taken));
    EXPECT_EQ(8 + name.size() + 1, taken);
    EXPECT_EQ(0x0102030405060708ull, decoder.size);
    EXPECT_EQ(name, decoder.name);
    EXPECT_EQ(0u, decoder.position);

    EXPECT_EQ(ENTRY_HEADER_NAME_TOO_LONG, Decode(Le(1, 8) + name + "x", &decoder, &taken));
    EXPECT_EQ(name, decoder.name);  // what fit, terminated
    EXPECT_EQ(ENTRY_HEADER_MORE, Decode(Le(1, 8) + "\\a", &decoder, &taken));
    EXPECT_NE(0u, decoder.position);  // cut inside the header
}

TEST(EntryName, SafeNames) {
    const char* safe[] = {
        "\\Velmora.msi", "/a/b", "\\sub\\file.txt", "\\.hidden", "\\a..b", "\\...x", "\\x.",
        "\\caf\xC3\xA9", "\\a b",
        // Names that only begin like devices.
        "\\CONSOLE", "\\com0", "\\LPT10", "\\nul_", "\\auxiliary.txt",  //
    };
    for (const char* name : safe) EXPECT_TRUE(IsSafeEntryName(name)) << name;
}

TEST(EntryName, UnsafeNames) {
    const char* unsafe[] = {
        "", "a", "Velmora.msi", "\\", "\\a\\", "\\\\a", "\\a\\\\b", "\\.", "\\..", "\\..\\x",
        "/../x", "\\a/../../x", "\\a\\.\\b", "\\C:\\x", "\\C:x", "\\f:ads", "\\a:b\\c", "\\.. ",
        "\\ ..", "\\. .\\x", "\\ ", "\\...", "\\a\\..\\b",
        // Device names, in any case, with any extension, in any folder.
        "\\CON", "\\sub\\con.txt", "\\nul", "\\Aux .log", "\\com1", "\\LPT9\\x", "\\prn.tar.gz",  //
    };
    for (const char* name : unsafe) EXPECT_FALSE(IsSafeEntryName(name)) << name;
    EXPECT_FALSE(IsSafeEntryName(nullptr));
}

TEST(EntryName, OnlyADirectoryMayEndInOneSeparator) {
    EXPECT_TRUE(IsSafeEntryName("\\docs\\", true));
    EXPECT_TRUE(IsSafeEntryName("/a/docs/", true));
    EXPECT_FALSE(IsSafeEntryName("\\docs\\", false));
    const char* unsafe[] = {"\\", "/", "\\docs\\\\", "\\..\\", "\\con\\", "\\a:\\"};
    for (const char* name : unsafe) EXPECT_FALSE(IsSafeEntryName(name, true)) << name;
}

class PayloadWriterTest : public testing::Test {
  protected:
    ScratchFolder scratch;
    fs::path file = scratch.path() / "out.bin";
};

TEST_F(PayloadWriterTest, WritesEntriesBehindExistingBytesAndAlignsTrailer) {
    WriteBytes(file, "STUB!");
    WriteBytes(scratch.path() / "source.txt", "hello world");
    FILE* out = fopen(Utf8(file).c_str(), "r+b");
    FILE* source = fopen(Utf8(scratch.path() / "source.txt").c_str(), "rb");
    ASSERT_TRUE(out && source);

    PayloadWriter writer;
    ASSERT_EQ(RESULT_OK, BeginPayload(&writer, out));
    EXPECT_EQ(5u, writer.payload_offset);
    EXPECT_EQ(RESULT_OK, AddDirectoryEntry(&writer, "\\sub"));
    EXPECT_EQ(RESULT_OK, AddFileEntry(&writer, "\\sub\\a.txt", source, 11));
    EXPECT_EQ(RESULT_OK, AddMemoryEntry(&writer, "\\empty", nullptr, 0));
    PayloadTrailer trailer;
    ASSERT_EQ(RESULT_OK, FinishPayload(&writer, TRAILER_FLAG_QUIET, 16, &trailer));
    fclose(source);
    fclose(out);

    const std::string payload = Le(ENTRY_SIZE_DIRECTORY, 8) + std::string("\\sub\0", 5) +
                                Le(11, 8) + std::string("\\sub\\a.txt\0", 11) + "hello world" +
                                Le(0, 8) + std::string("\\empty\0", 7);
    EXPECT_EQ(payload.size(), trailer.payload_size);
    EXPECT_EQ(5u, trailer.payload_offset);
    EXPECT_EQ(3u, trailer.entry_count);
    EXPECT_EQ(TRAILER_FLAG_QUIET, trailer.flags);

    const std::string bytes = ReadBytes(file);
    ASSERT_EQ(0u, (bytes.size() - TRAILER_SIZE) % 16);  // the trailer starts aligned
    EXPECT_EQ("STUB!", bytes.substr(0, 5));
    EXPECT_EQ(payload, bytes.substr(5, payload.size()));
    const size_t padding = bytes.size() - TRAILER_SIZE - 5 - payload.size();
    EXPECT_LT(padding, 16u);
    EXPECT_EQ(std::string(padding, '\0'), bytes.substr(5 + payload.size(), padding));
    PayloadTrailer parsed;
    ASSERT_TRUE(ParseTrailer(
        reinterpret_cast<const uint8_t*>(bytes.data() + bytes.size() - TRAILER_SIZE), &parsed));
    EXPECT_EQ(trailer.payload_size, parsed.payload_size);
    EXPECT_EQ(3u, parsed.entry_count);
}

TEST_F(PayloadWriterTest, SourceShorterThanSizeIsAFailureThatSticks) {
    WriteBytes(scratch.path() / "short.txt", "abc");
    FILE* out = fopen(Utf8(file).c_str(), "wb");
    FILE* source = fopen(Utf8(scratch.path() / "short.txt").c_str(), "rb");
    ASSERT_TRUE(out && source);
    PayloadWriter writer;
    ASSERT_EQ(RESULT_OK, BeginPayload(&writer, out));
    EXPECT_EQ(RESULT_BAD_PAYLOAD, AddFileEntry(&writer, "\\a", source, 10));
    EXPECT_EQ(RESULT_BAD_PAYLOAD, AddMemoryEntry(&writer, "\\b", "x", 1));
    PayloadTrailer trailer = {};
    EXPECT_EQ(RESULT_BAD_PAYLOAD, FinishPayload(&writer, 0, 1, &trailer));
    EXPECT_EQ(0u, trailer.entry_count);  // not filled after a failure
    fclose(source);
    fclose(out);
}

#if !defined(_WIN32)
TEST(PayloadWriterFullDisk, FailedWriteIsReported) {
    FILE* out = fopen("/dev/full", "wb");
    ASSERT_TRUE(out);
    PayloadWriter writer;
    BeginPayload(&writer, out);
    std::string big(1 << 20, 'x');
    ResultCode added = AddMemoryEntry(&writer, "\\big", big.data(), big.size());
    ResultCode finished = FinishPayload(&writer, 0, 1, nullptr);
    EXPECT_EQ(RESULT_WRITE_FAILED, added);
    EXPECT_EQ(RESULT_WRITE_FAILED, finished);
    fclose(out);
}
#endif

}  // namespace
