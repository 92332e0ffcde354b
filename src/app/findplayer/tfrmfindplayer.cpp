#include "app/findplayer/tfrmfindplayer.h"

#include "app/findplayer/foundplayersmodel.h"
#include "app/findplayer/playersearchsession.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTreeView>

#include <algorithm>

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
    // A double click, or Return on a result for the keyboard.
    connect(lvFound, &QTreeView::activated, this, [this](const QModelIndex& index) { emit FoundChosen(index.row()); });

    ShowProgress({});
}

void TfrmFindPlayer::ShowBeside(const QWidget& owner)
{
    if (!isVisible()) {
        // Right of the owner, else left of it, else below it, and never off the
        // owner's screen.
        const QRect ownerFrame = owner.frameGeometry();
        const QSize frame = frameGeometry().size().expandedTo(size());
        const QPoint right(ownerFrame.right() + 8, ownerFrame.top());
        QPoint place = right;
        if (const QScreen* screen = owner.screen()) {
            const QRect room = screen->availableGeometry();
            const QPoint candidates[] = {right, {ownerFrame.left() - 8 - frame.width(), ownerFrame.top()},
                                         {ownerFrame.left(), ownerFrame.bottom() + 8}};
            const auto fits = [&](QPoint at) { return room.contains(QRect(at, frame)); };
            const auto found = std::find_if(std::begin(candidates), std::end(candidates), fits);
            place = found != std::end(candidates) ? *found : right;
            place.setX(std::clamp(place.x(), room.left(), std::max(room.left(), room.right() + 1 - frame.width())));
            place.setY(std::clamp(place.y(), room.top(), std::max(room.top(), room.bottom() + 1 - frame.height())));
        }
        move(place);
    }
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
