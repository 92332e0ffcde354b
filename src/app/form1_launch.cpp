// Joining a server: "Start game" and a double click on the server table.
#include "app/form1.h"

#include "app/messages.h"
#include "launch/gamelaunch.h"

#include <QCheckBox>
#include <QRadioButton>

void TForm1::SetProgramStarter(ProgramStarter starter)
{
    programStarter_ = std::move(starter);
}

void TForm1::LaunchSelectedGame()
{
    const std::optional<ServerEntry> entry = SelectedEntry();
    if (!entry)
        return;
    LaunchOptions options;
    options.spy = cbEnableSpy->isChecked();
    options.windowed = rbWindowd->isChecked();
    const LaunchOutcome outcome =
        LaunchGame(*entry, options, [this](GameVersion version) { return ExecutableFor(version); },
                   programStarter_ ? programStarter_ : ProgramStarter(StartProgramDetached));
    if (outcome == LaunchOutcome::NoExecutable)
        ShowMessage(this, QString::fromLatin1(kNoExecutableMessage.data(),
                                              static_cast<qsizetype>(kNoExecutableMessage.size())));
}

void TForm1::acStartGameExecute()
{
    LaunchSelectedGame();
}

void TForm1::lvServerListDblClick()
{
    // What counts is the selection after the clicks, not the row under the mouse.
    LaunchSelectedGame();
}
