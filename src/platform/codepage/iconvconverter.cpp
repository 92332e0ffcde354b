#include "platform/codepage/iconvconverter.h"

#include <cerrno>
#include <stdexcept>

IconvConverter::IconvConverter(const char* from, const char* to) : handle_(::iconv_open(to, from))
{
    if (handle_ == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("the system cannot convert from ") + from + " to " + to);
}

IconvConverter::~IconvConverter() { ::iconv_close(handle_); }

std::string IconvConverter::ConvertPrefix(std::string_view input, std::size_t& consumed)
{
    ::iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string output;
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[256];
    for (;;) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = ::iconv(handle_, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(buffer, sizeof buffer - outLeft);
        if (result != static_cast<std::size_t>(-1) || error != E2BIG)
            break;
    }
    // Characters a converter holds back (to combine them) come out now.
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(handle_, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, sizeof buffer - outLeft);
    consumed = input.size() - inLeft;
    return output;
}

std::optional<std::string> IconvConverter::Convert(std::string_view input)
{
    std::size_t consumed = 0;
    std::string output = ConvertPrefix(input, consumed);
    if (consumed != input.size())
        return std::nullopt;
    return output;
}
