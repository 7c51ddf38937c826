#include "main_window/controls/status_bar.h"

#include <QHelpEvent>
#include <QPainter>
#include <QSizeGrip>
#include <QStyleOption>
#include <QToolTip>

namespace {

constexpr int kPictureSize = 16;
constexpr int kTextIndent = 3;

} // namespace

StatusBar::StatusBar(QWidget* parent)
    : QWidget(parent)
    , sizeGrip_(new QSizeGrip(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void StatusBar::AddPanel(int width, int minimumWidth, const QIcon& picture)
{
    panels_.push_back({width, minimumWidth, picture, QString()});
    update();
}

void StatusBar::SetRightMargin(int margin)
{
    rightMargin_ = margin;
    PlaceSizeGrip();
    update();
}

QRect StatusBar::PanelRect(int position) const
{
    int left = 0;
    for (int i = 1; i < position; ++i)
        left += PanelAt(i).width;
    const Panel& panel = PanelAt(position);
    int width = panel.width;
    if (position == PanelCount())
        width = std::max(panel.minimumWidth, this->width() - rightMargin_ - left);
    return {left, 0, width, height()};
}

void StatusBar::SetPanelText(int position, const QString& text)
{
    Q_ASSERT(position >= 1 && position <= PanelCount());
    if (position < 1 || position > PanelCount())
        return;
    panels_[static_cast<size_t>(position - 1)].text = text;
    update(PanelRect(position));
}

QString StatusBar::PanelText(int position) const
{
    return PanelAt(position).text;
}

QSize StatusBar::sizeHint() const
{
    return {288, 21};
}

const StatusBar::Panel& StatusBar::PanelAt(int position) const
{
    static const Panel none{0, 0, QIcon(), QString()};
    Q_ASSERT(position >= 1 && position <= PanelCount());
    if (position < 1 || position > PanelCount())
        return none;
    return panels_[static_cast<size_t>(position - 1)];
}

int StatusBar::PanelAtPoint(QPoint point) const
{
    for (int position = 1; position <= PanelCount(); ++position) {
        if (PanelRect(position).contains(point))
            return position;
    }
    return 0;
}

void StatusBar::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QColor shadow = palette().color(QPalette::Mid);
    const QColor light = palette().color(QPalette::Light);
    for (int position = 1; position <= PanelCount(); ++position) {
        const Panel& panel = PanelAt(position);
        const QRect bevel = PanelRect(position).adjusted(0, 2, -2, 0);
        painter.setPen(shadow);
        painter.drawLine(bevel.topLeft(), bevel.topRight());
        painter.drawLine(bevel.topLeft(), bevel.bottomLeft());
        painter.setPen(light);
        painter.drawLine(bevel.bottomLeft(), bevel.bottomRight());
        painter.drawLine(bevel.topRight(), bevel.bottomRight());

        QRect content = bevel.adjusted(1, 1, -1, -1);
        if (!panel.picture.isNull()) {
            const QRect pictureRect(content.left() + 1,
                                    content.top() + (content.height() - kPictureSize) / 2,
                                    kPictureSize, kPictureSize);
            panel.picture.paint(&painter, pictureRect);
            content.setLeft(pictureRect.right() + 1);
        }
        if (!panel.text.isEmpty()) {
            const QRect textRect = content.adjusted(kTextIndent, 0, -kTextIndent, 0);
            const QString shown =
                fontMetrics().elidedText(panel.text, Qt::ElideMiddle, textRect.width());
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             shown);
        }
    }
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceSizeGrip();
}

bool StatusBar::event(QEvent* event)
{
    // A text cut short to fit its panel shows in full as the panel's tooltip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int position = PanelAtPoint(help->pos());
        if (position > 0 && !PanelText(position).isEmpty())
            QToolTip::showText(help->globalPos(), PanelText(position), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void StatusBar::PlaceSizeGrip()
{
    const int size = std::min(rightMargin_, height());
    sizeGrip_->setGeometry(width() - size, height() - size, size, size);
}
