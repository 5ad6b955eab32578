/* Prints the temporary folder names that the C runtime's generator seeded with a start second
   gives, as the stub once drew them: two numbers multiplied, at most five hex digits. For each
   second from FIRST_SECOND (seconds since 1970) on, for SECONDS seconds, the first DRAWS names.
   Tests check that the stub's names do not follow them.

   Usage: first_names FIRST_SECOND SECONDS DRAWS */
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: first_names FIRST_SECOND SECONDS DRAWS\n");
        return 2;
    }
    unsigned first = (unsigned)strtoul(argv[1], NULL, 10);
    for (int i = 0; i < atoi(argv[2]); ++i) {
        srand(first + (unsigned)i);
        for (int draw = 0; draw < atoi(argv[3]); ++draw) {
            int a = rand();
            int b = rand();
            char digits[16];
            snprintf(digits, sizeof digits, "%x", (unsigned)(a * b));
            printf("QJX%.5s\n", digits);
        }
    }
    return 0;
}
