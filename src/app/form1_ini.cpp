// The settings in "Quimbrel.ini": read once at start-up straight into the
// controls, written back from them when the main window closes.
#include "app/form1.h"

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

void ReadPosition(const IniFile& ini, QWidget* window, const char* xKey, const char* yKey)
{
    if (!window)
        return;
    const int x = ini.ReadInteger(kWindows, xKey, window->x());
    const int y = ini.ReadInteger(kWindows, yKey, window->y());
    window->move(x, y);
}

// A value the file cannot hold (a path with a line break) is no reason to
// keep the window from closing: its key keeps what the file held before.
void WriteText(IniFile& ini, const char* section, const std::string& key, const std::string& value)
{
    if (IsStorableIniValue(value))
        ini.WriteString(section, key, value);
}

void WritePosition(IniFile& ini, const QWidget* window, const char* xKey, const char* yKey)
{
    if (!window)
        return;
    ini.WriteString(kWindows, xKey, std::to_string(window->x()));
    ini.WriteString(kWindows, yKey, std::to_string(window->y()));
}

} // namespace

void TForm1::ReadIniFile()
{
    const IniFile ini(DefaultIniPath());

    const QString listServer =
        FromIni(ini.ReadString(kConfig, "ListServer", ToIni(cbListServer->itemText(0))));
    const int entry = cbListServer->findText(listServer, Qt::MatchFixedString);
    if (entry >= 0) {
        cbListServer->setCurrentIndex(entry);
        cbListServerChange(entry);
    }

    for (GameVersion version : AllGameVersions) {
        std::string path = ini.ReadString(kConfig, std::string(GameVersionIniKey(version)), "");
        if (!path.empty())
            ExecutableEdit(version)->setText(storedExecutables_[static_cast<int>(version)].Load(std::move(path)));
    }

    cbEnableSpy->setChecked(ini.ReadInteger(kConfig, "Spy", 1) != 0);

    const std::string displayMode = ini.ReadString(kConfig, "DispMode", "Windowed");
    if (displayMode == "Windowed")
        rbWindowd->setChecked(true);
    else if (displayMode == "Fullscreen")
        rbFullScreen->setChecked(true);

    ReadPosition(ini, this, "MainX", "MainY");
    ReadPosition(ini, frmPalette_, "PaletteX", "PaletteY");
    ReadPosition(ini, frmPlayerList_, "InfoX", "InfoY");
}

void TForm1::WriteIniFile()
{
    IniFile ini(DefaultIniPath());
    WriteText(ini, kConfig, "ListServer", ToIni(cbListServer->currentText()));
    for (GameVersion version : AllGameVersions)
        WriteText(ini, kConfig, std::string(GameVersionIniKey(version)), ExecutableFor(version));
    ini.WriteString(kConfig, "Spy", cbEnableSpy->isChecked() ? "1" : "0");
    ini.WriteString(kConfig, "DispMode", rbWindowd->isChecked() ? "Windowed" : "Fullscreen");
    WritePosition(ini, this, "MainX", "MainY");
    WritePosition(ini, frmPalette_, "PaletteX", "PaletteY");
    WritePosition(ini, frmPlayerList_, "InfoX", "InfoY");
}
