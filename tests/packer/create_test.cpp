// Making installers: layout, entry order, and what create refuses.
#include <gtest/gtest.h>

#include "packer_test_support.h"
#include "payload/trailer_locator.h"
#include "tools/cli/commands.h"
#include "tools/installer/installer_scan.h"
#include "tools/pe/pe_checksum.h"

using packer_test::Captured;
using packer_test::FakeStub;
using packer_test::ReadWholeFile;
using packer_test::ScratchFolder;
using qjxpack::CreateRequest;

namespace {

class CreateTest : public ::testing::Test {
  protected:
    CreateTest() {
        stub_ = scratch_.Write("stub.exe", FakeStub(1500));
        request_.stub = stub_;
        request_.output = scratch_.At("Setup.exe");
    }

    Captured Create() {
        return packer_test::Capture(scratch_, [this](FILE* out, FILE* err) {
            return qjxpack::RunCreate(request_, out, err);
        });
    }

    qjxpack::InstallerScan Scan(const std::string& path) {
        qjxpack::InstallerScan scan;
        std::string error;
        EXPECT_TRUE(qjxpack::ScanInstaller(path, &scan, &error)) << error;
        return scan;
    }

    std::vector<std::string> Names(const qjxpack::InstallerScan& scan) {
        std::vector<std::string> names;
        for (const auto& entry : scan.entries) {
            names.push_back((entry.is_directory ? "D " : "F ") + entry.name);
        }
        return names;
    }

    // Expects create to fail with a message holding fragment, leaving the output as it was.
    void ExpectRefused(const std::string& fragment) {
        const std::string before = ReadWholeFile(request_.output);
        Captured result = Create();
        EXPECT_EQ(result.status, qjxpack::EXIT_FAILED);
        EXPECT_NE(result.err.find(fragment), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
        EXPECT_TRUE(ReadWholeFile(request_.output) == before) << "output changed";
        std::vector<std::string> left;
        qjxpack::ListDirectory(scratch_.path(), &left);
        for (const std::string& name : left) {
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << "temporary file left: " << name;
        }
    }

    ScratchFolder scratch_;
    std::string stub_;
    CreateRequest request_;
};

}  // namespace

TEST_F(CreateTest, LaysOutStubPayloadPaddingAndTrailer) {
    request_.inputs = {scratch_.Write("in/Velmora.msi", std::string(5000, 'm')),
                       scratch_.Write("in/empty.mst", "")};
    Captured result = Create();
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;

    // The stub's bytes, but for the CheckSum field, which covers the whole file.
    std::string image = ReadWholeFile(request_.output);
    const std::vector<uint8_t> bytes(image.begin(), image.end());
    uint64_t checksum_at = 0;
    ASSERT_TRUE(qjxpack::ChecksumOffset(bytes.data(), bytes.size(), &checksum_at));
    EXPECT_EQ(ReadLittleEndian(bytes.data() + checksum_at, 4),
              qjxpack::ImageChecksum(bytes, checksum_at));
    EXPECT_NE(ReadLittleEndian(bytes.data() + checksum_at, 4), 0u);
    image.replace(checksum_at, 4, 4, '\0');
    EXPECT_EQ(image.substr(0, 1500), ReadWholeFile(stub_));
    qjxpack::InstallerScan scan = Scan(request_.output);
    ASSERT_TRUE(scan.has_trailer);
    EXPECT_TRUE(scan.errors.empty()) << scan.errors[0];
    EXPECT_EQ(scan.trailer.payload_offset, 1500u);
    const uint64_t payload = (8 + 13 + 5000) + (8 + 11);
    EXPECT_EQ(scan.trailer.payload_size, payload);
    EXPECT_EQ(scan.trailer.entry_count, 2u);
    EXPECT_EQ(scan.trailer.flags, 0u);
    // The trailer starts on a 4096-byte boundary after zero padding and ends the file, whose
    // length is a multiple of 8 so that a certificate table can follow directly.
    EXPECT_EQ(scan.trailer_offset, 8192u);
    EXPECT_EQ(image.size(), 8192u + TRAILER_SIZE);
    EXPECT_EQ(image.size() % 8, 0u);
    EXPECT_EQ(image.substr(1500 + payload, 8192 - 1500 - payload),
              std::string(8192 - 1500 - payload, '\0'));
    EXPECT_EQ(image.substr(1500 + 8, 13), std::string("\\Velmora.msi\0", 13));
}

TEST_F(CreateTest, PacksFoldersDirectoryFirstInByteOrder) {
    scratch_.Write("app/b.txt", "b");
    scratch_.Write("app/A.txt", "A");
    scratch_.Write("app/sub/z.txt", "z");
    scratch_.MakeFolder("app/sub/empty");
    scratch_.Write("app/sub/a.txt", "a");
    request_.inputs = {scratch_.At("app"), scratch_.Write("top.txt", "t")};
    ASSERT_EQ(Create().status, qjxpack::EXIT_OK);
    EXPECT_EQ(
        Names(Scan(request_.output)),
        (std::vector<std::string>{"D \\app", "F \\app\\A.txt", "F \\app\\b.txt", "D \\app\\sub",
                                  "F \\app\\sub\\a.txt", "D \\app\\sub\\empty",
                                  "F \\app\\sub\\z.txt", "F \\top.txt"}));
}

TEST_F(CreateTest, FolderDotPacksOnlyTheContentsAndQuietSetsTheFlag) {
    scratch_.Write("dist/Velmora.msi", "msi");
    scratch_.Write("dist/lang/Velmora_German.mst", "de");
    request_.inputs = {scratch_.At("dist") + "/."};
    request_.quiet = true;
    ASSERT_EQ(Create().status, qjxpack::EXIT_OK);
    qjxpack::InstallerScan scan = Scan(request_.output);
    EXPECT_EQ(Names(scan), (std::vector<std::string>{"F \\Velmora.msi", "D \\lang",
                                                     "F \\lang\\Velmora_German.mst"}));
    EXPECT_EQ(scan.trailer.flags, TRAILER_FLAG_QUIET);
}

TEST_F(CreateTest, ReplacesAnExistingOutputWhole) {
    packer_test::WriteWholeFile(request_.output, std::string(100000, 'x'));
    request_.inputs = {scratch_.Write("a.txt", "a")};
    ASSERT_EQ(Create().status, qjxpack::EXIT_OK);
    EXPECT_EQ(ReadWholeFile(request_.output).size(), 4096u + TRAILER_SIZE);
}

TEST_F(CreateTest, RefusesAnOutputThatWouldOverwriteAnInput) {
    std::string input = scratch_.Write("in/data.bin", "precious");
    request_.inputs = {scratch_.At("in")};
    request_.output = input;
    ExpectRefused("would overwrite input");
    EXPECT_EQ(ReadWholeFile(input), "precious");
    // The same file reached through another spelling of its path.
    request_.output = scratch_.At("in/../in/data.bin");
    ExpectRefused("would overwrite input");
    request_.output = stub_;
    ExpectRefused("would overwrite the stub");
    request_.output = scratch_.At("in");
    ExpectRefused("is a folder");
}

TEST_F(CreateTest, RefusesNamesTheStubCannotCreate) {
    // 160 bytes: "\" + 79 + "\" + 79; one less fits.
    scratch_.Write("long/" + std::string(79, 'd') + "/" + std::string(79, 'f'), "x");
    request_.inputs = {scratch_.At("long") + "/."};
    ExpectRefused("the stub allows 159");
    scratch_.Write("fits/" + std::string(79, 'd') + "/" + std::string(78, 'f'), "x");
    request_.inputs = {scratch_.At("fits") + "/."};
    EXPECT_EQ(Create().status, qjxpack::EXIT_OK);
#if !defined(_WIN32)
    request_.inputs = {scratch_.Write("bad/what?.txt", "x")};
    ExpectRefused("entry \"\\what?.txt\"");
    request_.inputs = {scratch_.Write("bad2/con", "x")};
    ExpectRefused("entry \"\\con\"");
    request_.inputs = {scratch_.Write("bad3/back\\slash", "x")};
    ExpectRefused("backslash");
    request_.inputs = {scratch_.Write("bad4/\xFF", "x")};
    ExpectRefused("entry \"\\\xFF\"");
    request_.inputs = {scratch_.Write("bad5/trail.", "x")};
    ExpectRefused("entry \"\\trail.\"");
#endif
}

TEST_F(CreateTest, RefusesAnInstallerOf2GiBOrMore) {
    // The stub alone is below the limit; the payload's alignment and trailer push it over.
    const uint64_t size = qjxpack::MAX_INSTALLER_BYTES - qjxpack::SIGNATURE_RESERVE - 100;
    packer_test::WriteSparseFile(stub_, FakeStub(1024), size, std::string(1, '\0'));
    ASSERT_EQ(qjxpack::GetFileInfo(stub_).size, size);
    request_.inputs = {scratch_.Write("a.txt", "a")};
    ExpectRefused("below 2 GiB");
}

TEST_F(CreateTest, RefusesNamesThatCollideWithoutRegardToCase) {
    request_.inputs = {scratch_.Write("x/Readme.txt", "1"), scratch_.Write("y/README.TXT", "2")};
    ExpectRefused("comes from both");
}

TEST_F(CreateTest, RefusesBadInputsAndStubs) {
    request_.inputs = {scratch_.At("missing.txt")};
    ExpectRefused("no file or folder at");
    request_.inputs = {scratch_.path() + "/.."};
    ExpectRefused("has no name of its own");
    request_.inputs = {scratch_.Write("file.txt", "x") + "/."};
    ExpectRefused("is not a folder");

    request_.inputs = {scratch_.At("file.txt")};
    request_.stub = scratch_.At("no_stub.exe");
    ExpectRefused("no stub at");
    request_.stub = scratch_.Write("text.exe", "just text, no program");
    ExpectRefused("not a Windows program");
    request_.stub = stub_;
    ASSERT_EQ(Create().status, qjxpack::EXIT_OK);
    request_.stub = request_.output;
    request_.output = scratch_.At("Setup2.exe");
    ExpectRefused("already carries a payload");
    std::string signed_stub = FakeStub(1500);
    packer_test::AppendFakeSignature(&signed_stub, 64);
    request_.stub = scratch_.Write("signed.exe", signed_stub);
    ExpectRefused("is signed");
}

#if !defined(_WIN32)
#include <unistd.h>

TEST_F(CreateTest, RefusesAFolderThatLinksBackToItself) {
    scratch_.Write("loop/a.txt", "a");
    ASSERT_EQ(symlink(".", scratch_.At("loop/back").c_str()), 0);
    request_.inputs = {scratch_.At("loop")};
    request_.follow_links = true;
    ExpectRefused("contains itself");
}

// A link in a packed folder could ship private files from anywhere: refused with its path,
// followed only when asked, and never out of the folder.
TEST_F(CreateTest, RefusesLinksUnlessFollowedAndNeverOutOfTheFolder) {
    scratch_.Write("secret.txt", "private");
    scratch_.Write("dist/docs/readme.txt", "read me");
    ASSERT_EQ(symlink("docs/readme.txt", scratch_.At("dist/readme.txt").c_str()), 0);
    request_.inputs = {scratch_.At("dist") + "/."};
    ExpectRefused(scratch_.At("dist/readme.txt") +
                  " is a symbolic link; qjxpack follows links only with --follow-links");

    request_.follow_links = true;
    Captured result = Create();
    ASSERT_EQ(result.status, qjxpack::EXIT_OK) << result.err;
    qjxpack::InstallerScan scan = Scan(request_.output);
    ASSERT_EQ(scan.entries.size(), 3u);
    EXPECT_EQ(scan.entries[2].name, "\\readme.txt");
    EXPECT_EQ(scan.entries[2].size, 7u);

    ASSERT_EQ(symlink("../../secret.txt", scratch_.At("dist/docs/secret.txt").c_str()), 0);
    ExpectRefused(scratch_.At("dist/docs/secret.txt") +
                  " is a symbolic link that leads outside the folder packed");
    ASSERT_EQ(unlink(scratch_.At("dist/docs/secret.txt").c_str()), 0);
    ASSERT_EQ(symlink("gone.txt", scratch_.At("dist/docs/gone").c_str()), 0);
    ExpectRefused("is a symbolic link that leads nowhere");
    request_.follow_links = false;
    ExpectRefused(scratch_.At("dist/docs/gone") + " is a symbolic link;");
}
#endif
