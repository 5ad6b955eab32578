#include "payload/payload_digest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "files/file_access.h"
#include "payload/sha256.h"
#include "scratch.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += "0123456789abcdef"[bytes[i] >> 4];
        hex += "0123456789abcdef"[bytes[i] & 15];
    }
    return hex;
}

std::string DigestOf(const std::string& data) {
    uint8_t digest[SHA256_DIGEST_SIZE];
    Sha256Of(data.data(), data.size(), digest);
    return Hex(digest, sizeof digest);
}

// FIPS 180-4's examples (the short, the two-block and the long message), and lengths around the
// block's last eight bytes, where the padding takes a block of its own or not.
// Both ways of computing it, where the processor has the SHA extensions.
class Sha256Test : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (Sha256UseExtensions(GetParam()) != GetParam()) {
            Sha256UseExtensions(true);
            GTEST_SKIP() << "the processor has no SHA extensions";
        }
    }
    void TearDown() override { Sha256UseExtensions(true); }
};
INSTANTIATE_TEST_SUITE_P(PortableAndExtensions, Sha256Test, ::testing::Bool());

TEST_P(Sha256Test, MatchesTheStandardsTestVectors) {
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", DigestOf(""));
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", DigestOf("abc"));
    EXPECT_EQ("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
              DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
    EXPECT_EQ("cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1",
              DigestOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                       "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"));
    EXPECT_EQ("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
              DigestOf(std::string(1000000, 'a')));
    const struct {
        size_t length;
        const char* digest;
    } edges[] = {
        {55, "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {56, "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {63, "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {64, "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {65, "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
    };
    for (const auto& edge : edges) {
        EXPECT_EQ(edge.digest, DigestOf(std::string(edge.length, 'a'))) << edge.length;
    }
}

// Pieces of every size up to two blocks, fed one after another, give the digest of the whole.
TEST_P(Sha256Test, PiecesGiveTheDigestOfTheWhole) {
    std::string data(1000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 131 + i / 7);
    const std::string whole = DigestOf(data);
    for (size_t piece = 1; piece <= 2 * SHA256_BLOCK_SIZE + 1; ++piece) {
        Sha256 context;
        Sha256Begin(&context);
        for (size_t at = 0; at < data.size(); at += piece) {
            Sha256Add(&context, data.data() + at, std::min(piece, data.size() - at));
        }
        uint8_t digest[SHA256_DIGEST_SIZE];
        Sha256Finish(&context, digest);
        ASSERT_EQ(whole, Hex(digest, sizeof digest)) << "pieces of " << piece;
    }
}

class PayloadDigestTest : public ::testing::Test {
  protected:
    // A program file: an image, a payload, padding and a trailer at the end.
    void SetUp() override {
        program_ = scratch_.path() / "setup.exe";
        image_ = "MZ" + std::string(98, 'i');
        payload_ = std::string(5000, 'p');
        trailer_.payload_offset = static_cast<uint32_t>(image_.size());
        trailer_.payload_size = payload_.size();
        trailer_.entry_count = 1;
        uint8_t bytes[TRAILER_SIZE];
        SerializeTrailer(trailer_, bytes);
        WriteBytes(program_, image_ + payload_ + std::string(12, '\0') +
                                 std::string(reinterpret_cast<char*>(bytes), TRAILER_SIZE));
        trailer_offset_ = image_.size() + payload_.size() + 12;
    }

    // The record a packer writes for the file as it is now.
    std::string BoundRecord() {
        PayloadDigest digest = {};
        digest.bound = true;
        digest.payload_size = trailer_.payload_size;
        FILE* file = OpenFileUtf8(Utf8(program_).c_str(), 0);
        EXPECT_TRUE(HashPayload(file, trailer_, trailer_offset_, digest.digest));
        fclose(file);
        uint8_t record[PAYLOAD_DIGEST_RECORD_SIZE];
        SerializePayloadDigest(digest, record);
        return std::string(reinterpret_cast<char*>(record), sizeof record);
    }

    PayloadBinding Check(const std::string& record) {
        FILE* file = OpenFileUtf8(Utf8(program_).c_str(), 0);
        PayloadBinding binding =
            CheckPayloadBinding(file, trailer_, trailer_offset_,
                                reinterpret_cast<const uint8_t*>(record.data()), record.size());
        fclose(file);
        return binding;
    }

    void ChangeByteAt(uint64_t offset) {
        std::string bytes = ReadBytes(program_);
        bytes[offset] = static_cast<char>(bytes[offset] ^ 1);
        WriteBytes(program_, bytes);
    }

    ScratchFolder scratch_;
    fs::path program_;
    std::string image_, payload_;
    PayloadTrailer trailer_ = {};
    uint64_t trailer_offset_ = 0;
};

TEST_F(PayloadDigestTest, RecordLayoutIsFixed) {
    PayloadDigest digest = {};
    digest.bound = true;
    digest.payload_size = 0x0102030405060708ull;
    for (size_t i = 0; i < SHA256_DIGEST_SIZE; ++i) digest.digest[i] = static_cast<uint8_t>(i);
    uint8_t record[PAYLOAD_DIGEST_RECORD_SIZE];
    SerializePayloadDigest(digest, record);
    std::string expected = std::string("QJXBIND1") + std::string("\1\0\0\0\0\0\0\0", 8) +
                           std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8);
    for (size_t i = 0; i < SHA256_DIGEST_SIZE; ++i) expected += static_cast<char>(i);
    EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(record), sizeof record));
    PayloadDigest parsed = {};
    ASSERT_TRUE(ParsePayloadDigest(record, sizeof record, &parsed));
    EXPECT_TRUE(parsed.bound);
    EXPECT_EQ(digest.payload_size, parsed.payload_size);
    EXPECT_EQ(0, memcmp(digest.digest, parsed.digest, SHA256_DIGEST_SIZE));
    // Another size, magic or state is no record of this layout.
    EXPECT_FALSE(ParsePayloadDigest(record, sizeof record - 1, &parsed));
    record[8] = 2;
    EXPECT_FALSE(ParsePayloadDigest(record, sizeof record, &parsed));
    record[8] = 1;
    record[0] = 'X';
    EXPECT_FALSE(ParsePayloadDigest(record, sizeof record, &parsed));
}

TEST_F(PayloadDigestTest, OnlyTheBoundPayloadMatches) {
    const std::string record = BoundRecord();
    EXPECT_EQ(BINDING_MATCH, Check(record));
    // The digest covers the payload's first and last bytes, the padding and the trailer.
    const uint64_t first = trailer_.payload_offset;
    for (uint64_t offset :
         {first, first + 4999, trailer_offset_ - 1, trailer_offset_ + TRAILER_SIZE - 1}) {
        ChangeByteAt(offset);
        EXPECT_EQ(BINDING_MISMATCH, Check(record)) << "byte at " << offset;
        ChangeByteAt(offset);
    }
    // The image before the payload is the signature's to cover, not the digest's.
    ChangeByteAt(10);
    EXPECT_EQ(BINDING_MATCH, Check(record));
    // A payload of another size is another payload, whatever its bytes.
    trailer_.payload_size -= 1;
    EXPECT_EQ(BINDING_MISMATCH, Check(record));
}

TEST_F(PayloadDigestTest, AFileCutShortIsAMismatch) {
    const std::string record = BoundRecord();
    WriteBytes(program_, ReadBytes(program_).substr(0, trailer_offset_));
    EXPECT_EQ(BINDING_MISMATCH, Check(record));
}

TEST_F(PayloadDigestTest, PlaceholderAndMissingRecordAreUnbound) {
    uint8_t placeholder[PAYLOAD_DIGEST_RECORD_SIZE] = {};
    memcpy(placeholder, PAYLOAD_DIGEST_MAGIC, sizeof PAYLOAD_DIGEST_MAGIC);
    EXPECT_EQ(BINDING_UNBOUND,
              Check(std::string(reinterpret_cast<char*>(placeholder), sizeof placeholder)));
    EXPECT_EQ(BINDING_NONE, Check(std::string()));
    EXPECT_EQ(BINDING_NONE, Check("version 1.0"));
}

}  // namespace
