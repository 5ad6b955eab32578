// Which of the installer's languages a run takes: /SeaLang's value resolved against the
// languages the installer carries, and the button that takes the focus when the user is asked.
// Pure functions, built on every platform.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "command_line/stub_switches.h"
#include "text/language_list.h"

struct LanguageChoice {
    int32_t chosen;  // the index to take without asking (as LaunchLanguage counts); -1: ask
    int32_t focus;   // the index whose button takes the focus and the default when asked
    bool unknown;    // /SeaLang named a language the installer does not carry: nothing may run
};

// languages: the installer's list; count 0 stands for the stock three, which count as the codes
// en, de and ja here. user_tag: the user's UI language as a tag, empty when unknown.
//   - /SeaLang:CODE takes the entry of that code (any case), else it is unknown;
//   - /SeaLang:ID takes the entry that matches the id's tag as a user's language would match
//     (MatchUserLanguage), else it is unknown;
//   - /SeaLang:auto takes the entry that matches user_tag, else the first;
//   - without /SeaLang a quiet run takes the first language and any other run asks.
// The focus is the user's language in a vendor's list (else the first), and always English for
// the stock three.
LanguageChoice ChooseLanguage(const StubSwitches& switches, const LanguageList& languages,
                              const char* user_tag);

// The code of the entry at index ("en", "de" or "ja" for the stock three); "" for none.
const char* LanguageCodeAt(const LanguageList& languages, int32_t index);

// The codes the installer knows, for the log: "en, fr, zh-Hans"; "en, de, ja" for the stock
// three. Cut to fit capacity bytes (NUL included).
void DescribeLanguageCodes(const LanguageList& languages, char* out, size_t capacity);
