/* Prints the ANSI code page this program was given, as a decimal number. */
#include <stdio.h>
#include <windows.h>

int main(void)
{
    printf("%u\n", GetACP());
    return 0;
}
