// The "Serverinfo" command: ask the selected game server for its level and
// players and show them in the player list window.
#include "app/form1.h"

#include "browse/servertablemodel.h"
#include "serverinfo/serverinfoquery.h"
#include "serverinfo/tfrmplayerlist.h"

#include <QAction>
#include <QApplication>
#include <QToolButton>

namespace {

const QString kPlayerListError = QStringLiteral("Error getting Playerlist");

// While the query blocks the window thread: the hourglass, and the command's
// button disabled. Both come back however the command ends, the cursor as
// the default one and the button as the action allows.
class BusyServerInfo {
public:
    BusyServerInfo(QToolButton* button, const QAction* action, bool& running)
        : button_(button), action_(action), running_(running)
    {
        running_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyServerInfo()
    {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        button_->setEnabled(action_->isEnabled());
        running_ = false;
    }
    BusyServerInfo(const BusyServerInfo&) = delete;
    BusyServerInfo& operator=(const BusyServerInfo&) = delete;

private:
    QToolButton* button_;
    const QAction* action_;
    bool& running_;
};

} // namespace

std::optional<ServerInfoResult> TForm1::QueryOffWindowThread(const ServerEntry& entry, std::uint16_t port)
{
    // The query has a connection of its own, so that it owns nothing the
    // window may destroy; the window's client gives the time limits.
    TfrmPlayerList* const playerList = frmPlayerList_;
    return blockingWork_.Run<ServerInfoResult>(
        [host = entry.ip, version = entry.version, port, timeouts = idCServerInfo_.timeouts,
         playerList](const BlockingWork::Context& context) {
            ServerInfoClient client{TcpClient(), timeouts};
            client.connection.setCancelSignal(context.Cancel());
            return QueryServerInfo(client, host, port, version, [&context, playerList](const std::string& levelName) {
                context.OnWindowThread([playerList, levelName] { playerList->SetLevelName(ServerText(levelName)); });
            });
        });
}

void TForm1::acServerInfoExecute()
{
    if (queryingServer_ || blockingWork_.Running() || !frmPlayerList_)
        return;
    // A copy: the table may change while the window repaints below.
    const std::optional<ServerEntry> entry = SelectedEntry();
    if (!entry)
        return;

    const BusyServerInfo busy(sbServerInfo, acServerInfo, queryingServer_);
    frmPlayerList_->ShowWindow();
    frmPlayerList_->SetLevelName(QString());
    frmPlayerList_->ClearPlayers();
    QCoreApplication::processEvents();  // draws the emptied window before the wait
    if (closed_)
        return;  // the main window closed meanwhile: nobody is left to read the answer
    sbServerInfo->setEnabled(false);

    ServerInfoResult result;
    result.failed = true;
    if (const std::optional<std::uint16_t> port = ParseGamePort(entry->port)) {
        try {
            std::optional<ServerInfoResult> answer = QueryOffWindowThread(*entry, *port);
            if (!answer)
                return;  // the main window closed meanwhile
            result = std::move(*answer);
        } catch (const std::exception&) {
            // No thread for the query: it fails like a broken connection.
        }
    }

    if (result.failed) {
        frmPlayerList_->AppendPlayer(kPlayerListError);
        return;
    }
    for (const std::string& name : result.playerNames)
        frmPlayerList_->AppendPlayer(ServerText(name));
}
