#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A private "Quimbrel.ini" for one test: QUIMBREL_INI points at it while the
// object lives.
class TempIni {
public:
    TempIni() : path_(dir_.filePath(QStringLiteral("Quimbrel.ini")))
    {
        qputenv("QUIMBREL_INI", path_.toLocal8Bit());
    }
    ~TempIni() { qunsetenv("QUIMBREL_INI"); }

    const QString& path() const { return path_; }

    void Write(const QByteArray& text) const
    {
        QFile file(path_);
        if (file.open(QIODevice::WriteOnly))
            file.write(text);
    }

    QByteArray Read() const
    {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Points QUIMBREL_INI at a file that cannot be written: its folder is a
    // regular file (which stops root as well).
    void MakeUnwritable()
    {
        QFile blocker(dir_.filePath(QStringLiteral("blocker")));
        if (blocker.open(QIODevice::WriteOnly))
            blocker.write("x");
        path_ = dir_.filePath(QStringLiteral("blocker/Quimbrel.ini"));
        qputenv("QUIMBREL_INI", path_.toLocal8Bit());
    }

private:
    QTemporaryDir dir_;
    QString path_;
};
