// The "Player edit" page: the game's player profiles in a tree, one of them
// edited in Settings, its colours shown as swatches and on the character.
#include "app/form1.h"

#include "app/datafiles.h"
#include "app/messages.h"
#include "platform/codepage/codepagetext.h"
#include "platform/registry/registry.h"
#include "profiles/palettepicture.h"
#include "profiles/playeredit/charactertable.h"
#include "profiles/playeredit/colorpreview.h"
#include "profiles/playeredit/colorvalue.h"
#include "profiles/playeredit/playertree.h"
#include "profiles/playertreeview.h"
#include "profiles/tfrmpalette.h"
#include "profiles/tzarnsettings.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include <climits>
#include <optional>

namespace {

// Registry names are 8-bit text in the game's code page.
QString FromGameCodePage(const std::string& text)
{
    return QString::fromStdU16String(AnsiToUtf16(text));
}

std::string ToGameCodePage(const QString& text)
{
    return Utf16ToAnsi(text.toStdU16String());
}

void AddNodes(QTreeWidgetItem* parent, const std::vector<PlayerTreeNode>& nodes)
{
    for (const PlayerTreeNode& node : nodes) {
        auto* item = new QTreeWidgetItem(parent, QStringList{FromGameCodePage(node.name)});
        AddNodes(item, node.children);
    }
}

// The names of a node and its ancestors, from the top.
std::vector<std::string> NamesFromTop(const QTreeWidgetItem* node)
{
    std::vector<std::string> names;
    for (; node != nullptr; node = node->parent())
        names.insert(names.begin(), ToGameCodePage(node->text(0)));
    return names;
}

enum class SaveAnswer { Yes, No, Cancel };

SaveAnswer AskSaveChanges(QWidget* parent)
{
    // The one question the program asks: no title, three answers; closing
    // the box is Cancel. A window without a title gets the application's name
    // from Qt on X11, so the title is a blank, which shows as nothing.
    QMessageBox box(QMessageBox::Question, QStringLiteral(" "), QStringLiteral("Save changes?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: return SaveAnswer::Yes;
    case QMessageBox::No: return SaveAnswer::No;
    default: return SaveAnswer::Cancel;
    }
}

} // namespace

void TForm1::ConnectPlayerEditPage()
{
    tvPlayers->SetChangingHandler([this](QTreeWidgetItem* node) { return tvPlayersChanging(node); });
    connect(tvPlayers, &TPlayerTreeView::CurrentNodeChanged, this, &TForm1::tvPlayersChange);
    connect(edZarnName, &QLineEdit::textChanged, this, &TForm1::edZarnNameChange);
    for (QRadioButton* button : {rbZarn, rbPockz, rbVani}) {
        const int tag = button->property("tag").toInt();
        connect(button, &QRadioButton::toggled, this, [this, tag](bool checked) {
            if (checked)
                rbCharacterClick(tag);
        });
    }
    for (int i = 0; i < 4; ++i) {
        connect(leColor[i], &QLineEdit::textChanged, this, [this, i] { leColorChange(i + 1); });
        leColor[i]->installEventFilter(this);
        pnlColor[i]->installEventFilter(this);
        imColor[i]->installEventFilter(this);
    }
    connect(btSaveSettings, &QPushButton::clicked, this, &TForm1::btSaveSettingsClick);
}

void TForm1::SetOldColors()
{
    OldColors = PlaceholderGreys();
}

void TForm1::LoadPlayerTree()
{
    tvPlayers->clear();
    std::optional<RegistryFileError> unusable;
    const std::vector<PlayerTreeNode> games = ReadPlayerTree(Registry(Registry::DefaultPrefix()), &unusable);
    if (unusable)
        unusableRegistryFiles_.push_back(unusable->what());
    AddNodes(tvPlayers->invisibleRootItem(), games);
    tvPlayers->expandAll();
}

void TForm1::LoadCharBitmaps()
{
    // Every picture that can be read is kept; the first failure is reported.
    QString firstError;
    for (std::size_t i = 0; i < Characters.size(); ++i) {
        const QString path = FindDataFile(QString::fromLatin1(Characters[i].pictureFile));
        QImageReader reader(path);
        CharBitmaps[i] = reader.read();
        if (CharBitmaps[i].isNull() && firstError.isEmpty())
            firstError = QStringLiteral("Cannot load the character picture \"%1\": %2").arg(path, reader.errorString());
    }
    if (!firstError.isEmpty())
        throw std::runtime_error(firstError.toStdString());
}

bool TForm1::tvPlayersChanging(QTreeWidgetItem* node)
{
    // Game and version nodes, and a version whose name looks like a
    // profile's, cannot be chosen.
    if (node == nullptr || !ProfileKeyPath(NamesFromTop(node)) || !Settings)
        return false;
    EnableProfileEditing();
    if (!Settings->Modified())
        return true;
    switch (AskSaveChanges(this)) {
    case SaveAnswer::Yes: return SaveSettings();
    case SaveAnswer::No: return true;
    case SaveAnswer::Cancel: return false;
    }
    return false;
}

void TForm1::EnableProfileEditing()
{
    for (QWidget* editor : std::initializer_list<QWidget*>{edZarnName, rbZarn, rbPockz, rbVani})
        editor->setEnabled(true);
    for (int i = 0; i < 4; ++i) {
        pnlColor[i]->setEnabled(true);
        leColor[i]->setEnabled(true);
        leColorLabel[i]->setEnabled(true);
    }
}

void TForm1::tvPlayersChange(QTreeWidgetItem* node)
{
    const std::optional<std::string> keyPath = node ? ProfileKeyPath(NamesFromTop(node)) : std::nullopt;
    if (!keyPath || !Settings)
        return;
    Settings->KeyPath = *keyPath;
    Settings->Load();
    edZarnName->setText(FromGameCodePage(Settings->Name()));

    // The fields are filled first and shown once all hold the new profile,
    // so a text the previous profile left unreadable cannot interrupt.
    const std::optional<int> character = CharacterIndexOfCode(Settings->Character());
    {
        const QSignalBlocker zarn(rbZarn), pock(rbPockz), vani(rbVani);
        // An unknown character checks none and leaves the buttons as they were.
        if (character)
            (*character == 0 ? rbZarn : *character == 1 ? rbPockz : rbVani)->setChecked(true);
        for (int i = 0; i < 4; ++i) {
            const QSignalBlocker quiet(leColor[i]);
            leColor[i]->setText(QString::number(Settings->GetColor(i + 1)));
        }
    }
    if (character)
        SetLabels(*character);
    for (int slot = 1; slot <= 4; ++slot)
        DrawSwatch(slot, Settings->GetColor(slot));
    DrawPreview();
    btSaveSettings->setEnabled(false);
}

void TForm1::edZarnNameChange()
{
    if (!Settings)
        return;
    Settings->SetName(ToGameCodePage(edZarnName->text()));
    FinishProfileEdit(false);
}

void TForm1::rbCharacterClick(int tag)
{
    if (!Settings || tag < 0 || tag >= static_cast<int>(Characters.size()))
        return;
    SetLabels(tag);
    Settings->SetCharacter(Characters[static_cast<std::size_t>(tag)].code);
    FinishProfileEdit(true);
}

void TForm1::SetLabels(int characterIndex)
{
    const CharacterRow& row = Characters[static_cast<std::size_t>(characterIndex)];
    for (int i = 0; i < 4; ++i) {
        const std::string_view label = row.colorLabels[static_cast<std::size_t>(i)];
        leColorLabel[i]->setText(QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
    }
}

void TForm1::leColorChange(int tag)
{
    if (!Settings)
        return;
    std::int32_t value = 0;
    try {
        value = ColorFieldValue(leColor[tag - 1]->text());
    } catch (const TColorValueError& error) {
        // The profile, the swatch and "Save" stay as they were.
        ShowErrorBox(this, QString::fromStdString(error.what()));
        return;
    }
    Settings->SetColor(tag, value);
    DrawSwatch(tag, value);
    FinishProfileEdit(true);
}

void TForm1::FinishProfileEdit(bool redrawPreview)
{
    std::optional<QString> unreadable;
    if (redrawPreview) {
        try {
            DrawPreview();
        } catch (const TColorValueError& error) {
            unreadable = QString::fromStdString(error.what());
        }
    }
    // The change is made either way, so "Save" must offer it.
    btSaveSettings->setEnabled(Settings->Modified());
    if (unreadable)
        ShowErrorBox(this, *unreadable);
}

void TForm1::DrawSwatch(int slot, std::int32_t value)
{
    QLabel* image = imColor[slot - 1];
    const auto ramp = ColorRamp(value, [this](std::int64_t index) { return PaletteColor(index); });
    image->setPixmap(QPixmap::fromImage(SwatchImage(ramp, image->size())));
}

std::uint32_t TForm1::PaletteColor(std::int64_t index) const
{
    if (frmPalette_ == nullptr || index < INT_MIN || index > INT_MAX)
        return InvalidColor;
    return frmPalette_->ColorIndexToColor(static_cast<int>(index));
}

void TForm1::DrawPreview()
{
    const int character = PreviewCharacterIndex(Settings ? Settings->Character() : 0);
    std::array<std::int32_t, 4> values{};
    for (int i = 0; i < 4; ++i)
        values[static_cast<std::size_t>(i)] = ColorFieldValue(leColor[i]->text());
    const ColorSet newColors = PreviewColors(values, [this](std::int64_t index) { return PaletteColor(index); });
    const QImage& picture = CharBitmaps[static_cast<std::size_t>(character)];
    if (picture.isNull()) {
        imPreview->clear();
        return;
    }
    imPreview->setPixmap(QPixmap::fromImage(RecoloredCharacter(picture, OldColors, newColors)));
}

void TForm1::leColorEnter(int tag)
{
    bvlColorFrame->move(bvlColorFrame->x(), leColor[tag - 1]->y() - 2);
    bvlColorFrame->show();
}

void TForm1::leColorExit()
{
    bvlColorFrame->hide();
}

void TForm1::pnlColorClick(int tag)
{
    // The palette then writes into this row's field.
    leColor[tag - 1]->setFocus(Qt::MouseFocusReason);
}

void TForm1::btSaveSettingsClick()
{
    SaveSettings();
}

bool TForm1::SaveSettings()
{
    // While a save waits for Wine's server to go: the hourglass and "Save"
    // disabled; the window is painted but takes no input meanwhile.
    btSaveSettings->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<QString> refusal;
    std::optional<QString> failure;
    try {
        Settings->Save([] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    } catch (const TWineRunningException& error) {
        // Nothing was written and the edit stays, to be saved once Wine ends.
        refusal = QString::fromLocal8Bit(error.what());
    } catch (const std::exception& error) {
        // The edit stays and "Save" with it: a failed save loses nothing.
        failure = QString::fromLocal8Bit(error.what());
    }
    QApplication::restoreOverrideCursor();
    btSaveSettings->setEnabled(Settings->Modified());
    if (refusal)
        ShowMessage(this, *refusal);
    if (failure)
        ShowErrorBox(this, *failure);
    return !refusal && !failure;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    for (int i = 0; i < 4; ++i) {
        if (watched == leColor[i]) {
            if (event->type() == QEvent::FocusIn) {
                leColorEnter(i + 1);
            } else if (event->type() == QEvent::FocusOut) {
                // Switching to the palette window keeps the field's focus
                // within this window: the frame stays.
                const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
                if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                    leColorExit();
            }
        } else if ((watched == pnlColor[i] || watched == imColor[i]) && event->type() == QEvent::MouseButtonPress) {
            pnlColorClick(i + 1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
