#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <string>
#include <vector>

#include "common/globals.h"
#include "payload/payload_writer.h"
#include "startup/extracted_cleanup.h"
#include "startup/extraction_job.h"
#include "window/progress_window.h"

// GetTempPath2A and GetTempPath2W as Windows 11 has them, exported by this program so that the
// job can find them here: they answer g_system_temp, as they would for SYSTEM.
std::string g_system_temp;

extern "C" __declspec(dllexport) DWORD WINAPI GetTempPath2A(DWORD size, LPSTR buffer) {
    if (g_system_temp.size() >= size) return static_cast<DWORD>(g_system_temp.size() + 1);
    strcpy(buffer, g_system_temp.c_str());
    return static_cast<DWORD>(g_system_temp.size());
}

extern "C" __declspec(dllexport) DWORD WINAPI GetTempPath2W(DWORD size, LPWSTR buffer) {
    if (g_system_temp.size() >= size) return static_cast<DWORD>(g_system_temp.size() + 1);
    return static_cast<DWORD>(
        MultiByteToWideChar(CP_ACP, 0, g_system_temp.c_str(), -1, buffer, static_cast<int>(size)) -
        1);
}

namespace {

// The numbers the job draws, in order; the last one repeats.
std::vector<uint32_t> g_draws;
size_t g_drawn = 0;

uint32_t ScriptedDraw() {
    const uint32_t number = g_draws[g_drawn < g_draws.size() ? g_drawn : g_draws.size() - 1];
    g_drawn += 1;
    return number;
}

std::string Appended(const char* folder, uint32_t product, size_t capacity = 260) {
    char path[600];
    strcpy(path, folder);
    if (!AppendTempFolderName(path, capacity, product)) return "refused";
    return path;
}

TEST(AppendTempFolderName, KeepsAtMostFiveLeadingHexDigits) {
    EXPECT_EQ(Appended("C:\\TEMP\\", 0x1a2b3), "C:\\TEMP\\QJX1a2b3\\");
    EXPECT_EQ(Appended("C:\\TEMP\\", 0x3FFF0001), "C:\\TEMP\\QJX3fff0\\");
    EXPECT_EQ(Appended("C:\\TEMP\\", 0xabc), "C:\\TEMP\\QJXabc\\");
    EXPECT_EQ(Appended("C:\\TEMP\\", 0), "C:\\TEMP\\QJX0\\");
}

TEST(AppendTempFolderName, RefusesWhatTheWorstCaseNameWouldOverflow) {
    // "QJX", five digits, "\" and the NUL: a folder may take capacity - 10 bytes.
    std::string folder(250, 'a');
    EXPECT_EQ(Appended(folder.c_str(), 0, 260), folder + "QJX0\\");
    folder += 'a';
    EXPECT_EQ(Appended(folder.c_str(), 0, 260), "refused");
}

// TMP and TEMP of this process, restored afterwards.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GetEnvironmentVariableA("TMP", saved_tmp_, sizeof saved_tmp_);
        GetEnvironmentVariableA("TEMP", saved_temp_, sizeof saved_temp_);
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        root_ = std::string(base) + "qjx_job_test_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root_.c_str(), NULL);
        memset(g_tempFolder, 0, sizeof g_tempFolder);
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", saved_tmp_);
        SetEnvironmentVariableA("TEMP", saved_temp_);
        for (auto folder = created_.rbegin(); folder != created_.rend(); ++folder) {
            RemoveDirectoryW(folder->c_str());
        }
        RemoveDirectoryA(root_.c_str());
    }
    void UseTemp(const std::string& path) {
        SetEnvironmentVariableA("TMP", path.c_str());
        SetEnvironmentVariableA("TEMP", path.c_str());
    }
    void UseTemp(const std::wstring& path) {
        SetEnvironmentVariableW(L"TMP", path.c_str());
        SetEnvironmentVariableW(L"TEMP", path.c_str());
    }
    void Track(const std::wstring& folder) { created_.push_back(folder); }
    void Track(const std::string& folder) { Track(Widen(folder)); }
    static std::wstring Widen(const std::string& ansi) {
        wchar_t wide[600];
        int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide, 600);
        return n > 0 ? wide : L"";
    }

    std::string root_;

  private:
    char saved_tmp_[MAX_PATH] = {0};
    char saved_temp_[MAX_PATH] = {0};
    std::vector<std::wstring> created_;
};

TEST_F(TempFolderTest, CreatesTheFolderAndRecordsIt) {
    UseTemp(root_);
    char buffer[TEMP_FOLDER_BUFFER];
    ASSERT_EQ(CreateTempFolder(buffer), RESULT_OK);
    Track(buffer);
    EXPECT_STREQ(g_tempFolder, buffer);
    std::string prefix = root_ + "\\QJX";
    ASSERT_EQ(std::string(buffer).compare(0, prefix.size(), prefix), 0) << buffer;
    EXPECT_EQ(buffer[strlen(buffer) - 1], '\\');
    EXPECT_NE(GetFileAttributesA(buffer), INVALID_FILE_ATTRIBUTES);
}

// The names drawn first exist: a folder with a planted file in it, and a file. Neither is taken;
// the job draws again until it creates a folder of its own.
TEST_F(TempFolderTest, DrawsAgainAfterAnyFailureAndNeverTakesWhatExists) {
    UseTemp(root_);
    ASSERT_TRUE(CreateDirectoryA((root_ + "\\QJXaaaaa").c_str(), NULL));
    Track(root_ + "\\QJXaaaaa");
    ASSERT_TRUE(CreateDirectoryA((root_ + "\\QJXaaaaa\\Velmora.msi").c_str(), NULL));
    Track(root_ + "\\QJXaaaaa\\Velmora.msi");
    HANDLE file =
        CreateFileA((root_ + "\\QJXbbbbb").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    g_draws = {0xaaaaa123, 0xbbbbb456, 0xccccc789};
    g_drawn = 0;
    TempFolderQueries queries;
    FindTempFolderQueries(GetModuleHandleA("kernel32.dll"), &queries);
    queries.draw = ScriptedDraw;
    char buffer[TEMP_FOLDER_BUFFER];
    ASSERT_EQ(CreateTempFolderWith(&queries, buffer), RESULT_OK);
    Track(buffer);
    DeleteFileA((root_ + "\\QJXbbbbb").c_str());
    EXPECT_EQ(g_drawn, 3u);
    EXPECT_EQ(std::string(buffer), root_ + "\\QJXccccc\\");
    EXPECT_STREQ(g_tempFolder, buffer);
}

TEST_F(TempFolderTest, RefusesATempPathWithNoRoomForTheName) {
    // An existing folder of 251 characters with the final backslash: the name no longer fits.
    std::string long_temp = root_ + "\\" + std::string(249 - root_.size(), 'x');
    ASSERT_TRUE(CreateDirectoryA(long_temp.c_str(), NULL));
    Track(long_temp);
    long_temp += "\\";
    ASSERT_EQ(long_temp.size(), 251u);
    UseTemp(long_temp);
    char buffer[TEMP_FOLDER_BUFFER];
    EXPECT_EQ(CreateTempFolder(buffer), RESULT_TEMP_FOLDER);
    EXPECT_STREQ(g_tempFolder, "");
}

TEST_F(TempFolderTest, RefusesATempPathLongerThanItsBuffer) {
    UseTemp("C:\\" + std::string(300, 'y'));
    char buffer[TEMP_FOLDER_BUFFER];
    EXPECT_EQ(CreateTempFolder(buffer), RESULT_TEMP_FOLDER);
    EXPECT_STREQ(g_tempFolder, "");
}

// GetTempPathA answers '?' for letters outside the ANSI code page (here 1252): the job takes
// the folder's short form, which names the same folder in ANSI.
TEST_F(TempFolderTest, ReachesATempFolderOutsideTheAnsiCodePage) {
    const std::wstring foreign = Widen(root_) + L"\\Пользователь";
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), NULL));
    Track(foreign);
    UseTemp(foreign + L"\\");
    char buffer[TEMP_FOLDER_BUFFER];
    ASSERT_EQ(CreateTempFolder(buffer), RESULT_OK);
    Track(buffer);
    EXPECT_STREQ(g_tempFolder, buffer);
    EXPECT_EQ(strchr(buffer, '?'), nullptr) << buffer;
    const std::string probe = std::string(buffer) + "probe";
    ASSERT_TRUE(CreateDirectoryA(probe.c_str(), NULL)) << probe;
    Track(probe);
    // The new folder's own name, "QJX" and hex digits, is a short name already.
    const std::string folder(buffer, strlen(buffer) - 1);
    const std::string name = folder.substr(folder.rfind('\\') + 1);
    EXPECT_NE(GetFileAttributesW((foreign + L"\\" + Widen(name) + L"\\probe").c_str()),
              INVALID_FILE_ATTRIBUTES)
        << buffer;

    // Without the folder there is no short form either: the job's message stays.
    memset(g_tempFolder, 0, sizeof g_tempFolder);
    UseTemp(foreign + L"_missing\\");
    EXPECT_EQ(CreateTempFolder(buffer), RESULT_TEMP_FOLDER);
    EXPECT_STREQ(g_tempFolder, "");
}

// Where no folder can be made (the temporary folder is missing, or every name is taken) the
// drawing stops after TEMP_FOLDER_ATTEMPTS names.
TEST_F(TempFolderTest, FailsAfterTheLastDrawWhenNoFolderCanBeCreated) {
    ASSERT_TRUE(CreateDirectoryA((root_ + "\\QJX12345").c_str(), NULL));
    Track(root_ + "\\QJX12345");
    for (const std::string& temp : {root_ + "\\missing", root_}) {
        UseTemp(temp);
        g_draws = {0x12345678};
        g_drawn = 0;
        TempFolderQueries queries;
        FindTempFolderQueries(GetModuleHandleA("kernel32.dll"), &queries);
        queries.draw = ScriptedDraw;
        char buffer[TEMP_FOLDER_BUFFER];
        EXPECT_EQ(CreateTempFolderWith(&queries, buffer), RESULT_TEMP_FOLDER) << temp;
        EXPECT_EQ(g_drawn, static_cast<size_t>(TEMP_FOLDER_ATTEMPTS)) << temp;
        EXPECT_STREQ(g_tempFolder, "");
    }
}

// Where the system exports both GetTempPath2 queries (here this program), the folder goes where
// they say; the wide one is checked against the ANSI one, so both must come from that pair.
TEST_F(TempFolderTest, TakesGetTempPath2WhereTheSystemExportsBoth) {
    g_system_temp = root_ + "\\system_temp\\";
    ASSERT_TRUE(CreateDirectoryA(g_system_temp.c_str(), NULL));
    Track(g_system_temp);
    UseTemp(root_);
    TempFolderQueries queries;
    FindTempFolderQueries(GetModuleHandleA(NULL), &queries);
    char buffer[TEMP_FOLDER_BUFFER];
    ASSERT_EQ(CreateTempFolderWith(&queries, buffer), RESULT_OK);
    Track(buffer);
    EXPECT_EQ(std::string(buffer).rfind(g_system_temp, 0), 0u) << buffer;
}

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A run extracts a payload with nested folders; clean-up then takes exactly the entries the run
// created, deepest first, and leaves what another program put there, with the folders it is in.
TEST_F(TempFolderTest, CleanUpRemovesOnlyWhatTheRunCreated) {
    const std::string program = root_ + "\\program.bin";
    FILE* out = fopen(program.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    fputs("stub", out);
    PayloadWriter writer;
    WorkerContext context = {};
    BeginPayload(&writer, out);
    AddMemoryEntry(&writer, "\\a.txt", "a", 1);
    AddDirectoryEntry(&writer, "\\Docs");
    AddMemoryEntry(&writer, "\\Docs\\b.txt", "bb", 2);
    AddDirectoryEntry(&writer, "\\Docs\\Deep\\");
    AddMemoryEntry(&writer, "\\Docs\\Deep\\c.txt", "", 0);
    ASSERT_EQ(FinishPayload(&writer, 0, 1, &context.trailer), RESULT_OK);
    fclose(out);

    const std::string run = root_ + "\\run";
    context.silent = true;
    context.program = fopen(program.c_str(), "rb");
    ASSERT_NE(context.program, nullptr);
    // The path names nothing the clean-up may read: it reads only the file the run holds.
    strcpy(context.program_path, (root_ + "\\elsewhere.bin").c_str());
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(CreateDirectoryA(run.c_str(), NULL));
        strcpy(context.folder, (run + "\\").c_str());
        context.entries_begun = 0;
        ASSERT_EQ(ExtractPayloadFrom(&context.trailer, context.program, context.program_path,
                                     context.folder, OnExtractEvent, &context),
                  RESULT_OK);
        ASSERT_EQ(CreatedEntryCount(&context), 5u);
        ASSERT_TRUE(Exists(run + "\\Docs\\Deep\\c.txt"));
        if (pass == 0) {
            // The installer left a file of its own: it stays, and so do the folders above it.
            FILE* own = fopen((run + "\\Docs\\installer.log").c_str(), "wb");
            ASSERT_NE(own, nullptr);
            fclose(own);
            EXPECT_FALSE(RemoveExtractedFiles(&context));
            EXPECT_TRUE(Exists(run + "\\Docs\\installer.log"));
            EXPECT_FALSE(Exists(run + "\\a.txt"));
            EXPECT_FALSE(Exists(run + "\\Docs\\b.txt"));
            EXPECT_FALSE(Exists(run + "\\Docs\\Deep"));
            DeleteFileA((run + "\\Docs\\installer.log").c_str());
            RemoveDirectoryA((run + "\\Docs").c_str());
            RemoveDirectoryA(run.c_str());
        } else {
            // Stopped at its third entry, which it could not create: that one is not ours.
            context.entries_begun = 3;
            context.last_entry_created = false;
            EXPECT_FALSE(RemoveExtractedFiles(&context));
            EXPECT_FALSE(Exists(run + "\\a.txt"));
            EXPECT_TRUE(Exists(run + "\\Docs\\b.txt"));
            context.entries_begun = 5;
            context.last_entry_created = true;
            EXPECT_TRUE(RemoveExtractedFiles(&context));
            EXPECT_FALSE(Exists(run));
        }
    }
    fclose(context.program);
    DeleteFileA(program.c_str());
}

// The run's temporary folder is held from its creation: nobody may delete or rename it while the
// run extracts and the installer runs. The clean-up then deletes it through that handle.
TEST_F(TempFolderTest, TheHeldFolderGoesThroughItsHandleAtTheEnd) {
    const std::string program = root_ + "\\held.bin";
    FILE* out = fopen(program.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    PayloadWriter writer;
    WorkerContext context = {};
    BeginPayload(&writer, out);
    AddMemoryEntry(&writer, "\\Velmora.msi", "m", 1);
    ASSERT_EQ(FinishPayload(&writer, 0, 1, &context.trailer), RESULT_OK);
    fclose(out);
    UseTemp(root_);
    char buffer[TEMP_FOLDER_BUFFER];
    ASSERT_EQ(CreateTempFolder(buffer, &context.held_folder), RESULT_OK);
    ASSERT_NE(context.held_folder, nullptr);
    Track(buffer);
    HANDLE deleter =
        CreateFileA(buffer, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_EQ(deleter, INVALID_HANDLE_VALUE);
    if (deleter != INVALID_HANDLE_VALUE) CloseHandle(deleter);
    EXPECT_FALSE(RemoveDirectoryA(buffer));

    context.silent = true;
    context.program = fopen(program.c_str(), "rb");
    ASSERT_NE(context.program, nullptr);
    strcpy(context.folder, buffer);
    ASSERT_EQ(ExtractPayloadFrom(&context.trailer, context.program, context.program_path,
                                 context.folder, OnExtractEvent, &context),
              RESULT_OK);
    EXPECT_TRUE(RemoveExtractedFiles(&context));
    EXPECT_FALSE(Exists(buffer));
    fclose(context.program);
    DeleteFileA(program.c_str());
}

// A program file whose entries climb out of the folder (a file put in the program's place, say)
// never made anything: the clean-up stops at such a name and deletes nothing outside.
TEST_F(TempFolderTest, CleanUpStopsAtANameThatLeadsOutOfTheFolder) {
    const std::string program = root_ + "\\swapped.bin";
    const std::string victim = root_ + "\\victim.txt";
    FILE* out = fopen(program.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    PayloadWriter writer;
    WorkerContext context = {};
    BeginPayload(&writer, out);
    AddMemoryEntry(&writer, "\\a.txt", "a", 1);
    AddMemoryEntry(&writer, "\\..\\victim.txt", "v", 1);
    AddMemoryEntry(&writer, "\\b.txt", "b", 1);
    ASSERT_EQ(FinishPayload(&writer, 0, 3, &context.trailer), RESULT_OK);
    fclose(out);
    for (const std::string& file : {victim, root_ + "\\run\\a.txt", root_ + "\\run\\b.txt"}) {
        if (file != victim) CreateDirectoryA((root_ + "\\run").c_str(), NULL);
        FILE* made = fopen(file.c_str(), "wb");
        ASSERT_NE(made, nullptr);
        fclose(made);
    }
    context.program = fopen(program.c_str(), "rb");
    ASSERT_NE(context.program, nullptr);
    strcpy(context.folder, (root_ + "\\run\\").c_str());
    context.entries_begun = 3;
    context.last_entry_created = true;
    EXPECT_FALSE(RemoveExtractedFiles(&context));
    EXPECT_TRUE(Exists(victim));
    EXPECT_FALSE(Exists(root_ + "\\run\\a.txt"));
    EXPECT_TRUE(Exists(root_ + "\\run\\b.txt"));  // nothing after the unsafe name
    fclose(context.program);
    DeleteFileA((root_ + "\\run\\b.txt").c_str());
    RemoveDirectoryA((root_ + "\\run").c_str());
    DeleteFileA(victim.c_str());
    DeleteFileA(program.c_str());
}

TEST(ProbeQuietFlag, AProgramWithoutTrailerIsNotQuiet) {
    EXPECT_FALSE(ProbeQuietFlag(nullptr));
    WorkerContext context = {};
    OpenProgramFile(&context);
    ASSERT_NE(context.program, nullptr);
    EXPECT_FALSE(ProbeQuietFlag(context.program));
    fclose(context.program);
}

// The program file the run holds cannot be written, renamed or deleted meanwhile.
TEST(OpenProgramFile, HoldsTheProgramAgainstWritersRenamesAndDeletes) {
    WorkerContext context = {};
    OpenProgramFile(&context);
    ASSERT_NE(context.program, nullptr);
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    HANDLE writer =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    HANDLE deleter =
        CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(deleter, INVALID_HANDLE_VALUE);
    if (deleter != INVALID_HANDLE_VALUE) CloseHandle(deleter);
    fclose(context.program);
}

// Cancel pressed just as an entry fails: the entry still counts as not created, so that the
// clean-up never deletes a file of that name that someone else made.
ResultCode FailAnEntryAfterCancel(HWND window, void* argument) {
    WorkerContext* context = static_cast<WorkerContext*>(argument);
    context->owner = window;
    ExtractEvent begin = {};
    begin.kind = EVENT_ENTRY_BEGIN;
    begin.path = "C:\\TEMP\\QJX1\\\\taken.txt";
    EXPECT_EQ(OnExtractEvent(0, &begin, context), RESULT_OK);
    SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
    ExtractEvent failed = {};
    failed.kind = EVENT_ERROR;
    failed.path = begin.path;
    failed.code = RESULT_ALREADY_EXISTS;
    EXPECT_EQ(OnExtractEvent(0, &failed, context), RESULT_USER_CANCEL);
    return RESULT_USER_CANCEL;
}

TEST(OnExtractEvent, AFailedEntryIsBookedAlsoWhenCancelCameFirst) {
    g_hinstance = GetModuleHandleA(nullptr);
    WorkerContext context = {};
    context.silent = true;
    EXPECT_EQ(RunProgressWindow(GetDesktopWindow(), FailAnEntryAfterCancel, &context, -1, 0),
              RESULT_USER_CANCEL);
    EXPECT_EQ(context.entries_begun, 1u);
    EXPECT_EQ(CreatedEntryCount(&context), 0u);
}

// In quiet mode the owner is the hidden window, which has no progress record.
TEST(OnExtractEvent, AnswersEventsForAWindowWithoutProgressRecord) {
    WorkerContext context = {};
    context.owner = GetDesktopWindow();
    ExtractEvent progress = {};
    progress.kind = EVENT_PROGRESS;
    EXPECT_EQ(OnExtractEvent(0, &progress, &context), RESULT_OK);
    progress.bytes_done = 5120;
    progress.bytes_total = 10240;
    EXPECT_EQ(OnExtractEvent(0, &progress, &context), RESULT_OK);

    char target[260];
    memset(target, 'x', sizeof target);
    ExtractEvent resolve = {};
    resolve.kind = EVENT_RESOLVE_TARGET;
    resolve.path = "C:\\TEMP\\QJX1\\\\Velmora.msi";
    resolve.target = target;
    EXPECT_EQ(OnExtractEvent(0, &resolve, &context), RESULT_OK);
    EXPECT_STREQ(target, resolve.path);

    ExtractEvent begin = {};
    begin.kind = EVENT_ENTRY_BEGIN;
    begin.path = resolve.path;
    EXPECT_EQ(OnExtractEvent(0, &begin, &context), RESULT_OK);
}

}  // namespace
