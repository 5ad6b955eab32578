#include "scratch.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

ScratchFolder::ScratchFolder() {
    // Short names: some tests need a destination folder of an exact, small length.
    std::random_device random;
    char name[32];
    snprintf(name, sizeof name, "qjx%08x", static_cast<unsigned>(random()));
    path_ = fs::temp_directory_path() / name;
    fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string ScratchFolder::Utf8WithSeparator() const {
    return Utf8(path_) + static_cast<char>(fs::path::preferred_separator);
}

std::string Utf8(const fs::path& path) {
    return path.u8string();
}

fs::path FromUtf8(const std::string& utf8) {
    return fs::u8path(utf8);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> ListTree(const fs::path& root) {
    std::vector<std::string> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        std::string text = entry.path().lexically_relative(root).generic_u8string();
        if (entry.is_directory()) text += '/';
        entries.push_back(text);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void ExtendSparse(const fs::path& path, uint64_t size) {
#if defined(_WIN32)
    // The runtime's size change writes every new byte; moving the end of file does not.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
#else
    if (truncate(path.c_str(), static_cast<off_t>(size)) != 0) perror("truncate");
#endif
}
