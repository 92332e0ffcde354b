#include "serverinfo/tfrmplayerlist.h"

TfrmPlayerList::TfrmPlayerList(QWidget* owner) : QWidget(owner, Qt::Tool)
{
    setObjectName(QStringLiteral("frmPlayerList"));
    setWindowTitle(QStringLiteral("Playerlist"));
    setFixedSize(177, 177);
    move(765, 107);
}
