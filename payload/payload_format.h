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

// Little-endian fields of count bytes (at most 8), least significant byte first: the only
// coding of integers in trailers, entry headers and the program file's headers.
uint64_t ReadLittleEndian(const uint8_t* bytes, size_t count);
void WriteLittleEndian(uint64_t value, uint8_t* bytes, size_t count);

// Decodes 32 bytes. Returns true when the first six bytes are the magic; *out is filled either way.
bool ParseTrailer(const uint8_t bytes[TRAILER_SIZE], PayloadTrailer* out);
// Encodes a trailer (the magic is always written as "QJXSEA\0\0").
void SerializeTrailer(const PayloadTrailer& trailer, uint8_t bytes[TRAILER_SIZE]);

// An entry header (the size field, then the name up to and including its NUL) decoded a byte
// at a time, as the payload arrives. The extractor and the packer's scanner read headers only
// through it, so that the two cannot disagree about where an entry ends.
struct EntryHeaderDecoder {
    uint64_t size;                   // the entry's size, complete after the size field
    char name[ENTRY_NAME_CAPACITY];  // NUL-terminated once the header is done
    size_t position;                 // header bytes taken; 0 between headers
    uint8_t size_field[ENTRY_SIZE_FIELD];
};

enum EntryHeaderStep {
    ENTRY_HEADER_MORE,  // the header goes on
    ENTRY_HEADER_DONE,  // size and name are complete; the next byte starts the next header
    // The name filled its field without a NUL; name holds the part that fit, terminated.
    ENTRY_HEADER_NAME_TOO_LONG,
};

EntryHeaderStep PushEntryHeaderByte(EntryHeaderDecoder* decoder, uint8_t byte);

// True when an entry name may be created below a destination folder: it begins with a separator,
// and has no empty, "." or ".." component (nor one of dots and spaces only, which Windows trims to
// those), no drive letter, no colon, no control character or < > | * ? ", and no device name
// (COM and LPT with a superscript 1 to 3 among them). '/' counts as '\'. A directory entry may
// end in one separator. Such names are damaged payloads: no file may have them.
bool IsSafeEntryName(const char* name, bool directory = false);
