#pragma once

#include "app/blockingwork.h"
#include "app/settingtext.h"
#include "browse/serverentry.h"
#include "launch/gamelaunch.h"
#include "launch/gameversion.h"
#include "serverinfo/serverinfoquery.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTreeWidgetItem;
class DistanceMeter;
class FindPlayerTool;
class ServerListView;
class ServerTableModel;
class TfrmPalette;
class TfrmPlayerList;
class TPlayerTreeView;
class TZarnSettings;

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

    // "Player edit" page: the profile tree, read once at start-up, and the
    // three character pictures.
    void LoadPlayerTree();
    void LoadCharBitmaps();
    // Whether the tree may select `node`: profile nodes only, and a changed
    // profile is saved, dropped or kept as the user answers.
    bool tvPlayersChanging(QTreeWidgetItem* node);
    // Loads and shows the profile of the newly selected node.
    void tvPlayersChange(QTreeWidgetItem* node);
    void SetLabels(int characterIndex);
    // The character picture recoloured with the four colour fields' values;
    // throws TColorValueError when a field does not read as a number.
    void DrawPreview();

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

    // "Find player" on the "Join a game" page.
    FindPlayerTool* FindPlayer() const { return findPlayer_; }

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
    void edZarnNameChange();
    void rbCharacterClick(int tag);
    void leColorChange(int tag);
    void leColorEnter(int tag);
    void leColorExit();
    void pnlColorClick(int tag);
    void btSaveSettingsClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Focus changes of the colour fields and clicks on the swatches.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormClose();
    void acServerInfoUpdate();
    void acStartGameUpdate();
    void acTogglePaletteUpdate();

    void BuildPages();
    void BuildJoinPage(QWidget* page);
    void BuildPlayerEditPage(QWidget* page);
    void ConnectPlayerEditPage();
    void BuildConfigPage(QWidget* page);
    void BuildAboutPage(QWidget* page);
    void BuildActions();
    void SetTabOrder();
    void FindGameInstallations();
    void TellUnusableRegistryFiles();
    void ReplaceRowsFromListServer();
    // Nothing when the window closed while the query ran.
    std::optional<ServerInfoResult> QueryOffWindowThread(const ServerEntry& entry, std::uint16_t port);
    void StartDistanceMeter(int row, const std::string& ip);
    void TellWhyDistancesAreMissing();
    void DistanceWorkerFailed(const std::string& why);
    void LaunchSelectedGame();
    // Lets the user pick a game executable for one of the "Config" page's edits.
    void LocateExecutable(GameVersion version);
    void EnableProfileEditing();
    void DrawSwatch(int slot, std::int32_t value);
    // The colour of a palette cell, or the invalid colour outside the palette.
    std::uint32_t PaletteColor(std::int64_t index) const;
    // Ends an edit of the profile: the preview redrawn if asked, then "Save"
    // enabled as the profile is modified; a field that does not read as a
    // number is reported after that.
    void FinishProfileEdit(bool redrawPreview);
    // Saves the profile; false when it could not be saved now (Wine runs).
    bool SaveSettings();

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

    TPlayerTreeView* tvPlayers = nullptr;
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

    // The profile being edited; made at start-up.
    std::unique_ptr<TZarnSettings> Settings;
    // Zarn, Pock and Vani; a picture that could not be loaded is null and
    // shows no preview.
    std::array<QImage, 3> CharBitmaps;

private:
    ListServerClient idCListServer_;
    ServerInfoClient idCServerInfo_;
    StoredSetting storedExecutables_[AllGameVersions.size()];
    TfrmPlayerList* frmPlayerList_ = nullptr;
    TfrmPalette* frmPalette_ = nullptr;
    FindPlayerTool* findPlayer_ = nullptr;
    DistanceMeterFactory distanceMeterFactory_;
    ProgramStarter programStarter_;
    bool gettingList_ = false;
    bool queryingServer_ = false;
    // The download or query a command waits for; a close abandons it.
    BlockingWork blockingWork_;
    // Why rows of this "Get List" go unmeasured; told once per run.
    std::string distanceNotice_;
    bool distanceNoticeShown_ = false;
    bool closed_ = false;
    // Registry files that start-up could not use, told together once it has
    // read what it could.
    std::vector<std::string> unusableRegistryFiles_;
};
