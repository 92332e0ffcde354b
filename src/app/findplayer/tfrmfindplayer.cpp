#include "app/findplayer/tfrmfindplayer.h"

#include "app/findplayer/foundplayersmodel.h"
#include "app/findplayer/playersearchsession.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>

TfrmFindPlayer::TfrmFindPlayer(QWidget* owner, QAbstractItemModel* found)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmFindPlayer"));
    setWindowTitle(QStringLiteral("Find player"));
    setFixedSize(360, 260);

    lbPlayerName = new QLabel(QStringLiteral("Player:"), this);
    lbPlayerName->setGeometry(8, 8, 45, 21);
    edPlayerName = new QLineEdit(this);
    edPlayerName->setObjectName(QStringLiteral("edPlayerName"));
    edPlayerName->setGeometry(56, 8, 296, 21);
    edPlayerName->setToolTip(QStringLiteral("Part of a player's name; Return asks every server"));
    connect(edPlayerName, &QLineEdit::returnPressed, this, [this] { emit SearchRequested(edPlayerName->text()); });

    pbSearch = new QProgressBar(this);
    pbSearch->setObjectName(QStringLiteral("pbSearch"));
    pbSearch->setGeometry(8, 36, 344, 17);
    pbSearch->setTextVisible(true);

    lvFound = new QTreeView(this);
    lvFound->setObjectName(QStringLiteral("lvFound"));
    lvFound->setGeometry(8, 60, 344, 192);
    lvFound->setRootIsDecorated(false);
    lvFound->setUniformRowHeights(true);
    lvFound->setAllColumnsShowFocus(true);
    lvFound->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvFound->setSelectionMode(QAbstractItemView::SingleSelection);
    lvFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFound->setModel(found);
    lvFound->header()->setStretchLastSection(false);
    for (int column = 0; column < FoundPlayersModel::ColumnCount; ++column)
        lvFound->header()->resizeSection(column, FoundPlayersModel::ColumnWidth(column));
    connect(lvFound, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) { emit FoundChosen(index.row()); });

    ShowProgress({});
}

void TfrmFindPlayer::ShowBeside(const QWidget& owner)
{
    if (!isVisible())
        move(owner.frameGeometry().right() + 8, owner.frameGeometry().top());
    show();
    raise();
    activateWindow();
    edPlayerName->setFocus();
}

void TfrmFindPlayer::ShowProgress(const SearchProgress& progress)
{
    pbSearch->setRange(0, std::max(progress.servers, 1));
    pbSearch->setValue(progress.answered + progress.failed);
    pbSearch->setFormat(QStringLiteral("%1 of %2 asked, %3 answered, %4 failed")
                            .arg(progress.asked)
                            .arg(progress.servers)
                            .arg(progress.answered)
                            .arg(progress.failed));
}

void TfrmFindPlayer::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit Hidden();
}
