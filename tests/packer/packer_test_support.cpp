#include "packer_test_support.h"

#include <gtest/gtest.h>

#include <vector>

#include "payload/payload_format.h"
#include "tools/files/file_system.h"

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace packer_test {

namespace {

void PutLe(std::string* bytes, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
}

int ProcessId() {
#if defined(_WIN32)
    return _getpid();
#else
    return getpid();
#endif
}

void RemoveTree(const std::string& path) {
    qjxpack::FileInfo info = qjxpack::GetFileInfo(path);
    if (info.kind == qjxpack::FileKind::kDirectory) {
        std::vector<std::string> names;
        qjxpack::ListDirectory(path, &names);
        for (const std::string& name : names) RemoveTree(qjxpack::JoinPath(path, name));
        qjxpack::RemoveEmptyFolder(path);
    } else {
        qjxpack::RemoveFile(path);
    }
}

// Offsets in FakeStub's headers.
constexpr size_t OPTIONAL_AT = PE_AT + 4 + 20;
constexpr size_t SECURITY_AT = OPTIONAL_AT + 96 + 4 * 8;

}  // namespace

ScratchFolder::ScratchFolder() {
    static int counter = 0;
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = "qjxpack_" + std::to_string(ProcessId()) + "_" + std::to_string(counter++) +
                       "_" + (test ? test->name() : "x");
    path_ = qjxpack::JoinPath(::testing::TempDir(), name);
    RemoveTree(path_);
    EXPECT_TRUE(qjxpack::MakeDirectories(path_)) << path_;
}

ScratchFolder::~ScratchFolder() {
    RemoveTree(path_);
}

std::string ScratchFolder::At(const std::string& relative) const {
    std::string native = relative;
    for (char& c : native) {
        if (c == '/') c = qjxpack::PathSeparator();
    }
    return qjxpack::JoinPath(path_, native);
}

std::string ScratchFolder::Write(const std::string& relative, const std::string& content) const {
    std::string path = At(relative);
    size_t slash = path.find_last_of(qjxpack::PathSeparator());
    qjxpack::MakeDirectories(path.substr(0, slash));
    WriteWholeFile(path, content);
    return path;
}

std::string ScratchFolder::MakeFolder(const std::string& relative) const {
    std::string path = At(relative);
    EXPECT_TRUE(qjxpack::MakeDirectories(path)) << path;
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    FILE* file = qjxpack::OpenPath(path, "rb");
    if (file == nullptr) return std::string();
    std::string content;
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    fclose(file);
    return content;
}

void WriteWholeFile(const std::string& path, const std::string& content) {
    FILE* file = qjxpack::OpenPath(path, "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(fwrite(content.data(), 1, content.size(), file), content.size());
    ASSERT_EQ(fclose(file), 0);
}

void WriteSparseFile(const std::string& path, const std::string& head, uint64_t total,
                     const std::string& tail) {
    FILE* file = qjxpack::OpenPath(path, "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(fwrite(head.data(), 1, head.size(), file), head.size());
    const uint64_t tail_at = total - tail.size();
#if defined(_WIN32)
    ASSERT_EQ(fflush(file), 0);
    ASSERT_EQ(_lseeki64(_fileno(file), static_cast<__int64>(tail_at), SEEK_SET),
              static_cast<__int64>(tail_at));
#else
    ASSERT_EQ(fseeko(file, static_cast<off_t>(tail_at), SEEK_SET), 0);
#endif
    ASSERT_EQ(fwrite(tail.data(), 1, tail.size(), file), tail.size());
    ASSERT_EQ(fclose(file), 0);
}

FILE* OpenCapture(const std::string& path) {
    return qjxpack::OpenPath(path, "wb");
}

std::string FakeStub(size_t size, uint32_t table_offset, uint32_t table_size) {
    std::string image(size, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    PutLe(&image, 0x3C, PE_AT, 4);
    image.replace(PE_AT, 4, std::string("PE\0\0", 4));
    PutLe(&image, PE_AT + 4, 0x14C, 2);      // i386
    PutLe(&image, PE_AT + 4 + 16, 0xE0, 2);  // size of the optional header
    PutLe(&image, OPTIONAL_AT, 0x10B, 2);    // PE32
    PutLe(&image, OPTIONAL_AT + 92, 16, 4);  // directory count
    PutLe(&image, SECURITY_AT, table_offset, 4);
    PutLe(&image, SECURITY_AT + 4, table_size, 4);
    return image;
}

void AppendFakeSignature(std::string* image, uint32_t table_size) {
    PutLe(image, SECURITY_AT, image->size(), 4);
    PutLe(image, SECURITY_AT + 4, table_size, 4);
    // The table's own bytes: anything but a trailer.
    image->append(table_size, '\x5A');
}

std::string TrailerBytes(uint32_t payload_offset, uint64_t payload_size, uint64_t entry_count,
                         uint32_t flags) {
    std::string bytes("QJXSEA\0\0", 8);
    bytes.resize(TRAILER_SIZE);
    PutLe(&bytes, 8, payload_offset, 4);
    PutLe(&bytes, 12, flags, 4);
    PutLe(&bytes, 16, payload_size, 8);
    PutLe(&bytes, 24, entry_count, 8);
    return bytes;
}

std::string EntryBytes(const std::string& name, const std::string& data) {
    std::string bytes(ENTRY_SIZE_FIELD, '\0');
    PutLe(&bytes, 0, data.size(), 8);
    return bytes + name + std::string(1, '\0') + data;
}

std::string DirectoryBytes(const std::string& name) {
    return std::string(ENTRY_SIZE_FIELD, '\xFF') + name + std::string(1, '\0');
}

}  // namespace packer_test
