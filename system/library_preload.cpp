#include "system/library_preload.h"

#include "system/system_library.h"

// Who asks for each, on which systems (none of them a KnownDLL there):
const char* const OLD_SYSTEM_LIBRARIES[] = {
    "uxtheme.dll",    // comctl32 version 6 and the window frame: XP, Vista, 7
    "dwmapi.dll",     // uxtheme and comctl32: Vista, 7
    "version.dll",    // shell32, comctl32: XP (not a KnownDLL on 7 either)
    "propsys.dll",    // shell32: Vista, 7
    "profapi.dll",    // userenv: 7
    "userenv.dll",    // shell32: XP, Vista, 7
    "apphelp.dll",    // shell32 and the shim engine: XP, Vista, 7
    "setupapi.dll",   // shell32: XP, Vista
    "cryptbase.dll",  // advapi32's random source and security calls: Vista, 7
    "cryptsp.dll",    // advapi32's CryptAcquireContext: 7
    "rsaenh.dll",     // the provider CryptAcquireContext names by bare name: XP, Vista, 7
    "ntmarta.dll",    // advapi32's GetSecurityInfo: XP, Vista, 7
    "secur32.dll",    // wintrust, crypt32: XP
    "sspicli.dll",    // secur32: 7
    "crypt32.dll",    // wintrust: XP, Vista
    "msasn1.dll",     // crypt32: XP, Vista, 7
    "imagehlp.dll",   // wintrust: Vista
    "usp10.dll",      // riched20: XP, Vista
    "msls31.dll",     // riched20: XP, Vista, 7
    "oleacc.dll",     // comctl32 version 6: Vista, 7
    "winsta.dll",     // shell32: Vista, 7
    "wtsapi32.dll",   // shell32: Vista, 7
};
const size_t OLD_SYSTEM_LIBRARY_COUNT =
    sizeof OLD_SYSTEM_LIBRARIES / sizeof OLD_SYSTEM_LIBRARIES[0];

void PreloadOldSystemLibraries() {
    for (size_t i = 0; i < OLD_SYSTEM_LIBRARY_COUNT; ++i)
        LoadSystemLibrary(OLD_SYSTEM_LIBRARIES[i]);
}
