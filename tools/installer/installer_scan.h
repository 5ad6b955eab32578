// Reads an installer's trailer, signature placement and entries without extracting anything, and
// judges whether the stub would extract it completely.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "payload/payload_digest.h"
#include "payload/payload_format.h"
#include "tools/pe/stub_branding.h"
#include "tools/pe/version_resource.h"

namespace qjxpack {

// Installers stay below 2 GiB: the trailer's payload offset and the certificate table's offset
// have 32 bits, older runtimes seek with signed 32-bit offsets, and Windows does not reliably
// start program files beyond that.
constexpr uint64_t MAX_INSTALLER_BYTES = 0x7FFFFFFFull;

struct ScannedEntry {
    std::string name;
    bool is_directory = false;
    uint64_t size = 0;    // data bytes; 0 for directories
    uint64_t offset = 0;  // file offset of the entry's size field
};

struct InstallerScan {
    uint64_t file_size = 0;
    // The stub's architecture from its PE header: "x86", "x64", another machine's number, or
    // empty when the file is no PE image.
    std::string stub_architecture;
    // The stub's version resource, when it has a sound one.
    bool has_version = false;
    VersionInfo version;
    bool has_trailer = false;
    // A stub without a payload (no trailer, no signature, the layout qjxpack brands): list shows
    // it, verify refuses it.
    bool stub_only = false;
    PayloadTrailer trailer = {};
    uint64_t trailer_offset = 0;
    // A certificate table from the PE security directory.
    bool signed_file = false;
    uint64_t table_offset = 0;
    uint64_t table_size = 0;
    bool payload_in_signed_region = false;
    std::vector<ScannedEntry> entries;
    // The stub part (before the payload) when its layout is the one qjxpack brands, and the
    // branding read from its resources.
    bool has_stub_image = false;
    StubImage stub_image;
    StubBranding branding;
    // The payload judged against the digest in the stub's resources (payload/payload_digest.h);
    // BINDING_NONE also when the stub's layout is unknown. digest: the recorded one, in hex.
    PayloadBinding binding = BINDING_NONE;
    std::string digest;
    // Problems that keep the stub from extracting everything, and things worth knowing.
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
};

// Returns false (with *error set) only when the file cannot be read at all; everything the
// file's content gets wrong goes to scan->errors.
bool ScanInstaller(const std::string& path, InstallerScan* scan, std::string* error);

}  // namespace qjxpack
