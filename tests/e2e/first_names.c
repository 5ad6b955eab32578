/* Prints the temporary folder name that a stub started in each of the next N seconds draws
   first: the runtime's generator seeded with the time in seconds, two numbers multiplied, at
   most five hex digits. Tests pre-create these names to force a same-second collision.

   Usage: first_names N */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: first_names N\n");
        return 2;
    }
    unsigned now = (unsigned)time(NULL);
    for (int i = 0; i < atoi(argv[1]); ++i) {
        srand(now + (unsigned)i);
        int first = rand();
        int second = rand();
        char digits[16];
        snprintf(digits, sizeof digits, "%x", (unsigned)(first * second));
        printf("QJX%.5s\n", digits);
    }
    return 0;
}
