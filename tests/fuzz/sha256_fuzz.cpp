// The digest against the host's OpenSSL over arbitrary bytes, fed in pieces whose sizes the input
// chooses: every split of every message gives OpenSSL's digest of the whole.
#include <openssl/evp.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "payload/sha256.h"

#define CHECK(condition) \
    if (!(condition)) abort()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte sets the piece sizes: 1 to 256 bytes, varying along the message.
    const size_t step = static_cast<size_t>(data[0]) + 1;
    const uint8_t* message = data + 1;
    const size_t length = size - 1;

    uint8_t expected[SHA256_DIGEST_SIZE];
    unsigned int expected_size = 0;
    CHECK(EVP_Digest(message, length, expected, &expected_size, EVP_sha256(), nullptr) == 1);
    CHECK(expected_size == SHA256_DIGEST_SIZE);

    Sha256 context;
    Sha256Begin(&context);
    size_t at = 0;
    for (size_t piece = step; at < length; piece = piece * 7 % 257 + 1) {
        const size_t take = piece < length - at ? piece : length - at;
        Sha256Add(&context, message + at, take);
        at += take;
    }
    uint8_t digest[SHA256_DIGEST_SIZE];
    Sha256Finish(&context, digest);
    CHECK(memcmp(digest, expected, SHA256_DIGEST_SIZE) == 0);
    return 0;
}
