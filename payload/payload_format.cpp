#include "payload/payload_format.h"

#include <string.h>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Windows trims trailing dots and spaces from a path component, so ". ." or ".. " would become
// "." or ".."; a component made of nothing else is never a real name.
bool IsOnlyDotsAndSpaces(const char* begin, const char* end) {
    for (const char* p = begin; p != end; ++p) {
        if (*p != '.' && *p != ' ') return false;
    }
    return true;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices in every folder, with any extension:
// writing one would reach the device (or, on the 9x family, hang the system), not a file.
bool IsDeviceName(const char* begin, const char* end) {
    const char* stem_end = begin;
    while (stem_end != end && *stem_end != '.') ++stem_end;
    while (stem_end != begin && stem_end[-1] == ' ') --stem_end;
    const size_t length = static_cast<size_t>(stem_end - begin);
    if (length != 3 && length != 4) return false;
    char stem[4] = {};
    for (size_t i = 0; i < length; ++i) stem[i] = Upper(begin[i]);
    if (length == 3) {
        static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
        for (const char* device : devices) {
            if (memcmp(stem, device, 3) == 0) return true;
        }
        return false;
    }
    return (memcmp(stem, "COM", 3) == 0 || memcmp(stem, "LPT", 3) == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}

// COM and LPT with a superscript one, two or three (UTF-8: C2 B9, C2 B2, C2 B3) name the same
// devices to Windows.
bool IsSuperscriptDeviceName(const char* begin, const char* end) {
    const char* stem_end = begin;
    while (stem_end != end && *stem_end != '.') ++stem_end;
    while (stem_end != begin && stem_end[-1] == ' ') --stem_end;
    if (stem_end - begin != 5) return false;
    char stem[3];
    for (size_t i = 0; i < 3; ++i) stem[i] = Upper(begin[i]);
    const unsigned char lead = static_cast<unsigned char>(begin[3]);
    const unsigned char digit = static_cast<unsigned char>(begin[4]);
    return (memcmp(stem, "COM", 3) == 0 || memcmp(stem, "LPT", 3) == 0) && lead == 0xC2 &&
           (digit == 0xB9 || digit == 0xB2 || digit == 0xB3);
}

// Characters no Windows file name may hold: the control characters and < > | * ? ".
bool IsForbiddenCharacter(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == '<' || c == '>' || c == '|' || c == '*' ||
           c == '?' || c == '"';
}

}  // namespace

uint64_t ReadLittleEndian(const uint8_t* bytes, size_t count) {
    uint64_t value = 0;
    for (size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
    return value;
}

void WriteLittleEndian(uint64_t value, uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool ParseTrailer(const uint8_t bytes[TRAILER_SIZE], PayloadTrailer* out) {
    for (int i = 0; i < 8; ++i) out->magic[i] = bytes[i];
    out->payload_offset = static_cast<uint32_t>(ReadLittleEndian(bytes + 8, 4));
    out->flags = static_cast<uint32_t>(ReadLittleEndian(bytes + 12, 4));
    out->payload_size = ReadLittleEndian(bytes + 16, 8);
    out->entry_count = ReadLittleEndian(bytes + 24, 8);
    for (size_t i = 0; i < sizeof TRAILER_MAGIC; ++i) {
        if (bytes[i] != static_cast<uint8_t>(TRAILER_MAGIC[i])) return false;
    }
    return true;
}

void SerializeTrailer(const PayloadTrailer& trailer, uint8_t bytes[TRAILER_SIZE]) {
    for (size_t i = 0; i < 8; ++i) {
        bytes[i] = i < sizeof TRAILER_MAGIC ? static_cast<uint8_t>(TRAILER_MAGIC[i]) : 0;
    }
    WriteLittleEndian(trailer.payload_offset, bytes + 8, 4);
    WriteLittleEndian(trailer.flags, bytes + 12, 4);
    WriteLittleEndian(trailer.payload_size, bytes + 16, 8);
    WriteLittleEndian(trailer.entry_count, bytes + 24, 8);
}

EntryHeaderStep PushEntryHeaderByte(EntryHeaderDecoder* decoder, uint8_t byte) {
    if (decoder->position < ENTRY_SIZE_FIELD) {
        decoder->size_field[decoder->position++] = byte;
        if (decoder->position == ENTRY_SIZE_FIELD) {
            decoder->size = ReadLittleEndian(decoder->size_field, ENTRY_SIZE_FIELD);
        }
        return ENTRY_HEADER_MORE;
    }
    const size_t index = decoder->position - ENTRY_SIZE_FIELD;
    if (index == ENTRY_NAME_CAPACITY - 1 && byte != 0) {
        decoder->name[index] = 0;
        return ENTRY_HEADER_NAME_TOO_LONG;
    }
    decoder->name[index] = static_cast<char>(byte);
    if (byte != 0) {
        decoder->position += 1;
        return ENTRY_HEADER_MORE;
    }
    decoder->position = 0;
    return ENTRY_HEADER_DONE;
}

bool IsSafeEntryName(const char* name, bool directory) {
    if (name == nullptr || !IsSeparator(name[0])) return false;
    const char* p = name;
    while (*p != 0) {
        const char* begin = ++p;  // p sits on a separator
        while (*p != 0 && !IsSeparator(*p)) {
            // A colon is a drive letter or an alternate data stream.
            if (*p == ':' || IsForbiddenCharacter(*p)) return false;
            ++p;
        }
        // A directory may be named with a closing separator: nothing follows it.
        if (directory && p == begin && *p == 0 && begin != name + 1) break;
        if (IsOnlyDotsAndSpaces(begin, p)) return false;  // empty, ".", ".." and their disguises
        if (IsDeviceName(begin, p) || IsSuperscriptDeviceName(begin, p)) return false;
    }
    return true;
}
