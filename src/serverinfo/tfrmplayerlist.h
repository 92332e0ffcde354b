#pragma once

#include <QWidget>

// The "Playerlist" tool window: a small window beside the main one that shows
// the chosen server's level and players. Created once, hidden, then only
// shown and hidden.
class TfrmPlayerList : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPlayerList(QWidget* owner = nullptr);
};
