#include "query/failurereason.h"

#include "platform/tcpclient.h"

#include <cctype>
#include <system_error>

namespace {

std::string DurationText(std::chrono::milliseconds duration)
{
    if (duration.count() % 1000 == 0)
        return std::to_string(duration.count() / 1000) + " s";
    return std::to_string(duration.count()) + " ms";
}

// The system's text for an error number, as part of a sentence.
std::string SystemErrorText(int errorNumber)
{
    std::string text = std::system_category().message(errorNumber);
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

}  // namespace

std::string FailureReason(std::exception_ptr error, const std::string& host, const ExchangeLimits& limits,
                          std::chrono::steady_clock::duration elapsed)
{
    try {
        std::rethrow_exception(error);
    } catch (const TcpResolveError&) {
        return "unknown host " + host;
    } catch (const TcpConnectError& failure) {
        return SystemErrorText(failure.errorNumber());
    } catch (const TcpTimeoutError&) {
        if (elapsed >= limits.overall)
            return "no whole answer within " + DurationText(limits.overall);
        return "no answer within " + DurationText(limits.inactivity);
    } catch (const TcpClosedError&) {
        return "closed the connection";
    } catch (const TcpResetError&) {
        return "connection reset";
    } catch (const std::exception& other) {
        return other.what();
    }
}

std::string GroupedCount(std::size_t count)
{
    std::string digits = std::to_string(count);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ' ');
    return digits;
}
