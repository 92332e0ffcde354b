// demo-servers: our own stand-ins for the servers the program talks to, on
// loopback only, for demos and hand testing: the list server, and behind
// every listed server a game server on that server's own address and port.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pthread.h>

#include "demo-servers/demolistserver.h"
#include "demo-servers/gameservers.h"
#include "demo-servers/samplelist.h"
#include "platform/openfilelimit.h"

namespace {

constexpr std::uint16_t DefaultListPort = 10057;
// Each game server has a thread and three descriptors of its own; beyond
// this many lines the rest are listed without one.
constexpr std::size_t MaxGameServers = 1000;

struct Options {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = DefaultListPort;
    std::size_t count = 12;
    std::optional<std::string> file;
    ListAnswer answer = ListAnswer::Complete;
    bool printLines = false;
    bool gameServers = true;
    GameAnswerChoice gameAnswers;
};

// Words of text in lines of at most width characters, each indented.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width)
{
    std::string lines;
    std::string line;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            lines += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        start = end + 1;
    }
    if (!line.empty())
        lines += std::string(indent, ' ') + line + "\n";
    return lines;
}

void PrintUsage(std::ostream& out)
{
    out << "Usage: demo-servers [options]\n"
           "Serves a list of sample game servers on loopback, and runs every listed game\n"
           "server on its own address and port, until Ctrl+C.\n"
           "\n"
           "  --bind ADDRESS   address to listen on, in 127.0.0.0/8 (default 127.0.0.1)\n"
           "  --port PORT      list-server port (default 10057; 0 picks a free one)\n"
           "  --count N        serve N generated sample servers (default 12)\n"
           "  --file PATH      serve the lines of PATH instead, each sent with CR LF\n"
           "  --answer KIND    how the list server answers: complete (default), silent,\n"
           "                   never-close, close-mid-answer, reset-mid-answer, endless\n"
           "                   or trickle\n"
           "  --game-answer N=KIND\n"
           "                   how listed game server N (from 1, or \"all\") answers the\n"
           "                   server-info exchange (default complete; may be repeated):\n"
        << Wrapped(GameAnswerNames(), 19, 79)
        << "  --no-game-servers  run the list server alone\n"
           "  --print          print the served lines on start\n"
           "  --help           show this text\n";
}

unsigned long ParseNumber(std::string_view option, const std::string& text, unsigned long max)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value > max || text.front() == '-')
        throw ServiceError(std::string(option) + " needs a number from 0 to " + std::to_string(max));
    return value;
}

// Returns nullopt when only the usage was asked for.
std::optional<Options> ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h")
            return std::nullopt;
        if (option == "--print") {
            options.printLines = true;
            continue;
        }
        if (option == "--no-game-servers") {
            options.gameServers = false;
            continue;
        }
        if (i + 1 >= argc)
            throw ServiceError("unknown option or missing value: " + std::string(option));
        const std::string value = argv[++i];
        if (option == "--bind")
            options.bindAddress = value;
        else if (option == "--port")
            options.port = static_cast<std::uint16_t>(ParseNumber(option, value, 65535));
        else if (option == "--count")
            options.count = ParseNumber(option, value, 1'000'000);
        else if (option == "--file")
            options.file = value;
        else if (option == "--answer")
            options.answer = ListAnswerFromName(value);
        else if (option == "--game-answer")
            options.gameAnswers.Add(value);
        else
            throw ServiceError("unknown option: " + std::string(option));
    }
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const std::optional<Options> options = ParseArguments(argc, argv);
        if (!options) {
            PrintUsage(std::cout);
            return 0;
        }
        const std::vector<std::string> lines =
            options->file ? ReadServerLines(*options->file) : SampleServerLines(options->count);

        // Block the stop signals before any thread starts, so that only
        // sigwait() below receives them and the servers shut down in order.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        DemoListServer listServer(options->bindAddress, options->port, lines, options->answer);
        std::cout << "List server on " << listServer.address() << ":" << listServer.port() << ", serving "
                  << listServer.lineCount() << " game server" << (listServer.lineCount() == 1 ? "" : "s")
                  << " (" << ListAnswerName(listServer.answer()) << " answer"
                  << (options->file ? ", from " + *options->file : std::string()) << ")\n";
        if (options->printLines)
            for (const std::string& line : lines)
                std::cout << "  " << line << "\n";

        std::optional<DemoGameServers> gameServers;
        if (options->gameServers) {
            // A thousand game servers need more descriptors than the usual 1024.
            RaiseOpenFileLimit();
            gameServers.emplace(lines, options->gameAnswers, MaxGameServers);
            std::cout << "Game servers: " << gameServers->size() << " ("
                      << GameAnswerName(options->gameAnswers.forAll) << " answers";
            for (const auto& [number, answer] : options->gameAnswers.byNumber)
                std::cout << "; server " << number << ": " << GameAnswerName(answer);
            std::cout << ")\n";
            for (const std::string& problem : gameServers->problems())
                std::cout << "  no game server for " << problem << "\n";
        }
        std::cout << "Press Ctrl+C to stop." << std::endl;

        int received = 0;
        sigwait(&stopSignals, &received);
        std::cout << "Stopping after " << listServer.connectionsAccepted() << " connection"
                  << (listServer.connectionsAccepted() == 1 ? "" : "s") << "." << std::endl;
        listServer.stop();
        if (gameServers)
            gameServers->stop();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "demo-servers: " << error.what() << "\n";
        if (dynamic_cast<const ServiceError*>(&error))
            std::cerr << "Try demo-servers --help.\n";
        return 1;
    }
}
