#include "system/user_language.h"

#include <windows.h>

#include "text/language_list.h"

namespace {

typedef LANGID(WINAPI* GetUserDefaultUILanguageFunction)();
typedef int(WINAPI* LCIDToLocaleNameFunction)(LCID, LPWSTR, int, DWORD);

// LOCALE_NAME_MAX_LENGTH; missing from old headers.
constexpr int LOCALE_NAME_UNITS = 85;

template <typename Function>
Function FindKernelFunction(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

// The UI language where the system has one of its own (2000 on); the 9x family and NT4 know
// only the user's locale, which is the language its users chose.
LANGID UserLanguageId() {
    GetUserDefaultUILanguageFunction ui_language =
        FindKernelFunction<GetUserDefaultUILanguageFunction>("GetUserDefaultUILanguage");
    return ui_language != nullptr ? ui_language() : GetUserDefaultLangID();
}

// The system's name for the language (Vista on), taken only when it is a plausible tag: a
// sort's name such as "es-ES_tradnl" is not one, and the table names that language too.
bool SystemLocaleName(LANGID language, char* out, size_t capacity) {
    LCIDToLocaleNameFunction to_name =
        FindKernelFunction<LCIDToLocaleNameFunction>("LCIDToLocaleName");
    if (to_name == nullptr) return false;
    wchar_t name[LOCALE_NAME_UNITS];
    const int units = to_name(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_UNITS, 0);
    if (units <= 1 || static_cast<size_t>(units) > capacity) return false;
    for (int i = 0; i < units; ++i) {
        if (name[i] >= 0x80) return false;
        out[i] = static_cast<char>(name[i]);
    }
    out[units - 1] = 0;
    return IsPlausibleLanguageTag(out);
}

}  // namespace

bool UserLanguageTag(char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = 0;
    const LANGID language = UserLanguageId();
    if (SystemLocaleName(language, out, capacity)) return true;
    out[0] = 0;
    return LanguageTagOfId(language, out, capacity);
}
