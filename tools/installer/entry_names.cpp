#include "tools/installer/entry_names.h"

#include <string.h>

#include "text/utf8.h"

namespace qjxpack {

std::string FoldCase(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::string PrintableName(const std::string& name) {
    std::string printable = name;
    for (char& c : printable) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return printable;
}

namespace {

// The first part of name (parts between separators) that Windows takes for a device: CON,
// PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9 (also with the superscript digits ¹, ² and ³),
// whatever their case or extension.
std::string ReservedDeviceName(const std::string& name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        std::string stem = FoldCase(part.substr(0, part.find('.')));
        while (!stem.empty() && stem.back() == ' ') stem.pop_back();
        const std::string digit = stem.size() > 3 ? stem.substr(3) : std::string();
        const bool numbered = (stem.compare(0, 3, "com") == 0 || stem.compare(0, 3, "lpt") == 0) &&
                              ((digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') ||
                               digit == "\u00b9" || digit == "\u00b2" || digit == "\u00b3");
        if (numbered || stem == "con" || stem == "prn" || stem == "aux" || stem == "nul") {
            return part;
        }
        start = end + 1;
    }
    return std::string();
}

}  // namespace

std::string EntryNameProblem(const std::string& name, bool directory) {
    if (name.size() > MAX_ENTRY_NAME_BYTES) {
        return "is " + std::to_string(name.size()) + " bytes long; the stub allows " +
               std::to_string(MAX_ENTRY_NAME_BYTES) + " (its folder %TEMP%\\QJXxxxxx\\ may take " +
               std::to_string(TEMP_FOLDER_BUDGET) + " of the 259 bytes of a path)";
    }
    if (name.find('\0') != std::string::npos) return "holds a NUL byte";
    for (unsigned char c : name) {
        if (c < 0x20 || strchr("<>\"|?*", c) != nullptr) {
            return "holds a character Windows does not allow in names";
        }
    }
    const std::string device = ReservedDeviceName(name);
    if (!device.empty()) {
        return "holds " + device + ", a reserved device name, which Windows opens as a device";
    }
    if (!IsSafeEntryName(name.c_str(), directory)) return "is not a safe relative path";
    if (!IsValidUtf8(name.c_str())) {
        return "is not valid UTF-8, which the stub refuses on the NT family of Windows";
    }
    size_t start = 1;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        std::string component = name.substr(start, end - start);
        for (unsigned char c : component) {
            if (c < 0x20 || strchr("<>:\"|?*", c) != nullptr) {
                return "holds a character Windows does not allow in names";
            }
        }
        if (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
            return "has a part ending in a dot or space, which Windows drops";
        }
        start = end + 1;
    }
    return std::string();
}

}  // namespace qjxpack
