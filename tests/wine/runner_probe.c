/* A program of anyone's, as tools/wine/run.sh starts it: tells what it was handed (code page,
 * current folder, first line of input, its own width) and exits with the status it is asked for. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    char line[256] = "";
    char folder[MAX_PATH] = "";
    if (fgets(line, sizeof line, stdin) == NULL) {
        line[0] = 0;
    }
    line[strcspn(line, "\r\n")] = 0;
    GetCurrentDirectoryA(MAX_PATH, folder);
    printf("acp=%u\nfolder=%s\nstdin=%s\nbits=%u\n", GetACP(), folder, line,
           (unsigned)(sizeof(void*) * 8));
    fprintf(stderr, "to standard error\n");
    return argc > 1 ? atoi(argv[1]) : 0;
}
