// The "Config" page's executables: found in the Wine prefix at start-up,
// replaced by stored settings, and picked with the "..." buttons.
#include "app/form1.h"
#include "app/startup.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QAbstractItemView>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <functional>

namespace {

// A Wine prefix holding two installations of the game: 1.24 (folder given
// without its trailing separator) and 1.21.
QByteArray MachineRegistry()
{
    return "WINE REGISTRY Version 2\n"
           ";; All keys relative to \\\\Machine\n"
           "\n"
           "#arch=win32\n"
           "\n"
           "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2] 1700000000\n"
           "#time=1d9f0a1b2c3d4e5\n"
           "\"InstallDir\"=\"/games/zarn124\"\n"
           "\"Version\"=\"1.24\"\n"
           "\n"
           "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2 (old)] 1700000000\n"
           "#time=1d9f0a1b2c3d4e5\n"
           "\"InstallDir\"=\"/games/zarn121/\"\n"
           "\"Version\"=\"1.21\"\n";
}

// Answers the file dialog that a "..." button opens, once it stands as a
// user sees it before acting: open, its folder listed, and the preset file
// (when there is one) selected there. Until then the dialog may still change
// its own file name field. A dialog that does not get there within the
// safety time is rejected, so a test never hangs; answered() tells.
class FileDialogAnswer : public QObject {
public:
    FileDialogAnswer(QString presetPath, std::function<void(QFileDialog*)> answer)
        : presetPath_(std::move(presetPath)), answer_(std::move(answer)), deadline_(10000)
    {
        connect(&poll_, &QTimer::timeout, this, &FileDialogAnswer::Poll);
        poll_.start(10);
    }

    bool answered() const { return answered_; }

private:
    bool Ready(QFileDialog* dialog) const
    {
        if (!dialog->isVisible())
            return false;
        if (presetPath_.isEmpty())
            return true;
        auto* model = dialog->findChild<QFileSystemModel*>();
        auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (!model || !list || !list->selectionModel())
            return false;
        const QModelIndex preset = model->index(presetPath_);
        return preset.isValid() && list->selectionModel()->isRowSelected(preset.row(), preset.parent());
    }

    void Poll()
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog && Ready(dialog)) {
            poll_.stop();
            answered_ = true;
            answer_(dialog);
        } else if (deadline_.hasExpired()) {
            poll_.stop();
            if (dialog)
                dialog->reject();
        }
    }

    QString presetPath_;
    std::function<void(QFileDialog*)> answer_;
    QDeadlineTimer deadline_;
    QTimer poll_;
    bool answered_ = false;
};

} // namespace

class ConfigExecutablesTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir prefix_;

private slots:
    void initTestCase()
    {
        QFile system(prefix_.filePath(QStringLiteral("system.reg")));
        QVERIFY(system.open(QIODevice::WriteOnly));
        system.write(MachineRegistry());
        system.close();
        qputenv("WINEPREFIX", prefix_.path().toLocal8Bit());
    }

    void configPageShowsFoundExecutables()
    {
        TempIni ini;
        MainWindows windows = CreateMainWindows();
        QCOMPARE(windows.form1->edZarn124cmd->text(), QStringLiteral("/games/zarn124zarn2.exe"));
        QCOMPARE(windows.form1->edZarn121cmd->text(), QStringLiteral("/games/zarn121/zarn2.exe"));
        QCOMPARE(windows.form1->edZarn124xcmd->text(), QString());
    }

    void storedPathWinsOverFoundOne()
    {
        TempIni ini;
        ini.Write("[Config]\r\nZarn124=/mine/zarn2.exe\r\nZarn121=\r\n");
        MainWindows windows = CreateMainWindows();
        QCOMPARE(windows.form1->edZarn124cmd->text(), QStringLiteral("/mine/zarn2.exe"));
        QCOMPARE(windows.form1->edZarn121cmd->text(), QStringLiteral("/games/zarn121/zarn2.exe"));
    }

    void locateButtonPresetsAndTakesTheChosenFile()
    {
        TempIni ini;
        QTemporaryDir games;
        const QString exe = games.filePath(QStringLiteral("ZARN2.EXE"));
        const QString other = games.filePath(QStringLiteral("other.exe"));
        for (const QString& path : {exe, other}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        MainWindows windows = CreateMainWindows();
        TForm1& form = *windows.form1;
        form.edZarn124xcmd->setText(exe);

        QString preset;
        QStringList filters;
        FileDialogAnswer pickOther(exe, [&](QFileDialog* dialog) {
            preset = dialog->selectedFiles().value(0);
            filters = dialog->nameFilters();
            // Type the other file's name, as a user would, and confirm.
            if (auto* nameEdit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                // Typing goes into the focused field, which the dialog then leaves alone.
                dialog->activateWindow();
                nameEdit->setFocus();
                QTest::qWaitFor([nameEdit] { return nameEdit->hasFocus(); }, 5000);
                nameEdit->selectAll();
                QTest::keyClicks(nameEdit, QStringLiteral("other.exe"));
            }
            QMetaObject::invokeMethod(dialog, "accept");
        });
        form.btLocateZarn124x->click();
        QVERIFY(pickOther.answered());
        QCOMPARE(preset, exe);
        QCOMPARE(filters, QStringList{"Zarn 2 App (*.EXE *.exe)"});
        QCOMPARE(form.edZarn124xcmd->text(), other);

        // Cancelling keeps the edit's text.
        FileDialogAnswer cancel(other, [](QFileDialog* dialog) { dialog->reject(); });
        form.btLocateZarn124x->click();
        QVERIFY(cancel.answered());
        QCOMPARE(form.edZarn124xcmd->text(), other);
    }

    void locateButtonFindsWindowsPathsInThePrefix()
    {
        TempIni ini;
        QDir prefix(prefix_.path());
        QVERIFY(prefix.mkpath(QStringLiteral("drive_c/Games/Zarn 2")));
        QVERIFY(prefix.mkpath(QStringLiteral("dosdevices")));
        QFile::link(prefix.filePath(QStringLiteral("drive_c")), prefix.filePath(QStringLiteral("dosdevices/c:")));
        QFile game(prefix.filePath(QStringLiteral("drive_c/Games/Zarn 2/zarn2.exe")));
        QVERIFY(game.open(QIODevice::WriteOnly));
        game.close();
        MainWindows windows = CreateMainWindows();
        windows.form1->edZarn121cmd->setText(QStringLiteral("C:\\Games\\Zarn 2\\zarn2.exe"));

        QString preset;
        // The preset names the file through the prefix's drive link, which the
        // dialog's list knows by another path: waiting for it to open is enough.
        FileDialogAnswer look(QString(), [&](QFileDialog* dialog) {
            preset = dialog->selectedFiles().value(0);
            dialog->reject();
        });
        windows.form1->btLocateZarn121->click();
        QVERIFY(look.answered());
        QCOMPARE(QFileInfo(preset).canonicalFilePath(), QFileInfo(game.fileName()).canonicalFilePath());
        QVERIFY(!preset.isEmpty());
    }
};

QUIMBREL_TEST_MAIN(ConfigExecutablesTest)
#include "config_executables_test.moc"
