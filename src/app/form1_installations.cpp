// Fills empty executable settings from the game's own installation records.
#include "app/form1.h"

#include "launch/installations.h"
#include "platform/codepage/codepagetext.h"
#include "platform/registry/registry.h"
#include "platform/winepaths.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

void TForm1::FindGameInstallations()
{
    // The registry holds 8-bit text in the game's code page.
    QLineEdit* const edits[] = {edZarn121cmd, edZarn124cmd, edZarn124xcmd};
    ExecutablePaths executables;
    for (GameVersion version : AllGameVersions)
        executables[version] = Utf16ToAnsi(edits[static_cast<int>(version)]->text().toStdU16String());

    if (const auto unusable = ::FindGameInstallations(Registry(Registry::DefaultPrefix()), executables))
        unusableRegistryFiles_.push_back(unusable->what());

    for (GameVersion version : AllGameVersions) {
        QLineEdit* edit = edits[static_cast<int>(version)];
        if (edit->text().isEmpty() && !executables[version].empty())
            edit->setText(ShownFromText(QString::fromStdU16String(AnsiToUtf16(executables[version]))));
    }
}

void TForm1::LocateExecutable(GameVersion version)
{
    QLineEdit* edit = ExecutableEdit(version);
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("odZarnEXESelect"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // Windows programs are named with either letter case here.
    dialog.setNameFilter(QStringLiteral("Zarn 2 App (*.EXE *.exe)"));
    dialog.setSizeGripEnabled(true);
    // A path the installation recorded the Windows way lies inside the prefix.
    const std::string current = ExecutableFor(version);
    QString preset = QFile::decodeName(QByteArray::fromStdString(current));
    if (const auto unixPath = UnixPathForWindowsPath(Registry::DefaultPrefix(), current))
        preset = QFile::decodeName(QByteArray::fromStdString(unixPath->string()));
    const QFileInfo presetFile(preset);
    if (!preset.isEmpty()) {
        dialog.setDirectory(presetFile.absolutePath());
        dialog.selectFile(presetFile.fileName());
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        edit->setText(ShownFromText(dialog.selectedFiles().first()));
}

void TForm1::btLocateZarn121Click()
{
    LocateExecutable(GameVersion::V121);
}

void TForm1::btLocateZarn124Click()
{
    LocateExecutable(GameVersion::V124);
}

void TForm1::btLocateZarn124xClick()
{
    LocateExecutable(GameVersion::V124x);
}
