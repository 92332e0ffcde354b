#include "launch/gameparameters.h"

std::string BuildGameParameters(const ServerEntry& entry, const LaunchOptions& options)
{
    std::string parameters = " -connect ";
    parameters += entry.ip;
    parameters += ':';
    parameters += entry.port;
    parameters += options.spy ? " -spy" : " -nospy";
    parameters += options.windowed ? " -windowed" : " -fullscreen";
    return parameters;
}
