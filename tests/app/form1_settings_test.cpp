// Start-up and shut-down of the main window with its settings file.
#include "app/form1.h"
#include "app/startup.h"
#include "profiles/tfrmpalette.h"
#include "serverinfo/tfrmplayerlist.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

class Form1SettingsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;

    static QMap<QString, QString> Keys(const QByteArray& ini)
    {
        QMap<QString, QString> keys;
        QString section;
        for (const QByteArray& raw : ini.split('\n')) {
            const QString line = QString::fromLocal8Bit(raw).trimmed();
            if (line.startsWith(u'['))
                section = line.mid(1, line.size() - 2);
            else if (line.contains(u'='))
                keys.insert(section + u'/' + line.section(u'=', 0, 0), line.section(u'=', 1));
        }
        return keys;
    }

private slots:
    void initTestCase()
    {
        // No game installations: the executable fields start empty.
        qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit());
    }

    void firstStartUsesDefaults()
    {
        TempIni ini;
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        QCOMPARE(form.cbListServer->currentIndex(), 0);
        QCOMPARE(QString::fromStdString(form.idCListServer().host), form.cbListServer->itemText(0));
        QCOMPARE(form.idCListServer().port, 10057);
        QVERIFY(form.cbEnableSpy->isChecked());
        QVERIFY(form.rbWindowd->isChecked());
        QVERIFY(!form.rbFullScreen->isChecked());
        QVERIFY(form.edZarn121cmd->text().isEmpty());
        QCOMPARE(form.pos(), QPoint(193, 107));
        QCOMPARE(windows.frmPalette->pos(), QPoint(192, 107));
        QCOMPARE(windows.frmPlayerList->pos(), QPoint(765, 107));
        QVERIFY(!windows.frmPalette->isVisible());
        QVERIFY(!windows.frmPlayerList->isVisible());
    }

    void storedSettingsAreRestored()
    {
        TempIni ini;
        ini.Write("[config]\r\n"
                  "listserver=LOCALHOST\r\n"
                  "Zarn121=/games/zarn 121/zarn2.exe\r\n"
                  "Zarn124x=/games/x.exe\r\n"
                  "Spy=0\r\n"
                  "DispMode=Fullscreen\r\n"
                  "[Windows]\r\n"
                  "MainX=0x20\r\nMainY=  $40\r\nPaletteX=300\r\nPaletteY=310\r\nInfoX=-5\r\nInfoY=7\r\n");
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        QCOMPARE(form.cbListServer->currentText(), QStringLiteral("localhost"));
        QCOMPARE(form.idCListServer().host, std::string("localhost"));
        QCOMPARE(form.edZarn121cmd->text(), QStringLiteral("/games/zarn 121/zarn2.exe"));
        QCOMPARE(form.edZarn124cmd->text(), QString());
        QCOMPARE(form.edZarn124xcmd->text(), QStringLiteral("/games/x.exe"));
        QVERIFY(!form.cbEnableSpy->isChecked());
        QVERIFY(form.rbFullScreen->isChecked());
        QCOMPARE(form.pos(), QPoint(32, 64));
        QCOMPARE(windows.frmPalette->pos(), QPoint(300, 310));
        QCOMPARE(windows.frmPlayerList->pos(), QPoint(-5, 7));
    }

    void doubtfulValuesFallBack_data()
    {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<int>("listServerIndex");
        QTest::addColumn<bool>("spy");
        QTest::addColumn<bool>("windowed");
        QTest::addColumn<QPoint>("mainPos");
        QTest::newRow("letters") << QByteArray("ListServer=nowhere.invalid\nSpy=abc\nDispMode=fullscreen\n"
                                               "[Windows]\nMainX=abc\nMainY=12x\n")
                                 << 0 << true << true << QPoint(193, 107);
        QTest::newRow("spy two, lower-case mode")
            << QByteArray("Spy=2\nDispMode=windowed\n[Windows]\nMainX=99999999999\nMainY=0X10\n") << 0 << true
            << true << QPoint(193, 16);
        QTest::newRow("empty values") << QByteArray("ListServer=\nSpy=\nDispMode=\n[Windows]\nMainX=\n") << 0
                                      << true << true << QPoint(193, 107);
        QTest::newRow("duplicates, first wins")
            << QByteArray("ListServer=localhost\nListServer=list2.tumblewick.invalid\nSpy=0\nSpy=1\n") << 4 << false
            << true << QPoint(193, 107);
    }

    void doubtfulValuesFallBack()
    {
        QFETCH(QByteArray, config);
        QFETCH(int, listServerIndex);
        QFETCH(bool, spy);
        QFETCH(bool, windowed);
        QFETCH(QPoint, mainPos);
        TempIni ini;
        ini.Write("[Config]\n" + config);
        MainWindows windows = CreateMainWindows();
        QCOMPARE(windows.form1->cbListServer->currentIndex(), listServerIndex);
        QCOMPARE(windows.form1->cbEnableSpy->isChecked(), spy);
        QCOMPARE(windows.form1->rbWindowd->isChecked(), windowed);
        QCOMPARE(windows.form1->pos(), mainPos);
    }

    void closeWritesEverySetting()
    {
        TempIni ini;
        ini.Write("; my notes\r\n[Config]\r\nUnknown=kept\r\n");
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        form.show();
        form.cbListServer->setCurrentIndex(4);
        form.edZarn124cmd->setText(QStringLiteral("/opt/zarn/zarn2.exe"));
        form.cbEnableSpy->setChecked(false);
        form.rbFullScreen->setChecked(true);
        windows.frmPalette->move(400, 401);
        QVERIFY(form.close());

        const QByteArray written = ini.Read();
        QVERIFY(written.startsWith("; my notes\r\n"));
        QVERIFY(written.contains("Unknown=kept"));
        const QMap<QString, QString> keys = Keys(written);
        QCOMPARE(keys.value("Config/ListServer"), QStringLiteral("localhost"));
        QCOMPARE(keys.value("Config/Zarn121"), QString());
        QVERIFY(keys.contains("Config/Zarn121"));
        QCOMPARE(keys.value("Config/Zarn124"), QStringLiteral("/opt/zarn/zarn2.exe"));
        QVERIFY(keys.contains("Config/Zarn124x"));
        QCOMPARE(keys.value("Config/Spy"), QStringLiteral("0"));
        QCOMPARE(keys.value("Config/DispMode"), QStringLiteral("Fullscreen"));
        QCOMPARE(keys.value("Windows/MainX"), QString::number(form.x()));
        QCOMPARE(keys.value("Windows/MainY"), QString::number(form.y()));
        QCOMPARE(keys.value("Windows/PaletteX"), QStringLiteral("400"));
        QCOMPARE(keys.value("Windows/PaletteY"), QStringLiteral("401"));
        QCOMPARE(keys.value("Windows/InfoX"), QStringLiteral("765"));
        QCOMPARE(keys.value("Windows/InfoY"), QStringLiteral("107"));
        QCOMPARE(keys.size(), 13);  // the twelve settings and the unknown key

        // The next start reads back what was written.
        MainWindows again = CreateMainWindows();
        QCOMPARE(again.form1->cbListServer->currentIndex(), 4);
        QVERIFY(!again.form1->cbEnableSpy->isChecked());
        QVERIFY(again.form1->rbFullScreen->isChecked());
        QCOMPARE(again.frmPalette->pos(), QPoint(400, 401));
    }

    void closingTheMainWindowEndsTheProgramEvenWithToolWindowsShown()
    {
        TempIni ini;
        MainWindows windows = CreateMainWindows();
        windows.form1->show();
        windows.frmPalette->show();
        windows.frmPlayerList->show();
        bool timedOut = false;
        QTimer::singleShot(0, windows.form1.get(), [&] { windows.form1->close(); });
        QTimer::singleShot(5000, qApp, [&] {
            timedOut = true;
            QCoreApplication::exit(1);
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!timedOut);
        QVERIFY(!windows.frmPalette->isVisible());
        QVERIFY(!windows.frmPlayerList->isVisible());
    }

    void unwritableFileKeepsWindowOpen()
    {
        TempIni ini;
        MainWindows windows = CreateMainWindows();
        windows.form1->show();
        ini.MakeUnwritable();
        MessageBoxWatcher boxes;
        QVERIFY(!windows.form1->close());
        QVERIFY(windows.form1->isVisible());
        QCOMPARE(boxes.seen().size(), 1);
        const MessageBoxWatcher::Seen& box = boxes.seen().first();
        QCOMPARE(box.title, QStringLiteral("The Quimbrel"));
        QCOMPARE(box.text, QStringLiteral("Unable to write to ") + ini.path() + u'.');
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
};

QUIMBREL_TEST_MAIN(Form1SettingsTest)
#include "form1_settings_test.moc"
