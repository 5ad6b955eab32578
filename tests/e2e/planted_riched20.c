/* A stand-in RichEd20.dll that a planting attack would leave next to the stub. Loading it
   leaves a marker file, "<this DLL's path>.loaded", which the test looks for. */
#include <stdio.h>
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char path[MAX_PATH + 16];
        DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyA(path + length, ".loaded");
            FILE* marker = fopen(path, "wb");
            if (marker != NULL) fclose(marker);
        }
    }
    return TRUE;
}
