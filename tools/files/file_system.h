// The packer's view of the file system: UTF-8 paths on every platform (UTF-16 at the Win32
// boundary), 64-bit sizes, and file identities for telling whether two paths name one file.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace qjxpack {

enum class FileKind { kMissing, kRegular, kDirectory, kOther };

struct FileInfo {
    FileKind kind = FileKind::kMissing;
    uint64_t size = 0;
    // Device and file number: equal pairs name the same file, whatever the path.
    uint64_t device = 0;
    uint64_t index = 0;
    // The path itself is a symbolic link (on Windows any reparse point: a link or a junction).
    bool is_link = false;
};

// Follows symbolic links. A path that cannot be examined reads as kMissing.
FileInfo GetFileInfo(const std::string& path);
// The absolute path with every link resolved; empty when it cannot be found.
std::string ResolvedPath(const std::string& path);
bool SameFile(const FileInfo& a, const FileInfo& b);

// The names in a folder (without "." and ".."), sorted byte by byte so that every platform
// packs the same folder in the same order. Returns false when the folder cannot be read.
bool ListDirectory(const std::string& path, std::vector<std::string>* names);

FILE* OpenPath(const std::string& path, const char* mode);
// Reads a whole file of at most limit bytes; false when it cannot be read or is larger.
bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes, uint64_t limit);
bool RemoveFile(const std::string& path);
// Removes a folder if it is empty.
bool RemoveEmptyFolder(const std::string& path);
// Creates the folder and any missing parents.
bool MakeDirectories(const std::string& path);

// Creates a new, empty file next to path for writing, and returns it with its name.
FILE* CreateTempFileNextTo(const std::string& path, std::string* temp_path);
// Moves from over to, replacing to.
bool MoveIntoPlace(const std::string& from, const std::string& to);

// The platform's separator, and the join of a folder and a name with it.
char PathSeparator();
std::string JoinPath(const std::string& folder, const std::string& name);
bool IsPathSeparator(char c);

// The folder holding the running program, with a trailing separator; empty when unknown.
std::string ProgramFolder();

bool IsTerminal(FILE* stream);

// What the system's Authenticode check (WinVerifyTrust, as the stub asks it) answers for a
// signed file: its HRESULT in *status, and whether the stub takes that for a damaged file.
// False where the system cannot be asked: on other platforms, or without wintrust.dll.
bool AskSystemSignatureCheck(const std::string& path, int32_t* status, bool* damaged);

// The command line as UTF-8 (on Windows the UTF-16 command line, whatever the code page).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace qjxpack
