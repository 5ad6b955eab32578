// The payload appended to the program file, and the 32-byte trailer at the file's very end.
// All integers are little-endian and are read and written byte by byte.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t TRAILER_SIZE = 32;
constexpr char TRAILER_MAGIC[6] = {'Q', 'J', 'X', 'S', 'E', 'A'};
constexpr uint32_t TRAILER_FLAG_QUIET = 1u;

// Entry size that marks a directory entry.
constexpr uint64_t ENTRY_SIZE_DIRECTORY = 0xFFFFFFFFFFFFFFFFull;
// Bytes of an entry's size field.
constexpr size_t ENTRY_SIZE_FIELD = 8;
// Room for an entry name, its NUL included.
constexpr size_t ENTRY_NAME_CAPACITY = 263;
// Paths (destination folder + name) stay below this many bytes.
constexpr size_t MAX_PATH_BYTES = 260;

struct PayloadTrailer {
    uint8_t magic[8];         // "QJXSEA" and two zero bytes; only the first six are compared
    uint32_t payload_offset;  // first entry, from the start of the program file
    uint32_t flags;           // bit 0: quiet
    uint64_t payload_size;    // bytes from payload_offset, covering every entry
    uint64_t entry_count;     // carried along, never consulted by the extractor
};

// Decodes 32 bytes. Returns true when the first six bytes are the magic; *out is filled either way.
bool ParseTrailer(const uint8_t bytes[TRAILER_SIZE], PayloadTrailer* out);
// Encodes a trailer (the magic is always written as "QJXSEA\0\0").
void SerializeTrailer(const PayloadTrailer& trailer, uint8_t bytes[TRAILER_SIZE]);

// True when an entry name may be created below a destination folder: it begins with a separator,
// and has no empty, "." or ".." component (nor one of dots and spaces only, which Windows trims to
// those), no drive letter, no colon and no device name. '/' counts as '\'. A directory entry may
// end in one separator.
bool IsSafeEntryName(const char* name, bool directory = false);
