#pragma once

#include "main_window/controls/system_color.h"
#include "pictures/picture.h"

#include <QFrame>
#include <QImage>

class PictureBoxSurface;

// A box that holds a picture, draws text and keeps what is drawn in an off-screen image
// (persistent drawing). Child controls go on Client(), whose origin is the box's inner
// top-left corner, inside the border.
class PictureBox : public QFrame
{
    Q_OBJECT

public:
    enum class Border { None, Sunken3D };

    explicit PictureBox(QWidget* parent = nullptr);

    void SetBorder(Border border);
    void SetBackColor(OleColor color);
    OleColor BackColor() const { return backColor_; }
    void SetForeColor(OleColor color);
    OleColor ForeColor() const { return foreColor_; }
    QColor ResolvedBackColor() const;
    QColor ResolvedForeColor() const;
    // Resizing the box to its picture's size whenever the picture changes.
    void SetAutoSize(bool on) { autoSize_ = on; }

    QWidget* Client() const;
    int ScaleWidth() const;
    int ScaleHeight() const;

    // Repaints the whole drawing surface in the background color, over the picture.
    void Cls();
    qreal TextHeight(const QString& text) const;
    // Draws `text` with its top-left corner at `topLeft` in the fore color, clipped.
    void DrawText(QPointF topLeft, const QString& text);
    // The persistent image, created on first use at the screen's pixel ratio.
    QImage& Surface();
    // A copy of what the box shows: background, picture and everything drawn.
    QImage Snapshot() const;
    // The persistent image, handed over without a copy; the box is left cleared.
    QImage TakeSnapshot();

    void SetPicture(pictures::Picture picture);
    void ClearPicture();
    const pictures::Picture& GetPicture() const { return picture_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class PictureBoxSurface;
    void PaintSurface(QPainter& painter) const;
    QImage RenderedSurface() const;

    PictureBoxSurface* client_;
    OleColor backColor_ = SystemColor::kButtonFace;
    OleColor foreColor_ = SystemColor::kButtonText;
    bool autoSize_ = false;
    pictures::Picture picture_;
    QImage surface_; // null while nothing has been drawn since the last Cls()
};
