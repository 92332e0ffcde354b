#include "serverinfo/tfrmplayerlist.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>

TfrmPlayerList::TfrmPlayerList(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmPlayerList"));
    setWindowTitle(QStringLiteral("Playerlist"));
    setFixedSize(177, 177);
    move(765, 107);

    // A raised bevel inside a lowered one.
    pnlPlayerList = new QFrame(this);
    pnlPlayerList->setObjectName(QStringLiteral("pnlPlayerList"));
    pnlPlayerList->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlPlayerList->setGeometry(0, 0, 177, 177);
    auto* innerBevel = new QFrame(pnlPlayerList);
    innerBevel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    innerBevel->setGeometry(1, 1, 175, 175);

    Label3 = new QLabel(QStringLiteral("Level:"), pnlPlayerList);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(10, 10, 31, 21);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    edLvlName = new QLineEdit(pnlPlayerList);
    edLvlName->setObjectName(QStringLiteral("edLvlName"));
    edLvlName->setGeometry(42, 10, 89, 21);
    edLvlName->setReadOnly(true);

    mePlayer = new QPlainTextEdit(pnlPlayerList);
    mePlayer->setObjectName(QStringLiteral("mePlayer"));
    mePlayer->setGeometry(8, 34, 161, 135);
    mePlayer->setReadOnly(true);
    mePlayer->setLineWrapMode(QPlainTextEdit::NoWrap);
    mePlayer->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mePlayer->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Reachable by mouse, for copying a name, but not by Tab.
    mePlayer->setFocusPolicy(Qt::ClickFocus);
    mePlayer->setTabChangesFocus(true);
}

void TfrmPlayerList::ShowWindow()
{
    if (isVisible())
        raise();
    else
        show();
}

void TfrmPlayerList::SetLevelName(const QString& name)
{
    edLvlName->setText(name);
    // A long name shows its beginning, cut off at the field's edge.
    edLvlName->setCursorPosition(0);
    if (edLvlName->isVisible())
        edLvlName->repaint();
}

QString TfrmPlayerList::LevelName() const
{
    return edLvlName->text();
}

void TfrmPlayerList::ClearPlayers()
{
    mePlayer->clear();
    playerLines_.clear();
}

void TfrmPlayerList::AppendPlayer(const QString& line)
{
    // Each line is a block of its own, empty lines included (appending plain
    // text to an empty document would swallow an empty first line).
    QTextCursor cursor(mePlayer->document());
    cursor.movePosition(QTextCursor::End);
    if (!playerLines_.isEmpty())
        cursor.insertBlock();
    cursor.insertText(line);
    playerLines_.append(line);
}
