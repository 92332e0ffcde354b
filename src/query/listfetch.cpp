#include "query/listfetch.h"

#include "browse/listserver.h"
#include "platform/tcpclient.h"
#include "query/exitcodes.h"
#include "query/failurereason.h"
#include "query/terminaltext.h"

namespace {

constexpr char ListServerFailed[] = "Error connecting to listserver";

}  // namespace

std::variant<std::vector<ServerEntry>, int> FetchEntriesOrTell(const std::string& host, std::uint16_t port)
{
    // The window's limits: 30 s without a byte, 60 s for the whole answer.
    FetchOptions options;
    options.port = port;
    const auto started = std::chrono::steady_clock::now();
    try {
        return ParseServerList(FetchServerList(host, options));
    } catch (const TcpError& error) {
        WriteError(ListServerFailed);
        if (dynamic_cast<const TooManyServersError*>(&error)) {
            WriteError("more than " + GroupedCount(options.maxLines) + " servers");
            return ExitListTooLong;
        }
        if (dynamic_cast<const TcpLimitError*>(&error)) {
            WriteError(std::string("an answer of more than ") + GroupedCount(options.maxBytes) + " bytes");
            return ExitListTooLong;
        }
        WriteError(FailureReason(std::current_exception(), host,
                                 {options.inactivityTimeout, options.overallTimeout},
                                 std::chrono::steady_clock::now() - started));
        return ExitListServerUnreachable;
    }
}
