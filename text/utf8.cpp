#include "text/utf8.h"

namespace {

bool IsContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// Reports both counts, where asked for, on every way out.
ResultCode Finish(ResultCode result, uint32_t units, uint32_t consumed, uint32_t* units_out,
                  uint32_t* consumed_out) {
    if (units_out) *units_out = units;
    if (consumed_out) *consumed_out = consumed;
    return result;
}

// Decodes one sequence starting at source[0] with `available` bytes in reach (at least 1).
// Returns its length, or 0 when it is not valid UTF-8 (a sequence cut short by the source length
// counts as invalid: the bytes beyond it are not ours to read).
uint32_t DecodeSequence(const uint8_t* source, uint32_t available, uint32_t* value) {
    const uint8_t lead = source[0];
    uint32_t length;
    uint32_t minimum;
    if (lead < 0x80) {
        *value = lead;
        return 1;
    } else if (lead < 0xC0) {
        return 0;
    } else if (lead < 0xE0) {
        length = 2;
        minimum = 0x80;
        *value = lead & 0x1Fu;
    } else if (lead < 0xF0) {
        length = 3;
        minimum = 0x800;
        *value = lead & 0x0Fu;
    } else if (lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        *value = lead & 0x07u;
    } else {
        // F5-FF lead nothing that UTF-16 can hold; F8-FF would even alias valid characters.
        return 0;
    }
    if (available < length) return 0;
    for (uint32_t i = 1; i < length; ++i) {
        // A zero byte is not a continuation byte, so the scan never runs past a terminator.
        if (!IsContinuation(source[i])) return 0;
        *value = (*value << 6) | (source[i] & 0x3Fu);
    }
    if (*value < minimum || *value > 0x10FFFF) return 0;
    return length;
}

// Bytes that one UTF-16 character takes in UTF-8; 0 for a surrogate unit that has no partner
// among the units left (the encoder stops there). *units_taken: 1, or 2 for a pair.
uint32_t EncodedLength(const char16_t* source, uint32_t remaining, uint32_t* units_taken) {
    const uint32_t unit = source[0];
    *units_taken = 1;
    if (unit < 0x80) return 1;
    if (unit < 0x800) return 2;
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        if (remaining < 2 || source[1] < 0xD800 || source[1] > 0xDFFF) return 0;
        *units_taken = 2;
        return 4;
    }
    return 3;
}

}  // namespace

ResultCode Utf8ToUtf16(const char* source, uint32_t source_length, char16_t* destination,
                       uint32_t capacity, uint32_t* units_out, uint32_t* consumed_out) {
    const bool counting = destination == nullptr;
    uint32_t units = 0;     // units produced (reset to 0 on invalid input)
    uint32_t position = 0;  // where the next unit goes; not moved back on invalid input
    uint32_t consumed = 0;
    ResultCode result = RESULT_OK;
    if (source == nullptr) return Finish(RESULT_OK, 0, 0, units_out, consumed_out);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(source);

    while (consumed < source_length) {
        if (!counting && units >= capacity) {
            return Finish(RESULT_BUFFER_TOO_SMALL, units, consumed, units_out, consumed_out);
        }
        if (bytes[consumed] == 0) break;
        uint32_t value = 0;
        const uint32_t length = DecodeSequence(bytes + consumed, source_length - consumed, &value);
        if (length == 0) {
            units = 0;
            result = RESULT_BAD_UTF8;
            break;
        }
        if (value < 0x10000) {
            if (!counting) destination[position++] = static_cast<char16_t>(value);
            units += 1;
        } else {
            if (!counting) {
                // Both halves or neither, so that a caller continuing from consumed_out starts
                // with this character.
                if (units + 2 > capacity) {
                    return Finish(RESULT_BUFFER_TOO_SMALL, units, consumed, units_out,
                                  consumed_out);
                }
                const uint32_t offset = value - 0x10000;
                destination[position++] = static_cast<char16_t>(0xD800 + (offset >> 10));
                destination[position++] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
            }
            units += 2;
        }
        consumed += length;
    }

    if (!counting) {
        if (units >= capacity) {
            return Finish(RESULT_BUFFER_TOO_SMALL, units, consumed, units_out, consumed_out);
        }
        destination[position] = 0;
    }
    return Finish(result, units, consumed, units_out, consumed_out);
}

ResultCode Utf16ToUtf8(const char16_t* source, uint32_t source_length, char* destination,
                       uint32_t capacity, uint32_t* bytes_out) {
    uint32_t bytes = 0;
    uint32_t index = 0;
    const bool counting = destination == nullptr;
    if (source == nullptr) source_length = 0;

    while (index < source_length) {
        if (!counting && bytes >= capacity) {
            if (bytes_out) *bytes_out = bytes;
            return RESULT_BUFFER_TOO_SMALL;
        }
        if (source[index] == 0) break;
        uint32_t units_taken = 0;
        const uint32_t length = EncodedLength(source + index, source_length - index, &units_taken);
        // An unpaired surrogate ends the text, in counting and in writing alike.
        if (length == 0) break;
        if (!counting) {
            if (bytes + length > capacity) break;  // the character does not fit whole: drop it
            uint8_t* out = reinterpret_cast<uint8_t*>(destination) + bytes;
            const uint32_t unit = source[index];
            if (length == 1) {
                out[0] = static_cast<uint8_t>(unit);
            } else if (length == 2) {
                out[0] = static_cast<uint8_t>(0xC0 | (unit >> 6));
                out[1] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
            } else if (length == 3) {
                out[0] = static_cast<uint8_t>(0xE0 | (unit >> 12));
                out[1] = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
                out[2] = static_cast<uint8_t>(0x80 | (unit & 0x3F));
            } else {
                const uint32_t code_point =
                    0x10000 + ((unit & 0x3FF) << 10) + (source[index + 1] & 0x3FFu);
                out[0] = static_cast<uint8_t>(0xF0 | (code_point >> 18));
                out[1] = static_cast<uint8_t>(0x80 | ((code_point >> 12) & 0x3F));
                out[2] = static_cast<uint8_t>(0x80 | ((code_point >> 6) & 0x3F));
                out[3] = static_cast<uint8_t>(0x80 | (code_point & 0x3F));
            }
        }
        bytes += length;
        index += units_taken;
    }

    if (bytes_out) *bytes_out = bytes;
    if (counting) return RESULT_OK;
    if (bytes >= capacity) return RESULT_BUFFER_TOO_SMALL;
    destination[bytes] = 0;
    return RESULT_OK;
}

bool Utf16ToUtf8Whole(const char16_t* source, char* destination, uint32_t capacity) {
    if (capacity == 0) return false;
    destination[0] = 0;
    // A lone surrogate ends the encoder's text early, in counting too: find one first.
    for (const char16_t* p = source; *p != 0; ++p) {
        const bool high = *p >= 0xD800 && *p <= 0xDBFF;
        const bool low = *p >= 0xDC00 && *p <= 0xDFFF;
        if (low || (high && !(p[1] >= 0xDC00 && p[1] <= 0xDFFF))) return false;
        if (high) ++p;
    }
    uint32_t needed = 0;
    Utf16ToUtf8(source, UTF8_NUL_TERMINATED, nullptr, 0, &needed);
    if (needed >= capacity) return false;
    return Utf16ToUtf8(source, UTF8_NUL_TERMINATED, destination, capacity, nullptr) == RESULT_OK;
}

void Utf16ToUtf8Cut(const char16_t* source, char* destination, uint32_t capacity) {
    uint32_t written = 0;
    // One byte kept for the terminator: a text that fills the rest exactly gets none from the
    // encoder.
    Utf16ToUtf8(source, UTF8_NUL_TERMINATED, destination, capacity - 1, &written);
    destination[written] = 0;
}

void EscapeControlCharacters(const char* text, char* destination, size_t capacity) {
    size_t out = 0;
    for (; *text != 0; ++text) {
        const unsigned char c = static_cast<unsigned char>(*text);
        if (c >= 0x20 && c != 0x7F) {
            if (out + 1 >= capacity) break;
            destination[out++] = static_cast<char>(c);
            continue;
        }
        if (out + 4 >= capacity) break;
        destination[out++] = '\\';
        destination[out++] = 'x';
        destination[out++] = "0123456789ABCDEF"[c >> 4];
        destination[out++] = "0123456789ABCDEF"[c & 15];
    }
    // Cut inside a character: its first bytes go too.
    if (*text != 0 && (static_cast<unsigned char>(*text) & 0xC0) == 0x80) {
        while (out > 0 && (static_cast<unsigned char>(destination[out - 1]) & 0xC0) == 0x80) --out;
        if (out > 0 && static_cast<unsigned char>(destination[out - 1]) >= 0xC0) --out;
    }
    destination[out] = 0;
}
