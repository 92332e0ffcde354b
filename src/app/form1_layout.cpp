// The main window's pages and controls, at their fixed positions.
#include "app/form1.h"

#include "app/listservers.h"
#include "app/programicon.h"
#include "browse/serverlistview.h"
#include "browse/servertablemodel.h"
#include "profiles/playeredit/namefield.h"
#include "profiles/playertreeview.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

namespace {

// A lowered panel holding one flat button that fills it but for a one-pixel rim.
QToolButton* FlatButtonInPanel(QWidget* parent, const char* panelName, const char* buttonName,
                               QRect panelRect)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(panelName));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    panel->setGeometry(panelRect);
    auto* button = new QToolButton(panel);
    button->setObjectName(QString::fromLatin1(buttonName));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(1, 1, panelRect.width() - 2, panelRect.height() - 2);
    return button;
}

// Each page is framed by a lowered bevel over its whole area.
QWidget* PageSheet(QWidget* page, int height)
{
    auto* sheet = new QWidget(page);
    sheet->setGeometry(4, 4, 497, height);
    auto* bevel = new QFrame(sheet);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(0, 0, 497, height);
    return sheet;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect rect)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    return label;
}

// A command's hint with its key after it, so that the tooltip teaches the key.
QString HintWithKey(const QString& hint, const QKeySequence& key)
{
    return hint + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + u')';
}

template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect rect)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    return widget;
}

} // namespace

void TForm1::BuildPages()
{
    PageControl1 = Place(new QTabWidget(this), "PageControl1", QRect(0, 0, 505, 233));
    PageControl1->setDocumentMode(true);
    PageControl1->setUsesScrollButtons(false);
    PageControl1->tabBar()->setDrawBase(false);
    PageControl1->setStyleSheet(QStringLiteral(
        "QTabBar::tab { border: 1px solid transparent; padding: 3px 8px; margin: 2px 1px 0 2px; }"
        "QTabBar::tab:hover { border-color: palette(mid); }"
        "QTabBar::tab:selected { border: 1px solid palette(dark); background: palette(midlight); }"));

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    tsConfig = new QWidget;
    tsConfig->setObjectName(QStringLiteral("tsConfig"));
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Join a game"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Player edit"));
    PageControl1->addTab(tsConfig, QStringLiteral("Config"));
    PageControl1->addTab(TabSheet3, QStringLiteral("About"));

    BuildActions();
    BuildJoinPage(PageSheet(TabSheet1, 200));
    BuildPlayerEditPage(PageSheet(TabSheet2, 200));
    BuildConfigPage(PageSheet(tsConfig, 201));
    BuildAboutPage(PageSheet(TabSheet3, 201));
    SetTabOrder();
    PageControl1->setCurrentIndex(0);
}

void TForm1::BuildActions()
{
    // Each action's keys work while its button is shown, that is while its
    // page is, and only while the action is enabled.
    acServerInfo = new QAction(QStringLiteral("Serverinfo"), this);
    acServerInfo->setObjectName(QStringLiteral("acServerInfo"));
    acServerInfo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    acServerInfo->setToolTip(
        HintWithKey(QStringLiteral("Gets info about the selected server"), acServerInfo->shortcut()));
    connect(acServerInfo, &QAction::triggered, this, &TForm1::acServerInfoExecute);

    // Return (and the keypad's Enter) joins the selected row, as a double click does.
    acStartGame = new QAction(QStringLiteral("Start game"), this);
    acStartGame->setObjectName(QStringLiteral("acStartGame"));
    acStartGame->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    acStartGame->setToolTip(HintWithKey(QStringLiteral("Joins the selected server"), acStartGame->shortcut()));
    connect(acStartGame, &QAction::triggered, this, &TForm1::acStartGameExecute);

    acTogglePalette = new QAction(QStringLiteral("Palette"), this);
    acTogglePalette->setObjectName(QStringLiteral("acTogglePalette"));
    acTogglePalette->setCheckable(true);
    acTogglePalette->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    // The palette window takes the focus when shown: the key hides it from there too.
    acTogglePalette->setShortcutContext(Qt::ApplicationShortcut);
    acTogglePalette->setToolTip(HintWithKey(acTogglePalette->text(), acTogglePalette->shortcut()));
    connect(acTogglePalette, &QAction::triggered, this, &TForm1::acTogglePaletteExecute);
}

void TForm1::BuildJoinPage(QWidget* page)
{
    sbGetList = FlatButtonInPanel(page, "Panel1", "sbGetList", QRect(8, 8, 65, 25));
    sbGetList->setText(QStringLiteral("Get List"));
    // The key works while the button is shown and enabled, so not while a list is fetched.
    sbGetList->setShortcut(QKeySequence(Qt::Key_F5));
    sbGetList->setToolTip(HintWithKey(QStringLiteral("Gets list of running gameservers"), sbGetList->shortcut()));
    connect(sbGetList, &QToolButton::clicked, this, &TForm1::sbGetListClick);

    sbServerInfo = FlatButtonInPanel(page, "Panel3", "sbServerInfo", QRect(80, 8, 65, 25));
    sbServerInfo->setDefaultAction(acServerInfo);
    sbStartGame = FlatButtonInPanel(page, "Panel2", "sbStartGame", QRect(152, 8, 65, 25));
    sbStartGame->setDefaultAction(acStartGame);

    cbEnableSpy = Place(new QCheckBox(QStringLiteral("enable spy"), page), "cbEnableSpy", QRect(224, 8, 73, 25));
    cbEnableSpy->setToolTip(QStringLiteral("Start with or without spywindow"));
    rbWindowd = Place(new QRadioButton(QStringLiteral("Windowed"), page), "rbWindowd", QRect(304, 8, 73, 25));
    rbWindowd->setToolTip(QStringLiteral("Zarn will be launched windowed"));
    rbWindowd->setChecked(true);
    rbFullScreen = Place(new QRadioButton(QStringLiteral("Fullscreen"), page), "rbFullScreen",
                         QRect(384, 8, 73, 25));
    rbFullScreen->setToolTip(QStringLiteral("Zarn will be launched fullscreen"));

    serverTable = new ServerTableModel(this);
    serverTable->SetJoinablePredicate([this](const ServerEntry& entry) { return IsEntryJoinable(entry); });
    connect(serverTable, &ServerTableModel::DistanceWorkerFailed, this,
            [this](const QString& why) { DistanceWorkerFailed(why.toStdString()); });
    lvServerList = Place(new ServerListView(page), "lvServerList", QRect(8, 40, 481, 153));
    lvServerList->SetTable(serverTable);
    connect(lvServerList, &ServerListView::DoubleClicked, this, &TForm1::lvServerListDblClick);
}

void TForm1::BuildPlayerEditPage(QWidget* page)
{
    // The frame marking the colour row being edited lies under the row's
    // controls and lets their clicks through.
    bvlColorFrame = Place(new QFrame(page), "bvlColorFrame", QRect(254, 86, 155, 25));
    bvlColorFrame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bvlColorFrame->setAttribute(Qt::WA_TransparentForMouseEvents);
    bvlColorFrame->hide();

    tvPlayers = Place(new TPlayerTreeView(page), "tvPlayers", QRect(8, 8, 225, 185));

    // At most 14 typed characters; a longer stored name is still shown whole.
    edZarnName = Place(new QLineEdit(page), "edZarnName", QRect(256, 8, 121, 21));
    auto* nameValidator = new TypedNameValidator(edZarnName);
    connect(edZarnName, &QLineEdit::textChanged, nameValidator, &TypedNameValidator::Shown);
    edZarnName->setValidator(nameValidator);
    edZarnName->setToolTip(QStringLiteral("Player's name"));

    rbZarn = Place(new QRadioButton(QStringLiteral("Zarn"), page), "rbZarn", QRect(256, 48, 57, 17));
    rbPockz = Place(new QRadioButton(QStringLiteral("Pock"), page), "rbPockz", QRect(312, 48, 65, 17));
    rbVani = Place(new QRadioButton(QStringLiteral("Vani"), page), "rbVani", QRect(368, 48, 41, 17));
    rbZarn->setProperty("tag", 0);
    rbPockz->setProperty("tag", 1);
    rbVani->setProperty("tag", 2);

    for (int i = 0; i < 4; ++i) {
        const int top = 88 + 25 * i;
        const QByteArray n = QByteArray::number(i + 1);
        pnlColor[i] = Place(new QFrame(page), ("pnlColor" + n).constData(), QRect(256, top, 26, 21));
        pnlColor[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pnlColor[i]->setProperty("tag", i + 1);
        imColor[i] = Place(new QLabel(pnlColor[i]), ("imColor" + n).constData(), QRect(1, 1, 24, 19));
        imColor[i]->setProperty("tag", i + 1);
        leColor[i] = Place(new QLineEdit(page), ("leColor" + n).constData(), QRect(288, top, 25, 21));
        leColor[i]->setProperty("tag", i + 1);
        // Until a character is shown the labels carry their fields' names.
        leColorLabel[i] = Label(page, ("leColor" + n + "Label").constData(), QString::fromLatin1("leColor" + n),
                                QRect(288 + 25 + 3, top, 90, 21));
    }

    sbPalette = FlatButtonInPanel(page, "pnlShowPalette", "sbPalette", QRect(416, 86, 77, 25));
    sbPalette->setDefaultAction(acTogglePalette);

    auto* saveRim = Place(new QFrame(page), "pnlSaveButton", QRect(416, 170, 77, 25));
    saveRim->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    btSaveSettings = Place(new QPushButton(QStringLiteral("Save"), page), "btSaveSettings", QRect(417, 171, 75, 23));

    auto* previewPanel = Place(new QFrame(page), "Panel4", QRect(432, 8, 57, 57));
    previewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    previewPanel->setAutoFillBackground(true);
    QPalette black = previewPanel->palette();
    black.setColor(QPalette::Window, Qt::black);
    previewPanel->setPalette(black);
    imPreview = Place(new QLabel(previewPanel), "imPreview", QRect(5, 5, 48, 48));
    imPreview->setAlignment(Qt::AlignCenter);

    // Nothing can be edited before a profile is chosen.
    for (QWidget* editor : std::initializer_list<QWidget*>{edZarnName, rbZarn, rbPockz, rbVani, btSaveSettings})
        editor->setEnabled(false);
    for (int i = 0; i < 4; ++i) {
        pnlColor[i]->setEnabled(false);
        leColor[i]->setEnabled(false);
        leColorLabel[i]->setEnabled(false);
    }
    ConnectPlayerEditPage();
}

void TForm1::BuildConfigPage(QWidget* page)
{
    Label(page, "Label5", QStringLiteral("Listserver"), QRect(8, 16, 49, 21))->setAlignment(Qt::AlignVCenter);
    cbListServer = Place(new QComboBox(page), "cbListServer", QRect(72, 16, 137, 21));
    for (const char* host : kListServerHosts)
        cbListServer->addItem(QString::fromLatin1(host));
    cbListServer->setCurrentIndex(0);
    connect(cbListServer, &QComboBox::activated, this, &TForm1::cbListServerChange);

    struct Row {
        const char* label;
        const char* labelText;
        const char* edit;
        const char* panel;
        const char* button;
        int top;
    };
    const Row rows[] = {
        {"Label3", "Zarn 1.21", "edZarn121cmd", "Panel5", "btLocateZarn121", 48},
        {"Label4", "Zarn 1.24", "edZarn124cmd", "Panel6", "btLocateZarn124", 72},
        {"Label1", "Zarn 1.24 x", "edZarn124xcmd", "Panel7", "btLocateZarn124x", 96},
    };
    QLineEdit** edits[] = {&edZarn121cmd, &edZarn124cmd, &edZarn124xcmd};
    QToolButton** buttons[] = {&btLocateZarn121, &btLocateZarn124, &btLocateZarn124x};
    for (int i = 0; i < 3; ++i) {
        const Row& row = rows[i];
        Label(page, row.label, QString::fromLatin1(row.labelText), QRect(8, row.top, 57, 21))
            ->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
        *edits[i] = Place(new QLineEdit(page), row.edit, QRect(72, row.top, 321, 21));
        *buttons[i] = FlatButtonInPanel(page, row.panel, row.button, QRect(400, row.top, 25, 21));
        (*buttons[i])->setText(QStringLiteral("..."));
        (*buttons[i])->setAutoRaise(false);
        // Unlike the command buttons of the first page, these are reached with Tab.
        (*buttons[i])->setFocusPolicy(Qt::StrongFocus);
    }
    connect(btLocateZarn121, &QToolButton::clicked, this, &TForm1::btLocateZarn121Click);
    connect(btLocateZarn124, &QToolButton::clicked, this, &TForm1::btLocateZarn124Click);
    connect(btLocateZarn124x, &QToolButton::clicked, this, &TForm1::btLocateZarn124xClick);
}

void TForm1::BuildAboutPage(QWidget* page)
{
    auto* icon = Place(new QLabel(page), "Image1", QRect(16, 16, 32, 32));
    icon->setPixmap(ProgramIcon().pixmap(32, 32));

    auto* title = Place(new QLabel(QStringLiteral("Quimbrel"), page), "StaticText1", QRect(88, 16, 200, 32));
    QFont titleFont(QStringLiteral("Tahoma"));
    titleFont.setPixelSize(24);
    title->setFont(titleFont);
    title->adjustSize();
    auto* version = Place(new QLabel(QStringLiteral("Version: 1.2"), page), "StaticText2", QRect(88, 56, 120, 16));
    version->adjustSize();
}

void TForm1::SetTabOrder()
{
    // "enable spy", then the chosen radio button (the pair is one stop), then the table.
    setTabOrder(cbEnableSpy, rbWindowd);
    setTabOrder(rbWindowd, rbFullScreen);
    setTabOrder(rbFullScreen, lvServerList);
    // The "Config" page row by row: each edit, then its "..." button.
    setTabOrder(cbListServer, edZarn121cmd);
    setTabOrder(edZarn121cmd, btLocateZarn121);
    setTabOrder(btLocateZarn121, edZarn124cmd);
    setTabOrder(edZarn124cmd, btLocateZarn124);
    setTabOrder(btLocateZarn124, edZarn124xcmd);
    setTabOrder(edZarn124xcmd, btLocateZarn124x);
}
