/* What a Windows program using the ANSI functions, as the game does, sees:
 *   ansiprogram acp                 prints the ANSI code page it was given
 *   ansiprogram set KEY NAME TEXT   writes a text value below HKEY_CURRENT_USER
 *   ansiprogram get KEY NAME        prints it, without its final zero
 * Keys, names and texts are hexadecimal bytes, so that no command line or
 * console code page stands between the test and the registry. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static int FromHex(const char* hex, char* out, size_t size)
{
    size_t length = strlen(hex);
    if (length % 2 != 0 || length / 2 >= size)
        return 0;
    for (size_t i = 0; i < length / 2; ++i) {
        char pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
        out[i] = (char)strtoul(pair, NULL, 16);
    }
    out[length / 2] = 0;
    return 1;
}

int main(int argc, char** argv)
{
    char key[1024], name[256], text[1024];
    if (argc == 2 && strcmp(argv[1], "acp") == 0)
        return printf("%u\n", GetACP()) > 0 ? 0 : 1;
    if (argc < 4 || !FromHex(argv[2], key, sizeof key) || !FromHex(argv[3], name, sizeof name))
        return 1;
    HKEY handle;
    if (strcmp(argv[1], "set") == 0 && argc == 5) {
        if (!FromHex(argv[4], text, sizeof text)
            || RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, NULL, 0, KEY_WRITE, NULL, &handle, NULL) != ERROR_SUCCESS)
            return 1;
        LONG status = RegSetValueExA(handle, name, 0, REG_SZ, (const BYTE*)text, (DWORD)strlen(text) + 1);
        RegCloseKey(handle);
        return status == ERROR_SUCCESS ? 0 : 1;
    }
    if (strcmp(argv[1], "get") == 0 && argc == 4) {
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return 1;
        DWORD type = 0, size = sizeof text;
        LONG status = RegQueryValueExA(handle, name, NULL, &type, (BYTE*)text, &size);
        RegCloseKey(handle);
        if (status != ERROR_SUCCESS || type != REG_SZ)
            return 1;
        for (DWORD i = 0; i < size && text[i] != 0; ++i)
            printf("%02X", (unsigned char)text[i]);
        printf("\n");
        return 0;
    }
    return 1;
}
