// The settings in "Quimbrel.ini": read once at start-up straight into the
// controls, written back from them when the main window closes. Each of the
// two reads the file once and the close writes it once.
#include "app/form1.h"

#include "app/messages.h"

#include "platform/inifile.h"
#include "profiles/tfrmpalette.h"
#include "serverinfo/tfrmplayerlist.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace {

constexpr const char* kConfig = "Config";
constexpr const char* kWindows = "Windows";

QString FromIni(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToIni(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

void ReadPosition(const IniText& ini, QWidget* window, const char* xKey, const char* yKey)
{
    if (!window)
        return;
    const int x = ReadIniInteger(ini, kWindows, xKey, window->x());
    const int y = ReadIniInteger(ini, kWindows, yKey, window->y());
    window->move(x, y);
}

// A value the file cannot hold (a path with a line break, or bytes that are
// not UTF-8 in a UTF-16 file) is no reason to keep the window from closing:
// its key keeps what the file held before.
void WriteText(IniText& ini, const char* section, const std::string& key, const std::string& value)
{
    ini.Set(section, key, value);
}

void WritePosition(IniText& ini, const QWidget* window, const char* xKey, const char* yKey)
{
    if (!window)
        return;
    ini.Set(kWindows, xKey, std::to_string(window->x()));
    ini.Set(kWindows, yKey, std::to_string(window->y()));
}

} // namespace

void TForm1::ReadIniFile()
{
    // A file that cannot be read (a folder or a pipe in its place) is
    // reported once; the settings then take their defaults, as without a file.
    IniText ini;
    QString unreadable;
    try {
        ini = IniFile(DefaultIniPath()).Load();
    } catch (const IniReadError& error) {
        unreadable = QString::fromLocal8Bit(error.what());
    }

    const QString listServer =
        FromIni(ReadIniString(ini, kConfig, "ListServer", ToIni(cbListServer->itemText(0))));
    const int entry = cbListServer->findText(listServer, Qt::MatchFixedString);
    if (entry >= 0) {
        cbListServer->setCurrentIndex(entry);
        cbListServerChange(entry);
    }

    for (GameVersion version : AllGameVersions) {
        std::string path = ReadIniString(ini, kConfig, std::string(GameVersionIniKey(version)), "");
        if (!path.empty())
            ExecutableEdit(version)->setText(storedExecutables_[static_cast<int>(version)].Load(std::move(path)));
    }

    cbEnableSpy->setChecked(ReadIniInteger(ini, kConfig, "Spy", 1) != 0);

    const std::string displayMode = ReadIniString(ini, kConfig, "DispMode", "Windowed");
    if (displayMode == "Windowed")
        rbWindowd->setChecked(true);
    else if (displayMode == "Fullscreen")
        rbFullScreen->setChecked(true);

    ReadPosition(ini, this, "MainX", "MainY");
    ReadPosition(ini, frmPalette_, "PaletteX", "PaletteY");
    ReadPosition(ini, frmPlayerList_, "InfoX", "InfoY");

    if (!unreadable.isEmpty())
        ShowErrorBox(this, unreadable);
}

void TForm1::WriteIniFile()
{
    IniFile file(DefaultIniPath());
    IniText ini = file.LoadForChange();
    WriteText(ini, kConfig, "ListServer", ToIni(cbListServer->currentText()));
    for (GameVersion version : AllGameVersions)
        WriteText(ini, kConfig, std::string(GameVersionIniKey(version)), ExecutableFor(version));
    ini.Set(kConfig, "Spy", cbEnableSpy->isChecked() ? "1" : "0");
    ini.Set(kConfig, "DispMode", rbWindowd->isChecked() ? "Windowed" : "Fullscreen");
    WritePosition(ini, this, "MainX", "MainY");
    WritePosition(ini, frmPalette_, "PaletteX", "PaletteY");
    WritePosition(ini, frmPlayerList_, "InfoX", "InfoY");
    file.Save(ini);
}
