// The server table: dimmed rows that cannot be joined, the selection rule and
// the keys that pass over them, the actions that follow the selection and
// their keys, and joining by double click.
#include "app/form1.h"
#include "app/startup.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "demo-servers/demolistserver.h"
#include "profiles/tfrmpalette.h"
#include "serverinfo/tfrmplayerlist.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/whenready.h"
#include "support/testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

namespace {

ServerEntry Entry(const char* name, const char* version, const char* mode = "dm")
{
    ServerEntry entry;
    entry.name = name;
    entry.type = "ctf";
    entry.version = version;
    entry.mode = mode;
    entry.players = "2/8";
    entry.distance = "pinging...";
    entry.uptime = " 0:01:00";
    entry.ip = "127.0.0.9";
    entry.port = "10052";
    return entry;
}

struct Launch {
    std::string path;
    std::string parameters;
};

} // namespace

class ServerListTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    std::vector<Launch> launches_;  // outlives the window, whose starter records here
    MainWindows windows_;

    TForm1& form() { return *windows_.form1; }
    ServerListView& view() { return *form().lvServerList; }

    QPoint RowCenter(int row)
    {
        const QModelIndex index = form().serverTable->index(row, ColName);
        return view().visualRect(index).center();
    }

    QColor DrawnColour(int row, int column)
    {
        const QModelIndex index = form().serverTable->index(row, column);
        return index.data(Qt::ForegroundRole).value<QColor>();
    }

    // The darkest pixel painted in a row's first cell: the core of its text.
    QColor DarkestTextPixel(int row)
    {
        const QImage image = view().viewport()->grab().toImage();
        const QRect rect = view().visualRect(form().serverTable->index(row, ColName));
        QColor darkest = Qt::white;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.lightness() < darkest.lightness())
                    darkest = pixel;
            }
        }
        return darkest;
    }

    // Whether a row's text is painted in the given colour, allowing for
    // smoothed glyph edges.
    bool RowPaintedIn(int row, const QColor& colour)
    {
        return std::abs(DarkestTextPixel(row).lightness() - colour.lightness()) <= 24;
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        windows_ = CreateMainWindows();
        form().SetProgramStarter([this](const std::string& path, const std::string& parameters) {
            launches_.push_back({path, parameters});
        });
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    void init()
    {
        launches_.clear();
        form().serverTable->Clear();
        form().edZarn121cmd->setText(QStringLiteral("/games/121/zarn2.exe"));
        form().edZarn124cmd->setText(QString());
        form().edZarn124xcmd->setText(QStringLiteral("/games/124x/zarn2.exe"));
        form().serverTable->AppendRow(Entry("Open 1.21", "1.21  "));          // 0 joinable
        form().serverTable->AppendRow(Entry("Locked", "1.21  ", "private"));  // 1 private
        form().serverTable->AppendRow(Entry("Needs 1.24", "1.24  "));         // 2 no executable
        form().serverTable->AppendRow(Entry("Future", "1.30  "));             // 3 unknown version
        form().serverTable->AppendRow(Entry("Shouty", "1.24 x", "Private"));  // 4 other case counts not
        form().serverTable->AppendRow(ServerEntry{});                         // 5 empty row
        RunUntilIdle();
    }

    void columnsAsDesigned()
    {
        QHeaderView* header = view().header();
        const QStringList captions{"Name", "Typ", "Version", "Mode", "Players", "Distance", "Uptime", "IP", "Port", ""};
        const int widths[] = {147, 56, 47, 44, 46, 55, 54, 0, 0, 0};
        for (int column = 0; column < ServerColumnCount; ++column) {
            QCOMPARE(form().serverTable->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                     captions[column]);
            QCOMPARE(header->sectionSize(column), widths[column]);
        }
        const auto distanceAlign = form().serverTable->index(0, ColDistance).data(Qt::TextAlignmentRole).toInt();
        QVERIFY(distanceAlign & Qt::AlignRight);
        QVERIFY(!(form().serverTable->flags(form().serverTable->index(0, 0)) & Qt::ItemIsEditable));
    }

    void rowsThatCannotBeJoinedAreDimmed()
    {
        const QColor normal = QGuiApplication::palette().color(QPalette::Active, QPalette::ButtonText);
        const QColor dimmed = QGuiApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
        QVERIFY(normal != dimmed);
        const bool joinable[] = {true, false, false, true, true, false};
        for (int row = 0; row < 6; ++row) {
            for (int column = 0; column < ServerColumnCount; ++column)
                QCOMPARE(DrawnColour(row, column), joinable[row] ? normal : dimmed);
        }
        QVERIFY(RowPaintedIn(1, dimmed));
        QVERIFY(!RowPaintedIn(1, normal));
        QVERIFY(RowPaintedIn(0, normal));
    }

    void clickSelectsOnlyJoinableRows()
    {
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(1));
        QCOMPARE(view().SelectedRow(), std::nullopt);
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(0));
        QCOMPARE(view().SelectedRow(), std::optional<int>(0));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(2));
        QCOMPARE(view().SelectedRow(), std::optional<int>(0));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(5));
        QCOMPARE(view().SelectedRow(), std::optional<int>(0));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(3));
        QCOMPARE(view().SelectedRow(), std::optional<int>(3));
    }

    void keysPassOverDimmedRows()
    {
        // Without the 1.21 path rows 0, 1, 2, 5 and 6 are dimmed; with it
        // "Lobby" is the one joinable row below the dimmed "Locked".
        form().serverTable->AppendRow(Entry("Lobby", "1.21  "));
        struct Case {
            bool with121;
            int from;  // -1: nothing selected
            Qt::Key key;
            const char* typed;
            int reached;
        };
        // The second starts from row 3 still current, though not selected.
        const Case cases[] = {
            {true, 0, Qt::Key_Down, "", 3},      {false, -1, Qt::Key_Down, "", 3},
            {false, 3, Qt::Key_End, "", 4},      {false, 3, Qt::Key_PageDown, "", 4},
            {false, 4, Qt::Key_Down, "", 4},     {true, -1, Qt::Key_unknown, "lO", 6},
        };
        for (const Case& keys : cases) {
            form().edZarn121cmd->setText(keys.with121 ? QStringLiteral("/games/121/zarn2.exe") : QString());
            view().clearSelection();
            if (keys.from >= 0)
                view().setCurrentIndex(form().serverTable->index(keys.from, ColName));
            view().keyboardSearch({});  // letters typed before start no search
            *keys.typed ? QTest::keyClicks(&view(), keys.typed) : QTest::keyClick(&view(), keys.key);
            QCOMPARE(view().SelectedRow(), std::optional<int>(keys.reached));
        }
    }

    void enteringAPathMakesRowsSelectable()
    {
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(2));
        QCOMPARE(view().SelectedRow(), std::nullopt);
        const QColor normal = QGuiApplication::palette().color(QPalette::Active, QPalette::ButtonText);
        form().edZarn124cmd->setText(QStringLiteral("/games/124/zarn2.exe"));
        view().viewport()->update();
        RunUntilIdle();
        QCOMPARE(DrawnColour(2, ColName), normal);
        QVERIFY(RowPaintedIn(2, normal));
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(2));
        QCOMPARE(view().SelectedRow(), std::optional<int>(2));
    }

    void actionsFollowTheSelection()
    {
        RunUntilIdle();
        QVERIFY(!form().acServerInfo->isEnabled());
        QVERIFY(!form().acStartGame->isEnabled());
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(0));
        RunUntilIdle();
        QVERIFY(form().acServerInfo->isEnabled());
        QVERIFY(form().acStartGame->isEnabled());
        view().clearSelection();
        RunUntilIdle();
        QVERIFY(!form().acServerInfo->isEnabled());
        QVERIFY(!form().acStartGame->isEnabled());
    }

    void doubleClickJoinsTheSelectedServer()
    {
        form().cbEnableSpy->setChecked(false);
        form().rbFullScreen->setChecked(true);
        QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, RowCenter(0));
        QCOMPARE(launches_.size(), size_t(1));
        QCOMPARE(launches_[0].path, std::string("/games/121/zarn2.exe"));
        QCOMPARE(launches_[0].parameters, std::string(" -connect 127.0.0.9:10052 -nospy -fullscreen"));

        // A double click on a dimmed row leaves the selection, and so the launch, as it was.
        QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, RowCenter(1));
        QCOMPARE(launches_.size(), size_t(2));
        QCOMPARE(launches_[1].path, std::string("/games/121/zarn2.exe"));
        form().cbEnableSpy->setChecked(true);
        form().rbWindowd->setChecked(true);
    }

    void doubleClickWithoutSelectionDoesNothing()
    {
        QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, RowCenter(1));
        QTest::mouseDClick(view().viewport(), Qt::LeftButton, {}, QPoint(10, view().viewport()->height() - 3));
        QCOMPARE(launches_.size(), size_t(0));
    }

    void startGameWithoutExecutableSaysSo()
    {
        MessageBoxWatcher boxes;
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, RowCenter(3));  // 1.30 needs the 1.24 path
        QCOMPARE(view().SelectedRow(), std::optional<int>(3));
        RunUntilIdle();
        form().acStartGame->trigger();
        QCOMPARE(boxes.texts(), QStringList{"No executeable configured for this version"});
        QCOMPARE(boxes.seen().first().title, QStringLiteral("The Quimbrel"));
        QCOMPARE(launches_.size(), size_t(0));

        form().edZarn124cmd->setText(QStringLiteral("/games/124/zarn2.exe"));
        form().acStartGame->trigger();
        QCOMPARE(launches_.size(), size_t(1));
        QCOMPARE(launches_[0].path, std::string("/games/124/zarn2.exe"));
        QCOMPARE(launches_[0].parameters, std::string(" -connect 127.0.0.9:10052 -spy -windowed"));
    }

    void headerClickDoesNotSort()
    {
        // The names as the table shows them, from the top row down.
        auto shownNames = [this] {
            QStringList names;
            const int rowHeight = view().visualRect(view().model()->index(0, ColName)).height();
            for (int y = rowHeight / 2; y < view().viewport()->height(); y += rowHeight) {
                const QModelIndex index = view().indexAt(QPoint(5, y));
                if (!index.isValid())
                    break;
                names << index.siblingAtColumn(ColName).data().toString();
            }
            return names;
        };
        const QStringList answerOrder{"Open 1.21", "Locked", "Needs 1.24", "Future", "Shouty", ""};
        QCOMPARE(shownNames(), answerOrder);
        QHeaderView* header = view().header();
        for (int column = ColName; column <= ColUptime; ++column) {
            const QPoint caption(header->sectionViewportPosition(column) + 5, header->height() / 2);
            // Twice, for either direction a sorting table would take.
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, caption);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, caption);
            QCOMPARE(shownNames(), answerOrder);
        }
    }

    void eachKeyRunsItsCommandWhileItIsEnabled()
    {
        DemoListServer listServer("127.0.0.1", 0, {"127.0.0.7:10052 e1 dm ctf 1.21   60 1/8 Fetched"});
        form().idCListServer() = {"127.0.0.1", listServer.port()};
        const auto selectRow = [this](bool on) {
            on ? view().setCurrentIndex(form().serverTable->index(0, ColName)) : view().selectionModel()->clear();
        };
        const auto launched = [this] { return launches_.size() == 1; };
        struct Case {
            QWidget* page;
            QKeyCombination key;
            std::function<void(bool)> enable;
            std::function<bool()> ran;
        };
        const Case cases[] = {
            {form().TabSheet1, Qt::Key_F5, [this](bool on) { form().sbGetList->setEnabled(on); },
             [this] { return form().serverTable->rowCount() == 1; }},
            {form().TabSheet1, Qt::CTRL | Qt::Key_I, selectRow, [this] { return windows_.frmPlayerList->isVisible(); }},
            {form().TabSheet1, Qt::Key_Return, selectRow, launched},
            {form().TabSheet1, Qt::KeypadModifier | Qt::Key_Enter, selectRow, launched},
            {form().TabSheet2, Qt::CTRL | Qt::Key_P, [this](bool on) { form().acTogglePalette->setEnabled(on); },
             [this] { return windows_.frmPalette->isVisible(); }},
        };
        for (const Case& command : cases) {
            init();
            form().PageControl1->setCurrentWidget(command.page);
            for (bool enabled : {false, true}) {
                command.enable(enabled);
                form().activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(&form()));
                RunUntilIdle();  // the actions follow the selection
                QTest::keyClick(&form(), command.key.key(), command.key.keyboardModifiers());
                RunUntilIdle();
                QTRY_COMPARE(command.ran(), enabled);
            }
            windows_.frmPlayerList->hide();
            windows_.frmPalette->hide();
        }
        form().PageControl1->setCurrentWidget(form().TabSheet1);
    }

    void distanceTextsRepaintOnlyTheirCellOnScreen()
    {
        ServerTableModel& table = *form().serverTable;
        for (int row = table.rowCount(); row < 200; ++row)
            table.AppendRow(Entry("More", "1.21  "));
        RunUntilIdle();
        const auto cell = [&](int row) { return view().visualRect(table.index(row, ColDistance)); };
        QVERIFY(!view().viewport()->rect().intersects(cell(150)));
        int notices = 0;
        connect(&table, &QAbstractItemModel::dataChanged, this, [&notices] { ++notices; });
        DistanceHistory history;
        history.AddRoundTrip(3);
        struct Case {
            const char* what;
            std::function<void()> before;
            std::vector<std::pair<int, std::string>> posts;  // the last one's row is the one to look at
            bool painted;                                     // only that row's cell
            int notices;
            std::function<void()> after;                      // shows the table again: it is painted
        };
        const std::vector<Case> cases = {
            {"unchanged text beside a changed one", {}, {{0, "pinging..."}, {2, "3 ms"}}, true, 1, {}},
            {"row off screen beside one on it", {}, {{150, "9 ms"}, {2, "4 ms"}}, true, 2, {}},
            {"another page shown", [&] { form().PageControl1->setCurrentIndex(2); }, {{2, "5 ms"}}, false, 1,
             [&] { form().PageControl1->setCurrentWidget(form().TabSheet1); }},
            {"window minimised", [&] { form().showMinimized(); }, {{2, "6 ms"}}, false, 1,
             [&] { form().showNormal(); }},
        };
        for (const Case& c : cases) {
            if (c.before)
                c.before();
            RunUntilIdle();
            PaintCounter painted(view().viewport());
            notices = 0;
            for (const auto& [row, text] : c.posts)
                table.OpenDistanceMailbox(row)->Post(text, history);
            const auto& [row, text] = c.posts.back();
            QTRY_COMPARE_WITH_TIMEOUT(table.Entry(row).distance, text, 5000);
            if (c.painted)
                QTRY_VERIFY_WITH_TIMEOUT(painted.paints > 0, 5000);
            RunUntilIdle();
            QVERIFY2(c.painted ? cell(row).contains(painted.region.boundingRect()) : painted.paints == 0, c.what);
            QVERIFY2(notices == c.notices, c.what);
            for (const auto& [postedRow, postedText] : c.posts)
                QVERIFY2(table.History(postedRow).Size() == 1 && table.Entry(postedRow).distance == postedText, c.what);
            if (c.after) {
                c.after();
                QTRY_VERIFY_WITH_TIMEOUT(painted.region.contains(cell(row)), 5000);
            }
        }
    }

    void distanceTextsReplaceEachOther()
    {
        form().serverTable->SetDistance(0, "47 ms");
        form().serverTable->SetDistance(0, "12 ms");
        QCOMPARE(form().serverTable->index(0, ColDistance).data().toString(), QStringLiteral("12 ms"));
        QCOMPARE(form().serverTable->index(1, ColDistance).data().toString(), QStringLiteral("pinging..."));
    }
};

QUIMBREL_TEST_MAIN(ServerListTest)
#include "serverlist_test.moc"
