#include "payload/sha256.h"

#include <string.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

const uint32_t ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t Rotate(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Compresses count whole blocks into state.
void Compress(uint32_t state[8], const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += SHA256_BLOCK_SIZE) {
        uint32_t w[64];
        for (size_t i = 0; i < 16; ++i) w[i] = BigEndian32(blocks + 4 * i);
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                                ((e & f) ^ (~e & g)) + ROUND_CONSTANTS[i] + w[i];
            const uint32_t t2 =
                (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

#if defined(__i386__) || defined(__x86_64__)
#define QJX_SHA_EXTENSIONS 1

// The processor's SHA extensions (with the SSSE3 and SSE4.1 they build on), as CPUID reports
// them. Never used unless reported: the 9x family and old processors take the portable rounds.
bool CpuHasShaExtensions() {
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    unsigned int a = 0, b = 0, c = 0, d = 0;
    __cpuid(1, a, b, c, d);
    const bool ssse3 = (c & (1u << 9)) != 0;
    const bool sse41 = (c & (1u << 19)) != 0;
    __cpuid_count(7, 0, a, b, c, d);
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The same rounds with the SHA extensions: state kept as ABEF and CDGH, four rounds a step.
__attribute__((target("sha,sse4.1"))) void CompressWithExtensions(uint32_t state[8],
                                                                  const uint8_t* blocks,
                                                                  size_t count) {
    const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    dcba = _mm_shuffle_epi32(dcba, 0xB1);           // CDAB
    hgfe = _mm_shuffle_epi32(hgfe, 0x1B);           // EFGH
    __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);  // ABEF
    __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
    for (; count > 0; --count, blocks += SHA256_BLOCK_SIZE) {
        const __m128i abef_before = abef;
        const __m128i cdgh_before = cdgh;
        __m128i w[4];
        for (size_t i = 0; i < 16; ++i) {
            __m128i& words = w[i & 3];
            if (i < 4) {
                words = _mm_shuffle_epi8(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byte_swap);
            } else {
                // W[t-16] + s0(W[t-15]) + W[t-7], then s1 of W[t-2]: four words at once.
                const __m128i previous = w[(i - 1) & 3];
                const __m128i seventh = _mm_alignr_epi8(previous, w[(i - 2) & 3], 4);
                words = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(words, w[(i - 3) & 3]), seventh), previous);
            }
            __m128i message = _mm_add_epi32(
                words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(ROUND_CONSTANTS + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abef_before);
        cdgh = _mm_add_epi32(cdgh, cdgh_before);
    }
    dcba = _mm_shuffle_epi32(abef, 0x1B);  // FEBA
    hgfe = _mm_shuffle_epi32(cdgh, 0xB1);  // DCHG
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(dcba, hgfe, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(hgfe, dcba, 8));
}
#endif

// -1 until the processor is asked; then whether the extensions run.
int g_extensions = -1;
bool g_extensionsAllowed = true;

void CompressBlocks(uint32_t state[8], const uint8_t* blocks, size_t count) {
#if defined(QJX_SHA_EXTENSIONS)
    if (g_extensions < 0) g_extensions = CpuHasShaExtensions() ? 1 : 0;
    if (g_extensions == 1 && g_extensionsAllowed) {
        CompressWithExtensions(state, blocks, count);
        return;
    }
#endif
    Compress(state, blocks, count);
}

}  // namespace

bool Sha256UseExtensions(bool allowed) {
    g_extensionsAllowed = allowed;
#if defined(QJX_SHA_EXTENSIONS)
    if (g_extensions < 0) g_extensions = CpuHasShaExtensions() ? 1 : 0;
    return allowed && g_extensions == 1;
#else
    return false;
#endif
}

void Sha256Begin(Sha256* context) {
    static const uint32_t INITIAL[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    memcpy(context->state, INITIAL, sizeof INITIAL);
    context->length = 0;
    context->filled = 0;
}

void Sha256Add(Sha256* context, const void* data, size_t length) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    context->length += length;
    if (context->filled != 0) {
        const size_t room = SHA256_BLOCK_SIZE - context->filled;
        const size_t take = length < room ? length : room;
        memcpy(context->block + context->filled, bytes, take);
        context->filled += take;
        bytes += take;
        length -= take;
        if (context->filled < SHA256_BLOCK_SIZE) return;
        CompressBlocks(context->state, context->block, 1);
        context->filled = 0;
    }
    // Whole blocks straight from the caller's buffer, without a copy.
    const size_t whole = length / SHA256_BLOCK_SIZE;
    CompressBlocks(context->state, bytes, whole);
    bytes += whole * SHA256_BLOCK_SIZE;
    length -= whole * SHA256_BLOCK_SIZE;
    memcpy(context->block, bytes, length);
    context->filled = length;
}

void Sha256Finish(Sha256* context, uint8_t digest[SHA256_DIGEST_SIZE]) {
    const uint64_t bits = context->length * 8;
    uint8_t* block = context->block;
    size_t at = context->filled;
    block[at++] = 0x80;
    if (at > SHA256_BLOCK_SIZE - 8) {
        memset(block + at, 0, SHA256_BLOCK_SIZE - at);
        CompressBlocks(context->state, block, 1);
        at = 0;
    }
    memset(block + at, 0, SHA256_BLOCK_SIZE - 8 - at);
    for (int i = 0; i < 8; ++i)
        block[SHA256_BLOCK_SIZE - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    CompressBlocks(context->state, block, 1);
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<uint8_t>(context->state[i] >> (24 - 8 * j));
        }
    }
}

void Sha256Of(const void* data, size_t length, uint8_t digest[SHA256_DIGEST_SIZE]) {
    Sha256 context;
    Sha256Begin(&context);
    Sha256Add(&context, data, length);
    Sha256Finish(&context, digest);
}
