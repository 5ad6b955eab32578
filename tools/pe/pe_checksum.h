// The PE CheckSum field, as the loader and signing tools compute it: 16-bit words summed with
// end-around carry over the whole file (the field itself left out), plus the file's length.
// Every file the packer writes gets it as the very last step, over its finished bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace qjxpack {

// Sums a file's bytes piece by piece, in order, from its first byte.
class ChecksumAccumulator {
  public:
    explicit ChecksumAccumulator(uint64_t checksum_at) : checksum_at_(checksum_at) {}
    void Add(const uint8_t* data, size_t length);
    uint32_t Finish() const;

  private:
    uint64_t checksum_at_;
    uint64_t position_ = 0;
    uint64_t sum_ = 0;
    uint32_t low_byte_ = 0;  // the first half of a word cut between two pieces
};

// The file offset of an image's CheckSum field; false when bytes do not start a PE image.
bool ChecksumOffset(const uint8_t* headers, size_t size, uint64_t* offset);

// The PE checksum of an image, with the CheckSum field itself left out.
uint32_t ImageChecksum(const std::vector<uint8_t>& bytes, size_t checksum_at);

// Computes the checksum of the file at path as it now is and writes it into its CheckSum
// field. A file that is no PE image is left alone. Whatever else is patched into the image must
// be patched before this. False with *error when the file cannot be read or written.
bool SealImageFile(const std::string& path, std::string* error);

}  // namespace qjxpack
