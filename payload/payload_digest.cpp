#include "payload/payload_digest.h"

#include <string.h>

#include "files/file_access.h"

namespace {

constexpr uint32_t STATE_PLACEHOLDER = 0;
constexpr uint32_t STATE_BOUND = 1;
// Pieces as large as the runtime reads fastest; on the stack, as the stub has no heap to spare.
constexpr size_t HASH_PIECE = size_t{32} * 1024;

}  // namespace

bool ParsePayloadDigest(const uint8_t* bytes, size_t size, PayloadDigest* out) {
    if (bytes == nullptr || size != PAYLOAD_DIGEST_RECORD_SIZE ||
        memcmp(bytes, PAYLOAD_DIGEST_MAGIC, sizeof PAYLOAD_DIGEST_MAGIC) != 0) {
        return false;
    }
    const uint64_t state = ReadLittleEndian(bytes + 8, 4);
    if (state != STATE_PLACEHOLDER && state != STATE_BOUND) return false;
    out->bound = state == STATE_BOUND;
    out->payload_size = ReadLittleEndian(bytes + 16, 8);
    memcpy(out->digest, bytes + 24, SHA256_DIGEST_SIZE);
    return true;
}

void SerializePayloadDigest(const PayloadDigest& record,
                            uint8_t bytes[PAYLOAD_DIGEST_RECORD_SIZE]) {
    memcpy(bytes, PAYLOAD_DIGEST_MAGIC, sizeof PAYLOAD_DIGEST_MAGIC);
    WriteLittleEndian(record.bound ? STATE_BOUND : STATE_PLACEHOLDER, bytes + 8, 4);
    WriteLittleEndian(0, bytes + 12, 4);
    WriteLittleEndian(record.payload_size, bytes + 16, 8);
    memcpy(bytes + 24, record.digest, SHA256_DIGEST_SIZE);
}

bool HashPayload(FILE* file, const PayloadTrailer& trailer, uint64_t trailer_offset,
                 uint8_t digest[SHA256_DIGEST_SIZE]) {
    if (trailer_offset < trailer.payload_offset) return false;
    uint64_t offset = trailer.payload_offset;
    const uint64_t end = trailer_offset + TRAILER_SIZE;
    uint8_t piece[HASH_PIECE];
    Sha256 context;
    Sha256Begin(&context);
    while (offset < end) {
        const uint64_t left = end - offset;
        const size_t length = left < HASH_PIECE ? static_cast<size_t>(left) : HASH_PIECE;
        if (!ReadFileAt(file, offset, piece, length)) return false;
        Sha256Add(&context, piece, length);
        offset += length;
    }
    Sha256Finish(&context, digest);
    return true;
}

PayloadBinding CheckPayloadBinding(FILE* file, const PayloadTrailer& trailer,
                                   uint64_t trailer_offset, const uint8_t* record,
                                   size_t record_size) {
    PayloadDigest expected;
    if (!ParsePayloadDigest(record, record_size, &expected)) return BINDING_NONE;
    if (!expected.bound) return BINDING_UNBOUND;
    uint8_t digest[SHA256_DIGEST_SIZE];
    if (expected.payload_size != trailer.payload_size ||
        !HashPayload(file, trailer, trailer_offset, digest)) {
        return BINDING_MISMATCH;
    }
    // Not a secret: a plain comparison tells an attacker nothing the packer would not.
    return memcmp(digest, expected.digest, SHA256_DIGEST_SIZE) == 0 ? BINDING_MATCH
                                                                    : BINDING_MISMATCH;
}
