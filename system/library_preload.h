// Libraries that the system's own libraries load by bare name on systems without
// SetDefaultDllDirectories (XP, Vista, and 7 without its update), loaded first by full path from
// the system folder (Win32).
#pragma once

#include <stddef.h>

// The libraries comctl32, shell32, wintrust, riched20 and advapi32 (its security and random
// calls) load later by bare name, or import, that are not KnownDLLs on XP, Vista and 7: there
// the program's own folder comes first in the search, and a downloads folder may hold any of
// them. comctl32 is not among them: it stays bare-named, so that the manifest's version 6 applies.
extern const char* const OLD_SYSTEM_LIBRARIES[];
extern const size_t OLD_SYSTEM_LIBRARY_COUNT;

// Loads each of OLD_SYSTEM_LIBRARIES from the system folder by full path, so that a later load
// by bare name finds it loaded already; one the system lacks is passed over. Never unloaded.
void PreloadOldSystemLibraries();
