#include "startup/extraction_job.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "command_line/exit_codes.h"
#include "common/globals.h"
#include "files/file_access.h"
#include "payload/trailer_locator.h"
#include "startup/caller_paths.h"
#include "startup/hidden_window.h"
#include "startup/payload_binding.h"
#include "startup/run_log.h"
#include "system/folder_security.h"
#include "system/held_folder.h"
#include "system/random_source.h"
#include "system/signature_check.h"
#include "system/windows_family.h"
#include "text/codepage_bridge.h"
#include "text/utf8.h"
#include "window/branding.h"
#include "window/progress_window.h"

namespace {

constexpr UINT ERROR_BOX = MB_SETFOREGROUND | MB_ICONERROR;
constexpr int CAPTION_CAPACITY = 100;
constexpr int UTF8_PATH_CAPACITY = 520;
constexpr int MODULE_PATH_CAPACITY = 260;
// "QJX", five hex digits and the backslash.
constexpr size_t TEMP_NAME_MAX = 9;

const wchar_t NAME_TOO_LONG_TEXT[] =
    L"Filename exceeds maximum length.\nTry decrypting to the root of a volume.";
const wchar_t DECODE_ERROR_TEXT[] = L"Error decoding file";

// The module path as UTF-8 (PROGRAM_PATH_CAPACITY bytes): the 9x family reports it in the ANSI
// code page, NT in UTF-16. False for a path the system or the buffer would cut: the system
// returns it cut (older systems unterminated), and the conversions drop what does not fit without
// a word. path still holds the path as far as it goes, terminated, for a message.
bool GetProgramPathUtf8(char* path) {
    path[0] = 0;
    DWORD length;
    bool whole;
    if (IsWindows9x()) {
        char ansi[MODULE_PATH_CAPACITY];
        length = GetModuleFileNameA(nullptr, ansi, MODULE_PATH_CAPACITY);
        ansi[length < MODULE_PATH_CAPACITY ? length : MODULE_PATH_CAPACITY - 1] = 0;
        uint32_t needed = 0;
        CodePageToUtf8(0, GetACP(), ansi, UTF8_NUL_TERMINATED, nullptr, 0, &needed);
        whole = CodePageToUtf8(0, GetACP(), ansi, UTF8_NUL_TERMINATED, path, PROGRAM_PATH_CAPACITY,
                               nullptr) == RESULT_OK &&
                needed < static_cast<uint32_t>(PROGRAM_PATH_CAPACITY);
    } else {
        wchar_t wide[MODULE_PATH_CAPACITY];
        length = GetModuleFileNameW(nullptr, wide, MODULE_PATH_CAPACITY);
        wide[length < MODULE_PATH_CAPACITY ? length : MODULE_PATH_CAPACITY - 1] = 0;
        const char16_t* text = reinterpret_cast<const char16_t*>(wide);
        whole = Utf16ToUtf8Whole(text, path, PROGRAM_PATH_CAPACITY);
        // For the message: as much of the path as the buffer holds.
        if (!whole) Utf16ToUtf8(text, UTF8_NUL_TERMINATED, path, PROGRAM_PATH_CAPACITY, nullptr);
    }
    path[PROGRAM_PATH_CAPACITY - 1] = 0;  // a text too long for it may fill it to the end
    return length != 0 && length < MODULE_PATH_CAPACITY && whole;
}

// Seconds since 1970, as the C runtime's time() gives them, without relying on the runtime's
// 64-bit time functions that old system runtimes lack.
uint32_t CurrentTimeSeconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<uint32_t>((ticks - 116444736000000000ull) / 10000000ull);
}

// The number behind a temporary folder's name, from the system's random generator, so that no
// one can compute the next names ahead of a run. The first 9x releases have none: there the C
// runtime's generator seeded with the start second, as before.
uint32_t DrawTempFolderNumber() {
    uint32_t number = 0;
    if (DrawSystemRandom(&number, sizeof number)) return number;
    static bool seeded = false;
    if (!seeded) {
        srand(CurrentTimeSeconds());
        seeded = true;
    }
    const int first = rand();
    const int second = rand();
    return static_cast<uint32_t>(first * second);
}

typedef DWORD(WINAPI* GetShortPathNameWFunction)(LPCWSTR, LPWSTR, DWORD);

template <typename Function>
Function FindFunction(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// True when ansi, read in the ANSI code page, is exactly wide: that code page held every
// character, and no look-alike or '?' took a character's place.
bool AnsiNamesWide(const char* ansi, const wchar_t* wide) {
    char utf8[UTF8_PATH_CAPACITY];
    wchar_t back[TEMP_FOLDER_CAPACITY];
    return CodePageToUtf8(0, GetACP(), ansi, UTF8_NUL_TERMINATED, utf8, UTF8_PATH_CAPACITY,
                          nullptr) == RESULT_OK &&
           Utf8ToUtf16(utf8, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(back),
                       TEMP_FOLDER_CAPACITY) == RESULT_OK &&
           wcscmp(back, wide) == 0;
}

// The temporary folder's path in the ANSI code page (TEMP_FOLDER_CAPACITY bytes) and its
// length, or 0. On the NT family the ANSI answer names another folder, or none, when the path
// holds letters that code page lacks (a user name in another script); the folder's short form
// stands in for it where the volume has one that the code page can express.
DWORD GetTempPathAnsi(const TempFolderQueries* queries, char* buffer) {
    // A result of the buffer size or more is the size the path would need: it did not fit.
    DWORD length = queries->get_temp_path_a(TEMP_FOLDER_CAPACITY, buffer);
    if (length == 0 || length >= static_cast<DWORD>(TEMP_FOLDER_CAPACITY)) return 0;
    if (IsWindows9x()) return length;
    // Looked up at run time: an import the 9x family's kernel32 lacks would keep the program
    // from starting there at all, and this is needed on NT only.
    GetShortPathNameWFunction get_short_path = FindFunction<GetShortPathNameWFunction>(
        GetModuleHandleA("kernel32.dll"), "GetShortPathNameW");
    if (queries->get_temp_path_w == nullptr || get_short_path == nullptr) return length;
    wchar_t wide[TEMP_FOLDER_CAPACITY];
    DWORD wide_length = queries->get_temp_path_w(TEMP_FOLDER_CAPACITY, wide);
    if (wide_length == 0 || wide_length >= static_cast<DWORD>(TEMP_FOLDER_CAPACITY) ||
        AnsiNamesWide(buffer, wide)) {
        return length;
    }
    wchar_t short_path[TEMP_FOLDER_CAPACITY];
    DWORD short_length = get_short_path(wide, short_path, TEMP_FOLDER_CAPACITY);
    char utf8[UTF8_PATH_CAPACITY];
    if (short_length == 0 || short_length >= static_cast<DWORD>(TEMP_FOLDER_CAPACITY) ||
        Utf16ToUtf8(reinterpret_cast<const char16_t*>(short_path), UTF8_NUL_TERMINATED, utf8,
                    UTF8_PATH_CAPACITY, nullptr) != RESULT_OK) {
        return 0;
    }
    Utf8ToCodePage(0, GetACP(), utf8, UTF8_NUL_TERMINATED, buffer, TEMP_FOLDER_CAPACITY, nullptr);
    return AnsiNamesWide(buffer, short_path) ? static_cast<DWORD>(strlen(buffer)) : 0;
}

typedef DWORD(WINAPI* GetFinalPathNameByHandleWFunction)(HANDLE, LPWSTR, DWORD, DWORD);
typedef DWORD(WINAPI* GetLongPathNameWFunction)(LPCWSTR, LPWSTR, DWORD);

// Room for a folder's path in UTF-16 with the system's \\?\UNC\ prefix.
constexpr DWORD FINAL_PATH_CAPACITY = 2 * TEMP_FOLDER_CAPACITY;

// True when path (UTF-16, no closing separator) leads to the folder held open, and only through
// the folders that hold it: its long form is the system's own path of the handle. Those folders
// cannot be renamed while a handle below them is open, nor become junctions while not empty, so
// the path goes on naming the held folder. A %TEMP% reached through a junction or a symbolic link
// (which its owner can point elsewhere at any time) fails. Where the calls are missing (XP and
// older, which have no unelevated programs of an elevated user) true.
bool PathNamesHeldFolder(const wchar_t* path, HANDLE held) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    GetFinalPathNameByHandleWFunction final_path =
        FindFunction<GetFinalPathNameByHandleWFunction>(kernel, "GetFinalPathNameByHandleW");
    GetLongPathNameWFunction long_path =
        FindFunction<GetLongPathNameWFunction>(kernel, "GetLongPathNameW");
    if (final_path == nullptr || long_path == nullptr) return true;
    wchar_t real[FINAL_PATH_CAPACITY];
    wchar_t named[FINAL_PATH_CAPACITY];
    const DWORD real_length = final_path(held, real, FINAL_PATH_CAPACITY, 0);
    const DWORD named_length = long_path(path, named, FINAL_PATH_CAPACITY);
    if (real_length == 0 || real_length >= FINAL_PATH_CAPACITY || named_length == 0 ||
        named_length >= FINAL_PATH_CAPACITY) {
        return false;
    }
    // \\?\C:\... and \\?\UNC\server\share\...
    const wchar_t* own = real;
    if (wcsncmp(own, L"\\\\?\\UNC\\", 8) == 0) {
        own += 6;
        real[6] = L'\\';
    } else if (wcsncmp(own, L"\\\\?\\", 4) == 0) {
        own += 4;
    }
    return _wcsicmp(own, named) == 0;
}

// Creates the folder ansi names (ANSI code page, ending in a separator), on the NT family made and
// opened in one step and left open in *held (closed when held is null). In an elevated run the
// folder must be reached by its path only through the folders that hold it (PathNamesHeldFolder);
// one that is not is deleted again and *misled set. False when it cannot be made, or exists.
bool CreateNewFolder(const char* ansi, SECURITY_ATTRIBUTES* attributes, bool elevated, HANDLE* held,
                     bool* misled) {
    if (IsWindows9x()) return CreateDirectoryA(ansi, attributes) != 0;
    wchar_t wide[TEMP_FOLDER_CAPACITY];
    const int units =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, wide, TEMP_FOLDER_CAPACITY);
    if (units < 2) return false;
    HANDLE handle = CreateHeldFolder(wide, attributes);
    if (handle == INVALID_HANDLE_VALUE) return false;
    wide[units - 2] = 0;  // its closing separator
    if (elevated && !PathNamesHeldFolder(wide, handle)) {
        DeleteThroughHandle(handle);
        CloseHandle(handle);
        *misled = true;
        return false;
    }
    if (held != nullptr) {
        *held = handle;
    } else {
        CloseHandle(handle);
    }
    return true;
}

// The system's own temporary folder, %SystemRoot%\Temp\, in the ANSI code page
// (TEMP_FOLDER_CAPACITY bytes), and its length; 0 when it does not fit.
DWORD GetSystemTempAnsi(char* buffer) {
    const UINT length = GetWindowsDirectoryA(buffer, TEMP_FOLDER_CAPACITY);
    if (length == 0 || length + sizeof "\\Temp\\" > static_cast<UINT>(TEMP_FOLDER_CAPACITY)) {
        return 0;
    }
    const bool separator = buffer[length - 1] == '\\';
    memcpy(buffer + length, separator ? "Temp\\" : "\\Temp\\", separator ? 6 : 7);
    return static_cast<DWORD>(strlen(buffer));
}

// The owner of the job's message boxes, or null when none may show.
HWND MessageOwner(WorkerContext* context) {
    if (context->silent) return nullptr;
    if (context->owner == nullptr) context->owner = GetHiddenOwnerWindow();
    return context->owner;
}

// A message from the string table, in the log and, unless the run is silent, on the screen.
void ShowStringMessage(WorkerContext* context, UINT text_id) {
    char text[CAPTION_CAPACITY] = {0};
    LoadStringA(g_hinstance, text_id, text, CAPTION_CAPACITY);
    LogLine("failure: %s", text);
    HWND owner = MessageOwner(context);
    if (owner == nullptr) return;
    // The branded product's name as the title, in UTF-16 on the NT family so that it shows as
    // it is; else the job's own title.
    if (IsWindows9x()) {
        char caption[BRANDING_CAPACITY] = {0};
        if (!LoadBrandingTextA(IDS_BRAND_ERROR_TITLE, caption, BRANDING_CAPACITY)) {
            LoadStringA(g_hinstance, IDS_QJX_ERROR, caption, BRANDING_CAPACITY);
        }
        MessageBoxA(owner, text, caption, ERROR_BOX);
        return;
    }
    wchar_t caption[BRANDING_CAPACITY] = {0};
    if (!LoadBrandingTextW(IDS_BRAND_ERROR_TITLE, caption, BRANDING_CAPACITY)) {
        LoadStringW(g_hinstance, IDS_QJX_ERROR, caption, BRANDING_CAPACITY);
    }
    wchar_t wide_text[CAPTION_CAPACITY] = {0};
    LoadStringW(g_hinstance, text_id, wide_text, CAPTION_CAPACITY);
    MessageBoxW(owner, wide_text, caption, ERROR_BOX);
}

// A message naming a UTF-8 path in its caption, as the extractor's failures show.
void ShowPathMessage(WorkerContext* context, const wchar_t* text, const char* path) {
    HWND owner = MessageOwner(context);
    if (owner == nullptr) return;
    wchar_t caption[UTF8_PATH_CAPACITY] = {0};
    Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(caption),
                UTF8_PATH_CAPACITY);
    MessageBoxW(owner, text, caption, ERROR_BOX);
}

// A signed program file that was damaged after signing (a bad download, a changed mirror): the
// signature covers every byte the job extracts, so the system can tell. Only a file that
// carries a signature (a certificate table in its PE headers) is checked, and never on the 9x
// family.
bool IsSignatureDamaged(FILE* program, const char* program_path) {
    uint64_t table_offset = 0;
    uint64_t table_size = 0;
    if (IsWindows9x() || !FindCertificateTable(program, &table_offset, &table_size)) return false;
    wchar_t wide[PROGRAM_PATH_CAPACITY];
    if (Utf8ToUtf16(program_path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide),
                    PROGRAM_PATH_CAPACITY) != RESULT_OK) {
        return false;
    }
    // Through the held handle: the system checks the very file the job extracts.
    int32_t status = 0;
    return CheckSignatureDigest(wide, &status, SystemHandleOf(program)) == SIGNATURE_DAMAGED;
}

// /SeaExtract: into the caller's folder, created where missing, or used as it is when it may be
// (PrepareExtractFolder); held so that it cannot be swapped for a link until the end. The folder
// may hold folders already, but never a file of the payload's names, nor a link in a folder's
// place.
ResultCode ExtractIntoCallersFolder(WorkerContext* context) {
    char* folder = context->folder;
    const size_t length = strlen(context->extract_folder);
    if (length + 2 > static_cast<size_t>(JOB_PATH_CAPACITY)) {
        LogLine("failure: %s: %s", DescribeResult(RESULT_BUFFER_TOO_SMALL),
                context->extract_folder);
        return RESULT_BUFFER_TOO_SMALL;
    }
    memcpy(folder, context->extract_folder, length + 1);
    if (length == 0 || (folder[length - 1] != '\\' && folder[length - 1] != '/')) {
        memcpy(folder + length, "\\", 2);
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    bool existed = false;
    const ResultCode prepared = PrepareExtractFolder(folder, &held, &existed);
    if (prepared != RESULT_OK) {
        LogLine("failure: %s: %s", DescribeResult(prepared), folder);
        folder[0] = 0;
        return prepared;
    }
    LogLine("folder: %s", folder);
    // Anyone who could write there before may have made the folders the payload goes into.
    context->existing_root = existed && IsProcessElevated() ? strlen(folder) : 0;
    const ResultCode result =
        ExtractPayloadFrom(&context->trailer, context->program, context->program_path, folder,
                           OnExtractEvent, context, EXISTING_FOLDER_KEPT);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    return result;
}

// A failed entry in the log, with the system's own words for a file that could not be made or
// written (a full disk, a denied folder): the log is all an unattended run leaves to read.
void LogFailure(ResultCode code, const char* path, DWORD system_error) {
    if ((code != RESULT_CANT_CREATE_FILE && code != RESULT_WRITE_FAILED) || system_error == 0) {
        LogLine("failure: %s: %s", DescribeResult(code), path);
        return;
    }
    char reason[160];
    size_t end = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                system_error, 0, reason, sizeof reason, nullptr);
    // The system's text ends in a line break.
    while (end > 0 && (reason[end - 1] == '\r' || reason[end - 1] == '\n')) --end;
    reason[end] = 0;
    LogLine("failure: %s: %s (system error %lu: %s)", DescribeResult(code), path,
            static_cast<unsigned long>(system_error), reason);
}

}  // namespace

bool AppendTempFolderName(char* path, size_t capacity, uint32_t product) {
    size_t length = strlen(path);
    if (length + TEMP_NAME_MAX >= capacity) return false;
    char digits[8];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[product & 15];
        product >>= 4;
    } while (product != 0);
    char* out = path + length;
    memcpy(out, "QJX", 3);
    out += 3;
    // The most significant digits come first; only the first five are kept.
    for (int i = 0; i < 5 && i < count; ++i) *out++ = digits[count - 1 - i];
    *out++ = '\\';
    *out = 0;
    return true;
}

void FindTempFolderQueries(HMODULE exporter, TempFolderQueries* queries) {
    queries->draw = DrawTempFolderNumber;
    queries->get_temp_path_a = FindFunction<GetTempPathAFunction>(exporter, "GetTempPath2A");
    queries->get_temp_path_w = FindFunction<GetTempPathWFunction>(exporter, "GetTempPath2W");
    if (queries->get_temp_path_a != nullptr && queries->get_temp_path_w != nullptr) return;
    queries->get_temp_path_a = GetTempPathA;
    queries->get_temp_path_w =
        IsWindows9x()
            ? nullptr
            : FindFunction<GetTempPathWFunction>(GetModuleHandleA("kernel32.dll"), "GetTempPathW");
}

ResultCode CreateTempFolder(char* buffer, HANDLE* held) {
    TempFolderQueries queries;
    FindTempFolderQueries(GetModuleHandleA("kernel32.dll"), &queries);
    return CreateTempFolderWith(&queries, buffer, held);
}

ResultCode CreateTempFolderWith(const TempFolderQueries* queries, char* buffer, HANDLE* held) {
    if (held != nullptr) *held = nullptr;
    buffer[0] = 0;
    DWORD length = GetTempPathAnsi(queries, buffer);
    // In a shared temporary folder (C:\Windows\Temp for SYSTEM) a folder with default security
    // would inherit entries that let every user add files to it. NT only: 9x has no access lists.
    PrivateFolderSecurity security;
    SECURITY_ATTRIBUTES* attributes = nullptr;
    const bool elevated = IsProcessElevated();
    if (length != 0 && !IsWindows9x()) {
        if (!BuildFolderSecurity(&security, false, elevated)) length = 0;
        attributes = &security.attributes;
    }
    if (length == 0) {
        buffer[0] = 0;
        return RESULT_TEMP_FOLDER;
    }
    // Only a folder created here is used: one that exists, whoever made it, may hold files
    // planted for the installer. Any failure draws another name.
    bool misled = false;
    for (int attempt = 0; attempt < TEMP_FOLDER_ATTEMPTS; ++attempt) {
        buffer[length] = 0;
        if (!AppendTempFolderName(buffer, TEMP_FOLDER_CAPACITY, queries->draw())) break;
        if (CreateNewFolder(buffer, attributes, elevated, held, &misled)) {
            memcpy(g_tempFolder, buffer, strlen(buffer) + 1);
            return RESULT_OK;
        }
        // A %TEMP% reached through a link its owner may point elsewhere: an elevated run goes to
        // the system's temporary folder instead, whose parents only administrators may change.
        if (misled) {
            misled = false;
            length = GetSystemTempAnsi(buffer);
            if (length == 0) break;
        }
    }
    buffer[0] = 0;
    return RESULT_TEMP_FOLDER;
}

void OpenProgramFile(WorkerContext* context) {
    context->program = GetProgramPathUtf8(context->program_path)
                           ? OpenProgramFileUtf8(context->program_path)
                           : nullptr;
}

bool ProbeQuietFlag(FILE* program) {
    if (program == nullptr) return false;
    PayloadTrailer trailer;
    uint64_t trailer_offset = 0;
    return ReadTrailer(program, &trailer, &trailer_offset) &&
           IsTrailerSound(trailer, trailer_offset) && (trailer.flags & TRAILER_FLAG_QUIET) != 0;
}

uint64_t CreatedEntryCount(const WorkerContext* context) {
    if (context->entries_begun == 0) return 0;
    return context->entries_begun - (context->last_entry_created ? 0 : 1);
}

ResultCode RunExtractionJob(HWND window, void* argument) {
    WorkerContext* context = static_cast<WorkerContext*>(argument);
    context->owner = window;
    context->folder[0] = 0;

    const char* program_path = context->program_path;
    FILE* program = context->program;
    LogLine("program: %s", program_path);
    if (program == nullptr) {
        wchar_t text[256] = {0};
        LoadStringW(g_hinstance, IDS_CANT_OPEN_FOR_READ, text, 256);
        ShowPathMessage(context, text, program_path);
        return RESULT_CANT_OPEN_FILE;
    }
    PayloadTrailer& trailer = context->trailer;
    uint64_t trailer_offset = 0;
    const bool found = ReadTrailer(program, &trailer, &trailer_offset);
    // A trailer whose payload lies outside the file or over the trailer is as bad as none.
    const bool sound = found && IsTrailerSound(trailer, trailer_offset);
    const bool damaged = sound && IsSignatureDamaged(program, program_path);
    if (!sound || damaged || context->languages_damaged) {
        ShowStringMessage(context, damaged ? IDS_DAMAGED_SIGNATURE : IDS_NOT_VALID_SEA);
        return RESULT_INVALID_INSTALLER;
    }
    // Before anything is created: a payload other than the one this image was made with is
    // extracted nowhere.
    if (CheckPayloadAgainstImage(program, trailer, trailer_offset) != RESULT_OK) {
        ShowStringMessage(context, IDS_DAMAGED_PAYLOAD);
        return RESULT_INVALID_INSTALLER;
    }

    char* folder_utf8 = context->folder;
    if (context->extract_folder != nullptr) return ExtractIntoCallersFolder(context);
    char folder[TEMP_FOLDER_BUFFER];
    if (CreateTempFolder(folder, &context->held_folder) != RESULT_OK ||
        CodePageToUtf8(0, GetACP(), folder, UTF8_NUL_TERMINATED, folder_utf8, JOB_PATH_CAPACITY,
                       nullptr) != RESULT_OK) {
        folder_utf8[0] = 0;
        // Failing without a word would leave the user with nothing at all.
        ShowStringMessage(context, IDS_CANT_CREATE_TEMP);
        return RESULT_TEMP_FOLDER;
    }
    LogLine("folder: %s", folder_utf8);
    // The run's own new folder takes nothing that exists.
    return ExtractPayloadFrom(&trailer, program, program_path, folder_utf8, OnExtractEvent, context,
                              EXISTING_REFUSED);
}

ResultCode OnExtractEvent(int32_t /*reserved*/, ExtractEvent* event, void* user) {
    // The system's reason for a failed create or write, before any call below replaces it.
    const DWORD system_error = GetLastError();
    WorkerContext* context = static_cast<WorkerContext*>(user);
    // A failed entry's bookkeeping comes first, Cancel or not: counted as created, its name would
    // be deleted after the run, and that name may be someone else's file.
    if (event->kind == EVENT_ERROR &&
        (event->code == RESULT_CANT_CREATE_FILE || event->code == RESULT_ALREADY_EXISTS)) {
        context->last_entry_created = false;
    }
    HWND owner = context->owner;
    if (IsCancelRequested(owner)) {
        // A file stopped at its target is never created.
        if (event->kind == EVENT_RESOLVE_TARGET) context->last_entry_created = false;
        return RESULT_USER_CANCEL;
    }
    switch (event->kind) {
        case EVENT_PROGRESS:
            if (event->bytes_total == 0) return RESULT_OK;
            return SetProgress(
                owner, static_cast<int32_t>(event->bytes_done * 100 / event->bytes_total), false);
        case EVENT_ENTRY_BEGIN: {
            context->entries_begun += 1;
            context->last_entry_created = true;
            LogLine("entry: %s", event->path);
            if (context->existing_root == 0) return RESULT_OK;
            // Stopped before anything is made: the entry is not this run's.
            const ResultCode checked = CheckExistingSubfolders(event->path, context->existing_root);
            if (checked != RESULT_OK) {
                context->last_entry_created = false;
                LogLine("failure: %s: %s", DescribeResult(checked), event->path);
            }
            return checked;
        }
        case EVENT_RESOLVE_TARGET:
            // The extractor keeps joined paths below the target's 260 bytes; bound it anyway.
            lstrcpynA(event->target, event->path, static_cast<int>(MAX_PATH_BYTES));
            return RESULT_OK;
        case EVENT_ERROR:
            // A name in the new folder that exists already (RESULT_ALREADY_EXISTS) was put there
            // by someone else: for the user it is a file that could not be made, as any other.
            LogFailure(event->code, event->path, system_error);
            ShowPathMessage(
                context,
                event->code == RESULT_BUFFER_TOO_SMALL ? NAME_TOO_LONG_TEXT : DECODE_ERROR_TEXT,
                event->path);
            return RESULT_OK;
        default:
            return RESULT_OK;
    }
}
