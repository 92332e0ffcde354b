#pragma once

#include <QWidget>

class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTreeView;
struct SearchProgress;

// The "Find player" tool window: a name to look for, how far the search has
// come, and the players found. Created once, hidden; closing it only hides it.
class TfrmFindPlayer : public QWidget {
    Q_OBJECT
public:
    TfrmFindPlayer(QWidget* owner, QAbstractItemModel* found);

    // Shows the window beside owner's, or brings it to the front where it is.
    void ShowBeside(const QWidget& owner);
    void ShowProgress(const SearchProgress& progress);

    QLabel* lbPlayerName = nullptr;
    QLineEdit* edPlayerName = nullptr;
    QProgressBar* pbSearch = nullptr;
    QTreeView* lvFound = nullptr;

signals:
    // Return in the name field.
    void SearchRequested(const QString& name);
    // A double click on a found player's row.
    void FoundChosen(int row);
    void Hidden();

protected:
    void hideEvent(QHideEvent* event) override;
};
