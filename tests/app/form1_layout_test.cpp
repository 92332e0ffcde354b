// The main window's pages, controls, actions and error box as a user meets them.
#include "app/form1.h"
#include "app/messages.h"
#include "app/startup.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "profiles/tfrmpalette.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QScopeGuard>
#include <QtTest>

namespace {

// A receiver whose handler fails, as a command's handler might.
class FailingReceiver : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("The disk is on fire");
        return QObject::event(event);
    }
};

} // namespace

class Form1LayoutTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    std::unique_ptr<TempIni> ini_;
    MainWindows windows_;

    template <typename Widget = QWidget>
    Widget* Find(const char* name) const
    {
        auto* widget = windows_.form1->findChild<Widget*>(QString::fromLatin1(name));
        if (!widget)
            qWarning("no control named %s", name);
        return widget;
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        ini_ = std::make_unique<TempIni>();
        windows_ = CreateMainWindows();
        windows_.form1->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows_.form1.get()));
    }

    void cleanupTestCase()
    {
        windows_ = {};
        ini_.reset();
    }

    void mainWindowAndPages()
    {
        TForm1& form = *windows_.form1;
        QCOMPARE(form.windowTitle(), QStringLiteral("Quimbrel"));
        QCOMPARE(form.size(), QSize(505, 233));
        QCOMPARE(form.PageControl1->count(), 4);
        const QStringList captions{"Join a game", "Player edit", "Config", "About"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(form.PageControl1->tabText(i), captions[i]);
        QCOMPARE(form.PageControl1->currentIndex(), 0);
    }

    void controlsStandAtTheirPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Panel1") << "Panel1" << QRect(8, 8, 65, 25) << QString();
        QTest::newRow("sbGetList") << "sbGetList" << QRect(1, 1, 63, 23) << "Get List";
        QTest::newRow("Panel3") << "Panel3" << QRect(80, 8, 65, 25) << QString();
        QTest::newRow("sbServerInfo") << "sbServerInfo" << QRect(1, 1, 63, 23) << "Serverinfo";
        QTest::newRow("Panel2") << "Panel2" << QRect(152, 8, 65, 25) << QString();
        QTest::newRow("sbStartGame") << "sbStartGame" << QRect(1, 1, 63, 23) << "Start game";
        QTest::newRow("cbEnableSpy") << "cbEnableSpy" << QRect(224, 8, 73, 25) << "enable spy";
        QTest::newRow("rbWindowd") << "rbWindowd" << QRect(304, 8, 73, 25) << "Windowed";
        QTest::newRow("rbFullScreen") << "rbFullScreen" << QRect(384, 8, 73, 25) << "Fullscreen";
        QTest::newRow("lvServerList") << "lvServerList" << QRect(8, 40, 481, 153) << QString();
        QTest::newRow("tvPlayers") << "tvPlayers" << QRect(8, 8, 225, 185) << QString();
        QTest::newRow("edZarnName") << "edZarnName" << QRect(256, 8, 121, 21) << QString();
        QTest::newRow("rbPockz") << "rbPockz" << QRect(312, 48, 65, 17) << "Pock";
        QTest::newRow("leColor3") << "leColor3" << QRect(288, 138, 25, 21) << QString();
        QTest::newRow("pnlColor4") << "pnlColor4" << QRect(256, 163, 26, 21) << QString();
        QTest::newRow("sbPalette") << "sbPalette" << QRect(1, 1, 75, 23) << "Palette";
        QTest::newRow("btSaveSettings") << "btSaveSettings" << QRect(417, 171, 75, 23) << "Save";
        QTest::newRow("Panel4") << "Panel4" << QRect(432, 8, 57, 57) << QString();
        QTest::newRow("Label5") << "Label5" << QRect(8, 16, 49, 21) << "Listserver";
        QTest::newRow("cbListServer") << "cbListServer" << QRect(72, 16, 137, 21) << QString();
        QTest::newRow("Label1") << "Label1" << QRect(8, 96, 57, 21) << "Zarn 1.24 x";
        QTest::newRow("edZarn124cmd") << "edZarn124cmd" << QRect(72, 72, 321, 21) << QString();
        QTest::newRow("Panel7") << "Panel7" << QRect(400, 96, 25, 21) << QString();
        QTest::newRow("btLocateZarn121") << "btLocateZarn121" << QRect(1, 1, 23, 19) << "...";
        QTest::newRow("Image1") << "Image1" << QRect(16, 16, 32, 32) << QString();
    }

    void controlsStandAtTheirPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, caption);
        QWidget* widget = Find(name.toLatin1().constData());
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), geometry);
        if (caption.isEmpty())
            return;
        const QVariant text = widget->property("text");
        QCOMPARE(text.toString(), caption);
        // The caption must fit its control in the chosen font.
        QVERIFY2(widget->fontMetrics().horizontalAdvance(caption) <= geometry.width(),
                 qPrintable(name + " caption is cut off"));
    }

    void hintsAndStartStates()
    {
        TForm1& form = *windows_.form1;
        // Each hint is followed by its command's key.
        QCOMPARE(form.sbGetList->toolTip(),
                 QStringLiteral("Gets list of running gameservers (F5)\nFind a player on the listed servers (Ctrl+F)"));
        QCOMPARE(form.sbServerInfo->toolTip(), QStringLiteral("Gets info about the selected server (Ctrl+I)"));
        QCOMPARE(form.sbStartGame->toolTip(), QStringLiteral("Joins the selected server (Return)"));
        QCOMPARE(form.sbPalette->toolTip(), QStringLiteral("Palette (Ctrl+P)"));
        QCOMPARE(form.cbEnableSpy->toolTip(), QStringLiteral("Start with or without spywindow"));
        QCOMPARE(form.rbFullScreen->toolTip(), QStringLiteral("Zarn will be launched fullscreen"));
        QCOMPARE(form.edZarnName->toolTip(), QStringLiteral("Player's name"));
        QVERIFY(!form.edZarnName->isEnabled());
        QVERIFY(!form.btSaveSettings->isEnabled());
        QVERIFY(!form.leColor[0]->isEnabled());
        QCOMPARE(form.cbListServer->count(), 5);
        QVERIFY(form.cbListServer->findText(QStringLiteral("localhost")) >= 0);
        QCOMPARE(form.sbGetList->focusPolicy(), Qt::NoFocus);
        QCOMPARE(form.sbStartGame->focusPolicy(), Qt::NoFocus);
    }

    void aboutPageShowsNameAndVersion()
    {
        QStringList texts;
        for (QLabel* label : windows_.form1->TabSheet3->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                texts << label->text();
        }
        QCOMPARE(texts, QStringList({"Quimbrel", "Version: 1.2"}));
        auto* icon = Find<QLabel>("Image1");
        QVERIFY(icon && !icon->pixmap().isNull());
    }

    void keyboardFocusRunsFromSpyToRadioToTable()
    {
        TForm1& form = *windows_.form1;
        form.activateWindow();
        form.cbEnableSpy->setFocus();
        QVERIFY(QTest::qWaitFor([&] { return form.cbEnableSpy->hasFocus(); }, 2000));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form.rbWindowd);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form.lvServerList));
    }

    void configPageTabsThroughEachEditThenItsButton()
    {
        TForm1& form = *windows_.form1;
        form.PageControl1->setCurrentWidget(form.tsConfig);
        form.activateWindow();
        form.cbListServer->setFocus();
        QTRY_VERIFY(form.cbListServer->hasFocus());
        const QList<QWidget*> expected{form.edZarn121cmd, form.btLocateZarn121, form.edZarn124cmd,
                                       form.btLocateZarn124, form.edZarn124xcmd, form.btLocateZarn124x};
        for (QWidget* next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
        // A focused "..." button answers the keyboard like a click.
        QVERIFY(form.btLocateZarn124x->focusPolicy() & Qt::TabFocus);
        form.PageControl1->setCurrentIndex(0);
    }

    void longestTextsFitTheirColumnsAndControls()
    {
        TForm1& form = *windows_.form1;
        ServerListView& view = *form.lvServerList;
        // The longest texts each visible column meets in practice.
        const ServerEntry rows[] = {
            {"Copperkettle Court 84", "Treasure", "1.24 x", "private", "16/16", "pinging...", "342:56:07", "", "", ""},
            {"Tumbleweed Tower 12", "Capture", "1.24  ", "public", "32/32", "too far", "100:00:00", "", "", ""},
            {"Night Owls Only", "Battle", "1.30  ", "coop", "8/8", "1000 ms", " 23:59:59", "", "", ""},
        };
        form.serverTable->Clear();
        for (const ServerEntry& row : rows)
            form.serverTable->AppendRow(row);
        const auto clearTable = qScopeGuard([&] { form.serverTable->Clear(); });

        QHeaderView* header = view.header();
        for (int column = ColName; column <= ColUptime; ++column) {
            const int width = header->sectionSize(column);
            // The room a caption needs, margins included, as the header lays it out.
            QStyleOptionHeader caption;
            caption.initFrom(header);
            caption.section = column;
            caption.text = form.serverTable->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
            const int captionWidth =
                header->style()->sizeFromContents(QStyle::CT_HeaderSection, &caption, QSize(), header).width();
            QVERIFY2(captionWidth <= width, qPrintable(caption.text + " is cut off"));
            for (int row = 0; row < 3; ++row) {
                // The room a cell's text needs, as the view would draw it.
                const QModelIndex index = view.model()->index(row, column);
                QStyleOptionViewItem cell;
                cell.initFrom(&view);
                cell.font = view.font();
                cell.widget = &view;
                const int cellWidth = view.itemDelegateForIndex(index)->sizeHint(cell, index).width();
                QVERIFY2(cellWidth <= width, qPrintable(index.data().toString() + QStringLiteral(" needs %1 of %2 px")
                                                                                     .arg(cellWidth)
                                                                                     .arg(width)));
            }
        }

        // Every caption of every page fits its control.
        for (QWidget* control : form.findChildren<QWidget*>()) {
            const QString text = control->property("text").toString();
            if (text.isEmpty() || !(qobject_cast<QAbstractButton*>(control) || qobject_cast<QLabel*>(control)))
                continue;
            const int textWidth = control->fontMetrics().horizontalAdvance(text);
            int needed = control->sizeHint().width();
            if (qobject_cast<QPushButton*>(control)) {  // whose size hint has a minimum width of its own
                needed = textWidth + 2 * control->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, control);
            } else if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
                // The text has the room right of the mark (the size hint adds a focus frame's margin too).
                QStyleOptionButton option;
                option.initFrom(control);
                option.text = text;
                const auto area = qobject_cast<QCheckBox*>(control) ? QStyle::SE_CheckBoxContents
                                                                    : QStyle::SE_RadioButtonContents;
                needed = textWidth + control->width() - control->style()->subElementRect(area, &option, control).width();
            }
            QVERIFY2(needed <= control->width(),
                     qPrintable(control->objectName() + QStringLiteral(" needs %1 of %2 px").arg(needed).arg(control->width())));
        }
    }

    void serverActionsNeedASelection()
    {
        TForm1& form = *windows_.form1;
        RunUntilIdle();
        QVERIFY(!form.acServerInfo->isEnabled());
        QVERIFY(!form.acStartGame->isEnabled());
        QVERIFY(!form.sbStartGame->isEnabled());
    }

    void paletteButtonFollowsThePaletteWindow()
    {
        TForm1& form = *windows_.form1;
        TfrmPalette* palette = windows_.frmPalette;
        QVERIFY(!form.acTogglePalette->isChecked());
        form.sbPalette->click();
        QVERIFY(palette->isVisible());
        QVERIFY(form.sbPalette->isChecked());
        form.sbPalette->click();
        QVERIFY(!palette->isVisible());
        QVERIFY(!form.sbPalette->isChecked());
        form.sbPalette->click();
        QVERIFY(palette->isVisible());
        palette->close();  // its own close box
        RunUntilIdle();  // the update runs when the program is idle
        QVERIFY(!form.sbPalette->isChecked());
    }

    void errorEscapingAHandlerShowsTheErrorBox()
    {
        MessageBoxWatcher boxes;
        FailingReceiver receiver;
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
        RunUntilIdle();
        QCOMPARE(boxes.seen().size(), 1);
        const MessageBoxWatcher::Seen& box = boxes.seen().first();
        QCOMPARE(box.title, QStringLiteral("The Quimbrel"));
        QCOMPARE(box.text, QStringLiteral("The disk is on fire."));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        // The program goes on.
        QVERIFY(windows_.form1->isVisible());
    }

    void errorBoxAddsAFullStopAfterLettersOnly()
    {
        QCOMPARE(ErrorBoxText(QStringLiteral("Disk full")), QStringLiteral("Disk full."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Done.")), QStringLiteral("Done."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Really?")), QStringLiteral("Really?."));
        QCOMPARE(ErrorBoxText(QStringLiteral("Stop!")), QStringLiteral("Stop!"));
        QCOMPARE(ErrorBoxText(QStringLiteral("Code 7")), QStringLiteral("Code 7."));
        QCOMPARE(ErrorBoxText(QStringLiteral("(none)")), QStringLiteral("(none)"));
        QCOMPARE(ErrorBoxText(QString()), QString());
    }
};

QUIMBREL_TEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
