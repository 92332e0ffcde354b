#include "app/findplayer/findplayertool.h"

#include "app/findplayer/foundplayersmodel.h"
#include "app/findplayer/playersearchsession.h"
#include "app/findplayer/tfrmfindplayer.h"
#include "app/form1.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"

#include <QAction>
#include <QTabWidget>
#include <QToolButton>

FindPlayerTool::FindPlayerTool(TForm1& form) : QObject(&form), form_(form)
{
    found_ = new FoundPlayersModel(*form.serverTable, this);
    session_ = new PlayerSearchSession(*form.serverTable, *found_, this);
    window_ = new TfrmFindPlayer(&form, found_);

    // The shortcut works while the page the search works on is shown,
    // wherever the focus is.
    acFindPlayer = new QAction(QStringLiteral("Find player"), this);
    acFindPlayer->setObjectName(QStringLiteral("acFindPlayer"));
    acFindPlayer->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    acFindPlayer->setShortcutContext(Qt::WindowShortcut);
    form.addAction(acFindPlayer);
    connect(acFindPlayer, &QAction::triggered, this, &FindPlayerTool::acFindPlayerExecute);
    // There is no room for a button of its own; "Get List" names the key, since
    // the search runs over the list it fetches.
    form.sbGetList->setToolTip(form.sbGetList->toolTip() + QStringLiteral("\nFind a player on the listed servers (") +
                               acFindPlayer->shortcut().toString(QKeySequence::NativeText) + u')');
    connect(form.PageControl1, &QTabWidget::currentChanged, this,
            [this] { acFindPlayer->setEnabled(form_.PageControl1->currentWidget() == form_.TabSheet1); });

    connect(window_, &TfrmFindPlayer::SearchRequested, this,
            [this](const QString& name) { session_->Start(name, form_.idCServerInfo().timeouts); });
    connect(window_, &TfrmFindPlayer::FoundChosen, this, &FindPlayerTool::SelectServerOf);
    // Nobody reads the results of a closed window.
    connect(window_, &TfrmFindPlayer::Hidden, this, &FindPlayerTool::EndSearch);
    connect(session_, &PlayerSearchSession::ProgressChanged, this,
            [this] { window_->ShowProgress(session_->Progress()); });
}

void FindPlayerTool::acFindPlayerExecute()
{
    window_->ShowBeside(form_);
}

void FindPlayerTool::EndSearch()
{
    session_->End();
}

void FindPlayerTool::SelectServerOf(int foundRow)
{
    ServerListView& view = *form_.lvServerList;
    const QModelIndex row = form_.serverTable->index(found_->ServerRow(foundRow), 0);
    view.selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view.scrollTo(row);
}
