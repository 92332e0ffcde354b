#include "app/messages.h"

#include "app/apptitle.h"

#include <QMessageBox>

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent);
    box.exec();
}

void ShowErrorBox(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kAppTitle), ErrorBoxText(message),
                    QMessageBox::Ok, parent);
    box.exec();
}
