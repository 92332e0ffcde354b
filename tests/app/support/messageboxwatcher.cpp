#include "messageboxwatcher.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>

MessageBoxWatcher::MessageBoxWatcher()
{
    // A modal box runs its own event loop, in which this timer keeps firing.
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, &MessageBoxWatcher::Poll);
    timer_.start();
}

QStringList MessageBoxWatcher::texts() const
{
    QStringList result;
    for (const Seen& box : seen_)
        result << box.text;
    return result;
}

void MessageBoxWatcher::Poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    seen_.append(Seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
    QAbstractButton* button = box->button(answer_);
    if (!button)
        button = box->defaultButton() ? static_cast<QAbstractButton*>(box->defaultButton()) : box->buttons().value(0);
    if (button)
        button->click();
    else
        box->reject();
}
