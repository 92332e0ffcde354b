#include "platform/codepage/codepagetext.h"

#include "platform/codepage/iconvconverter.h"
#include "platform/codepage/undefinedbytes.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace {

constexpr CodePage SingleByteCodePages[] = {874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};

bool IsSingleByte(CodePage codePage)
{
    for (CodePage known : SingleByteCodePages)
        if (known == codePage)
            return true;
    return false;
}

std::string IconvName(CodePage codePage)
{
    if (codePage == Utf8CodePage)
        return "UTF-8";
    if (IsSingleByte(codePage) || IsDoubleByteCodePage(codePage))
        return "CP" + std::to_string(codePage);
    throw std::invalid_argument("unknown code page " + std::to_string(codePage));
}

std::string Utf16LeBytes(std::u16string_view text)
{
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

std::u16string FromUtf16LeBytes(std::string_view bytes)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i])
                                             | static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

// The length of the character at `text[i]`: a surrogate pair is one.
std::size_t CharacterLength(std::u16string_view text, std::size_t i)
{
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
        && text[i + 1] <= 0xDFFF;
    return pair ? 2 : 1;
}

// One code page's conversion, made once per thread (iconv's state is not
// shared between threads).
class CodePageConverter {
public:
    explicit CodePageConverter(CodePage codePage)
        : codePage_(codePage), decoder_(IconvName(codePage).c_str(), "UTF-16LE"),
          encoder_("UTF-16LE", IconvName(codePage).c_str())
    {
        if (IsSingleByte(codePage))
            BuildByteTable();
    }

    std::u16string Decode(std::string_view bytes)
    {
        std::u16string text;
        if (byteTable_) {
            for (char byte : bytes)
                text.push_back((*byteTable_)[static_cast<unsigned char>(byte)]);
            return text;
        }
        while (!bytes.empty()) {
            std::size_t consumed = 0;
            text += FromUtf16LeBytes(decoder_.ConvertPrefix(bytes, consumed));
            bytes.remove_prefix(consumed);
            if (bytes.empty())
                break;
            const auto stopped = static_cast<unsigned char>(bytes.front());
            text.push_back(UndefinedByteCharacter(codePage_, stopped)
                               .value_or(codePage_ == Utf8CodePage ? u'\uFFFD' : u'?'));
            bytes.remove_prefix(1);
        }
        return text;
    }

    // The bytes of one character, or nothing when the code page has no
    // form that reads back as the same character.
    std::optional<std::string> EncodeCharacter(std::u16string_view character)
    {
        if (byteTable_) {
            if (character.size() != 1)
                return std::nullopt;
            const auto found = byteOf_.find(character[0]);
            if (found == byteOf_.end())
                return std::nullopt;
            return std::string(1, found->second);
        }
        std::optional<std::string> bytes = encoder_.Convert(Utf16LeBytes(character));
        if (!bytes && character.size() == 1)
            if (const auto byte = UndefinedByteFor(codePage_, character[0]))
                bytes = std::string(1, static_cast<char>(*byte));
        // glibc also accepts some look-alikes, which would read back as
        // another character.
        if (!bytes || Decode(*bytes) != character)
            return std::nullopt;
        return bytes;
    }

private:
    void BuildByteTable()
    {
        // Byte by byte, so that no converter combines a letter with the
        // accent after it: Wine does not either.
        byteTable_.emplace();
        for (unsigned byte = 0; byte < 256; ++byte) {
            const std::optional<std::string> unit = decoder_.Convert(std::string(1, static_cast<char>(byte)));
            const std::u16string text = unit ? FromUtf16LeBytes(*unit) : std::u16string();
            const char16_t character = text.size() == 1
                ? text[0]
                : UndefinedByteCharacter(codePage_, static_cast<unsigned char>(byte)).value_or(char16_t(byte));
            (*byteTable_)[byte] = character;
            byteOf_.emplace(character, static_cast<char>(byte));
        }
    }

    CodePage codePage_;
    IconvConverter decoder_;
    IconvConverter encoder_;
    std::optional<std::array<char16_t, 256>> byteTable_;
    std::unordered_map<char16_t, char> byteOf_;
};

CodePageConverter& ConverterFor(CodePage codePage)
{
    thread_local std::map<CodePage, std::unique_ptr<CodePageConverter>> converters;
    std::unique_ptr<CodePageConverter>& converter = converters[codePage];
    if (!converter)
        converter = std::make_unique<CodePageConverter>(codePage);
    return *converter;
}

} // namespace

bool IsDoubleByteCodePage(CodePage codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

std::u16string AnsiToUtf16(std::string_view bytes, CodePage codePage)
{
    return ConverterFor(codePage).Decode(bytes);
}

std::string Utf16ToAnsi(std::u16string_view text, CodePage codePage)
{
    CodePageConverter& converter = ConverterFor(codePage);
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharacterLength(text, i);
        bytes += converter.EncodeCharacter(text.substr(i, length)).value_or("?");
        i += length;
    }
    return bytes;
}

bool AnsiCanHold(std::u16string_view text, CodePage codePage)
{
    CodePageConverter& converter = ConverterFor(codePage);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharacterLength(text, i);
        if (!converter.EncodeCharacter(text.substr(i, length)))
            return false;
        i += length;
    }
    return true;
}
