// The packets of the server-info exchange, byte for byte, and how the two
// answers are read whatever their bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serverinfo/serverinfopackets.h"

using namespace std::string_literals;

namespace {

using Names = std::vector<std::string>;

// One player record: seven bytes we skip, the name, its zero byte.
std::string Record(const std::string& name)
{
    return "\x01\x02\x37\x08\x10\x28\x01"s + name + '\0';
}

// A player answer around the given record bytes: length byte, two bytes we skip.
std::string PlayerAnswer(const std::string& records)
{
    return std::string(1, static_cast<char>(3 + records.size())) + "\x0E\x03"s + records;
}

std::string LevelPacket(char echoByte, char nameLength, const std::string& rest)
{
    const std::string packet = "\x0F\x02"s + echoByte + nameLength + rest;
    return std::string(1, static_cast<char>(packet.size() + 1)) + packet;
}

}  // namespace

TEST(ServerInfoPackets, VersionPacketNames121OnlyForTheExactVersionText)
{
    EXPECT_EQ(VersionPacket("1.21  "), "\x09\x0F\x01\x04" "21  " "\x01"s);
    for (const char* other : {"1.24  ", "1.24 x", "", "1.21", "1.21   ", "1.21 x", "1.30  "})
        EXPECT_EQ(VersionPacket(other), "\x09\x0F\x01\x04" "24  " "\x01"s) << '"' << other << '"';
}

TEST(ServerInfoPackets, NamePacketSendsTheEchoByteAndOurName)
{
    ASSERT_EQ(OwnPlayerName.size(), 21u);
    EXPECT_EQ(OwnPlayerName, "|Qu|im|br|el 1.2   \xA7" "9"s);
    const std::string packet = NamePacket(0xC3);
    ASSERT_EQ(packet.size(), 30u);
    EXPECT_EQ(packet, "\x1D\x0E\x01\xC3\x01\0\0\0\0"s + "|Qu|im|br|el 1.2   \xA7" "9");
    EXPECT_EQ(NamePacket(0x00)[3], '\0');
}

TEST(ServerInfoPackets, LevelAnswerGivesTheNameAndTheEchoByte)
{
    const auto level = ParseLevelAnswer(LevelPacket('\x9E', 7, "Bramble\x0A\x03"));
    ASSERT_TRUE(level);
    EXPECT_EQ(level->levelName, "Bramble");  // bytes after the name are not part of it
    EXPECT_EQ(level->echoByte, 0x9E);

    // Any byte may be part of the name, and the length byte is not trusted.
    const auto odd = ParseLevelAnswer("\x01\x00\x00\x07\x03" "a\0\xE9" "b"s);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->levelName, "a\0\xE9"s);
    EXPECT_EQ(odd->echoByte, 0x07);
}

TEST(ServerInfoPackets, LevelNameIsCutAtThePacketsEnd)
{
    EXPECT_EQ(ParseLevelAnswer(LevelPacket('\x01', 0, "ignored"))->levelName, "");
    EXPECT_EQ(ParseLevelAnswer(LevelPacket('\x01', 20, "Short"))->levelName, "Short");
    EXPECT_EQ(ParseLevelAnswer(LevelPacket('\x01', '\xFF', ""))->levelName, "");
    EXPECT_EQ(ParseLevelAnswer(LevelPacket('\x01', '\xFF', std::string(250, 'x')))->levelName, std::string(250, 'x'));
}

TEST(ServerInfoPackets, LevelAnswerWithoutTheNamesLengthIsRejected)
{
    for (const std::string& packet : {""s, "\0"s, "\x01"s, "\x04\x0F\x02\x5A"s})
        EXPECT_FALSE(ParseLevelAnswer(packet)) << packet.size() << " bytes";
    EXPECT_TRUE(ParseLevelAnswer("\x05\x0F\x02\x5A\x00"s));
}

TEST(ServerInfoPackets, PlayerAnswerListsNamesInOrderWithoutMarkers)
{
    const std::string answer = PlayerAnswer(Record("|R|ed|Fox") + Record("Pip") + Record("|B|lue |J|ay"));
    EXPECT_EQ(ParsePlayerAnswer(answer), (Names{"RedFox", "Pip", "Blue Jay"}));
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(Record("||||") + Record("|"))), (Names{"", ""}));
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(Record("\xE9t\xE9"))), (Names{"\xE9t\xE9"}));
}

TEST(ServerInfoPackets, PlayerAnswerWithoutRecordsIsAnEmptyList)
{
    for (const std::string& answer : {""s, "\0"s, "\x01"s, "\x02\x0E"s, "\x03\x0E\x03"s})
        EXPECT_EQ(ParsePlayerAnswer(answer), Names{}) << answer.size() << " bytes";
}

TEST(ServerInfoPackets, OurOwnNameIsLeftOutByExactComparison)
{
    const std::string own(OwnPlayerName);
    std::string otherCase = own;
    otherCase[1] = 'q';
    std::string otherLastByte = own;
    otherLastByte.back() = '8';
    const std::string longer = own + "x";
    const std::string shorter = own.substr(0, 20);

    const std::string answer =
        PlayerAnswer(Record("Pip") + Record(own) + Record(otherCase) + Record(otherLastByte) + Record(longer) +
                     Record(shorter) + Record(own));
    EXPECT_EQ(ParsePlayerAnswer(answer),
              (Names{"Pip", "quimbrel 1.2   \xA7" "9", "Quimbrel 1.2   \xA7" "8", "Quimbrel 1.2   \xA7" "9x",
                     "Quimbrel 1.2   \xA7"}));
}

TEST(ServerInfoPackets, RecordsWithoutNamesOrZeroBytesGiveEmptyLines)
{
    // A zero byte right after the seven skipped bytes: an empty name.
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(Record("") + Record("Pip"))), (Names{"", "Pip"}));

    // After the last zero byte, every run of up to seven bytes reads as a record
    // whose name is empty.
    const std::string complete = Record("Pip");
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(complete + "abc")), (Names{"Pip", ""}));
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(complete + "1234567")), (Names{"Pip", ""}));
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(complete + "12345678")), (Names{"Pip", "", ""}));
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(complete + std::string(20, 'z'))), (Names{"Pip", "", "", ""}));

    // A last record whose zero byte is missing: its 7 + 21 bytes are four runs.
    std::string unterminated = Record(std::string(OwnPlayerName));
    unterminated.pop_back();
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(complete + unterminated)), (Names{"Pip", "", "", "", ""}));
}

TEST(ServerInfoPackets, NameRunsUpToTheFirstZeroByteAfterTheSkippedBytes)
{
    // The skipped bytes may hold zero bytes of their own; the name starts after them.
    const std::string zeroHeader = std::string(7, '\0') + "Nettle" + '\0';
    EXPECT_EQ(ParsePlayerAnswer(PlayerAnswer(zeroHeader + Record("Quill"))), (Names{"Nettle", "Quill"}));
}
