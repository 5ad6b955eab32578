#include "tools/pe/pe_checksum.h"

#include <stdio.h>

#include "files/file_access.h"
#include "payload/payload_format.h"
#include "tools/files/file_system.h"

namespace qjxpack {

namespace {

constexpr size_t CHECKSUM_FIELD = 4;
constexpr size_t CHECKSUM_IN_OPTIONAL_HEADER = 64;

}  // namespace

void ChecksumAccumulator::Add(const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length; ++i, ++position_) {
        // The field itself counts as zero bytes.
        const bool in_field =
            position_ >= checksum_at_ && position_ - checksum_at_ < CHECKSUM_FIELD;
        const uint32_t byte = in_field ? 0 : data[i];
        if (position_ % 2 == 0) {
            low_byte_ = byte;
            continue;
        }
        sum_ += low_byte_ | byte << 8;
        sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
    }
}

uint32_t ChecksumAccumulator::Finish() const {
    uint64_t sum = sum_;
    // An odd length: the last byte is a word of its own.
    if (position_ % 2 == 1) {
        sum += low_byte_;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + position_);
}

bool ChecksumOffset(const uint8_t* headers, size_t size, uint64_t* offset) {
    if (size < 0x40 || headers[0] != 'M' || headers[1] != 'Z') return false;
    const uint64_t pe = ReadLittleEndian(headers + 0x3C, 4);
    if (pe > size || size - pe < 24 + CHECKSUM_IN_OPTIONAL_HEADER + CHECKSUM_FIELD ||
        ReadLittleEndian(headers + pe, 4) != 0x4550) {
        return false;
    }
    *offset = pe + 24 + CHECKSUM_IN_OPTIONAL_HEADER;
    return true;
}

uint32_t ImageChecksum(const std::vector<uint8_t>& bytes, size_t checksum_at) {
    ChecksumAccumulator sum(checksum_at);
    sum.Add(bytes.data(), bytes.size());
    return sum.Finish();
}

bool SealImageFile(const std::string& path, std::string* error) {
    FILE* file = OpenPath(path, "r+b");
    if (file == nullptr) {
        *error = "cannot reopen " + path + " to write its checksum";
        return false;
    }
    std::vector<uint8_t> buffer(1u << 16);
    uint64_t length = 0;
    size_t head = 0;
    bool ok = GetFileLength(file, &length);
    if (ok) {
        head = length < buffer.size() ? static_cast<size_t>(length) : buffer.size();
        ok = ReadFileAt(file, 0, buffer.data(), head);
    }
    uint64_t checksum_at = 0;
    if (ok && !ChecksumOffset(buffer.data(), head, &checksum_at)) {
        fclose(file);
        return true;
    }
    ChecksumAccumulator sum(checksum_at);
    for (uint64_t at = 0; ok && at < length;) {
        const uint64_t left = length - at;
        const size_t piece = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        ok = ReadFileAt(file, at, buffer.data(), piece);
        if (ok) sum.Add(buffer.data(), piece);
        at += piece;
    }
    uint8_t field[CHECKSUM_FIELD];
    WriteLittleEndian(sum.Finish(), field, CHECKSUM_FIELD);
    ok = ok && SeekFile(file, checksum_at) && fwrite(field, 1, sizeof field, file) == sizeof field;
    if (fclose(file) != 0) ok = false;
    if (!ok) *error = "cannot write the checksum into " + path;
    return ok;
}

}  // namespace qjxpack
