#include "demo-servers/samplelist.h"

#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

#include "demo-servers/tcpservice.h"

namespace {

// "|" marks a colour change in a name.
constexpr std::array<std::string_view, 12> Names{
    "|Mossy |Hollow",     "Cloudberry Cove",     "|R|ed |Lantern Inn", "Tumbleweed Tower",
    "Night Owls |Only",   "Pebble Pit",          "|Gl|im|mer Gardens", "Saltmarsh Arena",
    "Copperkettle Court", "|Frost|fern Vale",    "Snail Mail Derby",   "Lumpy Lagoon",
};
// The three known versions, and one newer that we cannot start.
constexpr std::array<std::string_view, 5> Versions{"1.24  ", "1.21  ", "1.24 x", "1.30  ", "1.24  "};
constexpr std::array<std::string_view, 5> Types{"Battle", "Treasure", "Race", "Capture", "Coop"};
// From seconds to days: 7 s, 59 s, 1 h 2 min 5 s, a day less a second, ...
constexpr std::array<int, 12> Uptimes{7, 59, 3725, 86399, 90061, 360000, 1234567, 45, 600, 7322, 172800, 3};
constexpr std::array<std::string_view, 6> FirstAddresses{"127.0.0.1", "127.0.0.2", "127.0.1.5",
                                                         "127.0.0.3", "127.0.2.9", "127.1.0.1"};
constexpr std::array<int, 4> Capacities{8, 4, 16, 8};

std::string AddressOf(std::size_t index)
{
    if (index < FirstAddresses.size())
        return std::string(FirstAddresses[index]);
    // Further servers each get an address of their own in 127.10.x.y.
    const std::size_t n = index - FirstAddresses.size();
    return "127.10." + std::to_string(n / 250 % 256) + "." + std::to_string(1 + n % 250);
}

std::string NameOf(std::size_t index)
{
    std::string name(Names[index % Names.size()]);
    if (index >= Names.size())
        name += " " + std::to_string(index / Names.size() + 1);
    return name;
}

}  // namespace

std::vector<std::string> SampleServerLines(std::size_t count)
{
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const int capacity = Capacities[i % Capacities.size()];
        const int players = static_cast<int>((i * 5 + 1) % static_cast<std::size_t>(capacity + 1));
        const int uptime = Uptimes[i % Uptimes.size()] + static_cast<int>(i / Uptimes.size() % 1000) * 13;
        const bool isPrivate = i % 4 == 2;

        // Most servers keep the default game port; some were moved.
        const std::size_t gamePort = i % 3 == 0 ? 10052 : 10060 + i % 20;
        std::string line = AddressOf(i) + ":" + std::to_string(gamePort);
        line += " s" + std::to_string(i + 1);
        line += isPrivate ? " private" : " public";
        line += " " + std::string(Types[i % Types.size()]);
        line += " " + std::string(Versions[i % Versions.size()]);
        line += " " + std::to_string(uptime);
        line += " " + std::to_string(players) + "/" + std::to_string(capacity);
        line += " " + NameOf(i);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> ReadServerLines(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw ServiceError("cannot read \"" + path + "\"");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool terminated = end != std::string::npos;
        if (!terminated)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (terminated && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}
