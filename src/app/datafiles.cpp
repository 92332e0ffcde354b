#include "app/datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList DataFileFolders(const QString& workingFolder, const QString& programFolder)
{
    const QDir program(programFolder);
    return {QDir(workingFolder).absolutePath(),
            QDir::cleanPath(program.absoluteFilePath(QStringLiteral(QUIMBREL_DATA_FROM_BIN))),
            program.absolutePath()};
}

QString FindDataFile(const QString& name)
{
    const QStringList folders = DataFileFolders(QDir::currentPath(), QCoreApplication::applicationDirPath());
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return QDir(folders.front()).filePath(name);
}
