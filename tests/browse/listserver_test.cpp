// Reading the list server's answer: splitting into lines, cutting a line into
// the fields of a server entry, and the uptime text.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "browse/listserver.h"

using namespace std::string_literals;

namespace {

// Fields in column order, so a failing comparison shows which one differs.
std::vector<std::string> Fields(const ServerEntry& entry)
{
    std::vector<std::string> fields;
    for (int column = ColName; column < ServerColumnCount; ++column)
        fields.push_back(ServerField(entry, column));
    return fields;
}

ServerEntry Entry(std::string name, std::string type, std::string version, std::string mode, std::string players,
                  std::string uptime, std::string ip, std::string port, std::string extra)
{
    return ServerEntry{std::move(name), std::move(type), std::move(version), std::move(mode), std::move(players),
                       "pinging...", std::move(uptime), std::move(ip), std::move(port), std::move(extra)};
}

}  // namespace

TEST(ParseServerLine, ReadsEveryFieldOfAWellFormedLine)
{
    const ServerEntry entry = ParseServerLine("10.0.0.5:10052 e1 m1 t1 1.24   3725 3/8 My |S|erver");
    EXPECT_EQ(Fields(entry),
              Fields(Entry("My Server", "t1", "1.24  ", "m1", "3/8", " 1:02:05", "10.0.0.5", "10052", "e1")));
}

TEST(ParseServerLine, ReadsTheVersionByItsShape)
{
    // The known wide version keeps its inner blank; the uptime follows it.
    ServerEntry entry = ParseServerLine("1.2.3.4:1 e public Race 1.24 x 59 1/4 Name");
    EXPECT_EQ(entry.version, "1.24 x");
    EXPECT_EQ(entry.uptime, " 0:00:59");
    EXPECT_EQ(entry.players, "1/4");

    // Unknown versions are shown as they come.
    EXPECT_EQ(ParseServerLine("1.2.3.4:1 e m t 1.30   7 1/4 N").version, "1.30  ");

    // A blank right after the first dot ends a short version there.
    entry = ParseServerLine("1.2.3.4:1 e m t 3. 100 2/8 Short");
    EXPECT_EQ(entry.version, "3.");
    EXPECT_EQ(entry.uptime, " 0:01:40");
    EXPECT_EQ(entry.name, "Short");

    // Without a dot the version is six characters and the seventh is dropped.
    entry = ParseServerLine("1.2.3.4:1 e m t abcdefX100 2/8 N");
    EXPECT_EQ(entry.version, "abcdef");
    EXPECT_EQ(entry.uptime, " 0:01:40");

    // No dot and a blank first: an empty version, the blank is skipped.
    entry = ParseServerLine("1.2.3.4:1 e m t  100 2/8 N");
    EXPECT_EQ(entry.version, "");
    EXPECT_EQ(entry.uptime, " 0:01:40");
    EXPECT_EQ(entry.players, "2/8");

    // The first dot is looked for in all that is left, even past the version.
    entry = ParseServerLine("1.2.3.4:1 e m t abcdefg 100 2/8 Mr. X");
    EXPECT_EQ(entry.version, "abcdefg 100 2/8 Mr.");
    EXPECT_EQ(entry.uptime, "");
    EXPECT_EQ(entry.name, "X");
}

TEST(ParseServerLine, AcceptsUptimesInEveryNumberForm)
{
    const auto uptimeOf = [](const std::string& token) {
        return ParseServerLine("1.2.3.4:1 e m t 1.24   " + token + " 3/8 N").uptime;
    };
    EXPECT_EQ(uptimeOf("3725"), " 1:02:05");
    EXPECT_EQ(uptimeOf("0003725"), " 1:02:05");
    EXPECT_EQ(uptimeOf("+3725"), " 1:02:05");
    EXPECT_EQ(uptimeOf("$E8D"), " 1:02:05");
    EXPECT_EQ(uptimeOf("$e8d"), " 1:02:05");
    EXPECT_EQ(uptimeOf("0xE8D"), " 1:02:05");
    EXPECT_EQ(uptimeOf("-3725"), "-1:-02:-05");
    EXPECT_EQ(uptimeOf("2147483647"), FormatUptime(INT32_MAX));
    EXPECT_EQ(uptimeOf("-2147483648"), FormatUptime(INT32_MIN));
    EXPECT_EQ(uptimeOf("$7FFFFFFF"), FormatUptime(INT32_MAX));
    EXPECT_EQ(uptimeOf("-$80000000"), FormatUptime(INT32_MIN));
}

TEST(ParseServerLine, LeavesATokenThatIsNoUptimeToThePlayers)
{
    for (const std::string token : {"abc", "12abc", "2147483648", "-2147483649", "$80000000", "$", "0x", "-",
                                    "0x1G", "1e3", "99999999999999999999"}) {
        SCOPED_TRACE(token);
        const ServerEntry entry = ParseServerLine("1.2.3.4:1 e m t 1.24   " + token + " 3/8 Name");
        EXPECT_EQ(entry.uptime, "");
        EXPECT_EQ(entry.players, token);
        EXPECT_EQ(entry.name, "3/8 Name");
    }

    // An uptime as the last token has no blank after it, so it is no uptime.
    const ServerEntry last = ParseServerLine("1.2.3.4:1 e m t 1.24   3725");
    EXPECT_EQ(last.uptime, "");
    EXPECT_EQ(last.players, "");
    EXPECT_EQ(last.name, "3725");
}

TEST(ParseServerLine, LeavesFieldsEmptyWhereSeparatorsAreMissing)
{
    // No colon: the port is read from the start of the line.
    ServerEntry entry = ParseServerLine("10052 e m t 1.24   5 1/8 N");
    EXPECT_EQ(entry.ip, "");
    EXPECT_EQ(entry.port, "10052");
    EXPECT_EQ(entry.extra, "e");
    EXPECT_EQ(entry.name, "N");

    // No separators at all: everything but the version (up to six
    // characters of whatever is there) stays empty.
    entry = ParseServerLine("hello");
    EXPECT_EQ(Fields(entry), Fields(Entry("", "", "hello", "", "", "", "", "", "")));

    // Used up right after the type: a row of empty fields.
    entry = ParseServerLine("1.2.3.4:1 e m t ");
    EXPECT_EQ(Fields(entry), Fields(Entry("", "t", "", "m", "", "", "1.2.3.4", "1", "e")));

    // An empty line gives an entry with nothing but the pending distance.
    EXPECT_EQ(Fields(ParseServerLine("")), Fields(Entry("", "", "", "", "", "", "", "", "")));
}

TEST(ParseServerLine, RemovesEveryColourMarkerFromTheName)
{
    EXPECT_EQ(ParseServerLine("1.2.3.4:1 e m t 1.24   5 1/8 |||").name, "");
    EXPECT_EQ(ParseServerLine("1.2.3.4:1 e m t 1.24   5 1/8 |A| b  c|").name, "A b  c");
    // Markers elsewhere are data.
    EXPECT_EQ(ParseServerLine("1.2.3.4:1 e|x m t 1.24   5 1/8 N").extra, "e|x");
}

TEST(ParseServerLine, KeepsEightBitBytesAndNulBytes)
{
    const std::string line = "1.2.3.4:1 e\0x m t 1.24   5 1/8 Caf\xE9\0|B\xA7r\xFF"s;
    const ServerEntry entry = ParseServerLine(line);
    EXPECT_EQ(entry.extra, "e\0x"s);
    EXPECT_EQ(entry.name, "Caf\xE9\0B\xA7r\xFF"s);
}

TEST(ParseServerLine, KeepsAVeryLongName)
{
    const std::string name(1 << 20, 'n');
    EXPECT_EQ(ParseServerLine("1.2.3.4:1 e m t 1.24   5 1/8 " + name).name, name);
}

TEST(ParseServerList, MakesOneEntryPerCrLfLineInOrder)
{
    const auto entries = ParseServerList("127.0.0.1:1 a m t 1.21   1 0/8 First\r\n"
                                         "127.0.0.2:2 b m t 1.24   2 0/8 Second\r\n"
                                         "127.0.0.3:3 c private t 1.24 x 3 0/8 Third\r\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "First");
    EXPECT_EQ(entries[1].name, "Second");
    EXPECT_EQ(entries[2].name, "Third");
    EXPECT_EQ(entries[2].mode, "private");
    for (const ServerEntry& entry : entries)
        EXPECT_EQ(entry.distance, "pinging...");
}

TEST(ParseServerList, DropsTextAfterTheLastCrLf)
{
    EXPECT_TRUE(ParseServerList("").empty());
    EXPECT_TRUE(ParseServerList("127.0.0.1:1 a m t 1.21   1 0/8 No line end").empty());
    const auto entries = ParseServerList("127.0.0.1:1 a m t 1.21   1 0/8 Done\r\n127.0.0.2:2 b m t 1.2");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Done");
}

TEST(ParseServerList, EndsLinesOnlyAtCrLf)
{
    // Lone CR and LF, and LF CR, stay inside their line.
    auto entries = ParseServerList("1.2.3.4:1 e m t 1.24   5 1/8 Na\nme\rX\n\r\r\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Na\nme\rX\n\r");

    EXPECT_TRUE(ParseServerList("a\nb\nc\n").empty());

    // A CR right before the CR LF belongs to the line.
    entries = ParseServerList("1.2.3.4:1 e m t 1.24   5 1/8 X\r\r\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "X\r");
}

TEST(ParseServerList, KeepsEmptyLinesAsEmptyEntries)
{
    const auto entries = ParseServerList("\r\n1.2.3.4:1 e m t 1.24   5 1/8 N\r\n\r\n");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].ip, "");
    EXPECT_EQ(entries[1].ip, "1.2.3.4");
    EXPECT_EQ(entries[2].name, "");
}

TEST(ParseServerList, SplitsAtCrLfWithNulBytesAround)
{
    const auto entries = ParseServerList("\0:1 e m t 1.24   5 1/8 A\0B\r\n\0\r\n"s);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].ip, "\0"s);
    EXPECT_EQ(entries[0].name, "A\0B"s);
    EXPECT_EQ(entries[1].version, "\0"s);
}

TEST(ParseServerList, HandlesManyLines)
{
    std::string answer;
    constexpr int count = 20000;
    for (int i = 0; i < count; ++i)
        answer += "127.0.0.1:" + std::to_string(i) + " e m t 1.24   5 1/8 Server\r\n";
    const auto entries = ParseServerList(answer);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(entries.front().port, "0");
    EXPECT_EQ(entries.back().port, std::to_string(count - 1));
}

TEST(FormatUptime, ShowsHoursMinutesAndSeconds)
{
    EXPECT_EQ(FormatUptime(0), " 0:00:00");
    EXPECT_EQ(FormatUptime(59), " 0:00:59");
    EXPECT_EQ(FormatUptime(60), " 0:01:00");
    EXPECT_EQ(FormatUptime(3725), " 1:02:05");
    EXPECT_EQ(FormatUptime(86399), "23:59:59");
    EXPECT_EQ(FormatUptime(86400), "24:00:00");
    EXPECT_EQ(FormatUptime(360000), "100:00:00");
    EXPECT_EQ(FormatUptime(INT32_MAX), "596523:14:07");
}

TEST(FormatUptime, TruncatesNegativeCountsTowardZero)
{
    // The precision pads the digits, not the sign: -1 shows as "-01".
    EXPECT_EQ(FormatUptime(-1), " 0:00:-01");
    EXPECT_EQ(FormatUptime(-61), " 0:-01:-01");
    EXPECT_EQ(FormatUptime(-3725), "-1:-02:-05");
    EXPECT_EQ(FormatUptime(INT32_MIN), "-596523:-14:-08");
}
