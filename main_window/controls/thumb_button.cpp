#include "main_window/controls/thumb_button.h"

#include "files/file_names.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

constexpr int kCaptionMargin = 2;

} // namespace

ThumbButton::ThumbButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
}

void ThumbButton::SetCaption(const QString& caption)
{
    caption_ = caption;
    update();
}

void ThumbButton::SetTag(const QString& tag)
{
    tag_ = tag;
    setAccessibleName(files::ShownName(tag));
}

void ThumbButton::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

QSize ThumbButton::sizeHint() const
{
    return {80, 96};
}

void ThumbButton::nextCheckState()
{
    // Like a radio button: clicking the selected cell keeps it selected.
    if (!isChecked())
        setChecked(true);
}

void ThumbButton::keyPressEvent(QKeyEvent* event)
{
    // Moving between cells is the gallery's business, not a focus move between buttons.
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        event->ignore();
        return;
    default:
        QAbstractButton::keyPressEvent(event);
    }
}

void ThumbButton::paintEvent(QPaintEvent* /*event*/)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.features = QStyleOptionButton::None;
    if (isChecked() || isDown())
        option.state |= QStyle::State_Sunken | QStyle::State_On;
    else
        option.state |= QStyle::State_Raised;
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect inner = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QFontMetrics metrics(font());
    const QRect captionRect(inner.left(), inner.bottom() - metrics.height() - kCaptionMargin + 1,
                            inner.width(), metrics.height());
    if (!picture_.isNull()) {
        const QSizeF pictureSize = picture_.deviceIndependentSize();
        const QRect pictureArea(inner.left(), inner.top(), inner.width(),
                                captionRect.top() - inner.top());
        const QPointF topLeft(pictureArea.left() + (pictureArea.width() - pictureSize.width()) / 2,
                              pictureArea.top() +
                                  (pictureArea.height() - pictureSize.height()) / 2);
        painter.drawImage(QPointF(std::floor(topLeft.x()), std::floor(topLeft.y())), picture_);
    }
    // The selected cell's caption is marked as a selection, plainer to see than the
    // pressed look alone.
    QColor captionColor = palette().color(QPalette::ButtonText);
    if (isChecked() && !caption_.isEmpty()) {
        const int width = std::min(inner.width(), metrics.horizontalAdvance(caption_) + 6);
        painter.fillRect(QRect(captionRect.center().x() - width / 2, captionRect.top(), width,
                               captionRect.height()),
                         palette().color(QPalette::Highlight));
        captionColor = palette().color(QPalette::HighlightedText);
    }
    painter.setPen(captionColor);
    painter.drawText(captionRect, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
                     caption_);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = inner;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void ThumbButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseDoubleClickEvent(event);
        return;
    }
    // A double-click selects the cell before it acts, also when the single click that
    // normally precedes it was never delivered.
    setChecked(true);
    Q_EMIT DoubleClicked();
}
