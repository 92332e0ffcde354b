#pragma once

#include "app/form1.h"
#include "app/startup.h"
#include "support/tempini.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <memory>

// The program's windows as start-up makes them, over an empty Wine prefix
// and a settings file of their own, with the 1.24 game set up so that its
// servers can be joined; the main window is shown.
struct PlayableWindows {
    QTemporaryDir emptyPrefix;
    std::unique_ptr<TempIni> ini;
    MainWindows windows;

    void Open()
    {
        qputenv("WINEPREFIX", emptyPrefix.path().toLocal8Bit());
        ini = std::make_unique<TempIni>();
        windows = CreateMainWindows();
        windows.form1->edZarn124cmd->setText(QStringLiteral("/games/124/zarn2.exe"));
        windows.form1->show();
    }
};
