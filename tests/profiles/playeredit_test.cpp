// The player editor page's logic without a window: the profile tree from the
// registry, colour-field values, ramps, the preview's recolouring, the name
// field's typing rule.
#include "platform/registry/registry.h"
#include "platform/registry_testprefix.h"
#include "profiles/palettepicture.h"
#include "profiles/playeredit/colorpreview.h"
#include "profiles/playeredit/colorvalue.h"
#include "profiles/playeredit/namefield.h"
#include "profiles/playeredit/playertree.h"

#include <gtest/gtest.h>

namespace {

std::string Key(const std::string& path)
{
    std::string escaped;
    for (char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return "\n[" + escaped + "] 1700000000\n";
}

std::vector<PlayerTreeNode> TreeOf(const std::string& userReg)
{
    TestPrefix prefix;
    if (!userReg.empty())
        prefix.Write("user.reg", userReg);
    return ReadPlayerTree(Registry(prefix.Path()));
}

PlayerTreeNode Leaf(const std::string& name)
{
    return {name, {}};
}

// What a colour field reads as, or the error's message.
std::string Read(const QString& text)
{
    try {
        return std::to_string(ColorFieldValue(text));
    } catch (const TColorValueError& error) {
        return error.what();
    }
}

// The palette as the page sees it: the program's own picture.
std::uint32_t PaletteColor(std::int64_t index)
{
    static const QImage picture = PalettePicture();
    if (index < INT32_MIN || index > INT32_MAX)
        return InvalidColor;
    return ColorIndexToColor(picture, static_cast<int>(index));
}

} // namespace

TEST(PlayerTree, ListsGameVersionAndProfileKeysByTheirNamesAsTheGameDoes)
{
    const std::string root = "Software\\Krell Playware\\";
    const std::string userReg = UserRegHeader() + Key(root + "Zarn Tumblewick 2\\1.24\\Player1")
                                + Key(root + "Zarn Tumblewick 2\\1.24\\Player10\\Sub")
                                + Key(root + "Zarn Tumblewick 2\\1.24\\player2")
                                + Key(root + "Zarn Tumblewick 2\\1.24\\Settings")
                                + Key(root + "Zarn Tumblewick 2\\1.21")
                                + Key(root + "Zarn Tumblewick 2 Demo\\0.9\\Player\xc3\xa9")
                                + Key(root + "zarn tumblewick 2 lite\\1.24\\Player1")
                                + Key(root + "Zarn Tumblewick\\1.24\\Player1")
                                + Key("Software\\Other\\Zarn Tumblewick 2\\1.24\\Player1");
    const std::vector<PlayerTreeNode> expected{
        {"Zarn Tumblewick 2", {{"1.21", {}}, {"1.24", {Leaf("Player1"), Leaf("Player10")}}}},
        {"Zarn Tumblewick 2 Demo", {{"0.9", {Leaf("Player\xe9")}}}},
    };
    EXPECT_EQ(TreeOf(userReg), expected);

    // No maker key, no file: an empty tree.
    EXPECT_TRUE(TreeOf(UserRegHeader() + Key("Software\\Other")).empty());
    EXPECT_TRUE(TreeOf("").empty());
}

TEST(PlayerTree, OnlyThirdLevelNodesNamedLikeProfilesHaveAKeyPath)
{
    EXPECT_EQ(ProfileKeyPath({"Zarn Tumblewick 2", "1.24", "Player1"}),
              "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\Player1");
    EXPECT_EQ(ProfileKeyPath({"Zarn Tumblewick 2", "Player5"}), std::nullopt);
    EXPECT_EQ(ProfileKeyPath({"Zarn Tumblewick 2"}), std::nullopt);
    EXPECT_EQ(ProfileKeyPath({"Zarn Tumblewick 2", "1.24", "player1"}), std::nullopt);
}

TEST(ColorFieldValue, ReadsTheTextWithAZeroInFront)
{
    // Typing 3, then 7; emptying the field.
    EXPECT_EQ(Read("3"), "3");
    EXPECT_EQ(Read("37"), "37");
    EXPECT_EQ(Read(""), "0");
    EXPECT_EQ(Read("010"), "10");  // decimal, not octal
    // Typing 5, then a.
    EXPECT_EQ(Read("5"), "5");
    EXPECT_EQ(Read("5a"), "'05a' is not a valid integer value");
    // Typing x, 1, F.
    EXPECT_EQ(Read("x"), "'0x' is not a valid integer value");
    EXPECT_EQ(Read("x1"), "1");
    EXPECT_EQ(Read("x1F"), "31");
    EXPECT_EQ(Read("X1f"), "31");
    // Eight hexadecimal digits are 32 bits, taken signed; leading zeros do not count.
    EXPECT_EQ(Read("xFFFFFFFF"), "-1");
    EXPECT_EQ(Read("x80000000"), "-2147483648");
    EXPECT_EQ(Read("x000000001F"), "31");
    EXPECT_EQ(Read("x100000000"), "'0x100000000' is not a valid integer value");
    // Decimal up to 2147483647 only.
    EXPECT_EQ(Read("2147483647"), "2147483647");
    EXPECT_EQ(Read("2147483648"), "'02147483648' is not a valid integer value");
    EXPECT_EQ(Read("99999999999999999999"), "'099999999999999999999' is not a valid integer value");
    // No signs, spaces, other prefixes or other digits.
    for (const QString& text : QStringList{"-1", "+1", " 1", "1 ", "$1F", "0x1F", "x 1", "1.5", QString::fromUtf8("\u0661")})
        EXPECT_EQ(Read(text), "'0" + text.toStdString() + "' is not a valid integer value") << text.toStdString();
}

TEST(ColorRamp, RunsEightCellsAndTurnsBlackPastThePalette)
{
    const auto last = ColorRamp(72, PaletteColor);
    for (int j = 0; j < 8; ++j)
        EXPECT_EQ(last[j], PaletteColor(72 + j)) << j;
    EXPECT_NE(last[7], InvalidColor);

    const auto beyond = ColorRamp(76, PaletteColor);
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(beyond[j], PaletteColor(76 + j)) << j;
    for (int j = 4; j < 8; ++j)
        EXPECT_EQ(beyond[j], InvalidColor) << j;

    // The largest values must not wrap around into the palette.
    for (std::uint32_t color : ColorRamp(INT32_MAX - 3, PaletteColor))
        EXPECT_EQ(color, InvalidColor);
    EXPECT_EQ(ColorRamp(-8, PaletteColor)[7], InvalidColor);

    // The swatch: 3-pixel stripes, lightest at the left, invalid as black.
    const QImage swatch = SwatchImage(beyond, QSize(24, 19));
    EXPECT_EQ(swatch.pixel(0, 0), ShownColor(PaletteColor(76)));
    EXPECT_EQ(swatch.pixel(2, 18), ShownColor(PaletteColor(76)));
    EXPECT_EQ(swatch.pixel(3, 0), ShownColor(PaletteColor(77)));
    EXPECT_EQ(swatch.pixel(11, 9), ShownColor(PaletteColor(79)));
    EXPECT_EQ(swatch.pixel(12, 9), qRgb(0, 0, 0));
}

TEST(PreviewColors, PutEachSlotsRampOverItsGreys)
{
    const ColorSet greys = PlaceholderGreys();
    EXPECT_EQ(greys[0], 0x010101u);
    EXPECT_EQ(greys[31], 0x202020u);

    const ColorSet colors = PreviewColors({16, 24, 76, -1}, PaletteColor);
    EXPECT_EQ(colors[0], PaletteColor(16));
    EXPECT_EQ(colors[7], PaletteColor(23));
    EXPECT_EQ(colors[8], PaletteColor(24));
    EXPECT_EQ(colors[16 + 3], PaletteColor(79));
    EXPECT_EQ(colors[16 + 4], InvalidColor);
    EXPECT_EQ(colors[24], InvalidColor);
    EXPECT_EQ(colors[31], PaletteColor(6));
}

TEST(RecoloredCharacter, SwapsTheColourTableInOrderAndKeepsThePixels)
{
    // A 3 x 2 picture: background, two greys, a fixed colour.
    QImage picture(3, 2, QImage::Format_Indexed8);
    picture.setColorTable({qRgb(0, 96, 128), qRgb(1, 1, 1), qRgb(9, 9, 9), qRgb(250, 10, 10)});
    const uchar rows[2][3] = {{1, 2, 3}, {0, 2, 1}};
    for (int y = 0; y < 2; ++y)
        std::copy_n(rows[y], 3, picture.scanLine(y));

    ColorSet newColors = PlaceholderGreys();
    newColors[0] = 0x00FF00u;       // grey 1 becomes green
    newColors[8] = 0x0000FFu;       // grey 9 becomes red ...
    newColors[1] = InvalidColor;    // (grey 2 is not in the table)
    // ... and an entry that an earlier grey turned into a later grey is
    // replaced again: grey 1 -> grey 12 -> blue.
    ColorSet chained = newColors;
    chained[0] = 12 * 65793u;
    chained[11] = 0xFF0000u;

    const QImage recolored = RecoloredCharacter(picture, PlaceholderGreys(), newColors);
    ASSERT_EQ(recolored.format(), QImage::Format_Indexed8);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(recolored.pixelIndex(x, y), rows[y][x]);
    EXPECT_EQ(recolored.color(1), qRgb(0, 255, 0));
    EXPECT_EQ(recolored.color(2), qRgb(255, 0, 0));
    EXPECT_EQ(recolored.color(3), qRgb(250, 10, 10));
    // The bottom-left pixel's colour is not drawn.
    EXPECT_EQ(qAlpha(recolored.color(0)), 0);
    EXPECT_EQ(qAlpha(recolored.pixel(0, 1)), 0);
    // The picture itself is left alone.
    EXPECT_EQ(picture.color(1), qRgb(1, 1, 1));

    EXPECT_EQ(RecoloredCharacter(picture, PlaceholderGreys(), chained).color(1), qRgb(0, 0, 255));

    // An invalid colour is drawn black.
    newColors[0] = InvalidColor;
    EXPECT_EQ(RecoloredCharacter(picture, PlaceholderGreys(), newColors).color(1), qRgb(0, 0, 0));
}

TEST(RecoloredCharacter, APictureWithoutAColourTableIsShownAsItIs)
{
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(qRgb(1, 1, 1));
    picture.setPixel(1, 0, qRgb(7, 7, 200));
    ColorSet newColors = PlaceholderGreys();
    newColors[0] = 0x00FF00u;
    const QImage shown = RecoloredCharacter(picture, PlaceholderGreys(), newColors);
    EXPECT_EQ(shown.pixel(1, 0), qRgb(7, 7, 200));
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0);
    EXPECT_TRUE(RecoloredCharacter(QImage(), PlaceholderGreys(), newColors).isNull());
}

TEST(TypedNameValidator, TakesFourteenBytesOfTheGamesCodePage)
{
    struct Case {
        CodePage codePage;
        const char* shown;  // what the field showed before (UTF-8 here)
        const char* typed;
        QValidator::State expected;
    };
    const Case cases[] = {
        {1252, "Zarn", "Zarn the Brave", QValidator::Acceptable},
        {1252, "Zarn", "Zarn the Braver", QValidator::Invalid},
        {1252, "Zarn", "Z\u00e4rn \u20ac", QValidator::Acceptable},
        {1252, "Zarn", "Zarn \u0142", QValidator::Invalid},
        {1252, "Zarn", "Zarn \U0001F600", QValidator::Invalid},
        {1250, "Zarn", "Zarn \u0142", QValidator::Acceptable},
        {1251, "Zarn", "\u0416\u043e\u0440\u0430", QValidator::Acceptable},
        // Seven double-byte characters fill the 14 bytes; an eighth does not fit.
        {932, "", "\u30be\u30fc\u30f3\u30be\u30fc\u30f3\u30f3", QValidator::Acceptable},
        {932, "", "\u30be\u30fc\u30f3\u30be\u30fc\u30f3\u30f3a", QValidator::Invalid},
        // A longer stored name may be shortened, not lengthened.
        {1252, "Pockz the Magnificent", "Pockz the Magnificen", QValidator::Acceptable},
        {1252, "Pockz the Magnificent", "Pockz the Magnificent!", QValidator::Invalid},
    };
    for (const Case& c : cases) {
        TypedNameValidator validator(nullptr, c.codePage);
        validator.Shown(QString::fromUtf8(c.shown));
        QString text = QString::fromUtf8(c.typed);
        int position = 0;
        EXPECT_EQ(validator.validate(text, position), c.expected) << c.codePage << " " << c.typed;
    }
}
