// list, verify and extract over good and damaged installers.
#include "tools/cli/commands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "packer_test_support.h"
#include "tools/files/file_system.h"
#include "tools/installer/installer_scan.h"

using packer_test::Captured;
using packer_test::DirectoryBytes;
using packer_test::EntryBytes;
using packer_test::FakeStub;
using packer_test::ReadWholeFile;
using packer_test::ScratchFolder;
using packer_test::TrailerBytes;

namespace {

constexpr uint32_t STUB_SIZE = 512;

// stub + payload + trailer; payload_size and entry_count default to the truth.
std::string Installer(const std::string& payload, uint64_t entry_count,
                      uint64_t payload_size = UINT64_MAX) {
    if (payload_size == UINT64_MAX) payload_size = payload.size();
    return FakeStub(STUB_SIZE) + payload + TrailerBytes(STUB_SIZE, payload_size, entry_count);
}

class CommandsTest : public ::testing::Test {
  protected:
    Captured Verify(const std::string& image) {
        std::string path = scratch_.Write("check.exe", image);
        return packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunVerify(path, "", "", out, err);
        });
    }

    void ExpectVerifyFails(const std::string& image, const std::string& fragment) {
        Captured result = Verify(image);
        EXPECT_EQ(result.status, qjxpack::EXIT_FAILED) << result.out;
        EXPECT_NE(result.err.find(fragment), std::string::npos) << result.err;
    }

    Captured Extract(const std::string& image, const std::string& folder, bool overwrite = false) {
        std::string path = scratch_.Write("extract.exe", image);
        return packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
            return qjxpack::RunExtract(path, folder, overwrite, false, "", out, err);
        });
    }

    ScratchFolder scratch_;
};

const std::string kGoodPayload = DirectoryBytes("\\docs") + EntryBytes("\\docs\\a.txt", "alpha") +
                                 EntryBytes("\\empty.txt", "") + EntryBytes("\\b.bin", "beta");

}  // namespace

TEST_F(CommandsTest, VerifyPassesASoundInstaller) {
    Captured result = Verify(Installer(kGoodPayload, 4));
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_NE(result.out.find("OK: 4 entries"), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
    // An empty payload is sound too.
    EXPECT_EQ(Verify(Installer("", 0)).status, qjxpack::EXIT_OK);
}

TEST_F(CommandsTest, VerifyTakesAFolderNamedWithAClosingSeparator) {
    const std::string payload = DirectoryBytes("\\docs\\") + EntryBytes("\\docs\\a.txt", "a");
    EXPECT_EQ(Verify(Installer(payload, 2)).status, qjxpack::EXIT_OK);
    ExpectVerifyFails(Installer(EntryBytes("\\a.txt\\", "a"), 1), "not a safe");
}

TEST_F(CommandsTest, VerifyWarnsButPassesAWrongEntryCount) {
    Captured result = Verify(Installer(kGoodPayload, 7));
    EXPECT_EQ(result.status, qjxpack::EXIT_OK);
    EXPECT_NE(result.err.find("warning: "), std::string::npos);
    EXPECT_NE(result.err.find("counts 7 entries"), std::string::npos) << result.err;
}

TEST_F(CommandsTest, VerifyFailsWhatTheStubCannotExtractCompletely) {
    ExpectVerifyFails(FakeStub(STUB_SIZE), "no trailer");
    ExpectVerifyFails(Installer(kGoodPayload, 4, kGoodPayload.size() + 1),
                      "does not lie inside the file");
    ExpectVerifyFails(FakeStub(STUB_SIZE) + kGoodPayload + TrailerBytes(STUB_SIZE + 1, 0, 0) + "x",
                      "no trailer");
    // payload_size cuts the last entry's data, its name, or its size field.
    ExpectVerifyFails(Installer(kGoodPayload, 4, kGoodPayload.size() - 1), "runs past the end");
    ExpectVerifyFails(Installer(kGoodPayload, 4, kGoodPayload.size() - 6), "inside the entry");
    ExpectVerifyFails(Installer(kGoodPayload + "\x01\x02", 4), "inside the entry");
    // A file whose folder no directory entry creates, and one name twice.
    ExpectVerifyFails(Installer(EntryBytes("\\docs\\a.txt", "a"), 1), "no earlier directory");
    ExpectVerifyFails(Installer(EntryBytes("\\a.txt", "1") + EntryBytes("\\A.TXT", "2"), 2),
                      "appears twice");
    ExpectVerifyFails(Installer(EntryBytes("\\..\\evil.dll", "x"), 1), "not a safe");
    ExpectVerifyFails(
        Installer(EntryBytes("\\keep.txt", "1") + EntryBytes("\\keep.txt\xFF", "2"), 2),
        "refuses on the NT family");
    ExpectVerifyFails(Installer(EntryBytes("\\" + std::string(200, 'n'), "x"), 1),
                      "the stub allows 159");
    ExpectVerifyFails(Installer(std::string(8, '\0') + std::string(300, 'n'), 1),
                      "longer than 262 bytes");
    // A terminal control sequence in a name is reported, not sent to the terminal.
    Captured escape = Verify(Installer(EntryBytes("\\\x1b]0;owned\a", "x"), 1));
    EXPECT_EQ(escape.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(escape.err.find("entry \"\\?]0;owned?\""), std::string::npos) << escape.err;
    // Endless damage is reported up to a limit.
    std::string many;
    for (int i = 0; i < 100; ++i) many += EntryBytes("\\a", "");
    Captured flood = Verify(Installer(many, 100));
    EXPECT_EQ(flood.status, qjxpack::EXIT_FAILED);
    EXPECT_LT(std::count(flood.err.begin(), flood.err.end(), '\n'), 30) << flood.err;
    EXPECT_NE(flood.err.find("the scan stopped here"), std::string::npos);
}

TEST_F(CommandsTest, VerifyFailsAnInstallerOf2GiBOrMore) {
    const std::string path = scratch_.At("huge.exe");
    packer_test::WriteSparseFile(path, FakeStub(STUB_SIZE) + kGoodPayload,
                                 qjxpack::MAX_INSTALLER_BYTES + 1,
                                 TrailerBytes(STUB_SIZE, kGoodPayload.size(), 4));
    Captured result = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunVerify(path, "", "", out, err); });
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("below 2 GiB"), std::string::npos) << result.err;
}

TEST_F(CommandsTest, VerifyReportsWhetherThePayloadIsInsideTheSignedRegion) {
    std::string image = Installer(kGoodPayload, 4);
    packer_test::AppendFakeSignature(&image, 512);
    Captured result = Verify(image);
    EXPECT_NE(result.out.find("signed; the payload lies inside the signed region"),
              std::string::npos)
        << result.out;
#if defined(_WIN32)
    // The system reads the fake table as no signature at all: the stub would refuse the file.
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.out.find("the system's signature check answers 0x"), std::string::npos)
        << result.out;
    EXPECT_NE(result.err.find("the signature does not match the contents"), std::string::npos)
        << result.err;
#else
    // qjxpack reads the table itself and finds no signature in it.
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("the certificate table is damaged"), std::string::npos) << result.err;
#endif

    // Signed first, payload appended later: found at the end, but outside the signature.
    std::string late = FakeStub(STUB_SIZE);
    packer_test::AppendFakeSignature(&late, 64);
    const uint32_t offset = static_cast<uint32_t>(late.size());
    late += kGoodPayload + TrailerBytes(offset, kGoodPayload.size(), 4);
    result = Verify(late);
    EXPECT_NE(result.out.find("OUTSIDE the signed region"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("data was appended after signing"), std::string::npos);
}

TEST_F(CommandsTest, ListShowsTrailerAndEntriesAsTextAndJson) {
    std::string path = scratch_.Write("list.exe", Installer(kGoodPayload, 4));
    Captured text = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, false, out, err); });
    EXPECT_EQ(text.status, qjxpack::EXIT_OK);
    EXPECT_NE(text.out.find("payload_offset 0x200, payload_size " +
                            std::to_string(kGoodPayload.size()) + ", entry_count 4"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("<dir>  \\docs\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("0x20e                   5  \\docs\\a.txt\n"), std::string::npos)
        << text.out;

    Captured json = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, true, out, err); });
    EXPECT_EQ(json.status, qjxpack::EXIT_OK);
    EXPECT_NE(json.out.find("\"payload_offset\": 512, "), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"quiet\": false}, \"signature\": null"), std::string::npos);
    EXPECT_NE(json.out.find("{\"name\": \"\\\\docs\\\\a.txt\", \"type\": \"file\", \"size\": 5, "
                            "\"offset\": 526}"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("\"errors\": [], \"warnings\": []}\n"), std::string::npos);
}

TEST_F(CommandsTest, ListAndVerifyNameTheStubsArchitecture) {
    std::string x64 = Installer(kGoodPayload, 4);
    x64[packer_test::PE_AT + 4] = '\x64';  // machine 0x8664
    x64[packer_test::PE_AT + 5] = '\x86';
    std::string path = scratch_.Write("x64.exe", x64);
    Captured json = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, true, out, err); });
    EXPECT_NE(json.out.find("\"stub_architecture\": \"x64\", "), std::string::npos) << json.out;
    EXPECT_NE(Verify(Installer(kGoodPayload, 4)).out.find("stub: x86 (runs on every Windows)"),
              std::string::npos);
    std::string not_pe = Installer(kGoodPayload, 4);
    not_pe[0] = 'X';
    EXPECT_NE(Verify(not_pe).out.find("stub: not a Windows program"), std::string::npos);
}

TEST_F(CommandsTest, ListOfADamagedInstallerFails) {
    std::string path = scratch_.Write("damaged.exe", Installer(kGoodPayload, 4, 9));
    Captured json = packer_test::Capture(
        scratch_, [&](FILE* out, FILE* err) { return qjxpack::RunList(path, true, out, err); });
    EXPECT_EQ(json.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(json.out.find("\"errors\": [\"entry at 0x200: the payload ends inside"),
              std::string::npos)
        << json.out;
    Captured missing = packer_test::Capture(scratch_, [&](FILE* out, FILE* err) {
        return qjxpack::RunList(scratch_.At("nope.exe"), false, out, err);
    });
    EXPECT_EQ(missing.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(missing.err.find("qjxpack: error: no file at"), std::string::npos);
}

TEST(JsonString, EscapesQuotesControlsAndStrayBytes) {
    EXPECT_EQ(qjxpack::JsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");
    EXPECT_EQ(qjxpack::JsonString("\xC3\xB6\xE6\x97\xA5"), "\"\xC3\xB6\xE6\x97\xA5\"");
    EXPECT_EQ(qjxpack::JsonString("x\xFFy\xC3"), "\"x\\u00ffy\\u00c3\"");
}

TEST_F(CommandsTest, ExtractWritesEveryEntry) {
    std::string folder = scratch_.At("out/nested");
    Captured result = Extract(Installer(kGoodPayload, 4), folder);
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_EQ(ReadWholeFile(scratch_.At("out/nested/docs/a.txt")), "alpha");
    EXPECT_EQ(ReadWholeFile(scratch_.At("out/nested/b.bin")), "beta");
    EXPECT_EQ(qjxpack::GetFileInfo(scratch_.At("out/nested/empty.txt")).kind,
              qjxpack::FileKind::kRegular);
}

// A second extraction into the same folder meets every name again: it stops at the first file,
// naming it, and leaves it alone; plain folders on the way are used. --overwrite replaces.
TEST_F(CommandsTest, ExtractRefusesANameThatExistsUnlessOverwriting) {
    const std::string folder = scratch_.At("out");
    ASSERT_EQ(Extract(Installer(kGoodPayload, 4), folder).status, qjxpack::EXIT_OK);
    const std::string planted = scratch_.At("out/docs/a.txt");
    packer_test::WriteWholeFile(planted, "planted");
    Captured result = Extract(Installer(kGoodPayload, 4), folder);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("exists already"), std::string::npos) << result.err;
    // The path as the platform writes it, one separator between folder and name.
    EXPECT_NE(result.err.find(" (" + planted + ")"), std::string::npos) << result.err;
    EXPECT_EQ(ReadWholeFile(planted), "planted");

    result = Extract(Installer(kGoodPayload, 4), folder, true);
    EXPECT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    EXPECT_EQ(ReadWholeFile(planted), "alpha");
}

TEST_F(CommandsTest, ExtractRefusesAnInstallerThatFailsVerification) {
    std::string folder = scratch_.At("out");
    Captured result = Extract(
        Installer(EntryBytes("\\a.txt", "a") + EntryBytes("\\..\\evil.txt", "x"), 2), folder);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("nothing extracted"), std::string::npos) << result.err;
    EXPECT_EQ(qjxpack::GetFileInfo(folder).kind, qjxpack::FileKind::kMissing);
    EXPECT_EQ(qjxpack::GetFileInfo(scratch_.At("evil.txt")).kind, qjxpack::FileKind::kMissing);
}

TEST_F(CommandsTest, ExtractReportsAFolderItCannotCreate) {
    std::string blocker = scratch_.Write("blocker", "a file where a folder should be");
    Captured result = Extract(Installer(kGoodPayload, 4), blocker);
    EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
    EXPECT_NE(result.err.find("cannot create folder"), std::string::npos) << result.err;
}
