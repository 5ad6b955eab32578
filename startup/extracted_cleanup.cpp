#include "startup/extracted_cleanup.h"

#include <stdio.h>
#include <string.h>

#include "files/file_access.h"
#include "payload/payload_format.h"
#include "startup/run_log.h"
#include "system/held_folder.h"
#include "system/windows_family.h"
#include "text/utf8.h"

namespace {

// One entry of the payload as the walk meets it.
struct WalkedEntry {
    const char* name;
    bool directory;
};

// Reads the first count entry headers of the payload again from the program file the run holds
// (never from whatever its path names now), skipping their data, and hands each to visit.
// visit returns false to stop the walk. False when the file cannot be read as it was during the
// extraction, or the walk was stopped.
typedef bool (*EntryVisitor)(const WalkedEntry& entry, void* user);

bool WalkEntries(const WorkerContext* context, uint64_t count, EntryVisitor visit, void* user) {
    FILE* program = context->program;
    if (program == nullptr) return false;
    uint64_t position = context->trailer.payload_offset;
    bool ok = SeekFile(program, position);
    EntryHeaderDecoder header;
    memset(&header, 0, sizeof header);
    for (uint64_t walked = 0; ok && walked < count;) {
        const int byte = fgetc(program);
        if (byte == EOF) {
            ok = false;
            break;
        }
        position += 1;
        const EntryHeaderStep step = PushEntryHeaderByte(&header, static_cast<uint8_t>(byte));
        if (step == ENTRY_HEADER_NAME_TOO_LONG) ok = false;
        if (step != ENTRY_HEADER_DONE) continue;
        const bool directory = header.size == ENTRY_SIZE_DIRECTORY;
        if (!visit(WalkedEntry{header.name, directory}, user)) {
            ok = false;
            break;
        }
        walked += 1;
        if (!directory && header.size != 0) {
            position += header.size;
            ok = SeekFile(program, position);
        }
    }
    return ok;
}

// True when the path, or a folder on its way below the run's folder, is a link or junction:
// deleting through it would reach what this run never wrote.
bool PassesALink(char* path, size_t folder_length) {
    for (char* p = path + folder_length + 1; *p != 0; ++p) {
        if ((*p == '\\' || *p == '/') && p[1] != 0) {
            const char separator = *p;
            *p = 0;
            const bool link = ExaminePathUtf8(path) == PATH_LINK;
            *p = separator;
            if (link) return true;
        }
    }
    return ExaminePathUtf8(path) == PATH_LINK;
}

// Deletes one name this run created. On the NT family the name itself is opened, checked and
// deleted through one handle, so that nothing can be swapped in between the check and the delete.
bool RemoveName(const char* path, bool directory) {
    if (IsWindows9x()) return RemovePathUtf8(path, directory);
    wchar_t wide[MAX_PATH_BYTES];
    if (Utf8ToUtf16(path, UTF8_NUL_TERMINATED, reinterpret_cast<char16_t*>(wide), MAX_PATH_BYTES) !=
        RESULT_OK) {
        return false;
    }
    const NameRemoval removal = RemoveNameThroughHandle(wide, directory);
    return removal == NAME_REMOVED || removal == NAME_MISSING;
}

// Separators inside a name: how deep its entry lies (a directory's own trailing one not counted).
uint32_t DepthOf(const char* name) {
    uint32_t depth = 0;
    for (const char* p = name; *p != 0; ++p) {
        if ((*p == '\\' || *p == '/') && p[1] != 0) depth += 1;
    }
    return depth;
}

struct Cleanup {
    const WorkerContext* context;
    size_t folder_length;
    bool directories;  // this pass removes directories of depth `depth`, else files
    uint32_t depth;
    uint32_t deepest;
    bool complete;
    bool unsafe;  // the walk met a name that fails the extractor's checks
};

bool RemoveEntry(const WalkedEntry& entry, void* user) {
    Cleanup* cleanup = static_cast<Cleanup*>(user);
    // The extractor created nothing for a name that fails its checks: such a name can only come
    // from a file that is not the one extracted, and would lead out of the folder.
    if (!IsSafeEntryName(entry.name, entry.directory) || !IsPathAccepted(entry.name)) {
        LogLine("clean-up: stopped at an unsafe entry name: %s", entry.name);
        cleanup->unsafe = true;
        return false;
    }
    if (entry.directory != cleanup->directories) return true;
    const uint32_t depth = DepthOf(entry.name);
    if (entry.directory) {
        if (cleanup->deepest < depth) cleanup->deepest = depth;
        if (depth != cleanup->depth) return true;
    }
    char path[MAX_PATH_BYTES];
    const size_t name_length = strlen(entry.name);
    if (cleanup->folder_length + name_length >= sizeof path) return true;  // never created either
    memcpy(path, cleanup->context->folder, cleanup->folder_length);
    memcpy(path + cleanup->folder_length, entry.name, name_length + 1);
    if (ExaminePathUtf8(path) == PATH_MISSING) return true;  // gone already
    if (PassesALink(path, cleanup->folder_length) || !RemoveName(path, entry.directory)) {
        cleanup->complete = false;
        LogLine("clean-up: left in place: %s", path);
    }
    return true;
}

// The run's own folder, through the handle held since its creation where there is one: nobody
// else could open it for deleting meanwhile. The handle is closed, so that the folder goes now,
// or, when it is not empty, stays unheld for the little time the process has left.
bool RemoveRunFolder(const WorkerContext* context, const char* folder) {
    HANDLE held = context->held_folder;
    if (held == nullptr || held == INVALID_HANDLE_VALUE) return RemovePathUtf8(folder, true);
    const bool removed = DeleteThroughHandle(held);
    CloseHandle(held);
    return removed;
}

}  // namespace

bool RemoveExtractedFiles(const WorkerContext* context) {
    if (context->folder[0] == 0) return true;
    const uint64_t count = CreatedEntryCount(context);
    Cleanup cleanup = {context, strlen(context->folder), false, 0, 0, true, false};
    // Files first, noting how deep the directories go; then the directories, deepest first.
    bool read = WalkEntries(context, count, RemoveEntry, &cleanup);
    cleanup.directories = true;
    cleanup.depth = UINT32_MAX;
    read = read && WalkEntries(context, count, RemoveEntry, &cleanup);
    for (uint32_t depth = cleanup.deepest; read && depth > 0; --depth) {
        cleanup.depth = depth;
        read = WalkEntries(context, count, RemoveEntry, &cleanup);
    }
    if (cleanup.unsafe) return false;  // nothing more is touched, the folder included
    if (!read) LogLine("clean-up: the payload could not be read again");

    char folder[JOB_PATH_CAPACITY];
    memcpy(folder, context->folder, cleanup.folder_length + 1);
    if (cleanup.folder_length > 0) folder[cleanup.folder_length - 1] = 0;  // its separator
    if (!RemoveRunFolder(context, folder)) {
        LogLine("clean-up: the folder stays (not empty): %s", folder);
        return false;
    }
    return read && cleanup.complete;
}
