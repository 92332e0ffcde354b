#include "profiles/tfrmpalette.h"

TfrmPalette::TfrmPalette(QWidget* owner) : QWidget(owner, Qt::Tool)
{
    setObjectName(QStringLiteral("frmPalette"));
    setWindowTitle(QStringLiteral("Palette"));
    setFixedSize(288, 90);
    move(192, 107);
}
