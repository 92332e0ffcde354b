#pragma once

#include <memory>

class TForm1;
class TfrmPalette;
class TfrmPlayerList;

// The program's windows, created in start-up order and with the settings read.
struct MainWindows {
    std::unique_ptr<TForm1> form1;
    TfrmPlayerList* frmPlayerList = nullptr;  // owned by form1
    TfrmPalette* frmPalette = nullptr;        // owned by form1
};

// Creates the main window (running its creation handler), then the two tool
// windows hidden, then reads the INI file. Errors of the creation handler are
// shown in the error box and start-up goes on.
MainWindows CreateMainWindows();
