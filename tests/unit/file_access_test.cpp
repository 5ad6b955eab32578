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

TEST_F(FileAccessTest, CreatesOneDirectoryAndLeavesAnExistingOneAlone) {
    CreateDirectoryUtf8(At("sub").c_str());
    ASSERT_TRUE(fs::is_directory(FromUtf8(At("sub"))));
    WriteBytes(FromUtf8(At("sub/keep.txt")), "kept");
    CreateDirectoryUtf8(At("sub").c_str());
    EXPECT_EQ("kept", ReadBytes(FromUtf8(At("sub/keep.txt"))));

    CreateDirectoryUtf8(At("x/y").c_str());  // parents are not made
    EXPECT_FALSE(fs::exists(FromUtf8(At("x"))));
}

TEST_F(FileAccessTest, NonAsciiNamesReachTheFileSystemAsUnicode) {
    const std::string folder = At("caf\xC3\xA9");
    const std::string file = folder + "/\xE6\x97\xA5\xE6\x9C\xAC.txt";  // two CJK characters
    CreateDirectoryUtf8(folder.c_str());
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
    CreateDirectoryUtf8(At("cd\x80zz").c_str());
    EXPECT_TRUE(ListTree(scratch.path()).empty());
}
#endif

}  // namespace
