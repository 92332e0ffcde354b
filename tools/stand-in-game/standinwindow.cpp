#include "standinwindow.h"

#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

StandInWindow::StandInWindow(const StandInRequest& request)
{
    setWindowTitle(QStringLiteral("Zarn Tumblewick 2 %1 (stand-in)").arg(request.version));

    auto* heading = new QLabel(QStringLiteral("Stand-in for Zarn Tumblewick 2"));
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    headingFont.setBold(true);
    heading->setFont(headingFont);

    auto* version = new QLabel(request.version);
    // Read-only but selectable, so the command line can be copied.
    auto* commandLine = new QLineEdit(request.commandLine);
    commandLine->setReadOnly(true);
    commandLine->setMinimumWidth(commandLine->fontMetrics().horizontalAdvance(request.commandLine) + 24);
    commandLine->setCursorPosition(0);

    auto* details = new QFormLayout;
    details->addRow(QStringLiteral("Game version:"), version);
    details->addRow(QStringLiteral("Command line:"), commandLine);

    auto* close = new QPushButton(QStringLiteral("Close"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(details);
    layout->addWidget(close, 0, Qt::AlignRight);
    close->setFocus();
}
