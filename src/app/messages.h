#pragma once

#include <QString>

class QWidget;

// The text of the generic error box: a full stop is added when the last
// character's code is above that of the full stop.
QString ErrorBoxText(const QString& message);

// A plain message: the program's title, the text, one OK button.
void ShowMessage(QWidget* parent, const QString& text);

// The generic error box for errors no command handled itself.
void ShowErrorBox(QWidget* parent, const QString& message);
