#include "app/form1.h"

#include "app/findplayer/findplayertool.h"
#include "app/listservers.h"
#include "app/mainwindowkeys.h"
#include "app/messages.h"
#include "browse/listserver.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "launch/joinable.h"
#include "profiles/tfrmpalette.h"
#include "profiles/tzarnsettings.h"
#include "serverinfo/tfrmplayerlist.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QToolButton>

TForm1::TForm1(QWidget* parent)
    : QWidget(parent), idCListServer_{kListServerHosts[0], ListServerPort}
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quimbrel"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    BuildPages();
    findPlayer_ = new FindPlayerTool(*this);
    new MainWindowKeys(*this, acServerInfo->shortcuts() + acStartGame->shortcuts() +
                                  QList<QKeySequence>{sbGetList->shortcut(), findPlayer_->acFindPlayer->shortcut()});
    setFixedSize(505, 233);
    move(193, 107);

    // The actions follow the selection and the palette window whenever the
    // event queue runs empty.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TForm1::UpdateActions);
    UpdateActions();
}

TForm1::~TForm1()
{
    findPlayer_->EndSearch();
    if (serverTable) {
        serverTable->StopDistanceMeters();
        // The table may still be asked about its rows while the window's
        // widgets are torn down, after this object's own part is gone.
        serverTable->SetJoinablePredicate(nullptr);
    }
    // Child widgets still signal while the base class destroys them (a view
    // dropping its selection, say); no handler of ours may run by then.
    for (QObject* child : findChildren<QObject*>())
        child->disconnect(this);
}

void TForm1::FormCreate()
{
    // Installation discovery comes first so that the INI file, read later,
    // can replace what it found.
    FindGameInstallations();
    LoadPlayerTree();
    TellUnusableRegistryFiles();
    // The page works without its pictures (no preview), so the profile is
    // made even when one cannot be loaded; the error is reported after.
    std::exception_ptr pictureError;
    try {
        LoadCharBitmaps();
    } catch (...) {
        pictureError = std::current_exception();
    }
    Settings = std::make_unique<TZarnSettings>();
    if (pictureError)
        std::rethrow_exception(pictureError);
}

void TForm1::TellUnusableRegistryFiles()
{
    // Start-up goes on without them; the user learns why the games or the
    // profiles are missing instead of finding the lists silently empty.
    if (unusableRegistryFiles_.empty())
        return;
    QStringList lines;
    for (const std::string& message : unusableRegistryFiles_)
        lines << QString::fromLocal8Bit(message) + u'.';
    unusableRegistryFiles_.clear();
    ShowErrorBox(this, lines.join(u'\n'));
}

void TForm1::SetToolWindows(TfrmPlayerList* playerList, TfrmPalette* palette)
{
    frmPlayerList_ = playerList;
    frmPalette_ = palette;
    // The button follows the window at once, also when its own close button
    // hides it.
    if (frmPalette_)
        connect(frmPalette_, &TfrmPalette::VisibilityChanged, this, &TForm1::acTogglePaletteUpdate);
    UpdateActions();
}

QLineEdit* TForm1::ExecutableEdit(GameVersion version) const
{
    return version == GameVersion::V121 ? edZarn121cmd : version == GameVersion::V124 ? edZarn124cmd : edZarn124xcmd;
}

std::string TForm1::ExecutableFor(GameVersion version) const
{
    return storedExecutables_[static_cast<int>(version)].Bytes(ExecutableEdit(version)->text());
}

bool TForm1::IsEntryJoinable(const ServerEntry& entry) const
{
    return IsJoinable(entry, [this](GameVersion version) { return ExecutableFor(version); });
}

std::optional<ServerEntry> TForm1::SelectedEntry() const
{
    const std::optional<int> row = lvServerList->SelectedRow();
    if (!row)
        return std::nullopt;
    return serverTable->Entry(*row);
}

void TForm1::cbListServerChange(int index)
{
    idCListServer_.host = cbListServer->itemText(index).toStdString();
}

void TForm1::UpdateActions()
{
    acServerInfoUpdate();
    acStartGameUpdate();
    acTogglePaletteUpdate();
}

void TForm1::acServerInfoUpdate()
{
    acServerInfo->setEnabled(lvServerList->SelectedRow().has_value());
}

void TForm1::acStartGameUpdate()
{
    acStartGame->setEnabled(lvServerList->SelectedRow().has_value());
}

void TForm1::acTogglePaletteUpdate()
{
    acTogglePalette->setChecked(frmPalette_ && frmPalette_->isVisible());
}

void TForm1::acTogglePaletteExecute()
{
    if (!frmPalette_)
        return;
    frmPalette_->setVisible(!frmPalette_->isVisible());
    acTogglePaletteUpdate();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();
        return;
    }
    try {
        FormClose();
    } catch (const std::exception& error) {
        // The settings could not be saved: keep the window (and the threads) alive.
        event->ignore();
        ShowErrorBox(this, QString::fromLocal8Bit(error.what()));
        return;
    }
    closed_ = true;
    // A command still waiting for the network ends now, without its answer.
    blockingWork_.Abandon();
    findPlayer_->EndSearch();
    event->accept();
}

void TForm1::FormClose()
{
    WriteIniFile();
    serverTable->StopDistanceMeters();
}
