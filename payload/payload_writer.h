// Writes a payload and its trailer behind whatever the stream already holds (usually the stub).
// Used by the packer and by the tests, which build payloads from real files and names.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include "common/result_code.h"
#include "payload/payload_format.h"

struct PayloadWriter {
    FILE* out;
    uint64_t payload_offset;  // where the first entry starts
    uint64_t payload_size;    // bytes written since
    uint64_t entry_count;
    ResultCode error;  // first failure; later calls do nothing
};

// Every call returns the writer's first failure, and after one does nothing more:
// RESULT_WRITE_FAILED for a failed seek, write or flush; RESULT_BAD_PAYLOAD for a source that
// ends before `size` bytes, or a payload starting beyond the trailer's 32-bit offset. Names are
// written as given (tests build hostile payloads); callers check them with IsSafeEntryName.

// Starts a payload at the stream's current end.
ResultCode BeginPayload(PayloadWriter* writer, FILE* out);
ResultCode AddDirectoryEntry(PayloadWriter* writer, const char* name);
// Copies size bytes from source (may be null when size is 0).
ResultCode AddFileEntry(PayloadWriter* writer, const char* name, FILE* source, uint64_t size);
ResultCode AddMemoryEntry(PayloadWriter* writer, const char* name, const void* data, uint64_t size);
// Pads with zeros so that the trailer starts at a multiple of trailer_alignment (1 for none),
// writes the trailer and flushes. Fills *trailer when given.
ResultCode FinishPayload(PayloadWriter* writer, uint32_t flags, uint32_t trailer_alignment,
                         PayloadTrailer* trailer);
