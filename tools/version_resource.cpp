#include "tools/version_resource.h"

#include "payload/payload_format.h"
#include "text/utf8.h"

namespace qjxpack {

namespace {

// Bounded little-endian reads over one buffer: a read past the end yields false.
class Bytes {
  public:
    Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Has(size_t offset, size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    bool Le16(size_t offset, uint32_t* value) const { return Le(offset, 2, value); }
    bool Le32(size_t offset, uint32_t* value) const { return Le(offset, 4, value); }

  private:
    bool Le(size_t offset, size_t count, uint32_t* value) const {
        if (!Has(offset, count)) return false;
        *value = static_cast<uint32_t>(ReadLittleEndian(data_ + offset, count));
        return true;
    }

    const uint8_t* data_;
    size_t size_;
};

constexpr uint32_t RT_VERSION_ID = 16;
constexpr uint32_t RESOURCE_SUBDIRECTORY = 0x80000000u;
constexpr size_t RESOURCE_DIRECTORY = 2;  // index in the optional header's data directories
constexpr uint32_t FIXED_SIGNATURE = 0xFEEF04BDu;
constexpr size_t FIXED_INFO_SIZE = 52;
constexpr size_t MAX_SECTIONS = 96;  // the loader's own limit
// More than any stub's icon and pictures; keeps a damaged header from asking for gigabytes.
constexpr uint32_t MAX_RESOURCE_BYTES = 64u << 20;

size_t Align4(size_t offset) {
    return (offset + 3) & ~static_cast<size_t>(3);
}

bool IsHigh(char16_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLow(char16_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

// UTF-16 text from offset to its NUL or to end, as UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16Text(const uint8_t* data, size_t offset, size_t end) {
    std::u16string units;
    for (; offset + 2 <= end; offset += 2) {
        char16_t unit = static_cast<char16_t>(ReadLittleEndian(data + offset, 2));
        if (unit == 0) break;
        units.push_back(unit);
    }
    for (size_t i = 0; i < units.size(); ++i) {
        if (IsHigh(units[i]) && i + 1 < units.size() && IsLow(units[i + 1])) {
            ++i;
        } else if (IsHigh(units[i]) || IsLow(units[i])) {
            units[i] = 0xFFFD;
        }
    }
    std::string text(units.size() * 3 + 1, '\0');
    uint32_t written = 0;
    Utf16ToUtf8(units.data(), static_cast<uint32_t>(units.size()), &text[0],
                static_cast<uint32_t>(text.size()), &written);
    text.resize(written);
    return text;
}

// One node of the version tree: length, value length, type, key, value, then children, each
// aligned to 4 bytes from the resource's start.
struct Block {
    size_t end = 0;  // one past the block
    std::string key;
    size_t value_at = 0;
    size_t value_bytes = 0;  // as far as it lies inside the block
    size_t children_at = 0;
};

bool ReadBlock(const uint8_t* data, size_t at, size_t limit, Block* block) {
    Bytes bytes(data, limit);
    uint32_t length;
    uint32_t value_length;
    uint32_t type;
    if (!bytes.Le16(at, &length) || !bytes.Le16(at + 2, &value_length) ||
        !bytes.Le16(at + 4, &type) || length < 6 || !bytes.Has(at, length)) {
        return false;
    }
    block->end = at + length;
    size_t key_end = at + 6;
    while (key_end + 2 <= block->end && (data[key_end] | data[key_end + 1]) != 0) key_end += 2;
    block->key = Utf16Text(data, at + 6, key_end);
    block->value_at = Align4(key_end + 2);
    if (block->value_at > block->end) block->value_at = block->end;
    // Text values count UTF-16 units, binary ones bytes.
    size_t value = type == 1 ? size_t{value_length} * 2 : value_length;
    block->value_bytes =
        value < block->end - block->value_at ? value : block->end - block->value_at;
    block->children_at = Align4(block->value_at + block->value_bytes);
    return true;
}

// Calls visit for each child block of parent; false when one is damaged.
template <typename Visit>
bool ForEachChild(const uint8_t* data, const Block& parent, Visit visit) {
    for (size_t at = parent.children_at; at < parent.end;) {
        Block child;
        if (!ReadBlock(data, at, parent.end, &child)) return false;
        if (!visit(child)) return false;
        at = Align4(child.end);
    }
    return true;
}

std::string VersionText(uint32_t high, uint32_t low) {
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
           std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
}

}  // namespace

bool ParseVersionBlock(const uint8_t* data, size_t size, VersionInfo* info) {
    *info = VersionInfo();
    Block root;
    if (!ReadBlock(data, 0, size, &root) || root.key != "VS_VERSION_INFO" ||
        root.value_bytes < FIXED_INFO_SIZE) {
        return false;
    }
    Bytes fixed(data + root.value_at, root.value_bytes);
    uint32_t signature;
    uint32_t file[2];
    uint32_t product[2];
    if (!fixed.Le32(0, &signature) || signature != FIXED_SIGNATURE || !fixed.Le32(8, &file[0]) ||
        !fixed.Le32(12, &file[1]) || !fixed.Le32(16, &product[0]) || !fixed.Le32(20, &product[1])) {
        return false;
    }
    info->file_version = VersionText(file[0], file[1]);
    info->product_version = VersionText(product[0], product[1]);
    return ForEachChild(data, root, [&](const Block& child) {
        if (child.key != "StringFileInfo") return true;
        return ForEachChild(data, child, [&](const Block& table) {
            return ForEachChild(data, table, [&](const Block& text) {
                info->strings.emplace_back(
                    text.key, Utf16Text(data, text.value_at, text.value_at + text.value_bytes));
                return true;
            });
        });
    });
}

bool ReadVersionInfo(const ReadAt& read, VersionInfo* info) {
    *info = VersionInfo();
    uint8_t dos[64];
    if (!read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    uint32_t header_offset;
    Bytes(dos, sizeof dos).Le32(0x3C, &header_offset);
    const uint64_t pe_offset = header_offset;
    // Signature, file header and the largest optional header (PE32+ with 16 directories).
    uint8_t headers[4 + 20 + 240] = {};
    if (!read(pe_offset, headers, 4 + 20)) return false;
    Bytes pe(headers, sizeof headers);
    uint32_t section_count;
    uint32_t optional_size;
    uint32_t magic = 0;
    if (headers[0] != 'P' || headers[1] != 'E' || headers[2] != 0 || headers[3] != 0) return false;
    pe.Le16(4 + 2, &section_count);
    pe.Le16(4 + 16, &optional_size);
    if (section_count > MAX_SECTIONS || optional_size > 240 ||
        !read(pe_offset + 24, headers + 24, optional_size)) {
        return false;
    }
    pe.Le16(24, &magic);
    const size_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
    uint32_t directory_count = 0;
    uint32_t resource_rva = 0;
    uint32_t resource_size = 0;
    if (directories == 0 || optional_size < directories + (RESOURCE_DIRECTORY + 1) * 8)
        return false;
    pe.Le32(24 + directories - 4, &directory_count);
    pe.Le32(24 + directories + RESOURCE_DIRECTORY * 8, &resource_rva);
    pe.Le32(24 + directories + RESOURCE_DIRECTORY * 8 + 4, &resource_size);
    if (directory_count <= RESOURCE_DIRECTORY || resource_rva == 0 || resource_size == 0) {
        return false;
    }

    // The section that holds the resource directory; its raw data from there on is read whole.
    std::vector<uint8_t> table(size_t{section_count} * 40);
    if (!read(pe_offset + 24 + optional_size, table.data(), table.size())) return false;
    Bytes sections(table.data(), table.size());
    std::vector<uint8_t> resources;
    for (size_t i = 0; i < section_count && resources.empty(); ++i) {
        uint32_t virtual_size, virtual_address, raw_size, raw_offset;
        sections.Le32(i * 40 + 8, &virtual_size);
        sections.Le32(i * 40 + 12, &virtual_address);
        sections.Le32(i * 40 + 16, &raw_size);
        sections.Le32(i * 40 + 20, &raw_offset);
        if (resource_rva < virtual_address || resource_rva - virtual_address >= raw_size) continue;
        const uint32_t skip = resource_rva - virtual_address;
        const uint32_t length = raw_size - skip;
        if (length > MAX_RESOURCE_BYTES) return false;
        resources.resize(length);
        if (!read(uint64_t{raw_offset} + skip, resources.data(), length)) return false;
    }
    if (resources.empty()) return false;

    // Type, name and language directories; the first name and language of type RT_VERSION.
    Bytes tree(resources.data(), resources.size());
    uint32_t at = 0;
    for (int level = 0; level < 3; ++level) {
        uint32_t named, ids;
        if (!tree.Le16(at + 12, &named) || !tree.Le16(at + 14, &ids)) return false;
        uint32_t target = 0;
        bool found = false;
        for (uint32_t i = 0; i < named + ids && !found; ++i) {
            uint32_t name;
            if (!tree.Le32(at + 16 + i * 8, &name) || !tree.Le32(at + 20 + i * 8, &target)) {
                return false;
            }
            found = level > 0 || name == RT_VERSION_ID;
        }
        if (!found || ((target & RESOURCE_SUBDIRECTORY) != 0) != (level < 2)) return false;
        at = target & ~RESOURCE_SUBDIRECTORY;
    }
    uint32_t data_rva, data_size;
    if (!tree.Le32(at, &data_rva) || !tree.Le32(at + 4, &data_size) || data_rva < resource_rva ||
        !tree.Has(data_rva - resource_rva, data_size)) {
        return false;
    }
    return ParseVersionBlock(resources.data() + (data_rva - resource_rva), data_size, info);
}

}  // namespace qjxpack
