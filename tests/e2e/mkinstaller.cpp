// Builds a test installer with the payload writer: a copy of the stub followed by the given
// entries and the trailer. Entry names are taken as given, so tests can also build installers
// that the packer would refuse (over-long names, files in folders that have no entry).
//
// Usage: mkinstaller OUT STUB [--quiet] [--copies N] ENTRY...
//   ENTRY is NAME=FILE (a file entry with FILE's content) or NAME/ (a directory entry);
//   NAME starts with a backslash and may hold any UTF-8 text. --copies N makes the next file
//   entry N entries, NAME followed by 0 to N-1, for payloads of many files.
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "payload/payload_writer.h"

namespace {

std::string ToUtf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    std::string out(size > 0 ? static_cast<size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, NULL, NULL);
    out.resize(strlen(out.c_str()));
    return out;
}

bool CopyStub(FILE* out, const wchar_t* stub_path) {
    FILE* stub = _wfopen(stub_path, L"rb");
    if (stub == NULL) return false;
    char buffer[65536];
    size_t n;
    bool ok = true;
    while (ok && (n = fread(buffer, 1, sizeof buffer, stub)) > 0)
        ok = fwrite(buffer, 1, n, out) == n;
    fclose(stub);
    return ok;
}

int Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "mkinstaller: %s %s\n", what, detail.c_str());
    return 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc < 3) {
        fprintf(stderr, "usage: mkinstaller OUT STUB [--quiet] ENTRY...\n");
        return 2;
    }
    FILE* out = _wfopen(argv[1], L"wb");
    if (out == NULL) return Fail("cannot create", ToUtf8(argv[1]));
    if (!CopyStub(out, argv[2])) return Fail("cannot copy the stub", ToUtf8(argv[2]));
    PayloadWriter writer;
    BeginPayload(&writer, out);
    uint32_t flags = 0;
    int copies = 1;
    for (int i = 3; i < argc; ++i) {
        std::string entry = ToUtf8(argv[i]);
        if (entry == "--quiet") {
            flags |= TRAILER_FLAG_QUIET;
            continue;
        }
        if (entry == "--copies" && i + 1 < argc) {
            copies = _wtoi(argv[++i]);
            continue;
        }
        size_t equals = entry.find('=');
        if (equals == std::string::npos && !entry.empty() && entry.back() == '/') {
            AddDirectoryEntry(&writer, entry.substr(0, entry.size() - 1).c_str());
            continue;
        }
        if (equals == std::string::npos) return Fail("bad entry", entry);
        const wchar_t* source_path = wcschr(argv[i], L'=') + 1;
        FILE* source = _wfopen(source_path, L"rb");
        if (source == NULL) return Fail("cannot read", ToUtf8(source_path));
        _fseeki64(source, 0, SEEK_END);
        uint64_t size = static_cast<uint64_t>(_ftelli64(source));
        std::string name = entry.substr(0, equals);
        for (int copy = 0; copy < copies; ++copy) {
            _fseeki64(source, 0, SEEK_SET);
            std::string copy_name = copies > 1 ? name + std::to_string(copy) : name;
            AddFileEntry(&writer, copy_name.c_str(), source, size);
        }
        copies = 1;
        fclose(source);
    }
    ResultCode result = FinishPayload(&writer, flags, 4096, NULL);
    if (fclose(out) != 0 || result != RESULT_OK) return Fail("cannot write", ToUtf8(argv[1]));
    return 0;
}
