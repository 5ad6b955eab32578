#include "command_line/stub_switches.h"

#include <string.h>

#include "text/utf8.h"

namespace {

template <typename Char>
const Char* SkipName(const Char* p) {
    bool quoted = false;
    for (; *p != 0; ++p) {
        if (*p == '"') {
            quoted = !quoted;
        } else if (*p == ' ' && !quoted) {
            break;
        }
    }
    return p;
}

template <typename Char>
bool IsBlank(Char c) {
    return c == ' ' || c == '\t';
}

// One token of a tail: [begin, end) with its quotes, after skipping the blanks before it.
template <typename Char>
struct Token {
    const Char* gap;  // the blanks and tabs before it
    const Char* begin;
    const Char* end;
};

// The next token from p, or false at the end of the tail.
template <typename Char>
bool NextToken(const Char* p, Token<Char>* token) {
    token->gap = p;
    while (IsBlank(*p)) ++p;
    if (*p == 0) return false;
    token->begin = p;
    bool quoted = false;
    for (; *p != 0 && (quoted || !IsBlank(*p)); ++p) {
        if (*p == '"') quoted = !quoted;
    }
    token->end = p;
    return true;
}

// The token's text without its double quotes, cut at capacity - 1 units.
template <typename Char>
void Unquote(const Token<Char>& token, Char* out, size_t capacity) {
    size_t length = 0;
    for (const Char* p = token.begin; p != token.end && length + 1 < capacity; ++p) {
        if (*p != '"') out[length++] = *p;
    }
    out[length] = 0;
}

unsigned Unit(char c) {
    return static_cast<unsigned char>(c);
}
unsigned Unit(char16_t c) {
    return c;
}

// ASCII letters in lower case; every other unit compares as itself.
template <typename Char>
unsigned Lower(Char c) {
    const unsigned unit = Unit(c);
    return unit >= 'A' && unit <= 'Z' ? unit - 'A' + 'a' : unit;
}

// True when text begins with the ASCII word, any case.
template <typename Char>
bool StartsWith(const Char* text, const char* word) {
    for (; *word != 0; ++text, ++word) {
        if (Lower(*text) != static_cast<unsigned>(*word)) return false;
    }
    return true;
}

template <typename Char>
bool Equals(const Char* text, const char* word) {
    return StartsWith(text, word) && text[strlen(word)] == 0;
}

template <typename Char>
bool IsSwitch(const Char* text) {
    return (text[0] == '/' || text[0] == '-') && StartsWith(text + 1, "sea");
}

// The switch's name ends at ':' or '='; value points after it (true), or to the empty end.
template <typename Char>
bool SplitSwitch(Char* text, const Char** value) {
    Char* p = text;
    while (*p != 0 && *p != ':' && *p != '=') ++p;
    const bool separated = *p != 0;
    if (separated) *p++ = 0;
    *value = p;
    return separated;
}

constexpr size_t TOKEN_CAPACITY = 1024;

bool CopyPath(const char* value, char* out) {
    const size_t length = strlen(value);
    if (length == 0 || length >= SWITCH_PATH_CAPACITY) return false;
    memcpy(out, value, length + 1);
    return true;
}

// A wide value is taken whole or not at all: cut, it would name another file.
bool CopyPath(const char16_t* value, char* out) {
    return value[0] != 0 && Utf16ToUtf8Whole(value, out, SWITCH_PATH_CAPACITY);
}

// A /SeaLang value: "auto", a language id of one to five digits (1 to 65535), or a plausible
// language tag, ASCII throughout. Any other is a bad value.
template <typename Char>
bool ReadLanguage(const Char* value, StubSwitches* out) {
    char text[LANGUAGE_CODE_CAPACITY] = {0};  // zeroed for the analyzer, as in ReadTail
    size_t length = 0;
    bool digits = true;
    for (; value[length] != 0; ++length) {
        const unsigned unit = Unit(value[length]);
        if (unit >= 0x80 || length + 1 >= LANGUAGE_CODE_CAPACITY) return false;
        text[length] = static_cast<char>(unit);
        digits = digits && unit >= '0' && unit <= '9';
    }
    text[length] = 0;
    out->language_id = 0;
    if (Equals(text, "auto")) {
        out->language = STUB_LANGUAGE_AUTO;
    } else if (digits && length > 0 && length <= 5) {
        uint32_t id = 0;
        for (size_t i = 0; i < length; ++i) id = id * 10 + static_cast<uint32_t>(text[i] - '0');
        if (id == 0 || id > 0xFFFF) return false;
        out->language = STUB_LANGUAGE_ID;
        out->language_id = static_cast<uint16_t>(id);
    } else if (IsPlausibleLanguageTag(text)) {
        out->language = STUB_LANGUAGE_CODE;
    } else {
        return false;
    }
    memcpy(out->language_value, text, length + 1);
    return true;
}

// Marks the switches bad, naming the first bad token as given (cut to fit).
template <typename Char>
void MarkBad(StubSwitches* out, const Char* begin, const Char* end) {
    if (out->bad) return;
    out->bad = true;
    size_t length = 0;
    // For the log only: a unit outside ASCII shows as '?'.
    for (const Char* c = begin; c != end && length + 1 < SWITCH_ERROR_CAPACITY; ++c) {
        out->bad_token[length++] = Unit(*c) < 0x80 ? static_cast<char>(*c) : '?';
    }
    out->bad_token[length] = 0;
}

// Applies one switch. False for an unknown switch or a bad value.
template <typename Char>
bool Apply(Char* text, StubSwitches* out) {
    const Char* value;
    const bool separated = SplitSwitch(text, &value);
    const Char* name = text + 1;
    if (Equals(name, "seakeep")) {
        out->keep = true;
        return !separated;
    }
    if (Equals(name, "seawait") || Equals(name, "seaquiet")) {
        out->wait = true;
        if (Lower(name[3]) == 'q') out->quiet = true;
        return !separated;
    }
    if (Equals(name, "sealang")) return ReadLanguage(value, out);
    if (Equals(name, "sealog")) return CopyPath(value, out->log_path);
    if (Equals(name, "seaextract")) return CopyPath(value, out->extract_path);
    return false;
}

// Walks a tail: applies its switches and writes what stays to forwarded.
template <typename Char>
void ReadTail(const Char* tail, Char* forwarded, StubSwitches* out) {
    memset(out, 0, sizeof *out);
    Token<Char> token;
    const Char* p = tail;
    while (NextToken(p, &token)) {
        // Zeroed: the analyzer cannot see that no comparison reads past the terminator.
        Char text[TOKEN_CAPACITY] = {0};
        Unquote(token, text, TOKEN_CAPACITY);
        if (IsSwitch(text)) {
            out->any = true;
            const size_t full = static_cast<size_t>(token.end - token.begin);
            if (full >= TOKEN_CAPACITY || !Apply(text, out)) {
                MarkBad(out, token.begin, token.end);
            }
        } else {
            const size_t length = static_cast<size_t>(token.end - token.gap);
            memcpy(forwarded, token.gap, length * sizeof(Char));
            forwarded += length;
        }
        p = token.end;
    }
    // Blanks after the last token belong to no switch: they stay.
    while (*p != 0) *forwarded++ = *p++;
    *forwarded = 0;
}

}  // namespace

const char* SkipProgramName(const char* command_line) {
    return SkipName(command_line);
}

const char16_t* SkipProgramName(const char16_t* command_line) {
    return SkipName(command_line);
}

void ReadStubSwitches(const char* tail, char* forwarded, StubSwitches* out) {
    ReadTail(tail, forwarded, out);
}

void ReadStubSwitches(const char16_t* tail, char16_t* forwarded, StubSwitches* out) {
    ReadTail(tail, forwarded, out);
}
