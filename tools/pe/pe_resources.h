// The stub's program image as the packer brands it: its resource tree read into a table, and
// the image rebuilt around a new resource section. Made for the layout our linker gives the
// stub (.rsrc, then .reloc, last; nothing else pointing into either) and refusing any other
// rather than guessing. Deterministic: the same table gives the same bytes.
#pragma once

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

namespace qjxpack {

// A resource type or name: a number, or (rare, never in our stub) a UTF-16 text.
struct ResourceName {
    std::u16string text;  // empty for a number
    uint32_t id = 0;

    static ResourceName Id(uint32_t id) {
        ResourceName name;
        name.id = id;
        return name;
    }
    // The loader's order: texts before numbers, texts by their units, numbers ascending.
    bool operator<(const ResourceName& other) const;
    bool operator==(const ResourceName& other) const {
        return text == other.text && id == other.id;
    }
};

struct ResourceKey {
    ResourceName type;
    ResourceName name;
    uint32_t language = 0;
    bool operator<(const ResourceKey& other) const;
    bool operator==(const ResourceKey& other) const {
        return type == other.type && name == other.name && language == other.language;
    }
};

struct ResourceData {
    std::vector<uint8_t> bytes;
    uint32_t codepage = 0;
    bool operator==(const ResourceData& other) const {
        return bytes == other.bytes && codepage == other.codepage;
    }
};

using ResourceTable = std::map<ResourceKey, ResourceData>;

constexpr uint32_t RT_ICON_ID = 3;
constexpr uint32_t RT_BITMAP_ID = 2;
constexpr uint32_t RT_STRING_ID = 6;
constexpr uint32_t RT_RCDATA_ID = 10;
constexpr uint32_t RT_GROUP_ICON_ID = 14;
constexpr uint32_t RT_VERSION_ID = 16;
constexpr uint32_t LANGUAGE_US_ENGLISH = 1033;

// Where the parts of a stub image lie. Filled only for the layout the writer knows.
struct StubImage {
    std::vector<uint8_t> bytes;  // the image file, ending where .reloc's raw data ends
    size_t optional_header = 0;  // file offset of the optional header
    size_t directories = 0;      // file offset of the data directories
    size_t rsrc_header = 0;      // file offsets of the two section headers
    size_t reloc_header = 0;
    uint32_t size_of_headers = 0;
    uint32_t section_alignment = 0;
    uint32_t file_alignment = 0;
    uint32_t rsrc_rva = 0, rsrc_raw = 0, rsrc_raw_size = 0, rsrc_size = 0;
    uint32_t reloc_rva = 0, reloc_raw = 0, reloc_raw_size = 0, reloc_size = 0;
};

// Checks that bytes are a whole stub image of the known layout; false with *error saying what
// differs. The image must end with .reloc's raw data (callers cut an installer at its payload).
bool ParseStubImage(std::vector<uint8_t> bytes, StubImage* image, std::string* error);

// Whether the image's CheckSum field holds its checksum.
bool HasValidChecksum(const StubImage& image);

// The file offset and size of the data of a resource (the first language of type and name);
// false when the image has none or its tree is damaged.
bool FindResourceData(const StubImage& image, uint32_t type, uint32_t name, size_t* offset,
                      size_t* size);

// Reads a resource tree (type, name, language) into table: size bytes of bytes from start, the
// resource directory itself, which lies at rva in memory. Every offset is checked; false on a
// damaged tree. The one reader of resource trees, for stubs of every age and any program.
bool ReadResourceTree(const std::vector<uint8_t>& bytes, size_t start, size_t size, uint32_t rva,
                      ResourceTable* table, std::string* error);

// Reads the stub's resource tree into table; false on a damaged tree.
bool ReadResources(const StubImage& image, ResourceTable* table, std::string* error);

// A resource section for table, to lie at rva: directories (types, names, languages), the
// texts of named entries, the data entries and the data, without padding at its end.
std::vector<uint8_t> BuildResourceSection(const ResourceTable& table, uint32_t rva);

// The image with its resource section rebuilt from table and .reloc moved behind it unchanged:
// section headers, data directories 2 and 5, SizeOfImage, SizeOfInitializedData and CheckSum
// updated; every other byte as it was.
std::vector<uint8_t> WithResources(const StubImage& image, const ResourceTable& table);

// Whether two images are one stub apart from their resources, the position of .reloc, the
// checksum and a signature's directory entry. Empty when they are; else where they differ.
std::string StubDifference(const StubImage& a, const StubImage& b);

}  // namespace qjxpack
