#pragma once

#include <QObject>

class FoundPlayersModel;
class PlayerSearchSession;
class QAction;
class TForm1;
class TfrmFindPlayer;

// "Find player" on the "Join a game" page: its shortcut, its window and the
// search behind it. A double click on a found player selects that server's
// row in the server table, and nothing else.
class FindPlayerTool : public QObject {
    Q_OBJECT
public:
    explicit FindPlayerTool(TForm1& form);

    // Shows the window beside the main one, ready for a name.
    void acFindPlayerExecute();
    // Ends a search under way; the window's close and the main window's do.
    void EndSearch();

    QAction* acFindPlayer = nullptr;
    TfrmFindPlayer* Window() const { return window_; }
    PlayerSearchSession& Session() const { return *session_; }

private:
    void SelectServerOf(int foundRow);

    TForm1& form_;
    FoundPlayersModel* found_ = nullptr;
    PlayerSearchSession* session_ = nullptr;
    TfrmFindPlayer* window_ = nullptr;
};
