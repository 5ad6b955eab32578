// The payload's digest as the stub's image carries it (an RCDATA resource of fixed size): the
// packer writes it after the payload is in place, and the stub compares it, read from its mapped
// image, with the payload it is about to extract. A file put at the program's path after the
// start, or a payload changed after packing, then extracts nothing.
//
// The digest is SHA-256 over the file from the payload's first byte to the trailer's last (the
// payload, the padding before the trailer, the trailer), and the record holds the payload's size
// too. Record layout, little-endian: "QJXBIND1", state (0: a placeholder, as built; 1: bound),
// 4 reserved zero bytes, the payload size (8 bytes), the digest (32 bytes).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "payload/payload_format.h"
#include "payload/sha256.h"

constexpr size_t PAYLOAD_DIGEST_RECORD_SIZE = 56;
constexpr char PAYLOAD_DIGEST_MAGIC[8] = {'Q', 'J', 'X', 'B', 'I', 'N', 'D', '1'};

struct PayloadDigest {
    bool bound;  // false: the placeholder of a stub that no packer has bound to a payload
    uint64_t payload_size;
    uint8_t digest[SHA256_DIGEST_SIZE];
};

// False when bytes are no record of this layout (wrong size or magic, an unknown state).
bool ParsePayloadDigest(const uint8_t* bytes, size_t size, PayloadDigest* out);
void SerializePayloadDigest(const PayloadDigest& record, uint8_t bytes[PAYLOAD_DIGEST_RECORD_SIZE]);

// The digest of what the record covers, read from file. False when a read fails or the trailer
// does not lie after its payload.
bool HashPayload(FILE* file, const PayloadTrailer& trailer, uint64_t trailer_offset,
                 uint8_t digest[SHA256_DIGEST_SIZE]);

typedef int32_t PayloadBinding;
enum : int32_t {
    BINDING_NONE = 0,      // no record: a stub older than the binding
    BINDING_UNBOUND = 1,   // the placeholder: made by a packer that binds nothing
    BINDING_MATCH = 2,     // the payload is the one the record names
    BINDING_MISMATCH = 3,  // another payload, a changed one, or one that cannot be read whole
};

// Judges the payload in file against record (null or of another layout: BINDING_NONE).
PayloadBinding CheckPayloadBinding(FILE* file, const PayloadTrailer& trailer,
                                   uint64_t trailer_offset, const uint8_t* record,
                                   size_t record_size);
