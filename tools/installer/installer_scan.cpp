#include "tools/installer/installer_scan.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <set>

#include "files/file_access.h"
#include "payload/trailer_locator.h"
#include "resources/resource_ids.h"
#include "tools/files/file_system.h"
#include "tools/installer/entry_names.h"

namespace qjxpack {

namespace {

// Sequential reads of the payload with a large buffer; bytes past the limit count as missing.
class PayloadReader {
  public:
    PayloadReader(FILE* file, uint64_t start, uint64_t limit)
        : file_(file), position_(start), limit_(limit) {}

    uint64_t position() const { return position_; }

    bool ReadByte(uint8_t* byte) {
        if (next_ == filled_ && !Fill()) return false;
        *byte = buffer_[next_++];
        ++position_;
        return true;
    }

    // Moves count bytes ahead; false when the limit comes first.
    bool Skip(uint64_t count) {
        uint64_t buffered = filled_ - next_;
        if (count <= buffered) {
            next_ += static_cast<size_t>(count);
            position_ += count;
            return true;
        }
        if (count > limit_ - position_) return false;
        position_ += count;
        next_ = filled_ = 0;
        return true;
    }

  private:
    bool Fill() {
        if (position_ >= limit_) return false;
        uint64_t want = limit_ - position_;
        size_t length = want < sizeof buffer_ ? static_cast<size_t>(want) : sizeof buffer_;
        if (!ReadFileAt(file_, position_, buffer_, length)) return false;
        next_ = 0;
        filled_ = length;
        return true;
    }

    FILE* file_;
    uint64_t position_;
    uint64_t limit_;
    uint8_t buffer_[65536] = {};
    size_t next_ = 0;
    size_t filled_ = 0;
};

std::string Hex(uint64_t value) {
    char text[32];
    snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// Stubs are a few hundred KiB; a larger part before the payload is not read for branding.
constexpr uint64_t MAX_STUB_SCAN_BYTES = 64u << 20;

// Stops a damaged payload from burying the report in repeats.
constexpr size_t MAX_REPORTED_ERRORS = 20;

std::string ParentOf(const std::string& name) {
    size_t slash = name.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

void ScanEntries(FILE* file, InstallerScan* scan) {
    const PayloadTrailer& trailer = scan->trailer;
    const uint64_t end = trailer.payload_offset + trailer.payload_size;
    PayloadReader reader(file, trailer.payload_offset, end);
    std::set<std::string> directories;  // folded names of created folders
    std::set<std::string> names;        // folded names of every entry
    while (reader.position() < end) {
        if (scan->errors.size() >= MAX_REPORTED_ERRORS) {
            scan->errors.push_back("more problems follow; the scan stopped here");
            return;
        }
        ScannedEntry entry;
        entry.offset = reader.position();
        // The extractor's own decoder, so that both end every header at the same byte.
        EntryHeaderDecoder header = {};
        EntryHeaderStep step = ENTRY_HEADER_MORE;
        uint8_t byte = 0;
        while (step == ENTRY_HEADER_MORE && reader.ReadByte(&byte)) {
            step = PushEntryHeaderByte(&header, byte);
        }
        const std::string where = "entry at " + Hex(entry.offset);
        if (step == ENTRY_HEADER_MORE) {
            scan->errors.push_back(where + ": the payload ends inside the entry's header");
            return;
        }
        if (step == ENTRY_HEADER_NAME_TOO_LONG) {
            scan->errors.push_back(where + ": the name is longer than " +
                                   std::to_string(ENTRY_NAME_CAPACITY - 1) + " bytes");
            return;
        }
        const std::string name = header.name;
        const uint64_t size = header.size;
        entry.name = name;
        entry.is_directory = size == ENTRY_SIZE_DIRECTORY;
        entry.size = entry.is_directory ? 0 : size;
        const std::string label = "entry \"" + PrintableName(name) + "\"";
        std::string problem = EntryNameProblem(name, entry.is_directory);
        if (!problem.empty()) scan->errors.push_back(label + ": the name " + problem);
        std::string folded = FoldCase(name);
        if (entry.is_directory && folded.size() > 1 &&
            (folded.back() == '\\' || folded.back() == '/')) {
            folded.pop_back();  // a folder named with a closing separator
        }
        if (!names.insert(folded).second) {
            scan->errors.push_back(label + ": the name appears twice");
        }
        const std::string parent = ParentOf(folded);
        if (!parent.empty() && directories.count(parent) == 0) {
            scan->errors.push_back(label + ": no earlier directory entry creates its folder");
        }
        if (entry.is_directory) directories.insert(folded);
        if (!entry.is_directory && !reader.Skip(entry.size)) {
            scan->errors.push_back(label + ": its data runs past the end of the payload");
            scan->entries.push_back(entry);
            return;
        }
        scan->entries.push_back(entry);
    }
}

// Reads the stub part of the file (all of it when there is no payload) and its branding.
void ScanStub(FILE* file, InstallerScan* scan, std::vector<uint8_t>* record) {
    const uint64_t end = scan->has_trailer ? scan->trailer.payload_offset : scan->file_size;
    if (end > MAX_STUB_SCAN_BYTES || end > scan->file_size) return;
    std::vector<uint8_t> bytes(static_cast<size_t>(end));
    ResourceTable table;
    std::string problem;
    if (!ReadFileAt(file, 0, bytes.data(), bytes.size()) ||
        !LoadStubImage(std::move(bytes), &scan->stub_image, &table, &problem)) {
        return;
    }
    scan->has_stub_image = true;
    scan->branding = ReadStubBranding(table);
    for (const auto& item : table) {
        if (item.first.type == ResourceName::Id(RT_RCDATA_ID) &&
            item.first.name == ResourceName::Id(IDR_PAYLOAD_DIGEST)) {
            *record = item.second.bytes;
            break;
        }
    }
}

// The payload against the digest its stub carries: the stub's own check, before it extracts.
void CheckBinding(FILE* file, const std::vector<uint8_t>& record, InstallerScan* scan) {
    if (!scan->has_stub_image) return;
    scan->binding = CheckPayloadBinding(file, scan->trailer, scan->trailer_offset, record.data(),
                                        record.size());
    PayloadDigest recorded;
    if (scan->binding != BINDING_NONE && scan->binding != BINDING_UNBOUND &&
        ParsePayloadDigest(record.data(), record.size(), &recorded)) {
        for (uint8_t byte : recorded.digest) {
            scan->digest += "0123456789abcdef"[byte >> 4];
            scan->digest += "0123456789abcdef"[byte & 15];
        }
    }
    if (scan->binding == BINDING_MISMATCH) {
        scan->errors.push_back(
            "the payload is not the one the stub was made with (changed after create, or another "
            "installer's payload): the stub refuses it and extracts nothing");
    } else if (scan->binding != BINDING_MATCH) {
        scan->warnings.push_back(
            "unbound: the stub carries no digest of its payload (made by an earlier packer), so "
            "nothing tells a changed payload from the one it was made with");
    }
}

// Every button of a windowed installer starts the package, two with a transform.
void CheckLaunchNames(InstallerScan* scan) {
    if ((scan->trailer.flags & TRAILER_FLAG_QUIET) != 0) return;
    // A stub qjxpack cannot read names nothing to check.
    if (!scan->has_stub_image) return;
    if (!scan->branding.has_launch_names) {
        scan->warnings.push_back(
            "the stub predates the launch names in its resources: the payload's package and "
            "transforms are not checked");
        return;
    }
    for (const std::string& missing :
         MissingLaunchNames(scan->branding, RootFileNames(scan->entries))) {
        scan->errors.push_back(missing);
    }
    if (scan->branding.language_list_damaged) {
        scan->errors.push_back(
            "the stub's languages resource is damaged: the stub ignores it and offers the stock "
            "three buttons instead of the vendor's; make the installer again");
    }
}

}  // namespace

bool ScanInstaller(const std::string& path, InstallerScan* scan, std::string* error) {
    *scan = InstallerScan();
    const FileKind kind = GetFileInfo(path).kind;
    if (kind != FileKind::kRegular) {
        *error = kind == FileKind::kMissing ? "no file at " + path : path + " is not a file";
        return false;
    }
    FILE* file = OpenPath(path, "rb");
    if (file == nullptr) {
        *error = "cannot open " + path + ": " + strerror(errno);
        return false;
    }
    if (!GetFileLength(file, &scan->file_size)) {
        fclose(file);
        *error = "cannot read the length of " + path;
        return false;
    }
    uint32_t machine;
    if (ReadPeMachine(file, &machine)) {
        scan->stub_architecture = machine == 0x14C    ? "x86"
                                  : machine == 0x8664 ? "x64"
                                                      : "machine " + Hex(machine);
    }
    scan->has_version =
        ReadVersionInfo([file](uint64_t offset, void* buffer,
                               size_t length) { return ReadFileAt(file, offset, buffer, length); },
                        &scan->version);
    scan->signed_file = FindCertificateTable(file, &scan->table_offset, &scan->table_size);
    scan->has_trailer = ReadTrailer(file, &scan->trailer, &scan->trailer_offset);
    const bool sound = scan->has_trailer && IsTrailerSound(scan->trailer, scan->trailer_offset);
    std::vector<uint8_t> record;
    if (sound || !scan->has_trailer) ScanStub(file, scan, &record);
    if (!scan->has_trailer && !scan->signed_file && scan->has_stub_image) {
        scan->stub_only = true;
        fclose(file);
        return true;
    }
    if (!scan->has_trailer) {
        scan->errors.push_back(scan->signed_file
                                   ? "no trailer before the certificate table: not an installer, "
                                     "or one signed after data was appended"
                                   : "no trailer at the end of the file: not an installer");
        fclose(file);
        return true;
    }
    const PayloadTrailer& trailer = scan->trailer;
    if (scan->signed_file) {
        scan->payload_in_signed_region =
            sound && scan->trailer_offset + TRAILER_SIZE <= scan->table_offset;
        if (scan->table_offset + scan->table_size != scan->file_size) {
            scan->warnings.push_back(
                "the certificate table does not end at the end of the file: data was appended "
                "after signing, and the signature no longer covers it");
        }
    }
    if (!sound) {
        scan->errors.push_back("the payload (offset " + Hex(trailer.payload_offset) + ", " +
                               std::to_string(trailer.payload_size) +
                               " bytes) does not lie inside the file before the trailer");
    } else if (scan->file_size > MAX_INSTALLER_BYTES) {
        scan->errors.push_back("the file is " + std::to_string(scan->file_size) +
                               " bytes; the stub handles files below 2 GiB");
    } else {
        ScanEntries(file, scan);
        CheckBinding(file, record, scan);
        if (scan->errors.empty() && trailer.entry_count != scan->entries.size()) {
            scan->warnings.push_back("the trailer counts " + std::to_string(trailer.entry_count) +
                                     " entries, the payload holds " +
                                     std::to_string(scan->entries.size()));
        }
        if (scan->errors.empty()) CheckLaunchNames(scan);
    }
    fclose(file);
    return true;
}

}  // namespace qjxpack
