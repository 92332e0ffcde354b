#include "standinrequest.h"

std::optional<StandInRequest> ParseStandInArguments(const QStringList& arguments)
{
    if (arguments.size() < 3 || arguments.at(1) != QLatin1String("--stands-for") || arguments.at(2).isEmpty())
        return std::nullopt;
    // The game gets its parameters as separate words; shown joined, they read
    // as the parameter string Quimbrel built.
    return StandInRequest{arguments.at(2), arguments.mid(3).join(QLatin1Char(' '))};
}
