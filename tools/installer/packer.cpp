#include "tools/installer/packer.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <vector>

#include "files/file_access.h"
#include "payload/payload_writer.h"
#include "payload/trailer_locator.h"
#include "resources/resource_ids.h"
#include "tools/installer/entry_names.h"
#include "tools/installer/installer_scan.h"
#include "tools/pe/pe_checksum.h"

namespace qjxpack {

namespace {

// The last part of a path, without trailing separators.
std::string BaseName(std::string path) {
    while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
    size_t slash = path.size();
    while (slash > 0 && !IsPathSeparator(path[slash - 1])) --slash;
    return path.substr(slash);
}

// "folder/." (or ".") asks for the folder's contents at the top of the payload.
bool WantsContentsOnly(const std::string& path) {
    return path == "." ||
           (path.size() >= 2 && path.back() == '.' && IsPathSeparator(path[path.size() - 2]));
}

class Collector {
  public:
    Collector(bool follow_links, std::vector<PackEntry>* entries, std::string* error)
        : follow_links_(follow_links), entries_(entries), error_(error) {}

    // An input named on the command line is taken as named, link or not; links inside a folder
    // are judged by LinkProblem.
    bool AddInput(const std::string& path) {
        if (WantsContentsOnly(path)) {
            std::string folder = path.size() > 2 ? path.substr(0, path.size() - 2) : ".";
            FileInfo info = GetFileInfo(folder);
            if (info.kind != FileKind::kDirectory) return Fail(folder + " is not a folder");
            root_ = ResolvedPath(folder);
            return AddContents(folder, std::string(), info);
        }
        FileInfo info = GetFileInfo(path);
        if (info.kind == FileKind::kMissing) return Fail("no file or folder at " + path);
        std::string base = BaseName(path);
        if (base == "." || base == ".." || base.empty() || IsPathSeparator(base[0])) {
            return Fail("input " + path +
                        " has no name of its own; give \"folder/.\" to pack a folder's contents");
        }
        root_ = ResolvedPath(path);
        return AddPath(path, std::string(), base, info);
    }

  private:
    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

    // Adds path as the entry parent + "\\" + component.
    bool AddPath(const std::string& path, const std::string& parent, const std::string& component,
                 const FileInfo& info) {
        // A backslash inside a POSIX name would split it into folders on Windows.
        if (component.find('\\') != std::string::npos) {
            return Fail(path +
                        ": the name holds a backslash, which the stub reads as a folder "
                        "separator");
        }
        const std::string name = parent + "\\" + component;
        std::string problem = EntryNameProblem(name);
        if (!problem.empty()) {
            return Fail("entry \"" + name + "\" (from " + path + "): the name " + problem);
        }
        auto seen = names_.emplace(FoldCase(name), path);
        if (!seen.second) {
            return Fail("entry \"" + name + "\" comes from both " + seen.first->second + " and " +
                        path + " (Windows names ignore case)");
        }
        PackEntry entry;
        entry.name = name;
        entry.info = info;
        if (info.kind == FileKind::kRegular) {
            entry.source = path;
            entry.size = info.size;
            entries_->push_back(entry);
            return true;
        }
        if (info.kind != FileKind::kDirectory) {
            return Fail(path + " is neither a file nor a folder");
        }
        entry.is_directory = true;
        entries_->push_back(entry);
        return AddContents(path, name, info);
    }

    bool AddContents(const std::string& path, const std::string& name, const FileInfo& info) {
        for (const FileInfo& open : open_folders_) {
            if (SameFile(open, info)) return Fail(path + " contains itself (a link loop)");
        }
        std::vector<std::string> children;
        if (!ListDirectory(path, &children)) return Fail("cannot list folder " + path);
        open_folders_.push_back(info);
        for (const std::string& child : children) {
            std::string child_path = JoinPath(path, child);
            FileInfo child_info = GetFileInfo(child_path);
            if (child_info.is_link && !LinkAllowed(child_path)) return false;
            if (child_info.kind == FileKind::kMissing) return Fail("cannot read " + child_path);
            if (!AddPath(child_path, name, child, child_info)) return false;
        }
        open_folders_.pop_back();
        return true;
    }

    // A link in a folder could pack private files from anywhere: only with --follow-links, and
    // then only one that leads to what the input itself holds.
    bool LinkAllowed(const std::string& path) {
#if defined(_WIN32)
        const char* what = "a symbolic link or junction";
#else
        const char* what = "a symbolic link";
#endif
        if (!follow_links_) {
            return Fail(path + " is " + what + "; qjxpack follows links only with --follow-links");
        }
        const std::string target = ResolvedPath(path);
        if (target.empty()) return Fail(path + " is " + what + " that leads nowhere");
        const bool inside =
            !root_.empty() && (target == root_ || (target.size() > root_.size() &&
                                                   target.compare(0, root_.size(), root_) == 0 &&
                                                   IsPathSeparator(target[root_.size()])));
        if (!inside) {
            return Fail(path + " is " + what + " that leads outside the folder packed, to " +
                        target + "; qjxpack does not follow it even with --follow-links");
        }
        return true;
    }

    bool follow_links_;
    std::string root_;  // the current input, every link resolved
    std::vector<PackEntry>* entries_;
    std::string* error_;
    std::map<std::string, std::string> names_;  // folded entry name -> the path it came from
    std::vector<FileInfo> open_folders_;
};

// Checks the stub: a PE image that carries neither a payload nor a signature yet.
bool CheckStub(const std::string& path, const FileInfo& info, std::string* error) {
    if (info.kind != FileKind::kRegular) {
        *error = "no stub at " + path + " (build the win32 tree, or give --stub)";
        return false;
    }
    FILE* file = OpenPath(path, "rb");
    if (file == nullptr) {
        *error = "cannot open stub " + path + ": " + strerror(errno);
        return false;
    }
    uint8_t magic[2] = {0, 0};
    bool is_pe = ReadFileAt(file, 0, magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
    uint64_t table_offset = 0;
    uint64_t table_size = 0;
    bool is_signed = FindCertificateTable(file, &table_offset, &table_size);
    PayloadTrailer trailer;
    uint64_t trailer_offset = 0;
    bool has_trailer = ReadTrailer(file, &trailer, &trailer_offset);
    fclose(file);
    if (!is_pe) {
        *error = "stub " + path + " is not a Windows program";
    } else if (has_trailer) {
        *error = "stub " + path + " already carries a payload (is it an installer?)";
    } else if (is_signed) {
        *error = "stub " + path + " is signed; sign the installer instead, after create";
    }
    return error->empty();
}

// Writes the stub and the payload into out; returns the trailer written.
bool WritePayload(FILE* out, const CreateRequest& request, const std::vector<uint8_t>& stub,
                  const std::vector<PackEntry>& entries, PayloadTrailer* trailer,
                  std::string* error) {
    if (fwrite(stub.data(), 1, stub.size(), out) != stub.size()) {
        *error = "cannot write the stub into " + request.output;
        return false;
    }
    PayloadWriter writer;
    ResultCode result = BeginPayload(&writer, out);
    for (const PackEntry& entry : entries) {
        if (result != RESULT_OK) break;
        if (entry.is_directory) {
            result = AddDirectoryEntry(&writer, entry.name.c_str());
            continue;
        }
        FILE* source = OpenPath(entry.source, "rb");
        if (source == nullptr) {
            *error = "cannot open " + entry.source + ": " + strerror(errno);
            return false;
        }
        result = AddFileEntry(&writer, entry.name.c_str(), source, entry.size);
        // A byte left over means the file grew after it was measured.
        bool changed = result != RESULT_OK || fgetc(source) != EOF;
        fclose(source);
        if (changed) {
            *error = "copying " + entry.source + " failed (did it change while it was packed?)";
            return false;
        }
    }
    if (result == RESULT_OK) {
        result = FinishPayload(&writer, request.quiet ? TRAILER_FLAG_QUIET : 0, TRAILER_ALIGNMENT,
                               trailer);
    }
    if (result != RESULT_OK) {
        *error = "writing the payload failed (result " + std::to_string(result) + ")";
        return false;
    }
    return true;
}

// The installer's size, or 0 when the stub could not handle it.
uint64_t InstallerSize(uint64_t stub_size, uint64_t payload_size, std::string* error) {
    const uint64_t payload_end = stub_size + payload_size;
    const uint64_t file_size =
        (payload_end + TRAILER_ALIGNMENT - 1) / TRAILER_ALIGNMENT * TRAILER_ALIGNMENT +
        TRAILER_SIZE;
    if (payload_size > MAX_INSTALLER_BYTES || file_size > MAX_INSTALLER_BYTES - SIGNATURE_RESERVE) {
        *error = "the installer would be " + std::to_string(file_size) +
                 " bytes; the stub handles installers below 2 GiB (less " +
                 std::to_string(SIGNATURE_RESERVE) + " bytes kept for a signature)";
        return 0;
    }
    return file_size;
}

// Binds the payload written to path to its stub: hashes what the payload digest covers, writes the
// digest into the stub's bytes and those over the file's start. *stub is the stub as written.
bool BindWrittenPayload(const std::string& path, std::vector<uint8_t>* stub,
                        std::vector<std::string>* warnings, std::string* error) {
    FILE* file = OpenPath(path, "r+b");
    if (file == nullptr) {
        *error = "cannot reopen " + path + " to bind its payload: " + strerror(errno);
        return false;
    }
    PayloadTrailer trailer;
    uint64_t trailer_offset = 0;
    PayloadDigest digest = {};
    digest.bound = true;
    bool done = ReadTrailer(file, &trailer, &trailer_offset) &&
                HashPayload(file, trailer, trailer_offset, digest.digest);
    digest.payload_size = trailer.payload_size;
    if (!done) {
        *error = "cannot read back the payload written to " + path;
    } else if (!BindPayloadDigest(stub, digest, error)) {
        done = error->empty();
        if (done) {
            warnings->push_back(
                "the stub has no place for the payload's digest (a stub older "
                "than the binding): the installer is unbound, and its stub "
                "cannot tell a changed payload");
        }
    } else if (!SeekFile(file, 0) || fwrite(stub->data(), 1, stub->size(), file) != stub->size()) {
        *error = "cannot write the payload's digest into " + path;
        done = false;
    }
    if (fclose(file) != 0 && done) {
        *error = "writing " + path + " failed";
        done = false;
    }
    return done;
}

// The last step of every write: the image's checksum over its finished bytes, then the file
// replaces path. Anything else patched into the image must come before it.
bool SealAndMoveIntoPlace(const std::string& temp_path, const std::string& path,
                          std::string* error) {
    if (!SealImageFile(temp_path, error)) return false;
    if (!MoveIntoPlace(temp_path, path)) {
        *error = "cannot move the new file into place at " + path;
        return false;
    }
    return true;
}

// Largest stub read into memory; ours are a few hundred KiB.
constexpr uint64_t MAX_STUB_BYTES = 64u << 20;

}  // namespace

bool PrepareStub(const std::string& path, const BrandingRequest& request,
                 std::vector<uint8_t>* bytes, StubBranding* branding,
                 std::vector<std::string>* warnings, std::string* error) {
    error->clear();
    const FileInfo info = GetFileInfo(path);
    if (!CheckStub(path, info, error)) return false;
    if (!ReadFileBytes(path, bytes, MAX_STUB_BYTES)) {
        *error = "cannot read stub " + path;
        return false;
    }
    StubImage image;
    ResourceTable table;
    std::string problem;
    if (!LoadStubImage(*bytes, &image, &table, &problem)) {
        if (!request.Empty()) {
            *error = "stub " + path + ": " + problem;
            return false;
        }
        // Not a stub of ours (a test's bare image, say): nothing to read the names from.
        *branding = StubBranding();
        return true;
    }
    if (!request.Empty()) {
        if (!HasValidChecksum(image)) {
            *error = "stub " + path +
                     ": its CheckSum does not match its contents (changed "
                     "after the build?); qjxpack brands only stubs as built";
            return false;
        }
        if (!ApplyBranding(request, &table, warnings, error)) return false;
        // The 32-bit stub runs on XP and the 9x family, which show only BMP icon images.
        const size_t machine = image.optional_header - 20;
        if (!request.icon.empty() && ReadLittleEndian(image.bytes.data() + machine, 2) == 0x14C &&
            !IconHasBmpImage(table)) {
            warnings->push_back("--icon " + request.icon +
                                " holds only PNG images: Windows XP and the 9x family, where the "
                                "x86 stub runs too, show no icon then; add a BMP image (32x32, "
                                "say)");
        }
        *bytes = WithResources(image, table);
    }
    *branding = ReadStubBranding(table);
    if (!branding->has_launch_names) {
        warnings->push_back("stub " + path +
                            " predates the launch names in its resources: the payload's package "
                            "and transforms are not checked");
    }
    return true;
}

bool BindPayloadDigest(std::vector<uint8_t>* stub, const PayloadDigest& digest,
                       std::string* error) {
    error->clear();
    StubImage image;
    std::string problem;
    size_t offset = 0;
    size_t size = 0;
    PayloadDigest placeholder;
    if (!ParseStubImage(*stub, &image, &problem) ||
        !FindResourceData(image, RT_RCDATA_ID, IDR_PAYLOAD_DIGEST, &offset, &size) ||
        !ParsePayloadDigest(stub->data() + offset, size, &placeholder)) {
        return false;
    }
    if (placeholder.bound) {
        *error = "the stub is bound to a payload already (is it taken from an installer?)";
        return false;
    }
    // The record keeps its size: the layout, and everything the signature will cover, stays.
    SerializePayloadDigest(digest, stub->data() + offset);
    return true;
}

bool WriteFileInPlace(const std::string& path, const std::vector<uint8_t>& bytes,
                      std::string* error) {
    std::string temp_path;
    FILE* out = CreateTempFileNextTo(path, &temp_path);
    if (out == nullptr) {
        *error = "cannot create a file next to " + path + ": " + strerror(errno);
        return false;
    }
    const bool written = fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (fclose(out) != 0 || !written) {
        RemoveFile(temp_path);
        *error = "cannot write " + path;
        return false;
    }
    if (!SealAndMoveIntoPlace(temp_path, path, error)) {
        RemoveFile(temp_path);
        return false;
    }
    return true;
}

bool BrandStub(const std::string& stub, const BrandingRequest& request, const std::string& output,
               std::vector<std::string>* warnings, std::string* error) {
    const FileInfo output_info = GetFileInfo(output);
    if (output_info.kind == FileKind::kDirectory) {
        *error = "output " + output + " is a folder";
        return false;
    }
    if (SameFile(output_info, GetFileInfo(stub))) {
        *error = "output " + output + " would overwrite the stub";
        return false;
    }
    std::vector<uint8_t> bytes;
    StubBranding branding;
    return PrepareStub(stub, request, &bytes, &branding, warnings, error) &&
           WriteFileInPlace(output, bytes, error);
}

bool CollectEntries(const std::vector<std::string>& inputs, bool follow_links,
                    std::vector<PackEntry>* entries, std::string* error) {
    entries->clear();
    Collector collector(follow_links, entries, error);
    for (const std::string& input : inputs) {
        if (!collector.AddInput(input)) return false;
    }
    return true;
}

bool CreateInstaller(const CreateRequest& request, CreateResult* result, std::string* error) {
    error->clear();
    // The inputs first: what they hold is the surprise worth naming before anything else.
    std::vector<PackEntry> entries;
    if (!CollectEntries(request.inputs, request.follow_links, &entries, error)) return false;
    const FileInfo stub_info = GetFileInfo(request.stub);
    if (!CheckStub(request.stub, stub_info, error)) return false;

    const FileInfo output_info = GetFileInfo(request.output);
    if (output_info.kind == FileKind::kDirectory) {
        *error = "output " + request.output + " is a folder";
        return false;
    }
    if (SameFile(output_info, stub_info)) {
        *error = "output " + request.output + " would overwrite the stub";
        return false;
    }
    for (const PackEntry& entry : entries) {
        if (SameFile(output_info, entry.info)) {
            *error = "output " + request.output + " would overwrite input " + entry.source;
            return false;
        }
    }

    // The layout is known before anything is written: refuse what the stub cannot handle, first
    // by the stub file's size (before reading it), then by the size of the stub as written.
    uint64_t payload_size = 0;
    for (const PackEntry& entry : entries) {
        payload_size += ENTRY_SIZE_FIELD + entry.name.size() + 1 + entry.size;
    }
    if (InstallerSize(stub_info.size, payload_size, error) == 0) return false;
    std::vector<uint8_t> stub;
    StubBranding branding;
    if (!PrepareStub(request.stub, request.branding, &stub, &branding, &result->warnings, error)) {
        return false;
    }
    const uint64_t file_size = InstallerSize(stub.size(), payload_size, error);
    if (file_size == 0) return false;
    // A quiet installer starts nothing; every other one starts the package on a button.
    if (!request.quiet) {
        for (const std::string& missing : MissingLaunchNames(branding, RootFileNames(entries))) {
            *error += (error->empty() ? "" : "\nqjxpack: error: ") + missing;
        }
        if (!error->empty()) return false;
    }

    std::string temp_path;
    FILE* out = CreateTempFileNextTo(request.output, &temp_path);
    if (out == nullptr) {
        *error = "cannot create a file next to " + request.output + ": " + strerror(errno);
        return false;
    }
    PayloadTrailer trailer;
    bool written = WritePayload(out, request, stub, entries, &trailer, error);
    if (fclose(out) != 0 && written) {
        *error = "writing " + temp_path + " failed";
        written = false;
    }
    if (written) {
        uint64_t size = GetFileInfo(temp_path).size;
        if (size != file_size || trailer.payload_offset != stub.size() ||
            trailer.payload_size != payload_size) {
            *error = "the written installer is " + std::to_string(size) + " bytes, expected " +
                     std::to_string(file_size) + " (did an input change while it was packed?)";
            written = false;
        }
    }
    // The digest goes in once the payload is in place; the file's checksum comes last of all.
    if (written) written = BindWrittenPayload(temp_path, &stub, &result->warnings, error);
    if (written && !SealAndMoveIntoPlace(temp_path, request.output, error)) written = false;
    if (!written) {
        RemoveFile(temp_path);
        return false;
    }
    result->payload_offset = trailer.payload_offset;
    result->payload_size = trailer.payload_size;
    result->entry_count = trailer.entry_count;
    result->file_size = file_size;
    return true;
}

}  // namespace qjxpack
