#include "app/startup.h"

#include "app/form1.h"
#include "app/messages.h"
#include "profiles/tfrmpalette.h"
#include "serverinfo/tfrmplayerlist.h"

MainWindows CreateMainWindows()
{
    MainWindows windows;
    windows.form1 = std::make_unique<TForm1>();
    try {
        windows.form1->FormCreate();
    } catch (const std::exception& error) {
        ShowErrorBox(windows.form1.get(), QString::fromLocal8Bit(error.what()));
    }
    windows.frmPlayerList = new TfrmPlayerList(windows.form1.get());
    TForm1* form1 = windows.form1.get();
    windows.frmPalette = new TfrmPalette(form1, [form1] { form1->SetOldColors(); });
    windows.form1->SetToolWindows(windows.frmPlayerList, windows.frmPalette);
    try {
        windows.form1->ReadIniFile();
    } catch (const std::exception& error) {
        ShowErrorBox(windows.form1.get(), QString::fromLocal8Bit(error.what()));
    }
    return windows;
}
