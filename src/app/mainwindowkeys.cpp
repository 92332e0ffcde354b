#include "app/mainwindowkeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

MainWindowKeys::MainWindowKeys(QWidget& mainWindow, QList<QKeySequence> keys)
    : QObject(&mainWindow), mainWindow_(mainWindow), keys_(std::move(keys))
{
    qApp->installEventFilter(this);
}

bool MainWindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() == &mainWindow_)
        return false;
    // The keypad's Enter is the same key to a shortcut.
    const auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
    if (!keys_.contains(pressed))
        return false;
    // Accepting the override hands the key to the focused widget as a plain key press.
    event->accept();
    return true;
}
