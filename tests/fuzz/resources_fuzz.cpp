// The packer's reading of a stub's resources, which list and verify do on any file they are
// given: the tree reader never reads outside the section, the branding and version readers take
// whatever it finds, and a tree it accepts is written back to one that reads the same.
#include <stdint.h>
#include <stdlib.h>

#include <vector>

#include "tools/pe/pe_resources.h"
#include "tools/pe/stub_branding.h"
#include "tools/pe/version_resource.h"

#define CHECK(condition) \
    if (!(condition)) abort()

namespace {

constexpr uint32_t SECTION_RVA = 0x11000;

bool Read(const std::vector<uint8_t>& section, qjxpack::ResourceTable* table) {
    qjxpack::StubImage image;
    image.bytes = section;
    image.rsrc_rva = SECTION_RVA;
    image.rsrc_size = static_cast<uint32_t>(section.size());
    std::string error;
    return qjxpack::ReadResources(image, table, &error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qjxpack::ResourceTable table;
    if (!Read(std::vector<uint8_t>(data, data + size), &table)) return 0;
    qjxpack::ReadStubBranding(table);
    for (const auto& item : table) {
        qjxpack::VersionInfo info;
        qjxpack::ParseVersionBlock(item.second.bytes.data(), item.second.bytes.size(), &info);
    }
    qjxpack::ResourceTable again;
    CHECK(Read(qjxpack::BuildResourceSection(table, SECTION_RVA), &again));
    CHECK(again == table);
    return 0;
}
