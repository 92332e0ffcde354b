#include "app/commandline.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

void SetPathVariable(const char* name, const QString& path)
{
    // Relative paths would change meaning when the game starts elsewhere.
    qputenv(name, QFile::encodeName(QFileInfo(path).absoluteFilePath()));
}

} // namespace

bool AsksForHelpOrVersion(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v" ||
            argument == "--version")
            return true;
    }
    return false;
}

void ApplyCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Browse the servers of Zarn Tumblewick 2, join them and edit your player profiles."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption settings(
        QStringLiteral("settings"),
        QStringLiteral("Read and write the settings in <file> (default: $QUIMBREL_INI, else "
                       "$XDG_CONFIG_HOME/Quimbrel.ini)."),
        QStringLiteral("file"));
    const QCommandLineOption winePrefix(
        QStringList{QStringLiteral("wine-prefix")},
        QStringLiteral("Use the Wine prefix <dir> for game installations, player profiles and "
                       "starting the game (default: $WINEPREFIX, else ~/.wine)."),
        QStringLiteral("dir"));
    parser.addOption(settings);
    parser.addOption(winePrefix);
    parser.process(arguments);

    if (parser.isSet(settings))
        SetPathVariable("QUIMBREL_INI", parser.value(settings));
    if (parser.isSet(winePrefix))
        SetPathVariable("WINEPREFIX", parser.value(winePrefix));
}
