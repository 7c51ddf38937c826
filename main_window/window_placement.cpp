#include "common/rounding.h"
#include "main_window/frmMosaq.h"
#include "main_window/placement.h"
#include "main_window/setting_keys.h"
#include "main_window/tuning.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>

// The window's outer placement, stored in twips, and how it survives a window manager.
//
// Before a window manager frames the window its frame is unknown, and the stored outer
// size can only be given to the window as it is. A window shown maximized keeps that size
// as the one it returns to when it is restored, frame and all. So the stored placement
// stays pending until the window is framed and in the normal state; a window manager then
// reports the framing, or a restore, as a burst of geometry, frame and state changes in an
// order of its own. Once that burst has ended, the frame the window system reports is the
// current one, and the placement is put right with it.

namespace {

// Twips per logical pixel on the window's screen, per axis.
QPointF TwipsPerPixel(const QWidget* widget)
{
    return {1440.0 / widget->logicalDpiX(), 1440.0 / widget->logicalDpiY()};
}

} // namespace

void frmMosaq::SetUpPlacementSettling()
{
    placement_.timer.setSingleShot(true);
    placement_.timer.setInterval(kPlacementSettleMilliseconds);
    connect(&placement_.timer, &QTimer::timeout, this, &frmMosaq::SettlePlacement);
}

bool frmMosaq::RestorePlacement(const QString& stored)
{
    const std::optional<StoredPlacement> placement = ParseWindowPosition(stored);
    const auto given = [](const std::optional<std::int32_t>& piece) { return piece.has_value(); };
    if (!placement || std::none_of(placement->begin(), placement->end(), given))
        return false;
    const QPointF twips = TwipsPerPixel(this);
    const QRect outer = frameGeometry();
    const std::array<std::int32_t, 4> current = {
        RoundToInt(outer.x() * twips.x()), RoundToInt(outer.y() * twips.y()),
        RoundToInt(outer.width() * twips.x()), RoundToInt(outer.height() * twips.y())};
    const std::array<std::int32_t, 4> target = ApplyPlacement(*placement, current);
    const std::optional<QRect> restored =
        HeldPlacement(QRect(RoundToInt(target[0] / twips.x()), RoundToInt(target[1] / twips.y()),
                            RoundToInt(target[2] / twips.x()), RoundToInt(target[3] / twips.y())),
                      screen()->virtualSize());
    if (!restored)
        return false;
    placement_.restoredPosition = stored;
    // The layout keeps a shown window at its minimum size: a smaller target is never met.
    placement_.pendingOuter =
        QRect(restored->topLeft(), restored->size().expandedTo(kMinimumOuterSize));
    placement_.correctionsLeft = kPlacementCorrections;
    ApplyOuterGeometry(*restored);
    return true;
}

// The frame the window manager has put around the window, as the window system reports it
// now; none while the window is not framed. QWidget::frameGeometry() keeps the frame of
// the last move it was told of, which after a restore may be the frame of the maximized
// window.
QMargins frmMosaq::FrameMargins() const
{
    const QWindow* window = windowHandle();
    return window != nullptr ? window->frameMargins() : QMargins();
}

QRect frmMosaq::OuterGeometry() const
{
    return geometry().marginsAdded(FrameMargins());
}

// Puts the window's frame at `outer`. Before the window is framed the whole size goes to
// the window, and its position, which is that of the frame, is `outer`'s.
void frmMosaq::ApplyOuterGeometry(const QRect& outer)
{
    const QMargins frame = FrameMargins();
    if (frame.isNull() || !isVisible()) {
        resize(outer.size());
        move(outer.topLeft());
        return;
    }
    HintMinimumSize(frame);
    setGeometry(outer.marginsRemoved(frame));
}

void frmMosaq::SavePlacement()
{
    const QPointF twips = TwipsPerPixel(this);
    const QRect outer = OuterGeometry();
    QString position = FormatWindowPosition({static_cast<float>(outer.x() * twips.x()),
                                             static_cast<float>(outer.y() * twips.y()),
                                             static_cast<float>(outer.width() * twips.x()),
                                             static_cast<float>(outer.height() * twips.y())});
    // Wayland tells no program where its window is: the position restored at the start,
    // from a session that knew it, is kept rather than replaced by a made-up one. One that
    // could not be restored is not kept either, or it would hold back the size ever after.
    if (QGuiApplication::platformName().startsWith(u"wayland"))
        position = WithStoredPosition(placement_.restoredPosition, position);
    WriteSetting(kWindowPositionKey, position);
}

// A change the window system reported: while the stored placement is pending and the
// window is in the normal state, it is checked once the changes have come to rest.
void frmMosaq::NotePlacementChange()
{
    if (placement_.pendingOuter && isVisible() && IsInNormalState())
        placement_.timer.start();
}

void frmMosaq::SettlePlacement()
{
    if (!placement_.pendingOuter || !isVisible() || !IsInNormalState())
        return;
    // Not framed: without a window manager the size given before the window was shown is
    // its outer size already.
    if (FrameMargins().isNull())
        return;
    if (OuterGeometry() == *placement_.pendingOuter || placement_.correctionsLeft == 0) {
        placement_.pendingOuter.reset();
        return;
    }
    --placement_.correctionsLeft;
    ApplyOuterGeometry(*placement_.pendingOuter);
    placement_.timer.start(); // checked again, unless the window manager's answer restarts it
}

void frmMosaq::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (event->spontaneous())
        NotePlacementChange();
}
