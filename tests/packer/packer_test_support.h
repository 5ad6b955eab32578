// Scratch folders, files and hand-made program images for the packer's tests.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>

namespace packer_test {

// A fresh folder below the test temporary folder, removed with everything in it afterwards.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& path() const { return path_; }
    // path joined with a relative name ("a/b" uses the platform's separator).
    std::string At(const std::string& relative) const;
    // Writes a file, creating its folders.
    std::string Write(const std::string& relative, const std::string& content) const;
    std::string MakeFolder(const std::string& relative) const;

  private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
// A file of total bytes that holds head at its start and tail (one byte or more) at its end, with
// a hole between (sparse, so it takes no disk space).
void WriteSparseFile(const std::string& path, const std::string& head, uint64_t total,
                     const std::string& tail);
void WriteWholeFile(const std::string& path, const std::string& content);

// Where FakeStub's PE signature starts; the COFF machine field follows it.
constexpr size_t PE_AT = 0x80;
// A minimal PE32 header (no sections) of the given size; table_offset/table_size fill the
// security directory.
std::string FakeStub(size_t size = 1024, uint32_t table_offset = 0, uint32_t table_size = 0);
// Points the image's security directory at a table of table_size bytes appended to image, as a
// signing tool does.
void AppendFakeSignature(std::string* image, uint32_t table_size);

// The 32 trailer bytes for the given fields.
std::string TrailerBytes(uint32_t payload_offset, uint64_t payload_size, uint64_t entry_count,
                         uint32_t flags = 0);
// One payload entry: size field, name and data (none for a directory).
std::string EntryBytes(const std::string& name, const std::string& data);
std::string DirectoryBytes(const std::string& name);

// Runs a command with its output into a file and hands back what it printed.
struct Captured {
    int status = -1;
    std::string out;
    std::string err;
};
template <typename Command>
Captured Capture(const ScratchFolder& scratch, Command command);

FILE* OpenCapture(const std::string& path);

}  // namespace packer_test

template <typename Command>
packer_test::Captured packer_test::Capture(const ScratchFolder& scratch, Command command) {
    Captured captured;
    FILE* out = OpenCapture(scratch.At("captured.out"));
    FILE* err = OpenCapture(scratch.At("captured.err"));
    captured.status = command(out, err);
    fclose(out);
    fclose(err);
    captured.out = ReadWholeFile(scratch.At("captured.out"));
    captured.err = ReadWholeFile(scratch.At("captured.err"));
    return captured;
}
