#pragma once

#include <QWidget>

// The "Palette" tool window for picking a colour. Created once, hidden, then
// only shown and hidden; the main window's "Palette" button follows it.
class TfrmPalette : public QWidget {
    Q_OBJECT
public:
    explicit TfrmPalette(QWidget* owner = nullptr);
};
