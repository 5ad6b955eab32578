#include "tools/pe/version_resource.h"

#include <stdlib.h>

#include "payload/payload_format.h"
#include "text/utf8.h"
#include "tools/pe/pe_resources.h"

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

// text in UTF-16 with its terminator, little-endian.
std::vector<uint8_t> Utf16Bytes(const std::string& text) {
    std::vector<char16_t> units(text.size() + 1);
    uint32_t written = 0;
    Utf8ToUtf16(text.data(), static_cast<uint32_t>(text.size()), units.data(),
                static_cast<uint32_t>(units.size()), &written, nullptr);
    std::vector<uint8_t> bytes((size_t{written} + 1) * 2, 0);
    for (size_t i = 0; i < written; ++i) WriteLittleEndian(units[i], bytes.data() + i * 2, 2);
    return bytes;
}

// Writes version tree nodes; each node's length is set by End once its children are written.
class BlockWriter {
  public:
    // Starts a node (aligned to 4 bytes) and returns its offset for End.
    size_t Begin(const std::string& key, uint32_t type, const std::vector<uint8_t>& value,
                 uint32_t value_length) {
        Align();
        const size_t at = bytes_.size();
        const std::vector<uint8_t> key_bytes = Utf16Bytes(key);
        bytes_.resize(at + 6);
        WriteLittleEndian(value_length, bytes_.data() + at + 2, 2);
        WriteLittleEndian(type, bytes_.data() + at + 4, 2);
        bytes_.insert(bytes_.end(), key_bytes.begin(), key_bytes.end());
        Align();
        bytes_.insert(bytes_.end(), value.begin(), value.end());
        return at;
    }
    void End(size_t at) { WriteLittleEndian(bytes_.size() - at, bytes_.data() + at, 2); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    void Align() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }
    std::vector<uint8_t> bytes_;
};

}  // namespace

bool ParseVersionNumbers(const std::string& text, uint32_t* high, uint32_t* low) {
    uint32_t parts[4];
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        size_t digits = 0;
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6) {
            value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || value > 0xFFFF) return false;
        parts[i] = value;
        if (i < 3 && (at >= text.size() || text[at++] != '.')) return false;
    }
    if (at != text.size()) return false;
    *high = parts[0] << 16 | parts[1];
    *low = parts[2] << 16 | parts[3];
    return true;
}

std::vector<uint8_t> BuildVersionBlock(const VersionInfo& info) {
    std::vector<uint8_t> fixed = info.fixed;
    fixed.resize(FIXED_INFO_SIZE, 0);
    uint32_t numbers[4] = {};
    if (ParseVersionNumbers(info.file_version, &numbers[0], &numbers[1])) {
        WriteLittleEndian(numbers[0], fixed.data() + 8, 4);
        WriteLittleEndian(numbers[1], fixed.data() + 12, 4);
    }
    if (ParseVersionNumbers(info.product_version, &numbers[2], &numbers[3])) {
        WriteLittleEndian(numbers[2], fixed.data() + 16, 4);
        WriteLittleEndian(numbers[3], fixed.data() + 20, 4);
    }
    BlockWriter writer;
    const size_t root = writer.Begin("VS_VERSION_INFO", 0, fixed, FIXED_INFO_SIZE);
    const size_t file_info = writer.Begin("StringFileInfo", 1, {}, 0);
    const size_t table = writer.Begin(info.table_key, 1, {}, 0);
    for (const auto& text : info.strings) {
        const std::vector<uint8_t> value = Utf16Bytes(text.second);
        const size_t node =
            writer.Begin(text.first, 1, value, static_cast<uint32_t>(value.size() / 2));
        writer.End(node);
    }
    writer.End(table);
    writer.End(file_info);
    const size_t var_info = writer.Begin("VarFileInfo", 1, {}, 0);
    // The key's language and code page, as two 16-bit numbers.
    const unsigned long key = strtoul(info.table_key.c_str(), nullptr, 16);
    std::vector<uint8_t> translation(4);
    WriteLittleEndian(key >> 16, translation.data(), 2);
    WriteLittleEndian(key & 0xFFFF, translation.data() + 2, 2);
    const size_t var = writer.Begin("Translation", 0, translation, 4);
    writer.End(var);
    writer.End(var_info);
    writer.End(root);
    return writer.bytes();
}

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
    info->fixed.assign(data + root.value_at, data + root.value_at + FIXED_INFO_SIZE);
    return ForEachChild(data, root, [&](const Block& child) {
        if (child.key != "StringFileInfo") return true;
        return ForEachChild(data, child, [&](const Block& table) {
            if (info->table_key.empty()) info->table_key = table.key;
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

    // The first version resource, by name and language, as the loader's order has it.
    ResourceTable tree;
    std::string error;
    if (!ReadResourceTree(resources, 0, resources.size(), resource_rva, &tree, &error)) {
        return false;
    }
    for (const auto& item : tree) {
        if (item.first.type == ResourceName::Id(RT_VERSION_ID)) {
            const std::vector<uint8_t>& data = item.second.bytes;
            return ParseVersionBlock(data.data(), data.size(), info);
        }
    }
    return false;
}

}  // namespace qjxpack
