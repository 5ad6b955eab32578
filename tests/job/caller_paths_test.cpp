#include "startup/caller_paths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "system/folder_security.h"

namespace {

constexpr DWORD FOLDER = FILE_ATTRIBUTE_DIRECTORY;
constexpr DWORD PLAIN = FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD LINK = FILE_ATTRIBUTE_REPARSE_POINT;

// What a file or folder that exists already must be before an unattended run writes to it.
TEST(MayUseExisting, OnlyAPlainObjectOfOneNameAndATrustedOwnerWhenElevated) {
    struct Case {
        ExistingObjectFacts facts;
        bool directory;
        bool plain;     // expected without elevation
        bool elevated;  // expected elevated
    } cases[] = {
        {{FOLDER, FOLDER, 1, true}, true, true, true},
        {{FOLDER, FOLDER, 1, false}, true, true, false},  // another user's folder
        // A link to a folder: Windows shows it through both, Wine through the path only.
        {{FOLDER | LINK, FOLDER | LINK, 1, true}, true, false, false},
        {{FOLDER | LINK, FOLDER, 1, true}, true, false, false},
        {{FOLDER, FOLDER | LINK, 1, true}, true, false, false},
        {{PLAIN, PLAIN, 1, true}, true, false, false},  // a file where the folder should be
        {{INVALID_FILE_ATTRIBUTES, FOLDER, 1, true}, true, false, false},
        {{PLAIN, PLAIN, 1, true}, false, true, true},
        {{PLAIN, PLAIN, 2, true}, false, false, false},  // a second name, maybe another user's
        {{PLAIN | LINK, PLAIN | LINK, 1, true}, false, false, false},
        {{PLAIN, PLAIN, 1, false}, false, true, false},
        {{FOLDER, FOLDER, 1, true}, false, false, false},
        {{PLAIN, INVALID_FILE_ATTRIBUTES, 1, true}, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << c.facts.path_attributes << " " << c.facts.handle_attributes
                     << " links " << c.facts.links << " trusted " << c.facts.owner_trusted);
        EXPECT_EQ(MayUseExisting(c.facts, c.directory, false), c.plain);
        EXPECT_EQ(MayUseExisting(c.facts, c.directory, true), c.elevated);
    }
}

class CallerPathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        root_ = std::string(base) + "qjx_caller_paths_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root_.c_str(), nullptr);
    }
    void TearDown() override {
        for (const char* name :
             {"\\log dir\\setup.log", "\\log dir\\again.log", "\\log dir\\second name.log",
              "\\made\\deeper\\run.log", "\\file"}) {
            DeleteFileA((root_ + name).c_str());
        }
        for (const char* name :
             {"\\out\\nested", "\\out", "\\log dir", "\\made\\deeper", "\\made"}) {
            RemoveDirectoryA((root_ + name).c_str());
        }
        RemoveDirectoryA(root_.c_str());
    }
    static std::string Read(const std::string& path) {
        FILE* in = fopen(path.c_str(), "rb");
        if (in == nullptr) return "(missing)";
        char text[256] = {0};
        fread(text, 1, sizeof text - 1, in);
        fclose(in);
        return text;
    }
    static bool Append(const std::string& path, const char* text, ResultCode expected) {
        OutputFile log;
        const ResultCode opened = OpenCallerLog(path.c_str(), &log);
        if (opened == RESULT_OK) {
            WriteOutputFile(&log, text, strlen(text));
            CloseOutputFile(&log);
        }
        return opened == expected;
    }

    std::string root_;
};

// The folder and its missing parents are made, and held: nobody may open it for deleting. A
// second run takes the plain folder again only when it is not elevated: Wine's token is, and Wine
// reads every folder back with full control for the user, so an elevated run refuses it, as it
// must any folder the same user's unelevated programs could change. (That the handle keeps the
// folder from being renamed shows on Windows only: Wine renames a folder whatever handles are
// open on it.)
TEST_F(CallerPathsTest, ExtractFolderIsMadeWithItsParentsAndHeld) {
    const std::string folder = root_ + "\\out\\nested\\";
    HANDLE held = INVALID_HANDLE_VALUE;
    ASSERT_EQ(PrepareExtractFolder(folder.c_str(), &held), RESULT_OK);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(RemoveDirectoryA(folder.c_str()));
    CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    const bool elevated = IsProcessElevated();
    EXPECT_EQ(PrepareExtractFolder(folder.c_str(), &held),
              elevated ? RESULT_FOLDER_REFUSED : RESULT_OK);
    EXPECT_EQ(held != INVALID_HANDLE_VALUE, !elevated);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    FILE* file = fopen((root_ + "\\file").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fclose(file);
    EXPECT_NE(PrepareExtractFolder((root_ + "\\file").c_str(), &held), RESULT_OK);
    EXPECT_EQ(held, INVALID_HANDLE_VALUE);
}

// An elevated run into a folder that existed checks every existing folder an entry passes below
// it, as it checked the folder itself: under Wine (elevated, every folder read back with the
// user's full control) each existing one is refused; missing ones and files are no folders to
// judge.
TEST_F(CallerPathsTest, ExistingSubfoldersOfAnElevatedRunArePassedOnlyWhenTrusted) {
    ASSERT_TRUE(IsProcessElevated());
    const std::string root = root_ + "\\";
    CreateDirectoryA((root_ + "\\out").c_str(), nullptr);
    CreateDirectoryA((root_ + "\\out\\nested").c_str(), nullptr);
    FILE* file = fopen((root_ + "\\file").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    fclose(file);
    EXPECT_EQ(CheckExistingSubfolders((root + "missing\\deeper\\a.txt").c_str(), root.size()),
              RESULT_OK);
    EXPECT_EQ(CheckExistingSubfolders((root + "file").c_str(), root.size()), RESULT_OK);
    EXPECT_EQ(CheckExistingSubfolders((root + "out\\a.txt").c_str(), root.size()),
              RESULT_FOLDER_REFUSED);
    EXPECT_EQ(CheckExistingSubfolders((root + "out\\nested\\").c_str(), root.size()),
              RESULT_FOLDER_REFUSED);
    // The root itself was judged before: only what lies below it is.
    EXPECT_EQ(CheckExistingSubfolders((root + "missing.txt").c_str(), root.size()), RESULT_OK);
}

// A log is made new with its folders, appended to when it is a plain file of one name, and
// refused, untouched, when it has a second name that someone else may have made to read it.
TEST_F(CallerPathsTest, LogIsMadeNewOrAppendedToOnlyWhenPlain) {
    const std::string log = root_ + "\\made\\deeper\\run.log";
    ASSERT_TRUE(Append(log, "one\n", RESULT_OK));
    ASSERT_TRUE(Append(log, "two\n", RESULT_OK));
    EXPECT_EQ(Read(log), "one\ntwo\n");

    const std::string first = root_ + "\\log dir\\setup.log";
    CreateDirectoryA((root_ + "\\log dir").c_str(), nullptr);
    ASSERT_TRUE(Append(first, "planted\n", RESULT_OK));
    ASSERT_TRUE(
        CreateHardLinkA((root_ + "\\log dir\\second name.log").c_str(), first.c_str(), nullptr));
    EXPECT_TRUE(Append(first, "secret\n", RESULT_LOG_REFUSED));
    EXPECT_EQ(Read(first), "planted\n");
}

}  // namespace
