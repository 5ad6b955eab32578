#include "tools/pe/pe_resources.h"

#include <tuple>

#include "payload/payload_format.h"
#include "tools/pe/pe_checksum.h"

namespace qjxpack {

namespace {

constexpr size_t RESOURCE_DIRECTORY = 2;
constexpr size_t SECURITY_DIRECTORY = 4;
constexpr size_t RELOCATION_DIRECTORY = 5;
constexpr uint32_t SUBDIRECTORY = 0x80000000u;
constexpr size_t SECTION_HEADER = 40;
// Data in the rebuilt section starts on 8-byte boundaries, as our resource compiler puts it.
constexpr size_t DATA_ALIGNMENT = 8;

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(ReadLittleEndian(bytes.data() + at, 4));
}
uint32_t Get16(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint32_t>(ReadLittleEndian(bytes.data() + at, 2));
}
void Put32(std::vector<uint8_t>* bytes, size_t at, uint64_t value) {
    WriteLittleEndian(value, bytes->data() + at, 4);
}
void Put16(std::vector<uint8_t>* bytes, size_t at, uint64_t value) {
    WriteLittleEndian(value, bytes->data() + at, 2);
}
uint32_t AlignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

std::string SectionName(const std::vector<uint8_t>& bytes, size_t header) {
    std::string name;
    for (size_t i = 0; i < 8 && bytes[header + i] != 0; ++i) {
        name += static_cast<char>(bytes[header + i]);
    }
    return name;
}

// Offsets of optional-header fields that branding changes.
constexpr size_t SIZE_OF_INITIALIZED_DATA = 8;
constexpr size_t SIZE_OF_IMAGE = 56;
constexpr size_t CHECKSUM = 64;

size_t DirectoryAt(const StubImage& image, size_t index) {
    return image.directories + index * 8;
}

// Walks one resource section; every offset is checked against the section's bytes.
class TreeReader {
  public:
    TreeReader(const std::vector<uint8_t>& bytes, size_t start, size_t size, uint32_t rva,
               ResourceTable* table, std::map<ResourceKey, size_t>* offsets = nullptr)
        : bytes_(bytes), start_(start), size_(size), rva_(rva), table_(table), offsets_(offsets) {}

    bool Read(std::string* error) {
        if (!ReadDirectory(0, 0, ResourceKey())) {
            *error = "the resource tree is damaged";
            return false;
        }
        return true;
    }

  private:
    bool Has(size_t offset, size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }

    bool ReadName(uint32_t field, ResourceName* name) const {
        if ((field & SUBDIRECTORY) == 0) {
            *name = ResourceName::Id(field & 0xFFFF);
            return field <= 0xFFFF;
        }
        size_t at = field & ~SUBDIRECTORY;
        if (!Has(at, 2)) return false;
        size_t length = Get16(bytes_, start_ + at);
        if (length == 0 || !Has(at + 2, length * 2)) return false;
        name->id = 0;
        name->text.clear();
        for (size_t i = 0; i < length; ++i) {
            name->text.push_back(static_cast<char16_t>(Get16(bytes_, start_ + at + 2 + i * 2)));
        }
        return true;
    }

    // Levels: 0 types, 1 names, 2 languages; the language entries lead to data.
    bool ReadDirectory(size_t at, int level, ResourceKey key) {
        if (!Has(at, 16)) return false;
        const size_t count = Get16(bytes_, start_ + at + 12) + Get16(bytes_, start_ + at + 14);
        if (!Has(at + 16, count * 8) || count > entries_left_) return false;
        entries_left_ -= count;
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = start_ + at + 16 + i * 8;
            const uint32_t name_field = Get32(bytes_, entry);
            const uint32_t target = Get32(bytes_, entry + 4);
            if (((target & SUBDIRECTORY) != 0) != (level < 2)) return false;
            if (level < 2) {
                ResourceName name;
                if (!ReadName(name_field, &name)) return false;
                (level == 0 ? key.type : key.name) = name;
                if (!ReadDirectory(target & ~SUBDIRECTORY, level + 1, key)) return false;
                continue;
            }
            if ((name_field & SUBDIRECTORY) != 0 || name_field > 0xFFFF || !Has(target, 16)) {
                return false;
            }
            key.language = name_field;
            const uint32_t data_rva = Get32(bytes_, start_ + target);
            const uint32_t data_size = Get32(bytes_, start_ + target + 4);
            if (data_rva < rva_ || !Has(data_rva - rva_, data_size)) return false;
            ResourceData data;
            const auto first =
                bytes_.begin() + static_cast<std::ptrdiff_t>(start_ + data_rva - rva_);
            data.bytes.assign(first, first + data_size);
            data.codepage = Get32(bytes_, start_ + target + 8);
            if (!table_->emplace(key, data).second) return false;
            if (offsets_ != nullptr) (*offsets_)[key] = start_ + data_rva - rva_;
        }
        return true;
    }

    const std::vector<uint8_t>& bytes_;
    size_t start_;
    size_t size_;
    uint32_t rva_;
    ResourceTable* table_;
    std::map<ResourceKey, size_t>* offsets_;
    // Directories shared by many entries could make the walk endless in effect.
    size_t entries_left_ = 65536;
};

// One directory of the tree being written: its entries' names and where each one leads.
struct Directory {
    std::vector<ResourceName> names;
    std::vector<size_t> targets;  // index of a subdirectory, or of a data entry at the last level
};

}  // namespace

bool ResourceName::operator<(const ResourceName& other) const {
    const bool is_text = !text.empty();
    const bool other_is_text = !other.text.empty();
    if (is_text != other_is_text) return is_text;
    return is_text ? text < other.text : id < other.id;
}

bool ResourceKey::operator<(const ResourceKey& other) const {
    if (!(type == other.type)) return type < other.type;
    if (!(name == other.name)) return name < other.name;
    return language < other.language;
}

bool ParseStubImage(std::vector<uint8_t> bytes, StubImage* image, std::string* error) {
    *image = StubImage();
    auto refuse = [error](const std::string& why) {
        *error = "unknown stub layout: " + why +
                 " (qjxpack brands stubs whose last sections are .rsrc, then .reloc)";
        return false;
    };
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z') {
        return refuse("not a Windows program");
    }
    const size_t pe = Get32(bytes, 0x3C);
    if (pe > bytes.size() || bytes.size() - pe < 24 + 240 || Get32(bytes, pe) != 0x4550) {
        return refuse("no PE header");
    }
    const size_t section_count = Get16(bytes, pe + 6);
    const size_t optional_size = Get16(bytes, pe + 20);
    const size_t optional = pe + 24;
    const uint32_t magic = Get16(bytes, optional);
    const size_t directories = optional + (magic == 0x20B ? 112 : 96);
    if (magic != 0x10B && magic != 0x20B) return refuse("neither PE32 nor PE32+");
    if (Get32(bytes, directories - 4) <= RELOCATION_DIRECTORY ||
        optional_size < directories - optional + (RELOCATION_DIRECTORY + 1) * 8) {
        return refuse("no relocation directory");
    }
    const size_t sections = optional + optional_size;
    if (section_count < 2 || sections + section_count * SECTION_HEADER > bytes.size()) {
        return refuse("too few sections");
    }
    if (sections + section_count * SECTION_HEADER > Get32(bytes, optional + 60)) {
        return refuse("the section headers lie outside the headers");
    }
    image->optional_header = optional;
    image->directories = directories;
    image->size_of_headers = Get32(bytes, optional + 60);
    image->section_alignment = Get32(bytes, optional + 32);
    image->file_alignment = Get32(bytes, optional + 36);
    image->rsrc_header = sections + (section_count - 2) * SECTION_HEADER;
    image->reloc_header = image->rsrc_header + SECTION_HEADER;
    if (SectionName(bytes, image->rsrc_header) != ".rsrc" ||
        SectionName(bytes, image->reloc_header) != ".reloc") {
        return refuse("the last two sections are " + SectionName(bytes, image->rsrc_header) +
                      " and " + SectionName(bytes, image->reloc_header));
    }
    auto section = [&bytes](size_t header, uint32_t* rva, uint32_t* raw, uint32_t* raw_size,
                            uint32_t* size) {
        *size = Get32(bytes, header + 8);
        *rva = Get32(bytes, header + 12);
        *raw_size = Get32(bytes, header + 16);
        *raw = Get32(bytes, header + 20);
    };
    section(image->rsrc_header, &image->rsrc_rva, &image->rsrc_raw, &image->rsrc_raw_size,
            &image->rsrc_size);
    section(image->reloc_header, &image->reloc_rva, &image->reloc_raw, &image->reloc_raw_size,
            &image->reloc_size);
    const uint32_t sa = image->section_alignment;
    const uint32_t fa = image->file_alignment;
    if (sa < fa || fa == 0 || (fa & (fa - 1)) != 0 || (sa & (sa - 1)) != 0) {
        return refuse("unusual alignments");
    }
    if (image->size_of_headers > image->rsrc_raw ||
        image->rsrc_raw + uint64_t{image->rsrc_raw_size} != image->reloc_raw ||
        image->reloc_raw + uint64_t{image->reloc_raw_size} != bytes.size() ||
        image->rsrc_size > image->rsrc_raw_size || image->reloc_size > image->reloc_raw_size) {
        return refuse(".reloc does not follow .rsrc directly to the end of the file");
    }
    if (image->reloc_rva != AlignUp(image->rsrc_rva + image->rsrc_size, sa) ||
        Get32(bytes, optional + SIZE_OF_IMAGE) !=
            AlignUp(image->reloc_rva + image->reloc_size, sa)) {
        return refuse(".reloc is not the last section in memory right after .rsrc");
    }
    const size_t resource = DirectoryAt(*image, RESOURCE_DIRECTORY);
    const size_t relocation = DirectoryAt(*image, RELOCATION_DIRECTORY);
    if (Get32(bytes, resource) != image->rsrc_rva ||
        Get32(bytes, resource + 4) > image->rsrc_size ||
        Get32(bytes, relocation) != image->reloc_rva ||
        Get32(bytes, relocation + 4) > image->reloc_size) {
        return refuse("the resource and relocation directories are not the sections' starts");
    }
    // Nothing else may point into what moves: it would point elsewhere afterwards.
    const size_t count = Get32(bytes, directories - 4);
    for (size_t i = 0; i < count && (i + 1) * 8 <= optional_size - (directories - optional); ++i) {
        if (i == RESOURCE_DIRECTORY || i == RELOCATION_DIRECTORY || i == SECURITY_DIRECTORY) {
            continue;
        }
        const uint32_t rva = Get32(bytes, DirectoryAt(*image, i));
        if (Get32(bytes, DirectoryAt(*image, i) + 4) != 0 && rva >= image->rsrc_rva) {
            return refuse("data directory " + std::to_string(i) + " points into .rsrc or .reloc");
        }
    }
    image->bytes = std::move(bytes);
    return true;
}

bool HasValidChecksum(const StubImage& image) {
    const size_t at = image.optional_header + CHECKSUM;
    return Get32(image.bytes, at) == ImageChecksum(image.bytes, at);
}

bool FindResourceData(const StubImage& image, uint32_t type, uint32_t name, size_t* offset,
                      size_t* size) {
    ResourceTable table;
    std::map<ResourceKey, size_t> offsets;
    TreeReader reader(image.bytes, image.rsrc_raw, image.rsrc_size, image.rsrc_rva, &table,
                      &offsets);
    std::string error;
    if (!reader.Read(&error)) return false;
    for (const auto& item : table) {
        if (item.first.type == ResourceName::Id(type) &&
            item.first.name == ResourceName::Id(name)) {
            *offset = offsets[item.first];
            *size = item.second.bytes.size();
            return true;
        }
    }
    return false;
}

bool ReadResourceTree(const std::vector<uint8_t>& bytes, size_t start, size_t size, uint32_t rva,
                      ResourceTable* table, std::string* error) {
    table->clear();
    if (start > bytes.size() || size > bytes.size() - start) {
        *error = "the resource tree lies outside the file";
        return false;
    }
    TreeReader reader(bytes, start, size, rva, table);
    return reader.Read(error);
}

bool ReadResources(const StubImage& image, ResourceTable* table, std::string* error) {
    return ReadResourceTree(image.bytes, image.rsrc_raw, image.rsrc_size, image.rsrc_rva, table,
                            error);
}

std::vector<uint8_t> BuildResourceSection(const ResourceTable& table, uint32_t rva) {
    Directory root;
    std::vector<const ResourceData*> data;
    size_t type_dir = 0, name_dir = 0;
    const ResourceKey* previous = nullptr;
    // The directories of each level one after another: names per type, languages per name.
    std::vector<Directory> names, languages;
    for (const auto& item : table) {
        const ResourceKey& key = item.first;
        if (previous == nullptr || !(previous->type == key.type)) {
            root.names.push_back(key.type);
            root.targets.push_back(names.size());
            type_dir = names.size();
            names.emplace_back();
            previous = nullptr;
        }
        if (previous == nullptr || !(previous->name == key.name)) {
            names[type_dir].names.push_back(key.name);
            names[type_dir].targets.push_back(languages.size());
            name_dir = languages.size();
            languages.emplace_back();
        }
        languages[name_dir].names.push_back(ResourceName::Id(key.language));
        languages[name_dir].targets.push_back(data.size());
        data.push_back(&item.second);
        previous = &key;
    }
    auto directory_size = [](const Directory& d) { return 16 + 8 * d.names.size(); };
    size_t names_at = directory_size(root);
    size_t languages_at = names_at;
    for (const Directory& d : names) languages_at += directory_size(d);
    size_t texts_at = languages_at;
    for (const Directory& d : languages) texts_at += directory_size(d);
    // Texts of named types and names, each once per entry.
    std::vector<uint8_t> texts;
    std::map<std::u16string, size_t> text_offsets;
    auto text_offset = [&](const std::u16string& text) {
        auto found = text_offsets.find(text);
        if (found != text_offsets.end()) return found->second;
        size_t at = texts_at + texts.size();
        texts.push_back(static_cast<uint8_t>(text.size()));
        texts.push_back(static_cast<uint8_t>(text.size() >> 8));
        for (char16_t unit : text) {
            texts.push_back(static_cast<uint8_t>(unit));
            texts.push_back(static_cast<uint8_t>(unit >> 8));
        }
        text_offsets.emplace(text, at);
        return at;
    };
    for (const ResourceName& n : root.names) {
        if (!n.text.empty()) text_offset(n.text);
    }
    for (const Directory& d : names) {
        for (const ResourceName& n : d.names) {
            if (!n.text.empty()) text_offset(n.text);
        }
    }
    const size_t entries_at = (texts_at + texts.size() + 3) / 4 * 4;
    size_t data_at =
        (entries_at + 16 * data.size() + DATA_ALIGNMENT - 1) / DATA_ALIGNMENT * DATA_ALIGNMENT;
    std::vector<size_t> data_offsets;
    for (const ResourceData* d : data) {
        data_offsets.push_back(data_at);
        data_at =
            (data_at + d->bytes.size() + DATA_ALIGNMENT - 1) / DATA_ALIGNMENT * DATA_ALIGNMENT;
    }
    const size_t end =
        data_offsets.empty() ? entries_at : data_offsets.back() + data.back()->bytes.size();

    std::vector<uint8_t> out(end, 0);
    auto write_directory = [&](size_t at, const Directory& d, size_t child_base,
                               const std::vector<Directory>* children, bool leads_to_data) {
        size_t named = 0;
        for (const ResourceName& n : d.names) named += n.text.empty() ? 0 : 1;
        Put16(&out, at + 12, named);
        Put16(&out, at + 14, d.names.size() - named);
        size_t child_at = child_base;
        std::vector<size_t> child_offsets;
        if (children != nullptr) {
            for (const Directory& c : *children) {
                child_offsets.push_back(child_at);
                child_at += directory_size(c);
            }
        }
        for (size_t i = 0; i < d.names.size(); ++i) {
            const ResourceName& n = d.names[i];
            const size_t entry = at + 16 + i * 8;
            Put32(&out, entry, n.text.empty() ? n.id : SUBDIRECTORY | text_offset(n.text));
            Put32(&out, entry + 4,
                  leads_to_data ? entries_at + 16 * d.targets[i]
                                : SUBDIRECTORY | child_offsets[d.targets[i]]);
        }
    };
    write_directory(0, root, names_at, &names, false);
    size_t at = names_at;
    for (const Directory& d : names) {
        write_directory(at, d, languages_at, &languages, false);
        at += directory_size(d);
    }
    for (const Directory& d : languages) {
        write_directory(at, d, 0, nullptr, true);
        at += directory_size(d);
    }
    std::copy(texts.begin(), texts.end(), out.begin() + static_cast<std::ptrdiff_t>(texts_at));
    for (size_t i = 0; i < data.size(); ++i) {
        const size_t entry = entries_at + 16 * i;
        Put32(&out, entry, rva + data_offsets[i]);
        Put32(&out, entry + 4, data[i]->bytes.size());
        Put32(&out, entry + 8, data[i]->codepage);
        std::copy(data[i]->bytes.begin(), data[i]->bytes.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(data_offsets[i]));
    }
    return out;
}

std::vector<uint8_t> WithResources(const StubImage& image, const ResourceTable& table) {
    std::vector<uint8_t> section = BuildResourceSection(table, image.rsrc_rva);
    const uint32_t size = static_cast<uint32_t>(section.size());
    const uint32_t raw_size = AlignUp(size, image.file_alignment);
    section.resize(raw_size, 0);
    const auto& old = image.bytes;
    std::vector<uint8_t> out(old.begin(), old.begin() + image.rsrc_raw);
    out.insert(out.end(), section.begin(), section.end());
    out.insert(out.end(), old.begin() + image.reloc_raw, old.end());

    const uint32_t reloc_rva = AlignUp(image.rsrc_rva + size, image.section_alignment);
    Put32(&out, image.rsrc_header + 8, size);
    Put32(&out, image.rsrc_header + 16, raw_size);
    Put32(&out, image.reloc_header + 12, reloc_rva);
    Put32(&out, image.reloc_header + 20, image.rsrc_raw + raw_size);
    Put32(&out, DirectoryAt(image, RESOURCE_DIRECTORY) + 4, size);
    Put32(&out, DirectoryAt(image, RELOCATION_DIRECTORY), reloc_rva);
    const size_t optional = image.optional_header;
    Put32(&out, optional + SIZE_OF_IMAGE,
          AlignUp(reloc_rva + image.reloc_size, image.section_alignment));
    Put32(&out, optional + SIZE_OF_INITIALIZED_DATA,
          Get32(old, optional + SIZE_OF_INITIALIZED_DATA) - image.rsrc_raw_size + raw_size);
    Put32(&out, optional + CHECKSUM, ImageChecksum(out, optional + CHECKSUM));
    return out;
}

std::string StubDifference(const StubImage& a, const StubImage& b) {
    // The headers with every field that branding or signing changes cleared.
    auto normalised_headers = [](const StubImage& image) {
        std::vector<uint8_t> headers(image.bytes.begin(),
                                     image.bytes.begin() + image.size_of_headers);
        const size_t optional = image.optional_header;
        for (size_t field : {optional + SIZE_OF_INITIALIZED_DATA, optional + SIZE_OF_IMAGE,
                             optional + CHECKSUM, image.rsrc_header + 8, image.rsrc_header + 16,
                             image.reloc_header + 12, image.reloc_header + 20}) {
            Put32(&headers, field, 0);
        }
        for (size_t index : {RESOURCE_DIRECTORY, SECURITY_DIRECTORY, RELOCATION_DIRECTORY}) {
            Put32(&headers, DirectoryAt(image, index), 0);
            Put32(&headers, DirectoryAt(image, index) + 4, 0);
        }
        return headers;
    };
    if (a.size_of_headers != b.size_of_headers || a.rsrc_header != b.rsrc_header ||
        normalised_headers(a) != normalised_headers(b)) {
        return "the headers differ";
    }
    if (a.rsrc_raw != b.rsrc_raw || a.rsrc_rva != b.rsrc_rva ||
        !std::equal(a.bytes.begin() + a.size_of_headers, a.bytes.begin() + a.rsrc_raw,
                    b.bytes.begin() + b.size_of_headers)) {
        return "the code or data before the resources differ";
    }
    if (a.reloc_raw_size != b.reloc_raw_size ||
        !std::equal(a.bytes.begin() + a.reloc_raw, a.bytes.end(), b.bytes.begin() + b.reloc_raw)) {
        return "the relocations differ";
    }
    return std::string();
}

}  // namespace qjxpack
