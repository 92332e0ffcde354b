// The palette tool window: clicks write cell indices into the colour field
// that last had the focus, and the "Palette" button follows the window.
#include "app/form1.h"
#include "app/startup.h"
#include "profiles/tfrmpalette.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QAction>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class PaletteWindowTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;
    TempIni ini_;
    MainWindows windows_;

    TForm1& form() { return *windows_.form1; }
    TfrmPalette& palette() { return *windows_.frmPalette; }

    // A click in the middle of a cell's field, or anywhere on the picture.
    void ClickCell(int cell) { ClickAt(QPoint(cell % 16 * 18 + 9, cell / 16 * 18 + 9)); }
    void ClickAt(QPoint point) { QTest::mouseClick(palette().Image1, Qt::LeftButton, {}, point); }

    void Focus(QWidget* control)
    {
        control->setEnabled(true);
        control->setFocus();
        QTRY_COMPARE(form().focusWidget(), control);
    }

private slots:
    void initTestCase()
    {
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
        windows_ = CreateMainWindows();
        form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    void cleanupTestCase() { windows_.form1.reset(); }

    void windowIsAHiddenToolWindowSizedToThePicture()
    {
        QVERIFY(!palette().isVisible());
        QCOMPARE(palette().windowTitle(), QStringLiteral("Palette"));
        QVERIFY(palette().windowFlags().testFlag(Qt::Tool));
        QCOMPARE(palette().size(), QSize(288, 90));
        QCOMPARE(palette().Image1->geometry(), QRect(0, 0, 288, 90));
        QCOMPARE(palette().Image1->toolTip(), QStringLiteral("Click on a color to set selected value"));
        QCOMPARE(palette().ColorIndexToColor(16), 0x00FFC7u);
        // Its creation filled the page's placeholder greys.
        QCOMPARE(form().OldColors.front(), 65793u);
        QCOMPARE(form().OldColors.back(), 32u * 65793u);
    }

    void aCellClickSetsTheFocusedColourField()
    {
        form().acTogglePalette->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(&palette()));
        QLineEdit* colour3 = form().leColor[2];
        Focus(colour3);
        colour3->setText(QStringLiteral("5"));
        QSignalSpy changes(colour3, &QLineEdit::textChanged);

        ClickCell(37);
        QCOMPARE(colour3->text(), QStringLiteral("37"));
        QCOMPARE(changes.count(), 1);
        // The field keeps the main window's focus while the palette is used.
        QCOMPARE(form().focusWidget(), colour3);

        // Frames, the picture's right edge and the blank space of cell 65.
        ClickAt(QPoint(5 * 18 + 1, 2 * 18 + 9));
        ClickAt(QPoint(5 * 18 + 16, 2 * 18 + 9));
        ClickAt(QPoint(5 * 18 + 9, 2 * 18 + 17));
        ClickAt(QPoint(286, 9));
        QCOMPARE(colour3->text(), QStringLiteral("37"));
        ClickAt(QPoint(5 * 18 + 2, 2 * 18 + 15));
        QCOMPARE(colour3->text(), QStringLiteral("37"));
        ClickCell(65);
        QCOMPARE(colour3->text(), QStringLiteral("65"));
        ClickCell(0);
        QCOMPARE(colour3->text(), QStringLiteral("0"));

        // Another colour field takes the value once it has the focus.
        Focus(form().leColor[0]);
        ClickCell(79);
        QCOMPARE(form().leColor[0]->text(), QStringLiteral("79"));
        QCOMPARE(colour3->text(), QStringLiteral("0"));
    }

    void aClickWhileTheNameFieldIsActiveChangesNothing()
    {
        Focus(form().edZarnName);
        form().edZarnName->setText(QStringLiteral("Zarn"));
        const QString colours[] = {form().leColor[0]->text(), form().leColor[1]->text(), form().leColor[2]->text(),
                                   form().leColor[3]->text()};
        ClickCell(20);
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Zarn"));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(form().leColor[i]->text(), colours[i]);
    }

    void thePaletteButtonFollowsTheWindow()
    {
        QToolButton* button = form().sbPalette;
        QVERIFY(palette().isVisible());
        QVERIFY(button->isChecked());

        // Its own close button hides it; the button pops up at once.
        palette().close();
        QVERIFY(!palette().isVisible());
        QVERIFY(!form().acTogglePalette->isChecked());
        QVERIFY(!button->isChecked());

        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(palette().isVisible());
        QVERIFY(button->isChecked());
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY(!palette().isVisible());
        QVERIFY(!button->isChecked());
    }
};

QUIMBREL_TEST_MAIN(PaletteWindowTest)
#include "palette_window_test.moc"
