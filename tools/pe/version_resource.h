// The version resource (VS_VERSION_INFO) of a program image, as Windows shows it under
// Properties, Details. Read from untrusted files: every offset and length is checked against
// the bytes actually there.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qjxpack {

struct VersionInfo {
    std::string file_version;     // "1.2.3.4", from the fixed part
    std::string product_version;  // likewise
    // The string tables' texts in UTF-8, in file order: CompanyName, ProductName, ...
    std::vector<std::pair<std::string, std::string>> strings;
    // What a rewrite keeps: the fixed part as it was (52 bytes) and the string table's key
    // ("040904B0": language and code page in hex).
    std::vector<uint8_t> fixed;
    std::string table_key;
};

// Reads length bytes at a file offset; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, void* buffer, size_t length)>;

// Finds the image's first RT_VERSION resource and parses it. False when the file is no PE
// image, has no version resource, or the resource is cut short or damaged.
bool ReadVersionInfo(const ReadAt& read, VersionInfo* info);

// Parses the VS_VERSIONINFO block itself (the resource's data).
bool ParseVersionBlock(const uint8_t* data, size_t size, VersionInfo* info);

// A VS_VERSIONINFO block: info's fixed part (its versions from the two texts), one string
// table under table_key, and the translation that key names. The texts must be valid UTF-8.
std::vector<uint8_t> BuildVersionBlock(const VersionInfo& info);

// "a.b.c.d", four numbers of 0 to 65535, as the fixed part's two 32-bit halves.
bool ParseVersionNumbers(const std::string& text, uint32_t* high, uint32_t* low);

}  // namespace qjxpack
