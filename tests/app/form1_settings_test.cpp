// Start-up and shut-down of the main window with its settings file.
#include "app/form1.h"
#include "app/startup.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "profiles/tfrmpalette.h"
#include "serverinfo/tfrmplayerlist.h"
#include "support/filepermissions.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QtTest>

#include <sys/stat.h>

class Form1SettingsTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir emptyPrefix_;

    // The file's entries in the order in which they stand, as "Section/Key=value".
    static QStringList Entries(const QByteArray& ini)
    {
        QStringList entries;
        QString section;
        for (const QByteArray& raw : ini.split('\n')) {
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(u'['))
                section = line.mid(1, line.size() - 2);
            else if (line.contains(u'='))
                entries << section + u'/' + line;
        }
        return entries;
    }

    // The path the game start receives for a server of the given version.
    static std::string StartedExecutable(TForm1& form, const char* version)
    {
        std::string started;
        form.SetProgramStarter([&started](const std::string& path, const std::string&) { started = path; });
        form.serverTable->Clear();
        form.serverTable->AppendRow({"Test", "ctf", version, "dm", "1/8", "", " 0:01:00", "127.0.0.9", "10052", "e1"});
        form.lvServerList->setCurrentIndex(form.serverTable->index(0, 0));
        form.UpdateActions();
        form.acStartGame->trigger();
        form.SetProgramStarter({});
        form.serverTable->Clear();
        return started;
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
        QVERIFY(written.startsWith("; my notes\r\n[Config]\r\n"));
        const QStringList expected{
            "Config/Unknown=kept",  "Config/ListServer=localhost",
            "Config/Zarn121=",      "Config/Zarn124=/opt/zarn/zarn2.exe",
            "Config/Zarn124x=",     "Config/Spy=0",
            "Config/DispMode=Fullscreen",
            "Windows/MainX=" + QString::number(form.x()),
            "Windows/MainY=" + QString::number(form.y()),
            "Windows/PaletteX=400", "Windows/PaletteY=401",
            "Windows/InfoX=765",    "Windows/InfoY=107",
        };
        QCOMPARE(Entries(written), expected);

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

    // A file that is no regular file is never waited on: start-up says so once
    // and uses the defaults; the close cannot write it and says so as always.
    void unreadableFileIsReportedOnceAndTheDefaultsUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("named pipe") << "fifo" << "it is a named pipe (FIFO), not a regular file";
        QTest::newRow("folder") << "folder" << "it is a folder, not a file";
    }

    void unreadableFileIsReportedOnceAndTheDefaultsUsed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        TempIni ini;
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(ini.path()).constData(), 0600), 0);
        else
            QVERIFY(QDir().mkdir(ini.path()));
        MessageBoxWatcher boxes;
        QElapsedTimer clock;
        clock.start();
        MainWindows windows = CreateMainWindows();
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(boxes.texts(), QStringList{"The settings file " + ini.path() + " cannot be read: " + reason +
                                            ". The default settings are used."});
        QVERIFY(windows.form1->cbEnableSpy->isChecked());
        QVERIFY(windows.form1->rbWindowd->isChecked());
        QCOMPARE(windows.form1->pos(), QPoint(193, 107));

        windows.form1->show();
        boxes.clear();
        QVERIFY(!windows.form1->close());
        QCOMPARE(boxes.texts(), QStringList{"Unable to write to " + ini.path() + u'.'});
        QVERIFY(clock.elapsed() < 2000);
    }

    void bytesThatAreNotUtf8SurviveStartAndClose()
    {
        TempIni ini;
        const QByteArray latin1Path("/home/j\xFCrgen/Spiele/zarn2.exe");  // 0xFC is not UTF-8
        ini.Write("[Config]\r\nZarn124x=" + latin1Path + "\r\nZarn121=/home/j\xC3\xBCrgen/zarn2.exe\r\n"
                  "Zarn124=/games/a\xFF\xFE" "b/zarn2.exe\r\n");
        {
            MainWindows windows = CreateMainWindows();
            TForm1& form = *windows.form1;
            QCOMPARE(form.edZarn121cmd->text(), QStringLiteral("/home/j\u00FCrgen/zarn2.exe"));
            // The odd byte shows as something that is plainly not the letter.
            const QString shown = form.edZarn124xcmd->text();
            QVERIFY(shown.startsWith(QStringLiteral("/home/j")));
            QVERIFY(shown.endsWith(QStringLiteral("rgen/Spiele/zarn2.exe")));
            QVERIFY(!shown.contains(QStringLiteral("\u00FC")));
            QCOMPARE(StartedExecutable(form, "1.24 x"), latin1Path.toStdString());
            QCOMPARE(StartedExecutable(form, "1.21  "), std::string("/home/j\xC3\xBCrgen/zarn2.exe"));
            form.show();
            QVERIFY(form.close());
        }
        const QByteArray written = ini.Read();
        QVERIFY2(written.contains("Zarn124x=" + latin1Path + "\r\n"), written.constData());
        QVERIFY(written.contains("Zarn121=/home/j\xC3\xBCrgen/zarn2.exe\r\n"));
        QVERIFY(written.contains("Zarn124=/games/a\xFF\xFE" "b/zarn2.exe\r\n"));

        // What the user types is stored as UTF-8; the odd byte stays where it was left alone.
        MainWindows again = CreateMainWindows();
        QLineEdit* edit = again.form1->edZarn124xcmd;
        edit->setText(edit->text().replace(QStringLiteral("Spiele"), QStringLiteral("Spiele-\u00FC")));
        QCOMPARE(StartedExecutable(*again.form1, "1.24 x"), std::string("/home/j\xFCrgen/Spiele-\xC3\xBC/zarn2.exe"));
        again.form1->show();
        QVERIFY(again.form1->close());
        QVERIFY(ini.Read().contains("Zarn124x=/home/j\xFCrgen/Spiele-\xC3\xBC/zarn2.exe\r\n"));
    }

    void lineBreakInAValueIsShownAndNeverBlocksTheClose()
    {
        // An installation whose folder name holds a line break and a Windows-1252 letter.
        QTemporaryDir prefix;
        QFile system(prefix.filePath(QStringLiteral("system.reg")));
        QVERIFY(system.open(QIODevice::WriteOnly));
        system.write("WINE REGISTRY Version 2\n\n"
                     "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2] 1700000000\n"
                     "\"InstallDir\"=\"/games/J\\xfcrgen\\n/\"\n"
                     "\"Version\"=\"1.21\"\n");
        system.close();
        qputenv("WINEPREFIX", prefix.path().toLocal8Bit());
        const auto restorePrefix = qScopeGuard([this] { qputenv("WINEPREFIX", emptyPrefix_.path().toLocal8Bit()); });

        TempIni ini;
        ini.Write("[Config]\r\nZarn121=\r\nSpy=1\r\n");
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        // The line break is there to see, and the game still gets the real folder name.
        QCOMPARE(form.edZarn121cmd->text(), QStringLiteral("/games/J\u00FCrgen\u21B5/zarn2.exe"));
        QCOMPARE(StartedExecutable(form, "1.21  "), std::string("/games/J\xC3\xBCrgen\n/zarn2.exe"));

        form.cbEnableSpy->setChecked(false);
        form.show();
        MessageBoxWatcher boxes;
        QVERIFY(form.close());
        QVERIFY(boxes.seen().isEmpty());
        const QStringList entries = Entries(ini.Read());
        QVERIFY(entries.contains(QStringLiteral("Config/Zarn121=")));  // what the file held
        QVERIFY(entries.contains(QStringLiteral("Config/Spy=0")));
        QVERIFY(entries.contains(QStringLiteral("Windows/InfoY=107")));
        QCOMPARE(entries.size(), 12);
    }

    void writableFileInAFolderThatRefusesNewFiles()
    {
        TempIni ini;
        ini.Write("[Config]\r\nZarn121=/old/zarn2.exe\r\n");
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        form.edZarn121cmd->setText(QStringLiteral("/new/zarn2.exe"));
        form.show();

        const QString folder = QFileInfo(ini.path()).absolutePath();
        const QFileDevice::Permissions readAndEnter = QFileDevice::ReadOwner | QFileDevice::ExeOwner;
        QVERIFY(QFile::setPermissions(folder, readAndEnter));
        const auto restore = qScopeGuard([&] { QFile::setPermissions(folder, readAndEnter | QFileDevice::WriteOwner); });
        {
            FilePermissionsApply permissionsApply;
            QFile probe(folder + QStringLiteral("/probe"));
            QVERIFY2(!probe.open(QIODevice::WriteOnly), "the folder should refuse new files");
            QVERIFY(form.close());
        }
        const QByteArray written = ini.Read();
        QVERIFY(written.startsWith("[Config]\r\nZarn121=/new/zarn2.exe\r\n"));
        QCOMPARE(Entries(written).size(), 12);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Quimbrel.ini"});
    }
};

QUIMBREL_TEST_MAIN(Form1SettingsTest)
#include "form1_settings_test.moc"
