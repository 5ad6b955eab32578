// Writes a language transform for the sample package: a structured-storage file with a string
// pool and one changed Property row, the form Windows Installer applies with TRANSFORMS=.
// Wine cannot generate transforms, so the tests and the demo write them with this.
//
// Usage: make_transform OUT.mst PROPERTY VALUE   (PROPERTY and VALUE in ASCII or UTF-8)
// windows.h first: the other system headers build on its types.
// clang-format off
#include <windows.h>
// clang-format on
#include <objbase.h>
#include <shellapi.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// The class id that marks a storage as a transform.
const CLSID CLSID_MSI_TRANSFORM = {
    0x000C1082, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// The string pool's code page: UTF-8, so that any value can be carried.
constexpr uint32_t STRING_POOL_CODE_PAGE = 65001;

int CharToBase64(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'Z') return c - L'A' + 10;
    if (c >= L'a' && c <= L'z') return c - L'a' + 36;
    if (c == L'.') return 62;
    if (c == L'_') return 63;
    return -1;
}

// Table streams have compressed names: a 0x4840 prefix, then two name characters folded into
// one unit where both are in the 64-character alphabet.
std::wstring EncodeTableStreamName(const wchar_t* name) {
    std::wstring out(1, static_cast<wchar_t>(0x4840));
    while (*name) {
        int first = CharToBase64(*name);
        if (first < 0) {
            out += *name++;
            continue;
        }
        ++name;
        int second = *name ? CharToBase64(*name) : -1;
        if (second >= 0) {
            ++name;
            out += static_cast<wchar_t>(0x3800 + first + (second << 6));
        } else {
            out += static_cast<wchar_t>(0x4800 + first);
        }
    }
    return out;
}

void Put16(std::vector<uint8_t>* out, uint32_t value) {
    out->push_back(static_cast<uint8_t>(value & 0xFF));
    out->push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

bool WriteStream(IStorage* storage, const wchar_t* table, const std::vector<uint8_t>& data) {
    std::wstring name = EncodeTableStreamName(table);
    IStream* stream = NULL;
    if (FAILED(storage->CreateStream(name.c_str(), STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0,
                                     &stream))) {
        return false;
    }
    ULONG written = 0;
    HRESULT hr = stream->Write(data.data(), static_cast<ULONG>(data.size()), &written);
    stream->Release();
    return SUCCEEDED(hr) && written == data.size();
}

std::string ToUtf8(const wchar_t* text) {
    char buffer[1024];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), NULL, NULL);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length - 1) : 0);
}

}  // namespace

int main() {
    // The wide command line: the value may hold characters the ANSI code page lacks.
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc != 4) {
        fprintf(stderr, "usage: make_transform OUT.mst PROPERTY VALUE\n");
        return 2;
    }
    const std::string strings[2] = {ToUtf8(argv[2]), ToUtf8(argv[3])};

    // String ids 1 and 2: (length, reference count) pairs after the code page.
    std::vector<uint8_t> pool;
    std::vector<uint8_t> data;
    Put16(&pool, STRING_POOL_CODE_PAGE & 0xFFFF);
    Put16(&pool, STRING_POOL_CODE_PAGE >> 16);
    for (const std::string& text : strings) {
        Put16(&pool, static_cast<uint32_t>(text.size()));
        Put16(&pool, 1);
        data.insert(data.end(), text.begin(), text.end());
    }
    // One update of the Property table: the mask names the Value column (bit 1); the key
    // column is always present. Both are 2-byte string ids.
    std::vector<uint8_t> row;
    Put16(&row, 0x0002);
    Put16(&row, 1);
    Put16(&row, 2);

    const wchar_t* path = argv[1];
    CoInitialize(NULL);
    IStorage* storage = NULL;
    HRESULT hr = StgCreateDocfile(
        path, STGM_CREATE | STGM_READWRITE | STGM_DIRECT | STGM_SHARE_EXCLUSIVE, 0, &storage);
    bool ok = SUCCEEDED(hr) && SUCCEEDED(storage->SetClass(CLSID_MSI_TRANSFORM)) &&
              WriteStream(storage, L"_StringPool", pool) &&
              WriteStream(storage, L"_StringData", data) && WriteStream(storage, L"Property", row);
    if (storage) storage->Release();
    CoUninitialize();
    if (!ok) {
        fprintf(stderr, "make_transform: cannot write %ls (0x%08lx)\n", argv[1],
                static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}
