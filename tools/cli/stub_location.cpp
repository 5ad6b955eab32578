#include "tools/cli/stub_location.h"

#include "tools/files/file_system.h"

namespace qjxpack {

namespace {

constexpr const char* STUB_FILE_NAME = "qjxsea.exe";

// "/usr/bin/" gives "/usr/"; a root folder is its own parent.
std::string ParentFolder(const std::string& folder) {
    size_t end = folder.size();
    while (end > 0 && IsPathSeparator(folder[end - 1])) --end;
    while (end > 0 && !IsPathSeparator(folder[end - 1])) --end;
    return end == 0 ? folder : folder.substr(0, end);
}

}  // namespace

std::vector<std::string> StubPlaces(const std::string& program_folder, const std::string& arch,
                                    const std::string& built_stub) {
    std::vector<std::string> places;
    if (!program_folder.empty()) {
        places.push_back(JoinPath(JoinPath(program_folder, arch), STUB_FILE_NAME));
        std::string lib = JoinPath(JoinPath(ParentFolder(program_folder), "lib"), "qjxpack");
        places.push_back(JoinPath(JoinPath(lib, arch), STUB_FILE_NAME));
    }
    if (!built_stub.empty()) places.push_back(built_stub);
    return places;
}

std::string FirstFile(const std::vector<std::string>& places) {
    for (const std::string& place : places) {
        if (GetFileInfo(place).kind == FileKind::kRegular) return place;
    }
    return std::string();
}

}  // namespace qjxpack
