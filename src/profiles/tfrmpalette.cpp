#include "profiles/tfrmpalette.h"

#include "profiles/palettepicture.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>

void TPaletteImage::mousePressEvent(QMouseEvent* event)
{
    // Taking the press makes the release come here too.
    event->setAccepted(event->button() == Qt::LeftButton);
}

void TPaletteImage::mouseReleaseEvent(QMouseEvent* event)
{
    // A click is a press and a release on the picture; the cell is the one
    // under the release, where the pointer is when the click completes.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked(event->position().toPoint());
}

TfrmPalette::TfrmPalette(QWidget* mainWindow, std::function<void()> formCreate)
    : QWidget(mainWindow, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      mainWindow_(mainWindow),
      formCreate_(std::move(formCreate)),
      picture_(PalettePicture())
{
    setObjectName(QStringLiteral("frmPalette"));
    setWindowTitle(QStringLiteral("Palette"));

    Image1 = new TPaletteImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, PaletteWidth, PaletteHeight);
    Image1->setToolTip(QStringLiteral("Click on a color to set selected value"));
    Image1->setPixmap(QPixmap::fromImage(WithTransparentFrames(picture_)));
    connect(Image1, &TPaletteImage::Clicked, this, &TfrmPalette::Image1Click);

    setFixedSize(PaletteWidth, PaletteHeight);
    move(192, 107);
    FormCreate();
}

void TfrmPalette::FormCreate()
{
    if (formCreate_)
        formCreate_();
}

std::uint32_t TfrmPalette::ColorIndexToColor(int index) const
{
    return ::ColorIndexToColor(picture_, index);
}

int TfrmPalette::PointToColorIndex(QPoint point)
{
    return ::PointToColorIndex(point.x(), point.y());
}

void TfrmPalette::Image1Click(QPoint position)
{
    const int index = PointToColorIndex(position);
    if (index == -1 || mainWindow_ == nullptr)
        return;
    // The main window keeps its focus widget while the user clicks here, so
    // this is the colour field the page marks.
    auto* field = qobject_cast<QLineEdit*>(mainWindow_->focusWidget());
    if (field != nullptr && field->objectName().startsWith(QLatin1String("leColor")))
        field->setText(QString::number(index));
}

void TfrmPalette::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit VisibilityChanged(true);
}

void TfrmPalette::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit VisibilityChanged(false);
}
