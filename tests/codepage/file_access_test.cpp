// Non-ASCII paths reach the same file on both Windows families: as UTF-16 on the NT family, in
// the ANSI code page (through the code-page bridge) on the 9x family.
#include "files/file_access.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include "tests/codepage/test_support.h"

namespace {

#if QJX_EXPECT_ACP == 932
// 表 ends in the byte 5C in code page 932, the backslash of a path.
const wchar_t FOLDER_NAME[] = L"日本語の表";
const wchar_t FILE_NAME[] = L"テスト表示.txt";
const wchar_t FOREIGN_NAME[] = L"Ελληνικά ü";
#elif QJX_EXPECT_ACP == 936
// 乗 ends in the byte 5C in code page 936.
const wchar_t FOLDER_NAME[] = L"中文乗";
const wchar_t FILE_NAME[] = L"说明.txt";
const wchar_t FOREIGN_NAME[] = L"한국어";
#else
const wchar_t FOLDER_NAME[] = L"Café Überraschung";
const wchar_t FILE_NAME[] = L"résumé.txt";
const wchar_t FOREIGN_NAME[] = L"日本語";
#endif

std::string ReadAll(FILE* file) {
    std::string text;
    char buffer[64];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0) text.append(buffer, n);
    fclose(file);
    return text;
}

bool IsFolder(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

TEST(TestProcess, RunsInTheFamilyAndCodePageItWasBuiltFor) {
    EXPECT_EQ(PlatformId(), static_cast<DWORD>(QJX_EXPECT_PLATFORM));
    EXPECT_EQ(GetACP(), static_cast<UINT>(QJX_EXPECT_ACP));
}

TEST(NonAsciiPath, CreatesAndOpensTheFileOfThatUnicodeName) {
    ScratchFolder scratch;
    std::wstring folder = scratch.path() + FOLDER_NAME;
    std::wstring file = folder + L"\\" + FILE_NAME;

    EXPECT_EQ(CreateDirectoryUtf8(WideToUtf8(folder).c_str(), EXISTING_REFUSED), RESULT_OK);
    ASSERT_TRUE(IsFolder(folder));
    OutputFile out;
    ASSERT_EQ(CreateOutputFileUtf8(WideToUtf8(file).c_str(), EXISTING_REFUSED, &out), RESULT_OK);
    EXPECT_TRUE(WriteOutputFile(&out, "payload", 7));
    EXPECT_TRUE(CloseOutputFile(&out));
    // The name it made is the one it refuses to make again.
    EXPECT_EQ(CreateOutputFileUtf8(WideToUtf8(file).c_str(), EXISTING_REFUSED, &out),
              RESULT_ALREADY_EXISTS);

    FILE* seen_by_system = _wfopen(file.c_str(), L"rb");
    ASSERT_NE(seen_by_system, nullptr);
    EXPECT_EQ(ReadAll(seen_by_system), "payload");
    FILE* in = OpenFileUtf8(WideToUtf8(file).c_str(), 0);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadAll(in), "payload");
}

TEST(NonAsciiPath, MissingFileDoesNotOpenForReading) {
    ScratchFolder scratch;
    EXPECT_EQ(OpenFileUtf8(WideToUtf8(scratch.path() + FILE_NAME).c_str(), 0), nullptr);
}

TEST(NonAsciiPath, NameOutsideTheAnsiCodePage) {
    ScratchFolder scratch;
    std::wstring folder = scratch.path() + FOREIGN_NAME;
    CreateDirectoryUtf8(WideToUtf8(folder).c_str(), EXISTING_REFUSED);
#if QJX_EXPECT_PLATFORM == 1
    // The 9x family names files in the ANSI code page, which cannot hold this name.
    EXPECT_FALSE(IsFolder(folder));
#else
    EXPECT_TRUE(IsFolder(folder));
#endif
}

// On the NT family a path that is not UTF-8 is refused; it would be decoded only up to its bad
// byte, and "keep.txt<FF>" would truncate "keep.txt". The 9x family takes it as ANSI text.
TEST(NonAsciiPath, PathThatIsNotUtf8) {
    ScratchFolder scratch;
    const std::string keep = WideToUtf8(scratch.path() + L"keep.txt");
    FILE* out = OpenFileUtf8(keep.c_str(), 1);
    ASSERT_NE(out, nullptr);
    fputs("kept", out);
    fclose(out);

    const std::string bad = keep + "\xFF";
    FILE* opened = OpenFileUtf8(bad.c_str(), 1);
    if (opened != nullptr) fclose(opened);
#if QJX_EXPECT_PLATFORM == 1
    EXPECT_TRUE(IsPathAccepted(bad.c_str()));
#if QJX_EXPECT_ACP == 1252
    EXPECT_NE(GetFileAttributesW((scratch.path() + L"keep.txt\u00FF").c_str()),
              INVALID_FILE_ATTRIBUTES);
#endif
#else
    EXPECT_FALSE(IsPathAccepted(bad.c_str()));
    EXPECT_EQ(opened, nullptr);
#endif
    FILE* in = _wfopen((scratch.path() + L"keep.txt").c_str(), L"rb");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadAll(in), "kept");
}
