#include "files/file_access.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch.h"

namespace {

class FileAccessTest : public testing::Test {
  protected:
    ScratchFolder scratch;
    std::string At(const std::string& utf8_name) { return scratch.Utf8WithSeparator() + utf8_name; }
};

TEST_F(FileAccessTest, AnyNonzeroFlagOpensForWritingAndTruncates) {
    WriteBytes(FromUtf8(At("a.bin")), "old contents");
    for (int flag : {1, 2, -1}) {
        FILE* file = OpenFileUtf8(At("a.bin").c_str(), flag);
        ASSERT_NE(nullptr, file) << flag;
        fputs("new", file);
        EXPECT_EQ(0, fclose(file));
        EXPECT_EQ("new", ReadBytes(FromUtf8(At("a.bin")))) << flag;
    }
}

TEST_F(FileAccessTest, ReadingOpensInBinaryMode) {
    WriteBytes(FromUtf8(At("b.bin")), std::string("x\r\ny\x1A"
                                                  "z",
                                                  6));
    FILE* file = OpenFileUtf8(At("b.bin").c_str(), 0);
    ASSERT_NE(nullptr, file);
    char buffer[16];
    EXPECT_EQ(6u, fread(buffer, 1, sizeof buffer, file));  // no CRLF folding, no ^Z end
    EXPECT_EQ(EOF, fputc('q', file));                      // not open for writing
    fclose(file);
}

TEST_F(FileAccessTest, MissingFileForReadingIsNullForWritingIsCreatedEmpty) {
    EXPECT_EQ(nullptr, OpenFileUtf8(At("missing.bin").c_str(), 0));
    FILE* file = OpenFileUtf8(At("new.bin").c_str(), 1);
    ASSERT_NE(nullptr, file);
    fclose(file);
    EXPECT_TRUE(fs::exists(FromUtf8(At("new.bin"))));
    EXPECT_EQ(0u, fs::file_size(FromUtf8(At("new.bin"))));
    EXPECT_EQ(nullptr, OpenFileUtf8(At("no_such_folder/x.bin").c_str(), 1));
}

TEST_F(FileAccessTest, CreatesOneDirectoryAndMeetsAnExistingNameByPolicy) {
    for (ExistingPolicy policy : {EXISTING_REFUSED, EXISTING_FOLDER_KEPT, EXISTING_REPLACED}) {
        EXPECT_EQ(RESULT_OK, CreateDirectoryUtf8(At("sub").c_str(), policy)) << policy;
        ASSERT_TRUE(fs::is_directory(FromUtf8(At("sub"))));
        WriteBytes(FromUtf8(At("sub/keep.txt")), "kept");
        // Only the new tree refuses a plain folder; nothing in it is touched either way.
        EXPECT_EQ(policy == EXISTING_REFUSED ? RESULT_ALREADY_EXISTS : RESULT_OK,
                  CreateDirectoryUtf8(At("sub").c_str(), policy))
            << policy;
        EXPECT_EQ("kept", ReadBytes(FromUtf8(At("sub/keep.txt"))));
        // A file holding the name is no folder under any policy.
        WriteBytes(FromUtf8(At("file")), "data");
        EXPECT_EQ(RESULT_ALREADY_EXISTS, CreateDirectoryUtf8(At("file").c_str(), policy));
        EXPECT_EQ("data", ReadBytes(FromUtf8(At("file"))));
        // Parents are not made.
        EXPECT_EQ(RESULT_CANT_CREATE_FILE, CreateDirectoryUtf8(At("x/y").c_str(), policy));
        EXPECT_FALSE(fs::exists(FromUtf8(At("x"))));
        fs::remove_all(FromUtf8(At("sub")));
        fs::remove(FromUtf8(At("file")));
    }
}

TEST_F(FileAccessTest, OutputFileIsNewUnlessReplacingAndNothingExistingIsOpened) {
    OutputFile file;
    ASSERT_EQ(RESULT_OK, CreateOutputFileUtf8(At("out.bin").c_str(), EXISTING_REFUSED, &file));
    EXPECT_TRUE(WriteOutputFile(&file, "first ", 6));
    EXPECT_TRUE(WriteOutputFile(&file, "second", 6));
    EXPECT_TRUE(CloseOutputFile(&file));
    EXPECT_EQ("first second", ReadBytes(FromUtf8(At("out.bin"))));

    fs::create_directory(FromUtf8(At("folder")));
    for (ExistingPolicy policy : {EXISTING_REFUSED, EXISTING_FOLDER_KEPT}) {
        EXPECT_EQ(RESULT_ALREADY_EXISTS,
                  CreateOutputFileUtf8(At("out.bin").c_str(), policy, &file));
        EXPECT_EQ(RESULT_ALREADY_EXISTS, CreateOutputFileUtf8(At("folder").c_str(), policy, &file));
        EXPECT_EQ(RESULT_CANT_CREATE_FILE,
                  CreateOutputFileUtf8(At("missing/x.bin").c_str(), policy, &file));
    }
    EXPECT_EQ("first second", ReadBytes(FromUtf8(At("out.bin"))));

    ASSERT_EQ(RESULT_OK, CreateOutputFileUtf8(At("out.bin").c_str(), EXISTING_REPLACED, &file));
    EXPECT_TRUE(WriteOutputFile(&file, "new", 3));
    EXPECT_TRUE(CloseOutputFile(&file));
    EXPECT_EQ("new", ReadBytes(FromUtf8(At("out.bin"))));
}

// A link planted in the destination would lead the writes elsewhere. Under Wine a link can be
// made only where Wine implements it; Wine shows a Unix link as a reparse point.
TEST_F(FileAccessTest, LinksAreNeitherWrittenThroughNorTakenForFolders) {
    const fs::path outside = scratch.path() / "outside";
    fs::create_directory(outside);
    std::error_code error;
    fs::create_directory_symlink(outside, FromUtf8(At("dir_link")), error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    fs::create_symlink(outside / "planted.txt", FromUtf8(At("file_link")), error);
    ASSERT_FALSE(error) << error.message();

    OutputFile file;
    for (ExistingPolicy policy : {EXISTING_REFUSED, EXISTING_FOLDER_KEPT}) {
        EXPECT_EQ(RESULT_ALREADY_EXISTS, CreateDirectoryUtf8(At("dir_link").c_str(), policy));
        // Named with a closing separator, as a directory entry may be.
        EXPECT_EQ(RESULT_ALREADY_EXISTS, CreateDirectoryUtf8(At("dir_link/").c_str(), policy));
        EXPECT_EQ(RESULT_ALREADY_EXISTS,
                  CreateOutputFileUtf8(At("file_link").c_str(), policy, &file));
    }
    EXPECT_TRUE(fs::is_empty(outside));  // the dangling link's target was not created
    // Overwriting takes the folder the link leads to, as before.
    EXPECT_EQ(RESULT_OK, CreateDirectoryUtf8(At("dir_link").c_str(), EXISTING_REPLACED));
}

TEST_F(FileAccessTest, NonAsciiNamesReachTheFileSystemAsUnicode) {
    const std::string folder = At("caf\xC3\xA9");
    const std::string file = folder + "/\xE6\x97\xA5\xE6\x9C\xAC.txt";  // two CJK characters
    ASSERT_EQ(RESULT_OK, CreateDirectoryUtf8(folder.c_str(), EXISTING_REFUSED));
    FILE* out = OpenFileUtf8(file.c_str(), 1);
    ASSERT_NE(nullptr, out);
    fputs("unicode", out);
    fclose(out);
    // Listed through the system's Unicode interface: the names arrived intact.
    EXPECT_EQ(
        (std::vector<std::string>{"caf\xC3\xA9/", "caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt"}),
        ListTree(scratch.path()));
    FILE* in = OpenFileUtf8(file.c_str(), 0);
    ASSERT_NE(nullptr, in);
    char buffer[8] = {};
    fread(buffer, 1, 7, in);
    fclose(in);
    EXPECT_STREQ("unicode", buffer);
}

#if defined(_WIN32)
// Decoded only up to the bad byte, the paths would name "ab" and "cd" instead.
TEST_F(FileAccessTest, InvalidUtf8IsNeitherOpenedNorCreated) {
    EXPECT_EQ(nullptr, OpenFileUtf8(At("ab\x80zz").c_str(), 1));
    OutputFile file;
    EXPECT_EQ(RESULT_CANT_CREATE_FILE,
              CreateOutputFileUtf8(At("ab\x80zz").c_str(), EXISTING_REPLACED, &file));
    EXPECT_EQ(RESULT_CANT_CREATE_FILE,
              CreateDirectoryUtf8(At("cd\x80zz").c_str(), EXISTING_REPLACED));
    EXPECT_TRUE(ListTree(scratch.path()).empty());
}
#endif

}  // namespace
