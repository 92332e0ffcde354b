#pragma once

#include <QStringList>
#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The "Playerlist" tool window beside the main one: the level of the server
// asked last and its players, one per line. Created once, hidden; closing it
// only hides it, so it keeps its place and its contents.
class TfrmPlayerList : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPlayerList(QWidget* owner = nullptr);

    // Makes the window visible and brings it to the front; a window already
    // shown stays where it is.
    void ShowWindow();

    // Shows the level name, painted at once: the caller may block afterwards.
    void SetLevelName(const QString& name);
    QString LevelName() const;

    void ClearPlayers();
    void AppendPlayer(const QString& line);
    // The lines of mePlayer, empty ones included.
    const QStringList& PlayerLines() const { return playerLines_; }

    QFrame* pnlPlayerList = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* edLvlName = nullptr;
    QPlainTextEdit* mePlayer = nullptr;

private:
    QStringList playerLines_;
};
