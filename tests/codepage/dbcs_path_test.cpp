// Paths in a double-byte ANSI code page whose characters end in the byte of a backslash (0x5C).
// On the 9x family every path reaches the system in that code page, so each place that trims or
// splits a path must step over such characters whole: a folder named 表 must not turn into a
// folder named after its first byte, and a file must not land beside its folder.
#include <gtest/gtest.h>
#include <stdio.h>

#include "files/file_access.h"
#include "payload/extractor.h"
#include "payload/payload_writer.h"
#include "startup/caller_paths.h"
#include "tests/codepage/test_support.h"

namespace {

// Each name's last character ends in 0x5C in the program's code page.
#if QJX_EXPECT_ACP == 932
const wchar_t FOLDER[] = L"日本語の表";
const wchar_t SUBFOLDER[] = L"ソ";
const wchar_t FILE_NAME[] = L"性能";
const wchar_t DEEPER[] = L"十";
#elif QJX_EXPECT_ACP == 936
const wchar_t FOLDER[] = L"中文乗";
const wchar_t SUBFOLDER[] = L"嘰";
const wchar_t FILE_NAME[] = L"淺";
const wchar_t DEEPER[] = L"俓";
#endif

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Every file goes where its name says.
ResultCode WriteWhereNamed(int32_t, ExtractEvent* event, void*) {
    if (event->kind == EVENT_RESOLVE_TARGET) lstrcpynA(event->target, event->path, MAX_PATH);
    return RESULT_OK;
}

class DbcsPathTest : public testing::Test {
  protected:
    ScratchFolder scratch;
    std::wstring folder = scratch.path() + FOLDER;
    std::string Utf8(const std::wstring& path) { return WideToUtf8(path); }
};

TEST_F(DbcsPathTest, TheProgramRunsInADoubleByteCodePage) {
    EXPECT_EQ(GetACP(), static_cast<UINT>(QJX_EXPECT_ACP));
    EXPECT_EQ(WideToAnsi(FOLDER).back(), '\\');
}

TEST_F(DbcsPathTest, FoldersAreMadeAndExaminedUnderTheirOwnNames) {
    // With a closing separator and without: the separator goes, the character stays whole.
    ASSERT_EQ(CreateDirectoryUtf8(Utf8(folder + L"\\").c_str(), EXISTING_REFUSED), RESULT_OK);
    EXPECT_TRUE(IsFolder(folder));
    EXPECT_EQ(CreateDirectoryUtf8(Utf8(folder).c_str(), EXISTING_REFUSED), RESULT_ALREADY_EXISTS);
    EXPECT_EQ(ExaminePathUtf8(Utf8(folder).c_str()), PATH_PLAIN);
    EXPECT_EQ(ExaminePathUtf8(Utf8(folder + L"\\\\").c_str()), PATH_PLAIN);
    EXPECT_EQ(ExaminePathUtf8(Utf8(folder + L"\\" + SUBFOLDER + L"\\").c_str()), PATH_MISSING);
}

TEST_F(DbcsPathTest, ExtractsIntoSuchAFolderAndItsSubfolders) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = scratch.path() + L"program.bin";
    FILE* out = _wfopen(program.c_str(), L"w+b");
    ASSERT_NE(out, nullptr);
    fputs("MZ", out);
    PayloadWriter writer;
    BeginPayload(&writer, out);
    const std::string sub = "\\" + Utf8(SUBFOLDER);
    const std::string file = sub + "\\" + Utf8(FILE_NAME);
    AddDirectoryEntry(&writer, sub.c_str());
    AddMemoryEntry(&writer, file.c_str(), "payload", 7);
    PayloadTrailer trailer;
    ASSERT_EQ(FinishPayload(&writer, 0, 1, &trailer), RESULT_OK);

    const std::string dest = Utf8(folder + L"\\");
    EXPECT_EQ(ExtractPayloadFrom(&trailer, out, "program.bin", dest.c_str(), WriteWhereNamed,
                                 nullptr, EXISTING_REFUSED),
              RESULT_OK);
    fclose(out);
    EXPECT_TRUE(IsFolder(folder + L"\\" + SUBFOLDER));
    EXPECT_TRUE(IsFile(folder + L"\\" + SUBFOLDER + L"\\" + FILE_NAME));
}

// /SeaExtract and /SeaLog make the folders above what they name, one by one.
TEST_F(DbcsPathTest, CallersFoldersAndLogAreMadeWithTheirParents) {
    const std::wstring target = folder + L"\\" + SUBFOLDER + L"\\" + DEEPER + L"\\";
    HANDLE held = INVALID_HANDLE_VALUE;
    ASSERT_EQ(PrepareExtractFolder(Utf8(target).c_str(), &held), RESULT_OK);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_TRUE(IsFolder(folder + L"\\" + SUBFOLDER + L"\\" + DEEPER));

    const std::wstring log = scratch.path() + DEEPER + L"\\" + FOLDER + L"\\" + FILE_NAME;
    OutputFile file;
    ASSERT_EQ(OpenCallerLog(Utf8(log).c_str(), &file), RESULT_OK);
    EXPECT_TRUE(CloseOutputFile(&file));
    EXPECT_TRUE(IsFolder(scratch.path() + DEEPER + L"\\" + FOLDER));
    EXPECT_TRUE(IsFile(log));
}

}  // namespace
