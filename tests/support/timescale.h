#pragma once
// Upper time limits in tests are set for a plain build. Sanitizer builds run
// many times slower, so their runs set QUIMBREL_TEST_TIME_SCALE (a factor of
// at least 1) and every limit that only bounds slowness is stretched by it.

#include <chrono>
#include <cstdlib>

inline double TestTimeScale()
{
    static const double scale = [] {
        const char* text = std::getenv("QUIMBREL_TEST_TIME_SCALE");
        const double value = text ? std::strtod(text, nullptr) : 1.0;
        return value >= 1.0 ? value : 1.0;
    }();
    return scale;
}

// A time limit stretched by the scale, in whole milliseconds.
template <typename Rep, typename Period>
std::chrono::milliseconds Scaled(std::chrono::duration<Rep, Period> limit)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(limit * TestTimeScale());
}

inline int ScaledMs(int milliseconds)
{
    return static_cast<int>(milliseconds * TestTimeScale());
}
