// Finding the trailer in plain and signed program files.
#include "payload/trailer_locator.h"

#include <gtest/gtest.h>

#include "packer_test_support.h"
#include "tools/files/file_system.h"

using packer_test::AppendFakeSignature;
using packer_test::FakeStub;
using packer_test::ScratchFolder;
using packer_test::TrailerBytes;

namespace {

struct Found {
    bool found = false;
    PayloadTrailer trailer = {};
    uint64_t offset = 0;
};

Found Locate(const std::string& path) {
    Found result;
    FILE* file = qjxpack::OpenPath(path, "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return result;
    result.found = ReadTrailer(file, &result.trailer, &result.offset);
    fclose(file);
    return result;
}

// A stub, a payload of payload_size bytes and a trailer describing them.
std::string PlainInstaller(uint64_t payload_size = 100, uint32_t flags = 0) {
    std::string image = FakeStub(1024);
    image.append(static_cast<size_t>(payload_size), 'p');
    return image + TrailerBytes(1024, payload_size, 1, flags);
}

}  // namespace

TEST(TrailerLocator, FindsTheTrailerAtTheEndOfAPlainFile) {
    ScratchFolder scratch;
    std::string image = PlainInstaller(100, TRAILER_FLAG_QUIET);
    Found found = Locate(scratch.Write("plain.exe", image));
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.offset, image.size() - TRAILER_SIZE);
    EXPECT_EQ(found.trailer.payload_offset, 1024u);
    EXPECT_EQ(found.trailer.payload_size, 100u);
    EXPECT_EQ(found.trailer.flags, TRAILER_FLAG_QUIET);
    EXPECT_TRUE(IsTrailerSound(found.trailer, found.offset));
}

TEST(TrailerLocator, RefusesFilesWithoutMagicOrShorterThanATrailer) {
    ScratchFolder scratch;
    EXPECT_FALSE(Locate(scratch.Write("stub.exe", FakeStub())).found);
    EXPECT_FALSE(Locate(scratch.Write("short.bin", std::string("QJXSEA", 6))).found);
    EXPECT_FALSE(Locate(scratch.Write("empty.bin", "")).found);
    // The trailer alone, 32 bytes, is a file that ends in a trailer.
    EXPECT_TRUE(Locate(scratch.Write("bare.bin", TrailerBytes(0, 0, 0))).found);
}

TEST(TrailerLocator, FindsTheTrailerBeforeTheCertificateTableOfASignedFile) {
    ScratchFolder scratch;
    std::string image = PlainInstaller();
    const uint64_t trailer_at = image.size() - TRAILER_SIZE;
    AppendFakeSignature(&image, 1000);
    Found found = Locate(scratch.Write("signed.exe", image));
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.offset, trailer_at);
    EXPECT_EQ(found.trailer.payload_size, 100u);

    FILE* file = qjxpack::OpenPath(scratch.At("signed.exe"), "rb");
    ASSERT_NE(file, nullptr);
    uint64_t table_offset = 0;
    uint64_t table_size = 0;
    EXPECT_TRUE(FindCertificateTable(file, &table_offset, &table_size));
    fclose(file);
    EXPECT_EQ(table_offset, trailer_at + TRAILER_SIZE);
    EXPECT_EQ(table_size, 1000u);
}

// Bytes appended inside the certificate table leave the signature valid, so a trailer there
// must never win over the signed one, nor stand in for a missing one.
TEST(TrailerLocator, IgnoresATrailerPlantedInTheUnsignedCertificateTable) {
    ScratchFolder scratch;
    std::string image = PlainInstaller(100);
    const uint64_t trailer_at = image.size() - TRAILER_SIZE;
    AppendFakeSignature(&image, 96);
    image.replace(image.size() - TRAILER_SIZE, TRAILER_SIZE, TrailerBytes(0, 5, 1));
    Found found = Locate(scratch.Write("planted.exe", image));
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.offset, trailer_at);
    EXPECT_EQ(found.trailer.payload_size, 100u);

    std::string stub = FakeStub(1024);
    AppendFakeSignature(&stub, 96);
    stub.replace(stub.size() - TRAILER_SIZE, TRAILER_SIZE, TrailerBytes(0, 5, 1));
    EXPECT_FALSE(Locate(scratch.Write("signed_stub.exe", stub)).found);
}

TEST(TrailerLocator, TakesTheLastBytesWhenTheTableDoesNotEndTheFile) {
    ScratchFolder scratch;
    // A signed stub with a payload appended afterwards: the table sits in the middle.
    std::string image = FakeStub(1024);
    AppendFakeSignature(&image, 64);
    image.append(10, 'p');
    image += TrailerBytes(1024 + 64, 10, 1);
    Found found = Locate(scratch.Write("appended.exe", image));
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.offset, image.size() - TRAILER_SIZE);
}

TEST(TrailerLocator, JudgesWhetherThePayloadLiesBeforeTheTrailer) {
    PayloadTrailer trailer = {};
    trailer.payload_offset = 1000;
    trailer.payload_size = 500;
    EXPECT_TRUE(IsTrailerSound(trailer, 1500));  // ends exactly at the trailer
    EXPECT_FALSE(IsTrailerSound(trailer, 1499));
    trailer.payload_size = 0;
    EXPECT_TRUE(IsTrailerSound(trailer, 1000));
    EXPECT_FALSE(IsTrailerSound(trailer, 999));  // starts past the trailer
    trailer.payload_size = UINT64_MAX;           // no wrap-around
    EXPECT_FALSE(IsTrailerSound(trailer, 1500));
}

// Lengths and offsets past 4 GiB: the packer inspects any file (sparse, so it costs no disk).
TEST(TrailerLocator, ReadsTheTrailerOfAFileLargerThan4GiB) {
    ScratchFolder scratch;
    const std::string path = scratch.At("large.bin");
    const uint64_t trailer_at = (5ull << 30) + 7;
    packer_test::WriteSparseFile(path, "", trailer_at + TRAILER_SIZE,
                                 TrailerBytes(0x1000, 1ull << 32, 9));

    Found found = Locate(path);
    ASSERT_TRUE(found.found);
    EXPECT_EQ(found.offset, trailer_at);
    EXPECT_EQ(found.trailer.payload_size, 1ull << 32);
    EXPECT_EQ(found.trailer.entry_count, 9u);
}
