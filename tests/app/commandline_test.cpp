// The command line's options for the settings file and the Wine prefix, and
// where the program looks for its data files.
#include "app/commandline.h"
#include "app/datafiles.h"
#include "app/form1.h"
#include "app/startup.h"
#include "support/testmain.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void optionsNameTheSettingsFileAndThePrefix()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("prefix")));
        QVERIFY(WriteFile(folder.filePath(QStringLiteral("mine.ini")), "[Config]\r\nListServer=localhost\r\n"));
        QVERIFY(WriteFile(folder.filePath(QStringLiteral("prefix/system.reg")),
                          "WINE REGISTRY Version 2\n\n"
                          "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2] 1700000000\n"
                          "\"InstallDir\"=\"/games/zarn124/\"\n"
                          "\"Version\"=\"1.24\"\n"));
        qputenv("QUIMBREL_INI", "/nonexistent/ignored.ini");
        qputenv("WINEPREFIX", "/nonexistent/prefix");

        // Relative paths mean the folder the program was started in, even
        // when the working directory changes later.
        const QString startFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        ApplyCommandLine({QStringLiteral("quimbrel"), QStringLiteral("--settings"), QStringLiteral("mine.ini"),
                          QStringLiteral("--wine-prefix=prefix")});
        QVERIFY(QDir::setCurrent(startFolder));

        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        QCOMPARE(form.cbListServer->currentText(), QStringLiteral("localhost"));
        QCOMPARE(form.edZarn124cmd->text(), QStringLiteral("/games/zarn124/zarn2.exe"));

        form.edZarn121cmd->setText(QStringLiteral("/games/other/zarn2.exe"));
        form.WriteIniFile();
        QVERIFY(ReadFile(folder.filePath(QStringLiteral("mine.ini"))).contains("Zarn121=/games/other/zarn2.exe"));

        qunsetenv("QUIMBREL_INI");
        qunsetenv("WINEPREFIX");
    }

    void dataFilesAreLookedForInTheWorkingFolderThenTheProgramsDataFolder()
    {
        // Installed: <prefix>/bin/quimbrel reads <prefix>/share/quimbrel.
        QCOMPARE(DataFileFolders(QStringLiteral("/home/player"), QStringLiteral("/opt/q/bin")),
                 (QStringList{QStringLiteral("/home/player"), QStringLiteral("/opt/q/share/quimbrel"),
                              QStringLiteral("/opt/q/bin")}));

        QTemporaryDir working;
        const QString startFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(working.path()));
        const QString missing = FindDataFile(QStringLiteral("Nowhere.bmp"));
        QVERIFY(WriteFile(working.filePath(QStringLiteral("Here.bmp")), "BM"));
        const QString here = FindDataFile(QStringLiteral("Here.bmp"));
        QVERIFY(QDir::setCurrent(startFolder));
        QCOMPARE(missing, QDir(working.path()).filePath(QStringLiteral("Nowhere.bmp")));
        QCOMPARE(QFileInfo(here).canonicalFilePath(),
                 QFileInfo(working.filePath(QStringLiteral("Here.bmp"))).canonicalFilePath());
    }
};

QUIMBREL_TEST_MAIN(CommandLineTest)
#include "commandline_test.moc"
