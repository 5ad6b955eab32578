// Making an installer: the stub, then the payload of the given files and folders, then the
// trailer, written to a temporary file that replaces the output only when complete.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/payload_digest.h"
#include "payload/payload_format.h"
#include "tools/files/file_system.h"
#include "tools/pe/stub_branding.h"

namespace qjxpack {

struct PackEntry {
    std::string name;    // "\folder\file", UTF-8
    std::string source;  // the file to copy; empty for a directory
    bool is_directory = false;
    uint64_t size = 0;
    FileInfo info;
};

// Turns inputs into entries: a file becomes "\its name"; a folder becomes "\its name" followed
// by its contents, each directory entry before what it holds, names sorted byte by byte; a folder
// given as "folder/." contributes only its contents. Refuses names the stub cannot create, two
// entries with one name, folders that contain themselves and anything that is neither file nor
// folder. A link inside a folder is refused unless follow_links, and even then when it leads
// outside the input that holds it. Returns false with *error set.
bool CollectEntries(const std::vector<std::string>& inputs, bool follow_links,
                    std::vector<PackEntry>* entries, std::string* error);

struct CreateRequest {
    std::string output;
    std::string stub;
    bool quiet = false;
    bool follow_links = false;
    std::vector<std::string> inputs;
    // Nothing given: the installer starts with the stub's bytes, apart from the payload's digest
    // in its resources and the header's checksum.
    BrandingRequest branding;
};

struct CreateResult {
    uint64_t payload_offset = 0;
    uint64_t payload_size = 0;
    uint64_t entry_count = 0;
    uint64_t file_size = 0;
    std::vector<std::string> warnings;
};

// The stub as an installer carries it: the file's own bytes, or a branded copy. *branding is
// what it says of itself: no names when its resources cannot be read (a warning when it is a
// stub older than the names in its resources).
bool PrepareStub(const std::string& path, const BrandingRequest& request,
                 std::vector<uint8_t>* bytes, StubBranding* branding,
                 std::vector<std::string>* warnings, std::string* error);

// Writes a branded copy of stub to output, replacing it only when complete.
bool BrandStub(const std::string& stub, const BrandingRequest& request, const std::string& output,
               std::vector<std::string>* warnings, std::string* error);

// Writes the payload's digest into the placeholder (payload/payload_digest.h) of stub, in place.
// False, with *error empty, when the stub has no placeholder: a stub older than the binding, or
// an image of another layout.
bool BindPayloadDigest(std::vector<uint8_t>* stub, const PayloadDigest& digest, std::string* error);

// Writes bytes to path through a temporary file next to it, with the PE checksum of the bytes
// written.
bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string* error);

// Bytes left below MAX_INSTALLER_BYTES for the certificate table a signature adds.
constexpr uint64_t SIGNATURE_RESERVE = 64 * 1024;
constexpr uint32_t TRAILER_ALIGNMENT = 4096;
// A certificate table is 8-byte aligned: with the trailer starting on a 4096-byte boundary, the
// table can start right after it, so the signed region ends exactly where the trailer ends.
static_assert((TRAILER_ALIGNMENT + TRAILER_SIZE) % 8 == 0, "the table follows the trailer");

bool CreateInstaller(const CreateRequest& request, CreateResult* result, std::string* error);

}  // namespace qjxpack
