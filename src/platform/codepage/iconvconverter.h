#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

// One direction of glibc's iconv between two of its encoding names.
class IconvConverter {
public:
    // Throws std::runtime_error when glibc does not know the pair.
    IconvConverter(const char* from, const char* to);
    ~IconvConverter();
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    // The whole of `input` converted, or nothing when any of it has no form
    // in the target or is not valid in the source. The state is reset first.
    std::optional<std::string> Convert(std::string_view input);

    // Converts from the start of `input` while it can; `consumed` tells how
    // many bytes were taken. Stops at the first sequence that cannot be
    // converted (or an incomplete one at the end).
    std::string ConvertPrefix(std::string_view input, std::size_t& consumed);

private:
    iconv_t handle_;
};
