#pragma once
// The setting the window benchmarks run the main window in.

#include <QTemporaryDir>

// Offscreen unless a display is asked for, with settings and a Wine prefix
// in scratch, so that nothing of the user's is read or written.
inline void UseScratchWindowSetting(const QTemporaryDir& scratch)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QUIMBREL_INI", (scratch.path() + "/Quimbrel.ini").toLocal8Bit());
    qputenv("WINEPREFIX", scratch.path().toLocal8Bit());
}
