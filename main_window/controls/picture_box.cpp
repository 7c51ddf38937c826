#include "main_window/controls/picture_box.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <utility>

class PictureBoxSurface : public QWidget
{
public:
    explicit PictureBoxSurface(PictureBox* box)
        : QWidget(box)
        , box_(box)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override
    {
        QPainter painter(this);
        box_->PaintSurface(painter);
    }

private:
    PictureBox* box_;
};

PictureBox::PictureBox(QWidget* parent)
    : QFrame(parent)
    , client_(new PictureBoxSurface(this))
{
    client_->setGeometry(contentsRect());
}

void PictureBox::SetBorder(Border border)
{
    if (border == Border::Sunken3D)
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    else
        setFrameStyle(QFrame::NoFrame);
    client_->setGeometry(contentsRect());
}

void PictureBox::SetBackColor(OleColor color)
{
    backColor_ = color;
    client_->update();
}

void PictureBox::SetForeColor(OleColor color)
{
    foreColor_ = color;
}

QColor PictureBox::ResolvedBackColor() const
{
    return ResolveColor(backColor_, palette());
}

QColor PictureBox::ResolvedForeColor() const
{
    return ResolveColor(foreColor_, palette());
}

QWidget* PictureBox::Client() const
{
    return client_;
}

int PictureBox::ScaleWidth() const
{
    return contentsRect().width();
}

int PictureBox::ScaleHeight() const
{
    return contentsRect().height();
}

void PictureBox::Cls()
{
    surface_ = QImage();
    client_->update();
}

qreal PictureBox::TextHeight(const QString& /*text*/) const
{
    return QFontMetrics(font()).height();
}

void PictureBox::DrawText(QPointF topLeft, const QString& text)
{
    if (text.isEmpty())
        return;
    QPainter painter(&Surface());
    painter.setFont(font());
    painter.setPen(ResolvedForeColor());
    painter.drawText(topLeft + QPointF(0, QFontMetrics(font()).ascent()), text);
    client_->update();
}

QImage& PictureBox::Surface()
{
    if (surface_.isNull())
        surface_ = RenderedSurface();
    client_->update();
    return surface_;
}

QImage PictureBox::Snapshot() const
{
    return surface_.isNull() ? RenderedSurface() : surface_.copy();
}

QImage PictureBox::TakeSnapshot()
{
    QImage taken = surface_.isNull() ? RenderedSurface() : std::exchange(surface_, QImage());
    client_->update();
    return taken;
}

void PictureBox::SetPicture(pictures::Picture picture)
{
    picture_ = std::move(picture);
    if (autoSize_ && picture_.size.isValid())
        resize(picture_.size + QSize(2 * frameWidth(), 2 * frameWidth()));
    surface_ = QImage();
    client_->update();
}

void PictureBox::ClearPicture()
{
    SetPicture(pictures::Picture());
}

void PictureBox::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    client_->setGeometry(contentsRect());
    if (!surface_.isNull()) {
        const QImage old = surface_;
        surface_ = RenderedSurface();
        QPainter painter(&surface_);
        painter.drawImage(QPointF(0, 0), old);
    }
}

void PictureBox::changeEvent(QEvent* event)
{
    QFrame::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        client_->update();
}

void PictureBox::PaintSurface(QPainter& painter) const
{
    if (!surface_.isNull()) {
        painter.drawImage(QPointF(0, 0), surface_);
        return;
    }
    painter.fillRect(client_->rect(), ResolvedBackColor());
    if (!picture_.image.isNull())
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(picture_.size)), picture_.image);
}

QImage PictureBox::RenderedSurface() const
{
    const qreal ratio = devicePixelRatioF();
    const QSize inner = contentsRect().size().expandedTo(QSize(1, 1));
    QImage image(inner * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    painter.fillRect(QRectF(QPointF(0, 0), QSizeF(inner)), ResolvedBackColor());
    if (!picture_.image.isNull())
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(picture_.size)), picture_.image);
    return image;
}
