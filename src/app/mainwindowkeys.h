#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

class QWidget;

// Keeps the main window's page keys (F5, Return, ...) to the main window.
// Qt counts a window as active while one of its tool windows is, so without
// this a Return in the "Find player" results or the palette would start a
// game instead of doing what that window does with it.
class MainWindowKeys : public QObject {
    Q_OBJECT
public:
    MainWindowKeys(QWidget& mainWindow, QList<QKeySequence> keys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& mainWindow_;
    QList<QKeySequence> keys_;
};
