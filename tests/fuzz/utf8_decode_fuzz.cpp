// The decoder over arbitrary bytes and capacities: it never writes outside the capacity it is
// given, writing mode agrees with count-only mode, and what it accepts re-encodes to the same
// bytes.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "text/utf8.h"

#define CHECK(condition) \
    if (!(condition)) abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint32_t capacity = data[0];
    const char* text = reinterpret_cast<const char*>(data + 1);
    const uint32_t length = static_cast<uint32_t>(size - 1);

    uint32_t counted = 0, counted_consumed = 0;
    const ResultCode count_result =
        Utf8ToUtf16(text, length, nullptr, 0, &counted, &counted_consumed);
    CHECK(count_result == RESULT_OK || count_result == RESULT_BAD_UTF8);
    CHECK(counted_consumed <= length);

    // Exactly `capacity` units on the heap, so that the address sanitizer sees any overrun.
    std::vector<char16_t> out(capacity ? capacity : 1);
    uint32_t units = 0, consumed = 0;
    const ResultCode result =
        Utf8ToUtf16(text, length, capacity ? out.data() : nullptr, capacity, &units, &consumed);
    CHECK(units <= (capacity ? capacity : counted));
    CHECK(consumed <= length);
    if (capacity == 0) return 0;
    if (result == RESULT_OK) {
        CHECK(count_result == RESULT_OK && units == counted && consumed == counted_consumed);
        CHECK(out[units] == 0);
    } else if (result == RESULT_BAD_UTF8) {
        CHECK(count_result == RESULT_BAD_UTF8 && units == 0);
    } else {
        // Full, or one unit short of a surrogate pair.
        CHECK(result == RESULT_BUFFER_TOO_SMALL && units + 1 >= capacity);
    }

    // Accepted text comes back byte for byte, unless it spells surrogates in three bytes each
    // (ED A0..BF), which the decoder lets through as single units.
    if (result != RESULT_OK) return 0;
    for (uint32_t i = 0; i + 1 < consumed; ++i) {
        if (data[1 + i] == 0xED && data[2 + i] >= 0xA0) return 0;
    }
    std::vector<char> back(consumed + 1);
    uint32_t bytes = 0;
    CHECK(Utf16ToUtf8(out.data(), units, back.data(), consumed + 1, &bytes) == RESULT_OK);
    CHECK(bytes == consumed && memcmp(back.data(), text, consumed) == 0);
    return 0;
}
