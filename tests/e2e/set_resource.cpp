// Writes one RCDATA resource into a copy of a stub, as the packer writes its own, but with any
// bytes at all: a language list the packer would refuse, a damaged one, or a list made before
// the packer could write one. The stub's other bytes stay as they are.
//
// Usage: set_resource IN OUT ID DATA_FILE
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "tools/pe/pe_resources.h"

namespace {

bool ReadWhole(const char* path, std::vector<uint8_t>* bytes) {
    FILE* in = fopen(path, "rb");
    if (in == nullptr) return false;
    uint8_t piece[4096];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, in)) > 0)
        bytes->insert(bytes->end(), piece, piece + n);
    const bool read = ferror(in) == 0;
    fclose(in);
    return read;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: set_resource IN OUT ID DATA_FILE\n");
        return 2;
    }
    std::vector<uint8_t> stub, data;
    if (!ReadWhole(argv[1], &stub) || !ReadWhole(argv[4], &data)) {
        fprintf(stderr, "set_resource: cannot read the input\n");
        return 1;
    }
    qjxpack::StubImage image;
    qjxpack::ResourceTable table;
    std::string error;
    if (!qjxpack::ParseStubImage(stub, &image, &error) ||
        !qjxpack::ReadResources(image, &table, &error)) {
        fprintf(stderr, "set_resource: %s\n", error.c_str());
        return 1;
    }
    const uint32_t id = static_cast<uint32_t>(strtoul(argv[3], nullptr, 10));
    table[{qjxpack::ResourceName::Id(qjxpack::RT_RCDATA_ID), qjxpack::ResourceName::Id(id),
           qjxpack::LANGUAGE_US_ENGLISH}]
        .bytes = data;
    const std::vector<uint8_t> out = qjxpack::WithResources(image, table);
    FILE* file = fopen(argv[2], "wb");
    if (file == nullptr || fwrite(out.data(), 1, out.size(), file) != out.size() ||
        fclose(file) != 0) {
        fprintf(stderr, "set_resource: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
