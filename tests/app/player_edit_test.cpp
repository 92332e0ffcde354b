// The "Player edit" page over a temporary Wine prefix: the profile tree, a
// profile loaded into the controls, edits, the question before leaving a
// changed profile, saving, and the palette writing into a colour field.
#include "app/form1.h"
#include "app/startup.h"
#include "platform/registry_testprefix.h"
#include "platform/wineserver_lockholder.h"
#include "profiles/playeredit/colorpreview.h"
#include "profiles/playertreeview.h"
#include "profiles/tfrmpalette.h"
#include "profiles/tzarnsettings.h"
#include "support/messageboxwatcher.h"
#include "support/tempini.h"
#include "support/testmain.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>
#include <sched.h>
#include <sys/mount.h>

#include <sys/stat.h>

namespace {

const std::string ProfilesKey = "[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.24\\\\";

// Profiles of one version key, plus keys the tree must leave out or show
// without children.
std::string SampleUserReg()
{
    return UserRegHeader()
           + "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\1.21] 1700000000\n"
             "\n" + ProfilesKey + "Player1] 1700000001\n\"Char\"=hex:37,00,00,00\n\"Color\"=hex:18,20,30,28\n"
             "\"Name\"=\"Wicky\"\n"
             "\n" + ProfilesKey + "Player2] 1700000002\n\"Char\"=hex:59,00,00,00\n\"Color\"=hex:48,38,4c,28\n"
             "\"Name\"=\"Pockz the Magnificent\"\n"
             "\n" + ProfilesKey + "Player3] 1700000003\n\"Char\"=hex:00,00,00,00\n\"Color\"=hex:10,18,20,28\n"
             "\"Name\"=\"Nobody\"\n"
             "\n" + ProfilesKey + "player4] 1700000004\n\"Name\"=\"lower case\"\n"
             "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\Player5] 1700000005\n"
             "\n[Software\\\\Krell Playware\\\\zarn tumblewick 2\\\\1.24\\\\Player1] 1700000006\n";
}

// Mounts a file system of `bytes` bytes on `folder`, seen only by this
// process, so that a full disk is real even for root; says why it could not.
std::string MountSmallFileSystem(const std::filesystem::path& folder, std::size_t bytes)
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || ::mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) != 0)
        return std::string("a full disk needs a mount namespace of our own: ") + std::strerror(errno);
    return {};
}

QImage Picture(const QLabel* label)
{
    return label->pixmap().toImage();
}

QRgb SwatchStripe(const QLabel* swatch, int stripe)
{
    return Picture(swatch).pixel(3 * stripe + 1, 9);
}

} // namespace

class PlayerEditTest : public QObject {
    Q_OBJECT
private:
    TempIni ini_;
    std::unique_ptr<TestPrefix> prefix_;
    MainWindows windows_;
    std::unique_ptr<MessageBoxWatcher> boxes_;

    TForm1& form() { return *windows_.form1; }

    void Start(const std::string& userReg, bool keepPrefix = false)
    {
        windows_ = {};
        if (!keepPrefix)
            prefix_ = std::make_unique<TestPrefix>();
        if (!userReg.empty())
            prefix_->Write("user.reg", userReg);
        qputenv("WINEPREFIX", QByteArray::fromStdString(prefix_->Path().string()));
        boxes_ = std::make_unique<MessageBoxWatcher>();
        windows_ = CreateMainWindows();
        form().show();
        form().PageControl1->setCurrentWidget(form().TabSheet2);
        QVERIFY(QTest::qWaitForWindowExposed(&form()));
    }

    QTreeWidgetItem* Node(const QString& game, const QString& version = {}, const QString& profile = {})
    {
        const auto games = form().tvPlayers->findItems(game, Qt::MatchExactly);
        if (games.isEmpty())
            return nullptr;
        QTreeWidgetItem* node = games.first();
        for (const QString& name : {version, profile}) {
            if (name.isEmpty())
                break;
            QTreeWidgetItem* child = nullptr;
            for (int i = 0; i < node->childCount() && !child; ++i)
                if (node->child(i)->text(0) == name)
                    child = node->child(i);
            node = child;
            if (!node)
                return nullptr;
        }
        return node;
    }

    QTreeWidgetItem* Profile(const QString& name) { return Node("Zarn Tumblewick 2", "1.24", name); }

    void Click(QTreeWidgetItem* node)
    {
        QVERIFY(node);
        TPlayerTreeView* tree = form().tvPlayers;
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    }

    void ClickAndLoad(QTreeWidgetItem* node)
    {
        Click(node);
        QCOMPARE(form().tvPlayers->currentItem(), node);
    }

    void Type(QWidget* field, const QString& text)
    {
        field->setFocus();
        QTest::keyClicks(field, text);
    }

    void ClearField(QLineEdit* field)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
    }

    TZarnSettings Stored(const QString& profile)
    {
        TZarnSettings stored{Registry(prefix_->Path())};
        stored.KeyPath = "\\Software\\Krell Playware\\Zarn Tumblewick 2\\1.24\\" + profile.toStdString();
        stored.Load();
        return stored;
    }

    std::array<std::int32_t, 4> Colors(const TZarnSettings& settings)
    {
        return {settings.GetColor(1), settings.GetColor(2), settings.GetColor(3), settings.GetColor(4)};
    }

    QRgb Palette(int index) { return ShownColor(windows_.frmPalette->ColorIndexToColor(index)); }

private slots:
    void cleanup()
    {
        windows_ = {};
        boxes_.reset();
    }

    void anEmptyRegistryGivesAnEmptyTreeAndADisabledPage()
    {
        Start("");
        QCOMPARE(form().tvPlayers->topLevelItemCount(), 0);
        for (QWidget* control : std::initializer_list<QWidget*>{form().edZarnName, form().rbZarn, form().rbPockz,
                                                                 form().rbVani, form().btSaveSettings})
            QVERIFY2(!control->isEnabled(), qPrintable(control->objectName()));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!form().pnlColor[i]->isEnabled());
            QVERIFY(!form().leColor[i]->isEnabled());
            QCOMPARE(form().leColorLabel[i]->text(), QStringLiteral("leColor%1").arg(i + 1));
        }
        QVERIFY(!form().rbZarn->isChecked() && !form().rbPockz->isChecked() && !form().rbVani->isChecked());
        QVERIFY(form().bvlColorFrame->isHidden());
        // The pictures were found beside the program: no error at start-up.
        QVERIFY(boxes_->texts().isEmpty());
    }

    void unusableRegistryFilesAreToldOnceAndStartUpGoesOn()
    {
        // A named pipe would block start-up for ever; a folder cannot be read.
        prefix_ = std::make_unique<TestPrefix>();
        QCOMPARE(::mkfifo(prefix_->File("user.reg").c_str(), 0600), 0);
        std::filesystem::create_directory(prefix_->File("system.reg"));
        Start({}, /*keepPrefix=*/true);
        QCOMPARE(boxes_->seen().size(), 1);
        for (const char* file : {"user.reg", "system.reg"})
            QVERIFY2(boxes_->texts().first().contains(QString::fromStdString(prefix_->File(file).string())), qPrintable(boxes_->texts().first()));
        QCOMPARE(form().tvPlayers->topLevelItemCount(), 0);
    }

    void theTreeShowsGamesVersionsAndProfilesExpanded()
    {
        Start(SampleUserReg());
        QCOMPARE(form().tvPlayers->topLevelItemCount(), 1);
        QTreeWidgetItem* game = Node("Zarn Tumblewick 2");
        QVERIFY(game->isExpanded());
        QCOMPARE(game->childCount(), 3);
        QCOMPARE(Node("Zarn Tumblewick 2", "1.21")->childCount(), 0);
        QTreeWidgetItem* version = Node("Zarn Tumblewick 2", "1.24");
        QVERIFY(version->isExpanded());
        QCOMPARE(version->childCount(), 3);
        QVERIFY(!Profile("player4"));
    }

    void onlyProfileNodesCanBeSelected()
    {
        Start(SampleUserReg());
        TPlayerTreeView* tree = form().tvPlayers;
        Click(Node("Zarn Tumblewick 2", "1.24"));
        Click(Node("Zarn Tumblewick 2"));
        // A version key named like a profile has no profile path.
        Click(Node("Zarn Tumblewick 2", "Player5"));
        QVERIFY(tree->selectedItems().isEmpty());
        QVERIFY(!form().edZarnName->isEnabled());

        ClickAndLoad(Profile("Player1"));
        QVERIFY(form().edZarnName->isEnabled());
        Type(form().edZarnName, "!");
        // Neither the mouse nor the keys move a changed profile's selection
        // onto a version node, and nothing is asked.
        Click(Node("Zarn Tumblewick 2", "1.24"));
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Up);
        QCOMPARE(tree->currentItem(), Profile("Player1"));
        QCOMPARE(tree->selectedItems(), QList<QTreeWidgetItem*>{Profile("Player1")});
        QVERIFY(boxes_->texts().isEmpty());
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Wicky!"));

        // The keys reach the next profile like the mouse.
        boxes_->AnswerWith(QMessageBox::No);
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem(), Profile("Player2"));
        QCOMPARE(boxes_->texts(), QStringList{"Save changes?"});
    }

    void keysGoFromProfileToProfile()
    {
        const auto key = [](const std::string& path) {
            return "\n[Software\\\\Krell Playware\\\\Zarn Tumblewick 2\\\\" + path + "] 1700000001\n";
        };
        Start(UserRegHeader() + key("1.21\\\\PlayerA") + key("1.24\\\\PlayerB") + key("1.24\\\\PlayerC")
              + key("Player9"));
        QTreeWidgetItem* a = Node("Zarn Tumblewick 2", "1.21", "PlayerA");
        QTreeWidgetItem* b = Profile("PlayerB");
        QTreeWidgetItem* c = Profile("PlayerC");
        QVERIFY(a && b && c && Node("Zarn Tumblewick 2", "Player9"));
        // From nothing chosen, over game and version nodes, the last one
        // named like a profile.
        const std::pair<Qt::Key, QTreeWidgetItem*> steps[] = {{Qt::Key_Down, a}, {Qt::Key_Down, b}, {Qt::Key_End, c},
                                                              {Qt::Key_Down, c}, {Qt::Key_P, a},    {Qt::Key_PageDown, c}};
        form().tvPlayers->setFocus();
        for (const auto& [key, reached] : steps) {
            QTest::keyClick(form().tvPlayers, key);  // P types a letter
            QCOMPARE(form().tvPlayers->currentItem(), reached);
        }
    }

    void selectingAProfileShowsIt()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player1"));
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Wicky"));
        QVERIFY(form().rbZarn->isChecked());
        const QStringList labels{"Body", "Stirnband", "Blaster", "Wristband"};
        const QStringList values{"24", "32", "48", "40"};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(form().leColor[i]->isEnabled() && form().pnlColor[i]->isEnabled());
            QCOMPARE(form().leColorLabel[i]->text(), labels[i]);
            QCOMPARE(form().leColor[i]->text(), values[i]);
            // The swatch shows the ramp, lightest at the left.
            for (int stripe : {0, 7})
                QCOMPARE(SwatchStripe(form().imColor[i], stripe), Palette(values[i].toInt() + stripe));
        }
        QVERIFY(!form().btSaveSettings->isEnabled());
        QVERIFY(!form().Settings->Modified());

        // The preview is the character with its greys replaced by the ramps.
        const QImage preview = Picture(form().imPreview);
        const QImage expected = RecoloredCharacter(form().CharBitmaps[0], form().OldColors,
                                                   PreviewColors({24, 32, 48, 40}, [this](std::int64_t i) {
                                                       return windows_.frmPalette->ColorIndexToColor(int(i));
                                                   }));
        QCOMPARE(preview.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(preview.convertToFormat(QImage::Format_ARGB32).pixelColor(0, 47).alpha() == 0);

        // A second profile: another character, its labels, a longer name shown whole.
        ClickAndLoad(Profile("Player2"));
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Pockz the Magnificent"));
        QVERIFY(form().rbPockz->isChecked() && !form().rbZarn->isChecked());
        QCOMPARE(form().leColorLabel[2]->text(), QStringLiteral("Shoes / Wristband"));
        // Colour 76 runs past the palette: four colours, then black.
        QCOMPARE(form().leColor[2]->text(), QStringLiteral("76"));
        QCOMPARE(SwatchStripe(form().imColor[2], 3), Palette(79));
        QCOMPARE(SwatchStripe(form().imColor[2], 4), qRgb(0, 0, 0));
        QVERIFY(!form().btSaveSettings->isEnabled());
    }

    void editsMarkTheProfileChangedAndSaveWritesIt()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player2"));
        // The name takes 14 typed characters; the long stored one can shrink.
        QLineEdit* name = form().edZarnName;
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, "Sir Pockz of the Hills");
        QCOMPARE(name->text(), QStringLiteral("Sir Pockz of t"));
        QVERIFY(form().btSaveSettings->isEnabled());

        QTest::mouseClick(form().rbVani, Qt::LeftButton);
        QCOMPARE(form().leColorLabel[0]->text(), QStringLiteral("unused"));
        QCOMPARE(form().Settings->Character(), 61);

        ClearField(form().leColor[0]);
        Type(form().leColor[0], "3");
        QCOMPARE(form().Settings->GetColor(1), 3);
        Type(form().leColor[0], "7");
        QCOMPARE(form().Settings->GetColor(1), 37);

        QTest::mouseClick(form().btSaveSettings, Qt::LeftButton);
        QVERIFY(!form().btSaveSettings->isEnabled());
        const TZarnSettings stored = Stored("Player2");
        QCOMPARE(stored.Name(), std::string("Sir Pockz of t"));
        QCOMPARE(stored.Character(), 61);
        QCOMPARE(Colors(stored), (std::array<std::int32_t, 4>{37, 56, 76, 40}));
        QVERIFY(boxes_->texts().isEmpty());
    }

    void anUnreadableColourIsReportedAndKeepsTheStoredValue()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player1"));
        QLineEdit* colour2 = form().leColor[1];
        ClearField(colour2);
        Type(colour2, "5");
        const QImage swatch = Picture(form().imColor[1]);
        Type(colour2, "a");
        QCOMPARE(boxes_->texts(), QStringList{"'05a' is not a valid integer value."});
        QCOMPARE(boxes_->seen().first().title, QStringLiteral("The Quimbrel"));
        QCOMPARE(form().Settings->GetColor(2), 5);
        QCOMPARE(Picture(form().imColor[1]), swatch);

        // While it stays unreadable, every other change reports it too, yet
        // is made and can be saved.
        boxes_->clear();
        ClearField(form().leColor[0]);
        Type(form().leColor[0], "9");
        QCOMPARE(boxes_->texts().last(), QStringLiteral("'05a' is not a valid integer value."));
        QCOMPARE(form().Settings->GetColor(1), 9);
        QVERIFY(form().btSaveSettings->isEnabled());
    }

    void leavingAChangedProfileAsks()
    {
        Start(SampleUserReg());
        const std::string before = prefix_->Read("user.reg");
        ClickAndLoad(Profile("Player1"));
        Type(form().edZarnName, "s");

        // No: the other profile loads, nothing is written.
        boxes_->AnswerWith(QMessageBox::No);
        ClickAndLoad(Profile("Player2"));
        QCOMPARE(boxes_->seen().size(), 1);
        const MessageBoxWatcher::Seen question = boxes_->seen().first();
        QCOMPARE(question.text, QStringLiteral("Save changes?"));
        // Blank but not empty: an empty title would show the application's name.
        QCOMPARE(question.title, QStringLiteral(" "));
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(prefix_->Read("user.reg"), before);
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Pockz the Magnificent"));
        QVERIFY(!form().btSaveSettings->isEnabled());

        // Cancel: the changed profile stays selected and changed.
        Type(form().leColor[3], "1");
        boxes_->AnswerWith(QMessageBox::Cancel);
        Click(Profile("Player1"));
        QCOMPARE(boxes_->seen().size(), 2);
        QCOMPARE(form().tvPlayers->currentItem(), Profile("Player2"));
        QCOMPARE(form().tvPlayers->selectedItems(), QList<QTreeWidgetItem*>{Profile("Player2")});
        QVERIFY(form().Settings->Modified());
        QCOMPARE(form().Settings->GetColor(4), 401);
        QVERIFY(form().btSaveSettings->isEnabled());

        // Yes: saved, then the other profile loads.
        boxes_->AnswerWith(QMessageBox::Yes);
        ClickAndLoad(Profile("Player1"));
        QCOMPARE(boxes_->seen().size(), 3);
        QCOMPARE(Stored("Player2").GetColor(4), 401 & 0xFF);
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Wicky"));
    }

    void aProfileOfAnUnknownCharacterKeepsTheButtonsAndShowsTheFirst()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player2"));
        ClickAndLoad(Profile("Player3"));
        QCOMPARE(form().Settings->Character(), 0);
        QVERIFY(form().rbPockz->isChecked());
        QCOMPARE(form().leColorLabel[0]->text(), QStringLiteral("Blaster"));
        const QImage expected = RecoloredCharacter(form().CharBitmaps[0], form().OldColors,
                                                   PreviewColors({16, 24, 32, 40}, [this](std::int64_t i) {
                                                       return windows_.frmPalette->ColorIndexToColor(int(i));
                                                   }));
        QCOMPARE(Picture(form().imPreview).convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(!form().btSaveSettings->isEnabled());
    }

    void whileWineRunsAChangedProfileIsKept()
    {
        Start(SampleUserReg());
        TestPrefix temporary;
        prefix_->Write("wineserver", "wine-Zq9");
        qputenv("TMPDIR", QByteArray::fromStdString(temporary.Path().string()));
        const std::filesystem::path lock = temporary.Path() / "wine-Zq9" / ServerFolder(prefix_->Path()) / "lock";
        std::filesystem::create_directories(lock.parent_path());
        const std::string before = prefix_->Read("user.reg");

        ClickAndLoad(Profile("Player1"));
        Type(form().edZarnName, "s");
        {
            LockHolder wineserver(lock);
            QVERIFY(wineserver.Locked());
            QTest::mouseClick(form().btSaveSettings, Qt::LeftButton);
            QCOMPARE(boxes_->seen().size(), 1);
            QVERIFY(boxes_->texts().first().contains(QString::fromStdString(prefix_->Path().string())));
            QVERIFY(form().btSaveSettings->isEnabled());

            // Yes cannot save now, so the changed profile stays chosen.
            boxes_->AnswerWith(QMessageBox::Yes);
            Click(Profile("Player2"));
            QCOMPARE(boxes_->texts().mid(1, 1), QStringList{"Save changes?"});
            QCOMPARE(boxes_->seen().size(), 3);
            QCOMPARE(form().tvPlayers->currentItem(), Profile("Player1"));
            QCOMPARE(form().edZarnName->text(), QStringLiteral("Wickys"));
            QVERIFY(form().Settings->Modified());
            QCOMPARE(prefix_->Read("user.reg"), before);
        }
        qunsetenv("TMPDIR");
        QTest::mouseClick(form().btSaveSettings, Qt::LeftButton);
        QCOMPARE(Stored("Player1").Name(), std::string("Wickys"));
        QVERIFY(!form().btSaveSettings->isEnabled());
    }

    void aSaveOntoAFullDiskIsSaidAndKeepsTheEdit()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player1"));
        Type(form().edZarnName, "s");
        // The new file is written beside the old one: a disk that holds the
        // old one but not both is full for the save.
        if (const std::string whyNot = MountSmallFileSystem(prefix_->Path(), 65536); !whyNot.empty())
            QSKIP(whyNot.c_str());
        const std::string before = SampleUserReg() + "\n[Filler] 1\n\"Text\"=\"" + std::string(40000, 'x') + "\"\n";
        prefix_->Write("user.reg", before);

        QTest::mouseClick(form().btSaveSettings, Qt::LeftButton);
        QCOMPARE(boxes_->seen().size(), 1);
        const QString said = boxes_->texts().first();
        QVERIFY2(said.contains(QString::fromStdString(prefix_->File("user.reg").string())), qPrintable(said));
        QVERIFY2(said.contains(std::strerror(ENOSPC)), qPrintable(said));
        QVERIFY(form().btSaveSettings->isEnabled());

        // Yes cannot save now, so the changed profile stays chosen.
        boxes_->AnswerWith(QMessageBox::Yes);
        Click(Profile("Player2"));
        QCOMPARE(boxes_->texts().mid(1), (QStringList{"Save changes?", said}));
        QCOMPARE(form().tvPlayers->currentItem(), Profile("Player1"));
        QCOMPARE(form().edZarnName->text(), QStringLiteral("Wickys"));
        QCOMPARE(prefix_->Read("user.reg"), before);
        QCOMPARE(std::distance(std::filesystem::directory_iterator(prefix_->Path()), {}), 1);
        ::umount2(prefix_->Path().c_str(), MNT_DETACH);
    }

    void withoutItsPictureTheProfileStillLoads()
    {
        Start(SampleUserReg());
        form().CharBitmaps[1] = QImage();
        ClickAndLoad(Profile("Player2"));
        QVERIFY(form().imPreview->pixmap().isNull());
        QCOMPARE(form().leColor[0]->text(), QStringLiteral("72"));
        QTest::mouseClick(form().rbZarn, Qt::LeftButton);
        QVERIFY(!form().imPreview->pixmap().isNull());
    }

    void aPaletteCellGoesIntoTheColourWhoseSwatchWasClicked()
    {
        Start(SampleUserReg());
        ClickAndLoad(Profile("Player1"));
        QTest::mouseClick(form().imColor[2], Qt::LeftButton);
        QTRY_COMPARE(form().focusWidget(), form().leColor[2]);
        QVERIFY(form().bvlColorFrame->isVisible());
        QCOMPARE(form().bvlColorFrame->geometry(), QRect(254, 136, 155, 25));

        form().acTogglePalette->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(windows_.frmPalette));
        windows_.frmPalette->activateWindow();
        QTRY_VERIFY(windows_.frmPalette->isActiveWindow());
        QTest::mouseClick(windows_.frmPalette->Image1, Qt::LeftButton, {}, QPoint(8 * 18 + 9, 2 * 18 + 9));
        QCOMPARE(form().leColor[2]->text(), QStringLiteral("40"));
        QCOMPARE(form().Settings->GetColor(3), 40);
        QCOMPARE(SwatchStripe(form().imColor[2], 0), Palette(40));
        QVERIFY(form().btSaveSettings->isEnabled());
        // The frame stays on the row the palette writes to.
        QVERIFY(form().bvlColorFrame->isVisible());

        // Leaving the field within the window takes the frame away.
        form().activateWindow();
        QTRY_VERIFY(form().isActiveWindow());
        form().edZarnName->setFocus();
        QTRY_VERIFY(form().bvlColorFrame->isHidden());
    }
};

QUIMBREL_TEST_MAIN(PlayerEditTest)
#include "player_edit_test.moc"
