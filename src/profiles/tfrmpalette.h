#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <cstdint>
#include <functional>

// The picture control of the palette window: reports where it was clicked.
class TPaletteImage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void Clicked(QPoint position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The "Palette" tool window: the game's 80 colour cells. A click on a cell
// writes its index into the main window's colour field that has (or last
// had) the focus, one whose name begins with "leColor". Created once, hidden,
// then only shown and hidden; the main window's "Palette" button follows it.
class TfrmPalette : public QWidget {
    Q_OBJECT
public:
    // `mainWindow` owns this window and receives the clicked indices;
    // `formCreate` runs once the window is built (the page fills its
    // placeholder colours then).
    explicit TfrmPalette(QWidget* mainWindow, std::function<void()> formCreate = {});

    // The screen colour (0x00BBGGRR) of palette cell `index`, read from the
    // picture; InvalidColor outside the 80 cells.
    std::uint32_t ColorIndexToColor(int index) const;

    // The cell at a point of Image1, or -1.
    static int PointToColorIndex(QPoint point);

    // A click on the picture at `position` (Image1's coordinates).
    void Image1Click(QPoint position);

    TPaletteImage* Image1 = nullptr;

signals:
    // Shown or hidden, by the main window's button or the window's own
    // close button.
    void VisibilityChanged(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FormCreate();

    QWidget* mainWindow_;
    std::function<void()> formCreate_;
    QImage picture_;
};
