// The language list's resource bytes (text/language_list.h) written from a list, for the fuzz
// target's round trip and its seeds.
#pragma once

#include <stdint.h>

#include <string>

#include "text/language_list.h"

namespace fuzz {

inline void PutU16(std::string* out, uint32_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

template <typename Char>
void PutString(std::string* out, const Char* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    PutU16(out, static_cast<uint32_t>(length));
    for (size_t i = 0; i < length; ++i) {
        PutU16(out, static_cast<uint32_t>(text[i]) & 0xFFFFu);
    }
}

inline std::string LanguageListBytes(const LanguageList& list) {
    std::string out = "QJXL";
    PutU16(&out, LANGUAGE_LIST_FORMAT);
    PutU16(&out, static_cast<uint32_t>(list.count));
    PutU16(&out, list.caption_colour & 0xFFFF);
    PutU16(&out, list.caption_colour >> 16);
    PutU16(&out, list.flags);
    PutString(&out, list.caption);
    for (int32_t i = 0; i < list.count; ++i) {
        PutString(&out, list.entries[i].code);
        PutString(&out, list.entries[i].text);
        PutString(&out, list.entries[i].transform);
    }
    return out;
}

}  // namespace fuzz
