// The stub's own switches on its command line, for unattended runs: every token of the command
// tail whose text, without its double quotes, begins with "/sea" or "-sea" (any case) is the
// stub's and is never passed on to the installer. Pure functions, built on every platform.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "text/language_list.h"

// What /SeaLang asks for. Which of the installer's languages that is, the entry decides once it
// has read them (ChooseLanguage): here only the form of the value is checked.
enum : int32_t {
    STUB_LANGUAGE_ASK = 0,   // no /SeaLang: the buttons decide (a quiet run takes the first)
    STUB_LANGUAGE_CODE = 1,  // a language tag ("fr", "pt-BR"), in language_value
    STUB_LANGUAGE_ID = 2,    // a Windows language id (1031), in language_id
    STUB_LANGUAGE_AUTO = 3,  // "auto": the user's UI language
};

// Room for a path value in UTF-8, its NUL included.
constexpr size_t SWITCH_PATH_CAPACITY = 520;
// Room for the text of the first bad token, cut if longer.
constexpr size_t SWITCH_ERROR_CAPACITY = 80;

struct StubSwitches {
    bool any;          // at least one switch token was given
    bool bad;          // an unknown switch or a bad value: nothing may run
    bool quiet;        // /SeaQuiet: no window, no message box (implies wait)
    bool wait;         // /SeaWait (or /SeaQuiet): wait for the installer and return its exit code
    bool keep;         // /SeaKeep: keep the extracted folder after waiting
    int32_t language;  // /SeaLang: STUB_LANGUAGE_*
    uint16_t language_id;  // STUB_LANGUAGE_ID: 1 to 65535
    // The value as given (ASCII), for the log and for STUB_LANGUAGE_CODE; empty without one.
    char language_value[LANGUAGE_CODE_CAPACITY];
    char log_path[SWITCH_PATH_CAPACITY];      // /SeaLog: empty without it
    char extract_path[SWITCH_PATH_CAPACITY];  // /SeaExtract: empty without it
    char bad_token[SWITCH_ERROR_CAPACITY];    // the first bad token, as given
};

// The part of a command line after the program name: from the first space outside double quotes
// (the space included), or the empty string at the end. A tab does not end the program name.
const char* SkipProgramName(const char* command_line);
const char16_t* SkipProgramName(const char16_t* command_line);

// Reads the switches of a command tail into *out and writes the tail to forward into forwarded
// (room for the tail's length + 1 units): each switch token is removed together with the blanks
// and tabs before it, every other unit stays as it was. The NT family reads its UTF-16 tail, so
// that the switches and what is forwarded come from one reading of one command line: path values
// become UTF-8, and one that cannot be taken whole makes the switches bad. The 9x family reads
// its ANSI tail, whose path values stay code-page text.
void ReadStubSwitches(const char* tail, char* forwarded, StubSwitches* out);
void ReadStubSwitches(const char16_t* tail, char16_t* forwarded, StubSwitches* out);
