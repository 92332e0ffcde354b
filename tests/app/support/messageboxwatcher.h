#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>

// Answers the program's modal message boxes in window tests: records what
// each showed and presses its default button, so a test runs without a user.
class MessageBoxWatcher : public QObject {
    Q_OBJECT
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxWatcher();

    const QList<Seen>& seen() const { return seen_; }
    QStringList texts() const;
    void clear() { seen_.clear(); }
    // From now on press `button` where a box has it, else the default one.
    void AnswerWith(QMessageBox::StandardButton button) { answer_ = button; }

private:
    void Poll();

    QTimer timer_;
    QList<Seen> seen_;
    QMessageBox::StandardButton answer_ = QMessageBox::NoButton;
};
