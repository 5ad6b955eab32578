/* Asks for RichEd20.dll by its bare name, as an unprotected program would: proves that the test
   prefix lets a DLL planted in the program's folder win. Exit code 0 when a library loaded. */
#include <windows.h>

int main(void) {
    return LoadLibraryA("RichEd20.dll") != NULL ? 0 : 1;
}
