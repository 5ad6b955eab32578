// The installer's languages, read from the stub's own image, and the language a run takes
// (Win32).
#pragma once

#include "command_line/language_choice.h"
#include "command_line/stub_switches.h"
#include "text/language_list.h"

// Reads the image's IDR_LANGUAGES into *out and logs what it holds. Without the resource, the
// stock list (count 0: the stock three). False, with *out the stock list, when the resource is
// there but is not a whole, valid list: the installer is damaged, and no other languages may
// stand in for the vendor's.
bool ReadInstallerLanguages(LanguageList* out);

// Resolves /SeaLang against languages (ChooseLanguage) with the user's UI language, and logs
// the choice; an unknown value is logged with the codes the installer knows.
LanguageChoice ChooseRunLanguage(const StubSwitches& switches, const LanguageList& languages);
