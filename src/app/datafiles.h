#pragma once

#include <QString>
#include <QStringList>

// Where the program looks for the data files it loads at run time (the
// character bitmaps): the working directory first, so a file put there
// replaces ours, then the program's own data folder. Installed, that is
// <prefix>/share/quimbrel beside <prefix>/bin; in the build tree the files
// lie beside the executable.
QStringList DataFileFolders(const QString& workingFolder, const QString& programFolder);

// The first of DataFileFolders(current folder, the executable's folder) that
// holds `name`, as a path; the name in the working directory when none does,
// so a failed load names the place it was expected first.
QString FindDataFile(const QString& name);
