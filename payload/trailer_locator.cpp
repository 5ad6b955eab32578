#include "payload/trailer_locator.h"

#include "files/file_access.h"

namespace {

uint32_t ReadLe16(const uint8_t* p) {
    return static_cast<uint32_t>(ReadLittleEndian(p, 2));
}

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(ReadLittleEndian(p, 4));
}

// Offsets inside the PE headers.
constexpr size_t DOS_LFANEW = 0x3C;
constexpr size_t PE_SIGNATURE_SIZE = 4;
constexpr size_t COFF_HEADER_SIZE = 20;
constexpr size_t COFF_OPTIONAL_SIZE = 16;
constexpr uint32_t OPTIONAL_MAGIC_PE32 = 0x10B;
constexpr uint32_t OPTIONAL_MAGIC_PE32_PLUS = 0x20B;
constexpr uint32_t SECURITY_DIRECTORY = 4;
constexpr size_t DIRECTORY_ENTRY_SIZE = 8;
// Enough of the headers to reach the security directory of a PE32+ image.
constexpr size_t PE_HEADER_READ =
    PE_SIGNATURE_SIZE + COFF_HEADER_SIZE + 112 + (SECURITY_DIRECTORY + 1) * DIRECTORY_ENTRY_SIZE;

// Reads the signature, the COFF header and the optional header's magic into pe; *pe_offset is
// where they start. False when the file is no PE image.
bool ReadPeHeader(FILE* file, uint8_t (&pe)[PE_HEADER_READ], uint32_t* pe_offset) {
    uint8_t dos[DOS_LFANEW + 4];
    if (!ReadFileAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    // A PE32 image may end its headers before a PE32+ read would; take what is there.
    *pe_offset = ReadLe32(dos + DOS_LFANEW);
    if (!ReadFileAt(file, *pe_offset, pe, PE_SIGNATURE_SIZE + COFF_HEADER_SIZE + 2)) return false;
    return pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0;
}

}  // namespace

bool ReadPeMachine(FILE* file, uint32_t* machine) {
    uint8_t pe[PE_HEADER_READ] = {};
    uint32_t pe_offset;
    if (!ReadPeHeader(file, pe, &pe_offset)) return false;
    *machine = ReadLe16(pe + PE_SIGNATURE_SIZE);
    return true;
}

bool FindCertificateTable(FILE* file, uint64_t* table_offset, uint64_t* table_size) {
    uint8_t pe[PE_HEADER_READ] = {};
    uint32_t pe_offset;
    if (!ReadPeHeader(file, pe, &pe_offset)) return false;
    const uint8_t* coff = pe + PE_SIGNATURE_SIZE;
    const uint32_t optional_size = ReadLe16(coff + COFF_OPTIONAL_SIZE);
    const uint8_t* optional = coff + COFF_HEADER_SIZE;
    const uint32_t magic = ReadLe16(optional);
    size_t count_at;
    if (magic == OPTIONAL_MAGIC_PE32) {
        count_at = 92;
    } else if (magic == OPTIONAL_MAGIC_PE32_PLUS) {
        count_at = 108;
    } else {
        return false;
    }
    const size_t entry_at = count_at + 4 + SECURITY_DIRECTORY * DIRECTORY_ENTRY_SIZE;
    const size_t needed = entry_at + DIRECTORY_ENTRY_SIZE;
    if (optional_size < needed) return false;
    if (!ReadFileAt(file, pe_offset, pe, PE_SIGNATURE_SIZE + COFF_HEADER_SIZE + needed)) {
        return false;
    }
    if (ReadLe32(optional + count_at) <= SECURITY_DIRECTORY) return false;
    // The security directory holds a file offset, not an RVA.
    const uint32_t offset = ReadLe32(optional + entry_at);
    const uint32_t size = ReadLe32(optional + entry_at + 4);
    if (offset == 0 || size == 0) return false;
    *table_offset = offset;
    *table_size = size;
    return true;
}

bool ReadTrailer(FILE* file, PayloadTrailer* trailer, uint64_t* trailer_offset) {
    uint64_t length;
    if (!GetFileLength(file, &length) || length < TRAILER_SIZE) return false;
    uint64_t offset = length - TRAILER_SIZE;
    uint64_t table_offset;
    uint64_t table_size;
    if (FindCertificateTable(file, &table_offset, &table_size) &&
        table_offset + table_size == length) {
        if (table_offset < TRAILER_SIZE) return false;
        offset = table_offset - TRAILER_SIZE;
    }
    uint8_t bytes[TRAILER_SIZE];
    if (!ReadFileAt(file, offset, bytes, sizeof bytes)) return false;
    if (!ParseTrailer(bytes, trailer)) return false;
    *trailer_offset = offset;
    return true;
}

bool IsTrailerSound(const PayloadTrailer& trailer, uint64_t trailer_offset) {
    return trailer.payload_offset <= trailer_offset &&
           trailer.payload_size <= trailer_offset - trailer.payload_offset;
}
