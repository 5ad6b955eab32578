#include "text/codepage_bridge.h"

#include <string.h>
#include <windows.h>

#include "system/windows_family.h"
#include "text/utf8.h"

namespace {

typedef int(WINAPI* MultiByteToWideCharFunction)(UINT, DWORD, LPCSTR, int, LPWSTR, int);
typedef int(WINAPI* WideCharToMultiByteFunction)(UINT, DWORD, LPCWSTR, int, LPSTR, int, LPCSTR,
                                                 LPBOOL);

// The library that provides the two conversion functions, chosen once per process. Only the
// thread that runs the extraction job converts, so no lock guards it.
struct ConversionLibrary {
    HMODULE module;
    MultiByteToWideCharFunction multi_byte_to_wide_char;
    WideCharToMultiByteFunction wide_char_to_multi_byte;
    bool initialised;
};

ConversionLibrary g_conversionLibrary;

constexpr uint32_t PIECE_SIZE = 256;            // bytes or UTF-16 units per system call
constexpr DWORD INSTALL_PATH_DATA_MAX = 260;    // the value's data, as read
constexpr DWORD INSTALL_PATH_BUFFER = 271;      // the data plus "unicows.dll"
constexpr REGSAM INSTALL_KEY_ACCESS = 0x20219;  // KEY_READ | KEY_WOW64_32KEY
constexpr char UNICODE_LAYER_NAME[] = "unicows.dll";

// The Unicode layer that the product's installer put beside it on the 9x family, or null.
HMODULE LoadUnicodeLayer() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Dravik\\QJX", 0, INSTALL_KEY_ACCESS, &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    HMODULE module = nullptr;
    char path[INSTALL_PATH_BUFFER];
    memset(path, 0, sizeof(path));
    DWORD size = INSTALL_PATH_DATA_MAX;
    if (RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(path),
                         &size) == ERROR_SUCCESS) {
        // No separator is added: the value is expected to end in one. The zeroed buffer keeps
        // a value stored without its terminator terminated; a value that long leaves no room
        // for the file name (and no valid path), so nothing is loaded from it.
        if (strlen(path) + sizeof(UNICODE_LAYER_NAME) <= sizeof(path)) {
            strcat(path, UNICODE_LAYER_NAME);
            module = LoadLibraryA(path);
        }
    }
    RegCloseKey(key);
    return module;
}

// Length of the source up to its first zero byte, within source_length.
uint32_t MeasureSource(const char* source, uint32_t source_length) {
    if (source == nullptr) return 0;
    if (source_length == UTF8_NUL_TERMINATED) return static_cast<uint32_t>(strlen(source));
    const void* zero = memchr(source, 0, source_length);
    if (zero == nullptr) return source_length;
    return static_cast<uint32_t>(static_cast<const char*>(zero) - source);
}

// Copies the source unchanged, cut to capacity - 1 and terminated: the path without a library
// and for text that is not UTF-8. length is already bounded by the source's terminator.
ResultCode CopyBytes(const char* source, uint32_t length, char* destination, uint32_t capacity,
                     uint32_t* length_out) {
    uint32_t n = length;
    if (destination != nullptr) {
        if (n > capacity - 1) n = capacity - 1;
        if (n > 0) memcpy(destination, source, n);
        destination[n] = 0;
    }
    if (length_out != nullptr) *length_out = n;
    return RESULT_OK;
}

// Moves a cut at text[end] back to the start of the UTF-8 character it falls into.
uint32_t Utf8CharacterStart(const char* text, uint32_t end) {
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}

// The last character boundary at or before limit in code-page text that begins with a whole
// character, so that no double-byte character is split: MB_ERR_INVALID_CHARS rejects a lead
// byte without its trail, and a path must not end in one.
uint32_t CodePageBoundary(uint32_t code_page, const char* text, uint32_t limit) {
    uint32_t boundary = 0;
    while (boundary < limit) {
        uint32_t width = IsDBCSLeadByteEx(code_page, static_cast<BYTE>(text[boundary])) ? 2 : 1;
        if (boundary + width > limit) break;
        boundary += width;
    }
    return boundary;
}

}  // namespace

void LoadConversionLibrary() {
    if (g_conversionLibrary.initialised) return;
    HMODULE module = IsWindows9x() ? LoadUnicodeLayer() : nullptr;
    if (module == nullptr) module = LoadLibraryA("Kernel32.dll");
    if (module == nullptr) return;
    auto multi_byte_to_wide_char = reinterpret_cast<MultiByteToWideCharFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "MultiByteToWideChar")));
    auto wide_char_to_multi_byte = reinterpret_cast<WideCharToMultiByteFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "WideCharToMultiByte")));
    if (multi_byte_to_wide_char == nullptr || wide_char_to_multi_byte == nullptr) {
        FreeLibrary(module);
        return;
    }
    g_conversionLibrary.module = module;
    g_conversionLibrary.multi_byte_to_wide_char = multi_byte_to_wide_char;
    g_conversionLibrary.wide_char_to_multi_byte = wide_char_to_multi_byte;
    g_conversionLibrary.initialised = true;
}

void ResetConversionLibraryForTests() {
    if (g_conversionLibrary.initialised) FreeLibrary(g_conversionLibrary.module);
    memset(&g_conversionLibrary, 0, sizeof(g_conversionLibrary));
}

ResultCode CodePageToUtf8(uint32_t /*flags*/, uint32_t code_page, const char* source,
                          uint32_t source_length, char* destination, uint32_t capacity,
                          uint32_t* length_out) {
    if (capacity == 0) destination = nullptr;
    if (!g_conversionLibrary.initialised) LoadConversionLibrary();
    uint32_t remaining = MeasureSource(source, source_length);
    if (!g_conversionLibrary.initialised) {
        return CopyBytes(source, remaining, destination, capacity, length_out);
    }

    ResultCode result = RESULT_OK;  // an empty text; every piece sets it
    uint32_t total = 0;
    char16_t units[PIECE_SIZE];
    while (remaining > 0 && (destination == nullptr || total < capacity)) {
        uint32_t piece =
            remaining <= PIECE_SIZE ? remaining : CodePageBoundary(code_page, source, PIECE_SIZE);
        int unit_count = g_conversionLibrary.multi_byte_to_wide_char(
            code_page, MB_ERR_INVALID_CHARS, source, static_cast<int>(piece),
            reinterpret_cast<wchar_t*>(units), PIECE_SIZE);
        if (unit_count < 1) {
            // What earlier pieces gave stays, terminated: a caller may go on with the buffer.
            if (destination != nullptr) destination[total] = 0;
            return RESULT_CONVERSION_FAILED;
        }
        uint32_t needed = 0;
        Utf16ToUtf8(units, static_cast<uint32_t>(unit_count), nullptr, 0, &needed);
        uint32_t n = 0;
        Utf16ToUtf8(units, static_cast<uint32_t>(unit_count),
                    destination == nullptr ? nullptr : destination + total,
                    destination == nullptr ? 0 : capacity - total, &n);
        result = n > 0 ? RESULT_OK : RESULT_BUFFER_TOO_SMALL;
        total += n;
        source += piece;
        remaining -= piece;
        // A piece the encoder had to cut ends the text: a later, shorter piece must not be
        // glued on behind the characters that were dropped.
        if (n < needed) break;
    }
    if (destination != nullptr) {
        if (total > capacity - 1) total = Utf8CharacterStart(destination, capacity - 1);
        destination[total] = 0;
    }
    if (length_out != nullptr) *length_out = total;
    return result;
}

ResultCode Utf8ToCodePage(uint32_t /*flags*/, uint32_t code_page, const char* source,
                          uint32_t source_length, char* destination, uint32_t capacity,
                          uint32_t* length_out) {
    if (capacity == 0) destination = nullptr;
    if (!g_conversionLibrary.initialised) LoadConversionLibrary();
    uint32_t length = MeasureSource(source, source_length);
    if (!g_conversionLibrary.initialised) {
        return CopyBytes(source, length, destination, capacity, length_out);
    }

    // Text that is not UTF-8 anywhere is taken as code-page text already and passed on byte
    // for byte from its start, whichever piece would show it and whatever the room.
    uint32_t units_needed = 0;
    Utf8ToUtf16(source, length, nullptr, 0, &units_needed, nullptr);
    if (length > 0 && units_needed == 0) {
        return CopyBytes(source, length, destination, capacity, length_out);
    }

    ResultCode result = RESULT_OK;  // an empty text; every piece sets it
    uint32_t total = 0;
    uint32_t position = 0;
    uint32_t piece_start = 0;  // where the last piece's code-page form begins
    char16_t units[PIECE_SIZE];
    while (position < length && (destination == nullptr || total < capacity)) {
        uint32_t unit_count = 0;
        uint32_t consumed = 0;
        Utf8ToUtf16(source + position, length - position, units, PIECE_SIZE, &unit_count,
                    &consumed);
        int n = g_conversionLibrary.wide_char_to_multi_byte(
            code_page, 0, reinterpret_cast<const wchar_t*>(units), static_cast<int>(unit_count),
            destination == nullptr ? nullptr : destination + total,
            destination == nullptr ? 0 : static_cast<int>(capacity - total), nullptr, nullptr);
        if (n <= 0) {
            // The piece does not fit the room left; a later, shorter one must not be glued on.
            result = RESULT_BUFFER_TOO_SMALL;
            break;
        }
        result = RESULT_OK;
        piece_start = total;
        total += static_cast<uint32_t>(n);
        position += consumed;
    }
    if (destination != nullptr) {
        if (total > capacity - 1) {
            total = piece_start + CodePageBoundary(code_page, destination + piece_start,
                                                   capacity - 1 - piece_start);
        }
        destination[total] = 0;
    }
    if (length_out != nullptr) *length_out = total;
    return result;
}

bool IsFaithfulInCodePage(uint32_t code_page, const char* text) {
    if (!IsValidUtf8(text)) return true;
    // Room for a 260-character path in any code page, and for it back in UTF-8.
    char converted[1040] = {};
    char back[1040] = {};
    return Utf8ToCodePage(0, code_page, text, UTF8_NUL_TERMINATED, converted, sizeof converted,
                          nullptr) == RESULT_OK &&
           CodePageToUtf8(0, code_page, converted, UTF8_NUL_TERMINATED, back, sizeof back,
                          nullptr) == RESULT_OK &&
           strcmp(back, text) == 0;
}
