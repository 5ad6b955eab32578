// The streaming extractor: reads the payload in 512-byte blocks and turns its entries into
// directories and files below a destination folder, reporting through one event handler.
#pragma once

#include <stdint.h>

#include "common/result_code.h"
#include "files/file_access.h"
#include "payload/payload_format.h"

enum : int32_t {
    EVENT_PROGRESS = 0,        // bytes_done, bytes_total
    EVENT_ENTRY_BEGIN = 1,     // path: destination folder joined with the entry name
    EVENT_RESOLVE_TARGET = 4,  // path (the source path); target: 260-byte buffer to fill
    EVENT_ERROR = 5,           // path; code
};

struct ExtractEvent {
    int32_t kind;
    uint64_t bytes_done;
    uint64_t bytes_total;
    const char* path;
    char* target;
    ResultCode code;
};

// reserved is always 0. A nonzero result from a progress event before a block, from
// EVENT_ENTRY_BEGIN or from EVENT_RESOLVE_TARGET stops the extraction and becomes its result.
typedef ResultCode (*ExtractEventHandler)(int32_t reserved, ExtractEvent* event, void* user);

// program_path and dest_folder are UTF-8; dest_folder ends in a path separator. policy says what
// a name that exists already means (the file layer's ExistingPolicy):
//   EXISTING_REFUSED      new tree, for a folder the caller has just created: every directory and
//                         file is created new
//   EXISTING_FOLDER_KEPT  no overwrite: files are created new; an existing plain directory is
//                         used, one that is a reparse point (junction, symbolic link) is not
//   EXISTING_REPLACED     overwrite: files are replaced, and a directory that cannot be created is
//                         not reported (a file inside it then fails)
// The default is the strictest, so that a caller who leaves it out is refused, never overwrites.
// Returns 0 when every entry was extracted, otherwise the first failure or the handler's code.
// Each failure but a handler's stop comes with one EVENT_ERROR, naming:
//   RESULT_CANT_OPEN_FILE    the program file (it could not be opened)
//   RESULT_BAD_PAYLOAD       the program file (it ends before the payload, or the payload ends
//                            inside an entry's header), the entry name cut to 262 bytes when it
//                            is longer than its field, or the file left short by a payload
//                            ending inside its data
//   RESULT_BUFFER_TOO_SMALL  the entry name, when the folder and it reach 260 bytes
//   RESULT_UNSAFE_NAME       the entry name; nothing of that entry is created
//   RESULT_BAD_UTF8          the entry name, which is not valid UTF-8 where the file system needs
//                            it whole (not on the 9x family); nothing of that entry is created
//   RESULT_ALREADY_EXISTS    the target path, or the joined path of a directory entry: the
//                            policy refuses what exists there, and nothing is written to it or
//                            through it
//   RESULT_CANT_CREATE_FILE  the target path, or the joined path of a directory entry that could
//                            not be created (not when overwriting)
//   RESULT_WRITE_FAILED      the target path (a write or the close failed, e.g. disk full)
// Files written before a failure stay; a file cut short is closed with what it holds. The final
// EVENT_PROGRESS (bytes_done == bytes_total == payload_size) is always sent last.
ResultCode ExtractPayload(const PayloadTrailer* trailer, const char* program_path,
                          const char* dest_folder, ExtractEventHandler handler, void* user,
                          ExistingPolicy policy = EXISTING_REFUSED);

// The same from a program file the caller holds open (null: RESULT_CANT_OPEN_FILE), so that the
// file whose trailer was checked is the file extracted; program_path only names it in events.
// The stream stays open; its position afterwards is unspecified.
ResultCode ExtractPayloadFrom(const PayloadTrailer* trailer, FILE* program,
                              const char* program_path, const char* dest_folder,
                              ExtractEventHandler handler, void* user,
                              ExistingPolicy policy = EXISTING_REFUSED);
