// SHA-256 (FIPS 180-4), one implementation for the stub and both packers. Plain C++ over bytes,
// no heap: a context is fed any number of pieces and then finished once.
#pragma once

#include <stddef.h>
#include <stdint.h>

constexpr size_t SHA256_DIGEST_SIZE = 32;
constexpr size_t SHA256_BLOCK_SIZE = 64;

struct Sha256 {
    uint32_t state[8];
    uint64_t length;  // bytes fed so far
    uint8_t block[SHA256_BLOCK_SIZE];
    size_t filled;  // bytes waiting in block
};

void Sha256Begin(Sha256* context);
void Sha256Add(Sha256* context, const void* data, size_t length);
// Writes the digest; the context must be begun again before it is used once more.
void Sha256Finish(Sha256* context, uint8_t digest[SHA256_DIGEST_SIZE]);

// Whether the processor's SHA extensions may run where CPUID reports them (the default); the
// answer says whether they will. The portable rounds give the same digests. Callers turn them
// off where the system may not save the registers they use (the 9x family).
bool Sha256UseExtensions(bool allowed);

// The digest of one piece of data.
void Sha256Of(const void* data, size_t length, uint8_t digest[SHA256_DIGEST_SIZE]);
