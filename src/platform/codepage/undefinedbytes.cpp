#include "platform/codepage/undefinedbytes.h"

namespace {

bool IsSingleByte(CodePage codePage)
{
    return codePage != 932 && codePage != 936 && codePage != 949 && codePage != 950 && codePage != Utf8CodePage;
}

// Runs of undefined bytes that Wine maps into the private use area (or, for
// 1255, to a point glibc lacks); found by converting every byte with Wine's
// MultiByteToWideChar.
struct UndefinedRun {
    CodePage codePage;
    unsigned char firstByte;
    unsigned char count;
    char16_t firstCharacter;
};

constexpr UndefinedRun PrivateRuns[] = {
    {1253, 0xAA, 1, 0xF8F9}, {1253, 0xD2, 1, 0xF8FA}, {1253, 0xFF, 1, 0xF8FB},
    {1255, 0xCA, 1, 0x05BA}, {1255, 0xD9, 7, 0xF88D}, {1255, 0xFB, 2, 0xF894}, {1255, 0xFF, 1, 0xF896},
    {1257, 0xA1, 1, 0xF8FC}, {1257, 0xA5, 1, 0xF8FD},
    {874, 0xDB, 4, 0xF8C1},  {874, 0xFC, 4, 0xF8C5},
    {932, 0x80, 1, 0x0080},  {932, 0xA0, 1, 0xF8F0},  {932, 0xFD, 3, 0xF8F1},
    {936, 0xFF, 1, 0xF8F5},
    {949, 0x80, 1, 0x0080},  {949, 0xFF, 1, 0xF8F7},
    {950, 0xFF, 1, 0xF8F8},
};

} // namespace

std::optional<char16_t> UndefinedByteCharacter(CodePage codePage, unsigned char byte)
{
    for (const UndefinedRun& run : PrivateRuns)
        if (run.codePage == codePage && byte >= run.firstByte && byte - run.firstByte < run.count)
            return static_cast<char16_t>(run.firstCharacter + (byte - run.firstByte));
    // The single-byte code pages leave holes among 0x80..0x9F; Wine fills
    // them with the control character of the same number.
    if (IsSingleByte(codePage) && byte >= 0x80 && byte <= 0x9F)
        return static_cast<char16_t>(byte);
    return std::nullopt;
}

std::optional<unsigned char> UndefinedByteFor(CodePage codePage, char16_t character)
{
    for (const UndefinedRun& run : PrivateRuns)
        if (run.codePage == codePage && character >= run.firstCharacter && character - run.firstCharacter < run.count)
            return static_cast<unsigned char>(run.firstByte + (character - run.firstCharacter));
    if (IsSingleByte(codePage) && character >= 0x80 && character <= 0x9F)
        return static_cast<unsigned char>(character);
    return std::nullopt;
}
