// The "Get List" command: download the list, then replace the table's rows.
#include "app/form1.h"

#include "app/messages.h"
#include "browse/listserver.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"

#include <QApplication>
#include <QToolButton>

namespace {

// Lets the window repaint once while the command runs on the window thread.
void LetWindowRepaint()
{
    QCoreApplication::processEvents();
}

} // namespace

void TForm1::SetDistanceMeterFactory(DistanceMeterFactory factory)
{
    distanceMeterFactory_ = std::move(factory);
}

void TForm1::sbGetListClick()
{
    if (gettingList_)
        return;
    gettingList_ = true;
    sbGetList->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LetWindowRepaint();

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
}

void TForm1::ReplaceRowsFromListServer()
{
    FetchOptions options;
    options.port = idCListServer_.port;
    const std::string answer = FetchServerList(idCListServer_.host, options);
    // Only a complete answer replaces the table: a failed download keeps the
    // old rows and their workers.
    serverTable->Clear();
    for (const ServerEntry& entry : ParseServerList(answer)) {
        const int row = serverTable->AppendRow(entry);
        LetWindowRepaint();
        if (closed_)
            return;  // the window closed meanwhile: start nothing that would outlive it
        if (distanceMeterFactory_)
            serverTable->SetDistanceMeter(row, distanceMeterFactory_(*serverTable, row, entry.ip));
    }
}
