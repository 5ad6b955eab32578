#include "payload/extractor.h"

#include <string.h>

#include "files/file_access.h"

namespace {

constexpr uint32_t BLOCK_SIZE = 512;
// A progress event goes out before every tenth block.
constexpr uint64_t PROGRESS_INTERVAL_BLOCKS = 10;
// The program file is read 512 KiB at a time: one read serves many blocks, and data runs go
// to the output file's handle in pieces of up to that size (measured: 13% faster than 128 KiB
// pieces). The state lives on the caller's stack, which in
// the stub is a thread of the default 2 MiB reserve.
// (The fuzz build makes it small, so that small inputs cross many chunk ends.)
#if defined(QJX_EXTRACT_CHUNK_BLOCKS)
constexpr uint32_t CHUNK_BLOCKS = QJX_EXTRACT_CHUNK_BLOCKS;
#else
constexpr uint32_t CHUNK_BLOCKS = 1024;
#endif
constexpr uint32_t CHUNK_BYTES = CHUNK_BLOCKS * BLOCK_SIZE;

// One extraction. Positions are 64-bit throughout, so payloads of 4 GiB and more, and offsets
// beyond 2 GiB, are read and ended correctly.
struct ExtractorState {
    FILE* source;
    OutputFile output;
    bool output_open;
    ExistingPolicy policy;
    const PayloadTrailer* trailer;
    uint64_t blocks_read;  // 512-byte blocks started so far
    uint32_t block_pos;    // next byte in the current block, 0 to 512
    uint64_t payload_size;
    ResultCode error;  // once set, nothing more is read or written
    uint64_t entry_count;
    bool in_header;  // collecting an entry's size and name; clear while writing its data
    EntryHeaderDecoder header;
    uint64_t written;
    const char* dest_folder;
    ExtractEventHandler handler;
    void* user;
    const char* program_path;
    char path[MAX_PATH_BYTES];    // dest_folder joined with the current entry's name
    char target[MAX_PATH_BYTES];  // the file being written, as the handler resolved it
    // The program file's bytes for blocks chunk_first onwards; chunk_valid of them were there.
    uint64_t chunk_first;
    uint32_t chunk_valid;
    uint8_t chunk[CHUNK_BYTES];
};

ResultCode Send(ExtractorState* state, ExtractEvent* event) {
    return state->handler(0, event, state->user);
}

ResultCode SendProgress(ExtractorState* state, uint64_t bytes_done) {
    ExtractEvent event = {};
    event.kind = EVENT_PROGRESS;
    event.bytes_done = bytes_done;
    event.bytes_total = state->payload_size;
    return Send(state, &event);
}

void Fail(ExtractorState* state, ResultCode code, const char* path) {
    state->error = code;
    ExtractEvent event = {};
    event.kind = EVENT_ERROR;
    event.path = path;
    event.code = code;
    Send(state, &event);
}

// Reads the blocks from blocks_read onwards, as many as the payload still needs.
void FillChunk(ExtractorState* state) {
    state->chunk_first = state->blocks_read;
    const uint64_t left = state->payload_size - state->chunk_first * BLOCK_SIZE;
    const size_t want = left < CHUNK_BYTES ? static_cast<size_t>(left) : CHUNK_BYTES;
    state->chunk_valid = static_cast<uint32_t>(fread(state->chunk, 1, want, state->source));
}

// The reader: hands out the next payload bytes, at most `limit` of them, and moves past them.
// Returns 0 at the end of the payload and after any failure. A handler's stop at a block inside
// the run still hands out the bytes before that block; the error then ends the caller's loop.
uint32_t ReadPayloadRun(ExtractorState* state, uint64_t limit, const uint8_t** data) {
    if (state->error != RESULT_OK) return 0;
    if (state->block_pos == BLOCK_SIZE || state->blocks_read == 0) {
        if (state->blocks_read % PROGRESS_INTERVAL_BLOCKS == 0) {
            const ResultCode stop = SendProgress(state, state->blocks_read * BLOCK_SIZE);
            if (stop != RESULT_OK) {
                state->error = stop;
                return 0;
            }
        }
        if (state->blocks_read == 0 || state->blocks_read - state->chunk_first == CHUNK_BLOCKS) {
            FillChunk(state);
        }
        state->blocks_read += 1;
        state->block_pos = 0;
    }
    const uint64_t block = state->blocks_read - 1;
    const uint64_t consumed = block * BLOCK_SIZE + state->block_pos;
    // Only here does the end show: a payload ending on a block boundary costs one more block.
    if (consumed == state->payload_size) return 0;
    const uint32_t offset =
        static_cast<uint32_t>(block - state->chunk_first) * BLOCK_SIZE + state->block_pos;
    if (offset >= state->chunk_valid) {
        // The program file ends (or fails) before the payload does: nothing is invented.
        Fail(state, RESULT_BAD_PAYLOAD, state->program_path);
        return 0;
    }
    uint64_t run = state->chunk_valid - offset;
    if (run > state->payload_size - consumed) run = state->payload_size - consumed;
    if (run > limit) run = limit;
    // Blocks inside the run that are due a progress event get it now, in order, before any of
    // their bytes are handed out, and a stop ends the run where that block begins: the events
    // and what reaches the files are those of byte-by-byte reading.
    for (uint64_t event_block = (block / PROGRESS_INTERVAL_BLOCKS + 1) * PROGRESS_INTERVAL_BLOCKS;
         event_block * BLOCK_SIZE < consumed + run; event_block += PROGRESS_INTERVAL_BLOCKS) {
        const ResultCode stop = SendProgress(state, event_block * BLOCK_SIZE);
        if (stop != RESULT_OK) {
            state->error = stop;
            run = event_block * BLOCK_SIZE - consumed;
            break;
        }
    }

    const uint64_t end = consumed + run;
    if (end % BLOCK_SIZE == 0) {
        state->blocks_read = end / BLOCK_SIZE;  // the last block taken is used up
        state->block_pos = BLOCK_SIZE;
    } else {
        state->blocks_read = end / BLOCK_SIZE + 1;
        state->block_pos = static_cast<uint32_t>(end % BLOCK_SIZE);
    }
    *data = state->chunk + offset;
    return static_cast<uint32_t>(run);
}

// The next payload byte, or -1 at the end.
int ReadPayloadByte(ExtractorState* state) {
    const uint8_t* data;
    return ReadPayloadRun(state, 1, &data) == 0 ? -1 : data[0];
}

// Data phase: the run goes to the output file; the entry ends when entry_size bytes are in.
void WriteEntryData(ExtractorState* state, const uint8_t* data, uint32_t length) {
    if (!WriteOutputFile(&state->output, data, length)) {
        // After a stop inside this run the stop stays the result.
        if (state->error == RESULT_OK) Fail(state, RESULT_WRITE_FAILED, state->target);
        return;
    }
    state->written += length;
    if (state->written == state->header.size) {
        state->output_open = false;
        state->in_header = true;
        // Closing can fail as well (a network drive, for instance): that too is a failure.
        if (!CloseOutputFile(&state->output) && state->error == RESULT_OK) {
            Fail(state, RESULT_WRITE_FAILED, state->target);
        }
    }
}

// A complete name: check it, announce the entry and create it.
void BeginEntry(ExtractorState* state) {
    const size_t folder_length = strlen(state->dest_folder);
    const size_t name_length = strlen(state->header.name);
    if (folder_length + name_length >= MAX_PATH_BYTES) {
        Fail(state, RESULT_BUFFER_TOO_SMALL, state->header.name);
        return;
    }
    if (!IsSafeEntryName(state->header.name, state->header.size == ENTRY_SIZE_DIRECTORY)) {
        Fail(state, RESULT_UNSAFE_NAME, state->header.name);
        return;
    }
    if (!IsPathAccepted(state->header.name)) {
        // Decoded only up to its bad byte, the name would stand for another entry's file.
        Fail(state, RESULT_BAD_UTF8, state->header.name);
        return;
    }
    // Joined with one separator: the name's leading one goes where the folder ends in the same
    // (the path then reads as the system would write it, in the log and in messages).
    const size_t skip =
        folder_length > 0 && state->dest_folder[folder_length - 1] == state->header.name[0] ? 1 : 0;
    memcpy(state->path, state->dest_folder, folder_length);
    memcpy(state->path + folder_length, state->header.name + skip, name_length + 1 - skip);

    ExtractEvent event = {};
    event.kind = EVENT_ENTRY_BEGIN;
    event.path = state->path;
    ResultCode stop = Send(state, &event);
    if (stop != RESULT_OK) {
        state->error = stop;
        return;
    }
    if (state->header.size == ENTRY_SIZE_DIRECTORY) {
        const ResultCode made = CreateDirectoryUtf8(state->path, state->policy);
        // Overwriting keeps the old way: a failure shows when a file inside cannot be made.
        if (made != RESULT_OK && state->policy != EXISTING_REPLACED) {
            Fail(state, made, state->path);
        }
        return;
    }

    event = {};
    event.kind = EVENT_RESOLVE_TARGET;
    event.path = state->path;
    event.target = state->target;
    stop = Send(state, &event);
    if (stop != RESULT_OK) {
        state->error = stop;
        return;
    }
    state->target[MAX_PATH_BYTES - 1] = 0;  // whatever the handler wrote, it ends here
    // An existing file is never opened unless overwriting: whoever put it there keeps no hold
    // on what is written.
    const ResultCode created = CreateOutputFileUtf8(state->target, state->policy, &state->output);
    if (created != RESULT_OK) {
        Fail(state, created, state->target);
        return;
    }
    if (state->header.size == 0) {
        if (!CloseOutputFile(&state->output)) Fail(state, RESULT_WRITE_FAILED, state->target);
        return;
    }
    // Data arrives in runs of up to a chunk, each handed to the system as one write.
    state->output_open = true;
    state->written = 0;
    state->in_header = false;
}

// Header phase: the size field's eight bytes, least significant first, then the name up to and
// including its NUL.
void ConsumePayloadByte(uint8_t byte, ExtractorState* state) {
    if (state->error != RESULT_OK) return;
    switch (PushEntryHeaderByte(&state->header, byte)) {
        case ENTRY_HEADER_DONE:
            BeginEntry(state);
            return;
        case ENTRY_HEADER_NAME_TOO_LONG:
            // No packer writes a name longer than its field: the payload is damaged. The event
            // names the entry as far as it fits.
            Fail(state, RESULT_BAD_PAYLOAD, state->header.name);
            return;
        case ENTRY_HEADER_MORE:
            return;
    }
}

}  // namespace

ResultCode ExtractPayloadFrom(const PayloadTrailer* trailer, FILE* program,
                              const char* program_path, const char* dest_folder,
                              ExtractEventHandler handler, void* user, ExistingPolicy policy) {
    ExtractorState state;
    memset(&state, 0, sizeof state);
    state.policy = policy;
    state.trailer = trailer;
    state.program_path = program_path;
    state.in_header = true;
    state.payload_size = trailer->payload_size;
    state.entry_count = trailer->entry_count;
    state.dest_folder = dest_folder;
    state.handler = handler;
    state.user = user;

    state.source = program;
    if (state.source == nullptr) {
        Fail(&state, RESULT_CANT_OPEN_FILE, program_path);
    } else if (!SeekFile(state.source, trailer->payload_offset)) {
        Fail(&state, RESULT_BAD_PAYLOAD, program_path);
    }

    while (state.error == RESULT_OK) {
        if (state.in_header) {
            const int byte = ReadPayloadByte(&state);
            if (byte < 0) break;
            ConsumePayloadByte(static_cast<uint8_t>(byte), &state);
        } else {
            const uint8_t* data;
            const uint32_t length =
                ReadPayloadRun(&state, state.header.size - state.written, &data);
            if (length == 0) break;
            WriteEntryData(&state, data, length);
        }
    }

    // A file cut short stays, closed with what it holds, but the payload ended inside an entry.
    if (state.output_open) {
        const bool closed = CloseOutputFile(&state.output);
        state.output_open = false;
        if (state.error == RESULT_OK) {
            Fail(&state, closed ? RESULT_BAD_PAYLOAD : RESULT_WRITE_FAILED, state.target);
        }
    } else if (state.error == RESULT_OK && state.header.position != 0) {
        Fail(&state, RESULT_BAD_PAYLOAD, program_path);
    }

    SendProgress(&state, state.payload_size);
    return state.error;
}

ResultCode ExtractPayload(const PayloadTrailer* trailer, const char* program_path,
                          const char* dest_folder, ExtractEventHandler handler, void* user,
                          ExistingPolicy policy) {
    FILE* program = OpenFileUtf8(program_path, 0);
    const ResultCode result =
        ExtractPayloadFrom(trailer, program, program_path, dest_folder, handler, user, policy);
    if (program != nullptr) fclose(program);
    return result;
}
