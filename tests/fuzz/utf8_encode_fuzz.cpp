// The encoder over arbitrary UTF-16 units and capacities: it never writes outside the capacity
// it is given, count-only mode counts what writing mode writes (unpaired surrogates included),
// and its output is valid UTF-8 that decodes to the units it took.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "text/utf8.h"

#define CHECK(condition) \
    if (!(condition)) abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t capacity = data[0] | (data[1] & 0x03) << 8;
    std::vector<char16_t> units((size - 2) / 2);
    for (size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 + 2 * i] | data[3 + 2 * i] << 8);
    }
    const uint32_t length = static_cast<uint32_t>(units.size());

    uint32_t counted = 0;
    CHECK(Utf16ToUtf8(units.data(), length, nullptr, 0, &counted) == RESULT_OK);

    std::vector<char> out(capacity ? capacity : 1);
    uint32_t bytes = 0;
    const ResultCode result =
        Utf16ToUtf8(units.data(), length, capacity ? out.data() : nullptr, capacity, &bytes);
    if (capacity == 0) return 0;
    CHECK(bytes <= capacity && bytes <= counted);
    if (result == RESULT_BUFFER_TOO_SMALL) {
        CHECK(bytes == capacity);
        return 0;
    }
    CHECK(result == RESULT_OK && out[bytes] == 0);
    if (capacity > counted) CHECK(bytes == counted);  // room for everything: nothing dropped

    // Valid UTF-8, decoding to a prefix of the source.
    std::vector<char16_t> back(bytes + 1);
    uint32_t decoded = 0, consumed = 0;
    CHECK(Utf8ToUtf16(out.data(), bytes, back.data(), bytes + 1, &decoded, &consumed) == RESULT_OK);
    CHECK(consumed == bytes && decoded <= length);
    // Any two surrogates form a character here; only high-then-low pairs come back unchanged.
    for (uint32_t i = 0; i + 1 < decoded; ++i) {
        const bool surrogate = units[i] >= 0xD800 && units[i] <= 0xDFFF;
        if (!surrogate) continue;
        if (units[i] > 0xDBFF || units[i + 1] < 0xDC00) return 0;
        ++i;
    }
    CHECK(decoded == 0 || memcmp(back.data(), units.data(), decoded * sizeof(char16_t)) == 0);
    return 0;
}
