/* Asks Wine's own profile functions what they read from and write to a
 * settings file, so that our reader can be compared with them. Not built by
 * the project; build and run it by hand in a throw-away prefix:
 *
 *   x86_64-w64-mingw32-gcc -O2 -o probe.exe tools/wine-probes/profile_functions.c
 *   WINEPREFIX=/tmp/probe-prefix WINEDEBUG=-all wine probe.exe get 'Z:\tmp\t.ini' S k
 *
 * Commands (one file, one section, then a key or "*" for the key list):
 *   get  FILE SECTION KEY|*        prints the value read, bytes above 126
 *                                  and below 32 as \xNN, keys separated by |
 *   set  FILE SECTION KEY VALUE    WritePrivateProfileStringA, prints ok/fail
 * VALUE may hold \xNN escapes. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void Unescape(const char *in, char *out)
{
    while (*in) {
        if (in[0] == '\\' && in[1] == 'x' && in[2] && in[3]) {
            char hex[3] = {in[2], in[3], 0};
            *out++ = (char)strtol(hex, NULL, 16);
            in += 4;
        } else {
            *out++ = *in++;
        }
    }
    *out = 0;
}

static void PrintBytes(const char *bytes, DWORD length)
{
    for (DWORD i = 0; i < length; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c == 0)
            putchar('|');
        else if (c < 32 || c > 126 || c == '\\')
            printf("\\x%02X", c);
        else
            putchar(c);
    }
    printf("\n");
}

int main(int argc, char **argv)
{
    static char buffer[65536], section[4096], key[4096], value[4096];
    if (argc >= 5 && strcmp(argv[1], "get") == 0) {
        Unescape(argv[3], section);
        Unescape(argv[4], key);
        DWORD got = GetPrivateProfileStringA(section, strcmp(key, "*") ? key : NULL, "<default>",
                                             buffer, sizeof buffer, argv[2]);
        printf("%lu:", (unsigned long)got);
        PrintBytes(buffer, got);
        return 0;
    }
    if (argc >= 6 && strcmp(argv[1], "set") == 0) {
        Unescape(argv[3], section);
        Unescape(argv[4], key);
        Unescape(argv[5], value);
        BOOL ok = WritePrivateProfileStringA(section, key, value, argv[2]);
        printf("%s\n", ok ? "ok" : "fail");
        return 0;
    }
    fprintf(stderr, "usage: get FILE SECTION KEY|* | set FILE SECTION KEY VALUE\n");
    return 2;
}
