// quimbrel-query: the server list, distances and a game server's players
// from a terminal, for scripts.
#include "query/commands.h"
#include "query/exitcodes.h"
#include "query/queryoptions.h"
#include "query/terminaltext.h"

#include <QCoreApplication>

#include <exception>

namespace {

// Visits the parsed request: runs its command, or reports the bad input.
struct Dispatch {
    int operator()(const ListRequest& request) const { return RunList(request); }
    int operator()(const InfoRequest& request) const { return RunInfo(request); }
    int operator()(const FindRequest& request) const { return RunFind(request); }
    int operator()(const UsageError& error) const
    {
        WriteError(error.message);
        WriteError("Try 'quimbrel-query --help'.");
        return ExitBadInput;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quimbrel-query"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUIMBREL_VERSION));
    try {
        return std::visit(Dispatch{}, ParseQueryArguments(QCoreApplication::arguments()));
    } catch (const std::exception& error) {
        WriteError(error.what());
        return ExitFailure;
    }
}
