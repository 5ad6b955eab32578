// A fresh folder per test, removed afterwards, and small file helpers for the unit tests.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }
    // The folder as a UTF-8 string ending in the platform's separator.
    std::string Utf8WithSeparator() const;

  private:
    fs::path path_;
};

std::string Utf8(const fs::path& path);
fs::path FromUtf8(const std::string& utf8);
std::string ReadBytes(const fs::path& path);
void WriteBytes(const fs::path& path, const std::string& bytes);
// Makes the file `size` bytes long without writing the new bytes (a sparse file where the file
// system allows it).
void ExtendSparse(const fs::path& path, uint64_t size);
// Every file and folder below root, as sorted generic UTF-8 paths relative to it
// (folders end in '/').
std::vector<std::string> ListTree(const fs::path& root);
