// The streaming extractor: reads the payload in 512-byte blocks and turns its entries into
// directories and files below a destination folder, reporting through one event handler.
#pragma once

#include <stdint.h>

#include "common/result_code.h"
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

// program_path and dest_folder are UTF-8; dest_folder ends in a path separator.
// Returns 0 when every entry was extracted, otherwise the first failure or the handler's code.
ResultCode ExtractPayload(const PayloadTrailer* trailer, const char* program_path,
                          const char* dest_folder, ExtractEventHandler handler, void* user);
