#pragma once

#include "app/settingtext.h"
#include "browse/serverentry.h"
#include "launch/gamelaunch.h"
#include "launch/gameversion.h"
#include "serverinfo/serverinfoquery.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;
class QToolButton;
class DistanceMeter;
class ServerListView;
class ServerTableModel;
class TfrmPalette;
class TfrmPlayerList;

// Where "Get List" connects: the host follows the "Config" page's choice, the
// port never changes in normal use.
struct ListServerClient {
    std::string host;
    unsigned short port;
};

// The main window: four pages, three actions, the INI settings.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Creation handler; errors escape to the caller, which shows them.
    void FormCreate();
    // The tool windows, created after this one; positions are stored with ours.
    void SetToolWindows(TfrmPlayerList* playerList, TfrmPalette* palette);

    // Fills OldColors; the palette window calls it when it is created.
    void SetOldColors();

    void ReadIniFile();
    void WriteIniFile();

    ListServerClient& idCListServer() { return idCListServer_; }
    ServerInfoClient& idCServerInfo() { return idCServerInfo_; }
    // The executable setting of a version, as bytes: what the settings file
    // held while the edit still shows it, else the edit's text.
    std::string ExecutableFor(GameVersion version) const;
    QLineEdit* ExecutableEdit(GameVersion version) const;
    std::optional<ServerEntry> SelectedEntry() const;
    bool IsEntryJoinable(const ServerEntry& entry) const;

    // Runs the idle-time update handlers of the actions now.
    void UpdateActions();

    // Starts the worker that measures a new row's distance; "Get List" calls
    // it right after each row is added.
    using DistanceMeterFactory =
        std::function<std::unique_ptr<DistanceMeter>(ServerTableModel& table, int row, const std::string& ip)>;
    void SetDistanceMeterFactory(DistanceMeterFactory factory);

    // How the game is started; the system's program start unless replaced.
    void SetProgramStarter(ProgramStarter starter);

public slots:
    void sbGetListClick();
    void cbListServerChange(int index);
    void acServerInfoExecute();
    void acStartGameExecute();
    void acTogglePaletteExecute();
    void lvServerListDblClick();
    void btLocateZarn121Click();
    void btLocateZarn124Click();
    void btLocateZarn124xClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormClose();
    void acServerInfoUpdate();
    void acStartGameUpdate();
    void acTogglePaletteUpdate();

    void BuildPages();
    void BuildJoinPage(QWidget* page);
    void BuildPlayerEditPage(QWidget* page);
    void BuildConfigPage(QWidget* page);
    void BuildAboutPage(QWidget* page);
    void BuildActions();
    void SetTabOrder();
    void FindGameInstallations();
    void ReplaceRowsFromListServer();
    void StartDistanceMeter(int row, const std::string& ip);
    void TellWhyDistancesAreMissing();
    void LaunchSelectedGame();
    // Lets the user pick a game executable for one of the "Config" page's edits.
    void LocateExecutable(GameVersion version);

public:
    // Controls, named as the rest of the program refers to them.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* tsConfig = nullptr;
    QWidget* TabSheet3 = nullptr;

    QToolButton* sbGetList = nullptr;
    QToolButton* sbServerInfo = nullptr;
    QToolButton* sbStartGame = nullptr;
    QCheckBox* cbEnableSpy = nullptr;
    QRadioButton* rbWindowd = nullptr;
    QRadioButton* rbFullScreen = nullptr;
    ServerListView* lvServerList = nullptr;
    ServerTableModel* serverTable = nullptr;

    QTreeWidget* tvPlayers = nullptr;
    QLineEdit* edZarnName = nullptr;
    QRadioButton* rbZarn = nullptr;
    QRadioButton* rbPockz = nullptr;
    QRadioButton* rbVani = nullptr;
    QFrame* pnlColor[4] = {};
    QLabel* imColor[4] = {};
    QLineEdit* leColor[4] = {};
    QLabel* leColorLabel[4] = {};
    QFrame* bvlColorFrame = nullptr;
    QToolButton* sbPalette = nullptr;
    QPushButton* btSaveSettings = nullptr;
    QLabel* imPreview = nullptr;

    QComboBox* cbListServer = nullptr;
    QLineEdit* edZarn121cmd = nullptr;
    QLineEdit* edZarn124cmd = nullptr;
    QLineEdit* edZarn124xcmd = nullptr;
    QToolButton* btLocateZarn121 = nullptr;
    QToolButton* btLocateZarn124 = nullptr;
    QToolButton* btLocateZarn124x = nullptr;

    QAction* acServerInfo = nullptr;
    QAction* acStartGame = nullptr;
    QAction* acTogglePalette = nullptr;

    // The greys RGB(k, k, k), k = 1 .. 32, that the character pictures hold
    // where the four colours go: colour s owns entries 8(s-1) .. 8s-1.
    std::array<std::uint32_t, 32> OldColors{};

private:
    ListServerClient idCListServer_;
    ServerInfoClient idCServerInfo_;
    StoredSetting storedExecutables_[AllGameVersions.size()];
    TfrmPlayerList* frmPlayerList_ = nullptr;
    TfrmPalette* frmPalette_ = nullptr;
    DistanceMeterFactory distanceMeterFactory_;
    ProgramStarter programStarter_;
    bool gettingList_ = false;
    bool queryingServer_ = false;
    // Why rows of this "Get List" go unmeasured; told once per run.
    std::string distanceNotice_;
    bool distanceNoticeShown_ = false;
    bool closed_ = false;
};
