// UTF-8 <-> UTF-16 conversion into caller-supplied fixed buffers. Pure computation.
//
// Lengths and capacities are unsigned 32-bit counts; the capacity includes the room for the
// terminator. Pass UTF8_NUL_TERMINATED (all bits set) as the source length for NUL-terminated
// text: conversion always stops at a zero byte or unit. A null destination counts only.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/result_code.h"

constexpr uint32_t UTF8_NUL_TERMINATED = 0xFFFFFFFFu;

// UTF-8 -> UTF-16. units_out: units written (or counted) without the terminator; consumed_out:
// source bytes consumed. Both, where given, are written on every return.
ResultCode Utf8ToUtf16(const char* source, uint32_t source_length, char16_t* destination,
                       uint32_t capacity, uint32_t* units_out, uint32_t* consumed_out);

// Short form for callers that need no counts.
inline ResultCode Utf8ToUtf16(const char* source, uint32_t source_length, char16_t* destination,
                              uint32_t capacity) {
    return Utf8ToUtf16(source, source_length, destination, capacity, nullptr, nullptr);
}

// True when the NUL-terminated text is valid UTF-8 throughout.
inline bool IsValidUtf8(const char* text) {
    return Utf8ToUtf16(text, UTF8_NUL_TERMINATED, nullptr, 0) == RESULT_OK;
}

// UTF-16 -> UTF-8. bytes_out: bytes written (or counted) without the terminator.
ResultCode Utf16ToUtf8(const char16_t* source, uint32_t source_length, char* destination,
                       uint32_t capacity, uint32_t* bytes_out);

// The whole of a NUL-terminated UTF-16 text as UTF-8, or nothing: the encoder above drops a
// character that does not fit, and everything after it, without a word, so callers that need the
// whole path or value count first. False, with an empty destination, when the text would not fit
// capacity (terminator included) or holds a surrogate without its partner.
bool Utf16ToUtf8Whole(const char16_t* source, char* destination, uint32_t capacity);

// As much of a NUL-terminated UTF-16 text as fits capacity (at least 1) in whole characters,
// always terminated: for texts that are only read, such as a log line.
void Utf16ToUtf8Cut(const char16_t* source, char* destination, uint32_t capacity);

// Copies text with every control character (below 0x20, and 0x7F) written as \xNN, so that a
// name holding a line break cannot split or forge a line. Cut to capacity (at least 1) between
// characters and escapes, always terminated.
void EscapeControlCharacters(const char* text, char* destination, size_t capacity);
