#include "payload/payload_writer.h"

#include <string.h>

#include "files/file_access.h"

namespace {

// Pieces in which file data is copied: large enough that the runtime hands them straight to
// the system.
constexpr size_t COPY_PIECE = size_t{64} * 1024;

// Writes bytes unless an earlier call failed; latches the first failure.
ResultCode Write(PayloadWriter* writer, const void* data, size_t size) {
    if (writer->error == RESULT_OK && size != 0 && fwrite(data, 1, size, writer->out) != size) {
        writer->error = RESULT_WRITE_FAILED;
    }
    return writer->error;
}

// Writes payload bytes: they count towards payload_size.
ResultCode Put(PayloadWriter* writer, const void* data, size_t size) {
    if (Write(writer, data, size) == RESULT_OK) writer->payload_size += size;
    return writer->error;
}

ResultCode PutHeader(PayloadWriter* writer, const char* name, uint64_t size) {
    uint8_t size_field[ENTRY_SIZE_FIELD];
    WriteLittleEndian(size, size_field, ENTRY_SIZE_FIELD);
    Put(writer, size_field, sizeof size_field);
    ResultCode result = Put(writer, name, strlen(name) + 1);
    if (result == RESULT_OK) writer->entry_count += 1;
    return result;
}

}  // namespace

ResultCode BeginPayload(PayloadWriter* writer, FILE* out) {
    memset(writer, 0, sizeof *writer);
    writer->out = out;
    // The payload follows whatever the stream holds already (the stub).
    if (!GetFileLength(out, &writer->payload_offset) || !SeekFile(out, writer->payload_offset)) {
        writer->error = RESULT_WRITE_FAILED;
    }
    return writer->error;
}

ResultCode AddDirectoryEntry(PayloadWriter* writer, const char* name) {
    return PutHeader(writer, name, ENTRY_SIZE_DIRECTORY);
}

ResultCode AddFileEntry(PayloadWriter* writer, const char* name, FILE* source, uint64_t size) {
    if (PutHeader(writer, name, size) != RESULT_OK) return writer->error;
    uint8_t piece[COPY_PIECE];
    while (size > 0) {
        const size_t want = size < COPY_PIECE ? static_cast<size_t>(size) : COPY_PIECE;
        const size_t got = fread(piece, 1, want, source);
        if (Put(writer, piece, got) != RESULT_OK) return writer->error;
        if (got != want) {
            // The source ended early: the entry would not hold the size its header promises.
            writer->error = RESULT_BAD_PAYLOAD;
            return writer->error;
        }
        size -= got;
    }
    return RESULT_OK;
}

ResultCode AddMemoryEntry(PayloadWriter* writer, const char* name, const void* data,
                          uint64_t size) {
    if (PutHeader(writer, name, size) != RESULT_OK) return writer->error;
    if (size > SIZE_MAX) {
        writer->error = RESULT_BAD_PAYLOAD;
        return writer->error;
    }
    return Put(writer, data, static_cast<size_t>(size));
}

ResultCode FinishPayload(PayloadWriter* writer, uint32_t flags, uint32_t trailer_alignment,
                         PayloadTrailer* trailer) {
    if (writer->error != RESULT_OK) return writer->error;
    // The trailer's offset field has 32 bits.
    if (writer->payload_offset > UINT32_MAX) {
        writer->error = RESULT_BAD_PAYLOAD;
        return writer->error;
    }
    PayloadTrailer result = {};
    result.payload_offset = static_cast<uint32_t>(writer->payload_offset);
    result.flags = flags;
    result.payload_size = writer->payload_size;
    result.entry_count = writer->entry_count;

    if (trailer_alignment > 1) {
        const uint64_t end = writer->payload_offset + writer->payload_size;
        uint64_t padding = (trailer_alignment - end % trailer_alignment) % trailer_alignment;
        static const uint8_t zeros[256] = {};
        while (padding > 0 && writer->error == RESULT_OK) {
            const size_t piece =
                padding < sizeof zeros ? static_cast<size_t>(padding) : sizeof zeros;
            Write(writer, zeros, piece);
            padding -= piece;
        }
    }
    uint8_t bytes[TRAILER_SIZE];
    SerializeTrailer(result, bytes);
    Write(writer, bytes, sizeof bytes);
    if (writer->error == RESULT_OK && fflush(writer->out) != 0) writer->error = RESULT_WRITE_FAILED;
    if (writer->error == RESULT_OK && trailer) *trailer = result;
    return writer->error;
}
