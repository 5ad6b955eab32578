// The stub's version resource as the packer reads it: from the real stub, from cut and damaged
// copies of it (never reading outside the bytes there), and in list's output.
#include "tools/pe/version_resource.h"

#include <gtest/gtest.h>
#include <string.h>

#include "packer_test_support.h"
#include "tools/cli/commands.h"

using packer_test::Captured;
using packer_test::ScratchFolder;

namespace {

// The first image bytes of a file, as the packer's reader sees them.
qjxpack::ReadAt ReaderOf(const std::string& image) {
    return [&image](uint64_t offset, void* buffer, size_t length) {
        if (offset > image.size() || length > image.size() - offset) return false;
        memcpy(buffer, image.data() + offset, length);
        return true;
    };
}

class VersionResourceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stub_ = packer_test::ReadWholeFile(QJX_TEST_STUB);
        if (stub_.empty()) GTEST_SKIP() << "no stub at " << QJX_TEST_STUB << " (build win32)";
    }

    // The VS_VERSIONINFO block inside the stub: its key, less the 6 bytes before it.
    std::vector<uint8_t> Block() const {
        const char16_t key[] = u"VS_VERSION_INFO";
        std::string pattern;
        for (char16_t unit : key) pattern += {static_cast<char>(unit), '\0'};
        size_t at = stub_.find(pattern);
        EXPECT_NE(at, std::string::npos);
        const uint8_t* begin = reinterpret_cast<const uint8_t*>(stub_.data()) + at - 6;
        return std::vector<uint8_t>(begin, begin + (begin[0] | begin[1] << 8));
    }

    std::string stub_;
};

}  // namespace

TEST_F(VersionResourceTest, ReadsTheStubsVersionAndTexts) {
    qjxpack::VersionInfo info;
    ASSERT_TRUE(qjxpack::ReadVersionInfo(ReaderOf(stub_), &info));
    const std::string version = QJX_TEST_VERSION;
    EXPECT_EQ(info.file_version, version + ".0");
    EXPECT_EQ(info.product_version, version + ".0");
    using Text = std::pair<std::string, std::string>;
    EXPECT_EQ(info.strings, (std::vector<Text>{{"CompanyName", "Dravik"},
                                               {"FileDescription", "Velmora Setup"},
                                               {"FileVersion", version},
                                               {"ProductName", "Velmora"},
                                               {"ProductVersion", version}}));
}

TEST_F(VersionResourceTest, ACutStubHasNoVersionUntilItsResourcesAreWhole) {
    // Once the resources are all there, every longer cut reads them; before, none does.
    size_t first_whole = std::string::npos;
    for (size_t cut = 0; cut <= stub_.size(); cut += cut < 1024 ? 1 : 61) {
        const std::string image = stub_.substr(0, cut);
        qjxpack::VersionInfo info;
        const bool found = qjxpack::ReadVersionInfo(ReaderOf(image), &info);
        if (found && first_whole == std::string::npos) first_whole = cut;
        ASSERT_EQ(found, first_whole != std::string::npos) << "cut at " << cut;
    }
    ASSERT_NE(first_whole, std::string::npos);
    EXPECT_GT(first_whole, stub_.find("S\0t\0r\0i\0n\0g\0F\0i\0l\0e", 0, 20));
}

TEST_F(VersionResourceTest, DamagedLengthsStayInsideTheBlock) {
    // Each copy is exactly as long as its data, so the sanitizers catch any read beyond it.
    const std::vector<uint8_t> block = Block();
    ASSERT_GT(block.size(), 200u);
    qjxpack::VersionInfo info;
    ASSERT_TRUE(qjxpack::ParseVersionBlock(block.data(), block.size(), &info));
    for (size_t size = 0; size < block.size(); ++size) {
        // A block that claims only the bytes there, and one that claims more.
        for (uint32_t claimed :
             {static_cast<uint32_t>(size), static_cast<uint32_t>(block.size())}) {
            std::vector<uint8_t> cut(block.begin(), block.begin() + size);
            if (size >= 2) cut[0] = static_cast<uint8_t>(claimed), cut[1] = claimed >> 8;
            bool parsed = qjxpack::ParseVersionBlock(cut.data(), cut.size(), &info);
            EXPECT_TRUE(!parsed || claimed == size) << size;
        }
    }
    for (size_t at = 0; at + 1 < block.size(); at += 2) {
        for (uint16_t value : {0x0000, 0x0001, 0x0006, 0x00FF, 0x7FFF, 0xFFFF}) {
            std::vector<uint8_t> damaged = block;
            damaged[at] = static_cast<uint8_t>(value);
            damaged[at + 1] = static_cast<uint8_t>(value >> 8);
            qjxpack::ParseVersionBlock(damaged.data(), damaged.size(), &info);
        }
    }
}

TEST_F(VersionResourceTest, ListShowsIt) {
    ScratchFolder scratch;
    // Quiet: an empty payload then starts nothing that could be missing.
    const std::string path = scratch.Write(
        "Setup.exe", stub_ + packer_test::TrailerBytes(static_cast<uint32_t>(stub_.size()), 0, 0,
                                                       TRAILER_FLAG_QUIET));
    Captured text = packer_test::Capture(
        scratch, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, false, out, err); });
    EXPECT_EQ(text.status, qjxpack::EXIT_OK) << text.err;
    EXPECT_NE(text.out.find("version resource: file " QJX_TEST_VERSION
                            ".0, product " QJX_TEST_VERSION ".0\n  CompanyName: Dravik\n"),
              std::string::npos)
        << text.out;
    Captured json = packer_test::Capture(
        scratch, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, true, out, err); });
    EXPECT_NE(json.out.find("\"strings\": {\"CompanyName\": \"Dravik\", "), std::string::npos)
        << json.out;
    // A stub without one says so.
    const std::string bare = scratch.Write(
        "Bare.exe", packer_test::FakeStub(512) + packer_test::TrailerBytes(512, 0, 0));
    json = packer_test::Capture(
        scratch, [&](FILE* out, FILE* err) { return qjxpack::RunList(bare, true, out, err); });
    EXPECT_NE(json.out.find("\"version\": null, "), std::string::npos) << json.out;
}
