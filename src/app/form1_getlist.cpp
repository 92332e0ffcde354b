// The "Get List" command: download the list, then replace the table's rows.
#include "app/form1.h"

#include "app/messages.h"
#include "browse/distancemeter.h"
#include "browse/listserver.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QToolButton>

#include <chrono>
#include <optional>
#include <string>

namespace {

// Rows are shown in batches no more often than the screen refreshes: they still
// appear one by one to the eye, without a repaint for every row of a long list.
constexpr std::chrono::milliseconds kRowRevealInterval{16};

// Lets the window repaint once while the command runs on the window thread.
void LetWindowRepaint()
{
    QCoreApplication::processEvents();
}

// Shows the rows staged so far when it goes, however the filling ends.
class StagedRowsShown {
public:
    explicit StagedRowsShown(ServerTableModel& table) : table_(table) { sinceShown_.start(); }
    ~StagedRowsShown() { table_.ShowStagedRows(); }
    void ShowWhenDue()
    {
        if (sinceShown_.elapsed() >= kRowRevealInterval.count()) {
            table_.ShowStagedRows();
            sinceShown_.restart();
        }
    }

private:
    ServerTableModel& table_;
    QElapsedTimer sinceShown_;
};

} // namespace

void TForm1::SetDistanceMeterFactory(DistanceMeterFactory factory)
{
    distanceMeterFactory_ = std::move(factory);
}

void TForm1::sbGetListClick()
{
    if (gettingList_ || blockingWork_.Running())
        return;
    gettingList_ = true;
    sbGetList->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LetWindowRepaint();

    distanceNotice_.clear();
    try {
        if (!closed_)
            ReplaceRowsFromListServer();
    } catch (const std::exception&) {
        ShowMessage(this, QStringLiteral("Error connecting to listserver"));
    }

    sbGetList->setEnabled(true);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    gettingList_ = false;
    TellWhyDistancesAreMissing();
}

void TForm1::ReplaceRowsFromListServer()
{
    FetchOptions options;
    options.port = idCListServer_.port;
    // The download runs off the window thread, which keeps the windows painted
    // and the distances coming while it waits.
    const std::optional<std::string> answer =
        blockingWork_.Run<std::string>([host = idCListServer_.host, options](const BlockingWork::Context& context) {
            FetchOptions cancellable = options;
            cancellable.cancel = context.Cancel();
            return FetchServerList(host, cancellable);
        });
    if (!answer)
        return;  // the window closed meanwhile
    // Only a complete answer replaces the table: a failed download keeps the
    // old rows and their workers.
    serverTable->Clear();
    StagedRowsShown reveal(*serverTable);
    for (const ServerEntry& entry : ParseServerList(*answer)) {
        const int row = serverTable->StageRow(entry);
        reveal.ShowWhenDue();
        LetWindowRepaint();
        if (closed_)
            return;  // the window closed meanwhile: start nothing that would outlive it
        StartDistanceMeter(row, entry.ip);
    }
}

void TForm1::StartDistanceMeter(int row, const std::string& ip)
{
    if (!distanceMeterFactory_)
        return;
    try {
        serverTable->SetDistanceMeter(row, distanceMeterFactory_(*serverTable, row, ip));
    } catch (const DistanceUnavailable& why) {
        // The list is still worth having: the row is kept, unmeasured.
        serverTable->SetDistance(row, {});
        if (distanceNotice_.empty())
            distanceNotice_ = why.what();
    }
}

void TForm1::DistanceWorkerFailed(const std::string& why)
{
    // A row's worker gave up while measuring: the user hears of it once per run,
    // as of a row that could not be measured at all.
    if (distanceNotice_.empty())
        distanceNotice_ = why;
    if (!gettingList_)
        TellWhyDistancesAreMissing();
}

void TForm1::TellWhyDistancesAreMissing()
{
    if (distanceNotice_.empty() || distanceNoticeShown_ || closed_)
        return;
    distanceNoticeShown_ = true;
    ShowMessage(this, QString::fromStdString(distanceNotice_));
}
