#include "support/fixture_images.h"
#include "support/window_fixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <cstdio>

class SelectionTest : public WindowFixture
{
protected:
    // A shown window with a gallery of `count` pictures named pic1.bmp, pic2.bmp, ...
    std::unique_ptr<frmMosaq> ShowGallery(int count)
    {
        folder_ = TempPath(QStringLiteral("pictures"));
        QDir().mkpath(folder_);
        for (int i = 1; i <= count; ++i)
            WriteSolidImage(folder_ + QStringLiteral("/pic%1.bmp").arg(i), {8, 8}, Qt::red);
        QGuiApplication::clipboard()->clear();
        std::unique_ptr<frmMosaq> window = ShowWindowAt(folder_);
        EXPECT_EQ(window->optThumb.Count(), count);
        return window;
    }

    QString PathOf(int number) const
    {
        return QDir::toNativeSeparators(folder_) + QDir::separator() +
               QStringLiteral("pic%1.bmp").arg(number);
    }

    static void Press(frmMosaq& window, const char* key)
    {
        window.tbrMain_ButtonClick(window.ToolbarButtonByKey(QLatin1String(key)));
    }

    QString folder_;
};

TEST_F(SelectionTest, ClickingACellShowsItsPathAndSelectsIt)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(4);
    EXPECT_EQ(window->sbrMain->PanelText(2), PathOf(1));
    QTest::mouseClick(window->optThumb.Widget(2), Qt::LeftButton);
    EXPECT_EQ(window->SelectedIndex(), 2);
    EXPECT_EQ(window->sbrMain->PanelText(2), PathOf(3));
    EXPECT_TRUE(window->optThumb.IsSelected(2));
    EXPECT_FALSE(window->optThumb.IsSelected(0)) << "one selected cell at a time";
    QTest::mouseClick(window->optThumb.Widget(2), Qt::LeftButton);
    EXPECT_TRUE(window->optThumb.IsSelected(2)) << "clicking the selected cell keeps it";
    EXPECT_EQ(window->optThumb.Widget(3)->accessibleName(), QStringLiteral("pic4.bmp"));
}

TEST_F(SelectionTest, SelectCopiesTheSelectedPathAndEnds)
{
    const struct
    {
        const char* how;
        std::function<void(frmMosaq&)> act;
        int copied;
    } cases[] = {
        {"Select right after the build", [](frmMosaq& w) { Press(w, "Edit"); }, 1},
        {"click, then Select",
         [](frmMosaq& w) {
             QTest::mouseClick(w.optThumb.Widget(2), Qt::LeftButton);
             Press(w, "Edit");
         },
         3},
        {"double-click",
         [](frmMosaq& w) { QTest::mouseDClick(w.optThumb.Widget(1), Qt::LeftButton); }, 2},
        {"Enter on the gallery",
         [](frmMosaq& w) {
             w.picFrame->setFocus();
             QTest::keyClick(w.picFrame, Qt::Key_Right);
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
         },
         2},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<frmMosaq> window = ShowGallery(4);
        QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
        c.act(*window);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), PathOf(c.copied)) << c.how;
        EXPECT_EQ(ended.count(), 1) << c.how;
        EXPECT_TRUE(window->IsUnloaded()) << c.how;
        EXPECT_TRUE(SettingsText().contains("Maximized=False")) << c.how;
    }
}

TEST_F(SelectionTest, SelectWithoutAPictureDoesNothing)
{
    const struct
    {
        const char* what;
        QByteArray settings;
        bool withEmptyFolder;
    } cases[] = {
        {"no folder", "[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n", false},
        {"a folder without pictures", QByteArray(), true},
    };
    for (const auto& c : cases) {
        if (c.withEmptyFolder) {
            const QString empty = TempPath(QStringLiteral("empty"));
            QDir().mkpath(empty);
            WriteSettingsText("[Main]\r\nLast Path=" + QFile::encodeName(empty) + "\r\n");
        } else {
            WriteSettingsText(c.settings);
        }
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
        Press(*window, "Edit");
        QTest::mouseDClick(window->optThumb.Widget(0), Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched")) << c.what;
        EXPECT_EQ(ended.count(), 0) << c.what;
        EXPECT_FALSE(window->IsUnloaded()) << c.what;
    }
}

// While a build runs the user sees no cell: Select, a double-click and Enter do nothing,
// then or after the build.
TEST_F(SelectionTest, SelectDuringABuildDoesNothing)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(3);
    for (int i = 4; i <= 40; ++i)
        WriteSolidImage(folder_ + QStringLiteral("/pic%1.bmp").arg(i), {8, 8}, Qt::red);
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
    QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
    int yields = 0;
    bool tried = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (++yields != 10 || !window->IsBuilding())
            return;
        tried = true;
        Press(*window, "Edit");
        QTest::mouseDClick(window->optThumb.Widget(0), Qt::LeftButton);
        window->picFrame->setFocus();
        QTest::keyClick(window->picFrame, Qt::Key_Return);
    });
    probe.start(0);
    Press(*window, "Refresh");
    probe.stop();
    ASSERT_TRUE(tried);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->optThumb.Count(), 40);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(window->IsUnloaded());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

TEST_F(SelectionTest, UnknownButtonKeysDoNothing)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(2);
    QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
    ToolbarButton stranger(QStringLiteral("exit"), QStringLiteral("x"), QString());
    window->tbrMain_ButtonClick(&stranger);
    window->tbrMain_ButtonClick(nullptr);
    EXPECT_EQ(ended.count(), 0);
    EXPECT_FALSE(window->IsUnloaded());
}

TEST_F(SelectionTest, TheCanvasFollowsTheScrollBar)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(40);
    QScrollBar* bar = window->vsbSlide;
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    EXPECT_EQ(window->picSlide->y() + window->picSlide->height(), window->picFrame->ScaleHeight())
        << "the last row at the viewport's bottom edge";
    EXPECT_TRUE(window->picFrame->hasFocus());

    bar->setFocus();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(window->picSlide->y(), -(bar->maximum() - 96));
    EXPECT_TRUE(window->picFrame->hasFocus()) << "the viewport takes the focus after a step";

    // Dragging the thumb moves the canvas while it moves.
    bar->setSliderDown(true);
    bar->setSliderPosition(50);
    EXPECT_EQ(window->picSlide->y(), -50);
    bar->setSliderDown(false);
    bar->setValue(0);
    EXPECT_EQ(window->picSlide->y(), 0);
}

TEST_F(SelectionTest, SelectingACellOutsideTheViewDoesNotScroll)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(40);
    ASSERT_GT(window->optThumb(39)->Position().y(), window->picFrame->ScaleHeight());
    window->optThumb.Select(39);
    EXPECT_EQ(window->SelectedIndex(), 39);
    EXPECT_EQ(window->vsbSlide->value(), 0);
    EXPECT_EQ(window->picSlide->y(), 0);
}

TEST_F(SelectionTest, ArrowKeysMoveTheSelectionAndKeepItInView)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(40);
    const int columns = window->picSlide->width() / 80;
    window->picFrame->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(window->SelectedIndex(), 1);
    EXPECT_EQ(window->sbrMain->PanelText(2), PathOf(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(window->SelectedIndex(), 1 + columns);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(window->SelectedIndex(), columns);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(window->SelectedIndex(), 39);
    const QRect cell = window->optThumb.Geometry(39).translated(0, window->picSlide->y());
    EXPECT_GE(cell.top(), 0);
    EXPECT_LE(cell.bottom(), window->picFrame->ScaleHeight()) << "scrolled into view";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_EQ(window->vsbSlide->value(), 0);
}

// A tiling window manager may hold the window below its minimum size: the gallery is laid
// out in the room there is, and the keys move over the cells as they are shown.
TEST_F(SelectionTest, AWindowHeldBelowItsMinimumIsLaidOutAtItsSize)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(12);
    struct Case
    {
        QSize held;
        int columns;
    };
    for (const Case c : {Case{{300, 340}, 3}, Case{{170, 200}, 1}, Case{{120, 50}, 1}}) {
        SCOPED_TRACE(c.held.width());
        window->setMaximumSize(c.held); // as the window manager holds it
        window->resize(c.held);
        ASSERT_EQ(window->size(), c.held);
        EXPECT_EQ(window->picFrame->geometry(),
                  QRect(0, 38, c.held.width(), std::max(0, c.held.height() - 38 - 21)));
        EXPECT_EQ(window->picSlide->width(), 80 * c.columns);
        EXPECT_EQ(window->optThumb.Geometry(c.columns).topLeft(), QPoint(0, 96));
        window->optThumb.Select(0);
        window->picFrame->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        EXPECT_EQ(window->SelectedIndex(), c.columns) << "Down goes to the cell below";
    }
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

TEST_F(SelectionTest, TheWheelScrollsTheGallery)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(40);
    for (QWidget* under :
         {static_cast<QWidget*>(window->optThumb.Widget(3)), window->picSlide->Client()}) {
        window->vsbSlide->setValue(0);
        const QPointF at(10, 10);
        QWheelEvent wheel(at, under->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(under, &wheel);
        EXPECT_GT(window->vsbSlide->value(), 0);
    }
    EXPECT_EQ(window->picSlide->y(), -window->vsbSlide->value());
}

TEST_F(SelectionTest, OnlyTheCellsNearTheViewAreOnScreen)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(200);
    auto onScreen = [&] {
        QList<int> shown;
        for (int i = 0; i < window->optThumb.Count(); ++i) {
            if (window->optThumb(i)->OnScreen())
                shown.append(i);
        }
        return shown;
    };
    auto inView = [&](int index) {
        const QRect cell = window->optThumb.Geometry(index).translated(0, window->picSlide->y());
        return cell.intersects(
            QRect(0, 0, window->picFrame->ScaleWidth(), window->picFrame->ScaleHeight()));
    };
    for (const int value : {0, 960, window->vsbSlide->maximum() / 2, window->vsbSlide->maximum()}) {
        window->vsbSlide->setValue(value);
        const QList<int> shown = onScreen();
        EXPECT_LT(shown.size(), 60) << value;
        for (int i = 0; i < 200; ++i) {
            EXPECT_TRUE(window->optThumb(i)->InGallery());
            if (inView(i)) {
                EXPECT_TRUE(shown.contains(i)) << "cell " << i << " at " << value;
            }
        }
    }
    // The cells on screen are shown by a few widgets, the same ones after a rebuild.
    const auto widgets = [&] { return window->picSlide->Client()->findChildren<ThumbButton*>(); };
    const QList<ThumbButton*> before = widgets();
    EXPECT_LT(before.size(), 60);
    Press(*window, "Refresh");
    EXPECT_EQ(widgets(), before);
    EXPECT_EQ(onScreen().first(), 0);
}

// Scrolling hands the widgets of cells leaving the view to those coming into it. Whatever
// widget shows a cell shows that cell's own name, selection and focus, and a click or a
// double-click on it acts on that cell.
TEST_F(SelectionTest, AWidgetTakenOverByAnotherCellActsForThatCell)
{
    const std::unique_ptr<frmMosaq> window = ShowGallery(200);
    QTest::mouseClick(window->optThumb.Widget(2), Qt::LeftButton);
    ThumbButton* const reused = window->optThumb.Widget(2);
    window->vsbSlide->setValue(window->vsbSlide->maximum());
    EXPECT_EQ(window->optThumb.Widget(2), nullptr) << "out of view";
    const auto cellOf = [&](const ThumbButton* widget) {
        for (int i = 0; i < window->optThumb.Count(); ++i) {
            if (window->optThumb.Widget(i) == widget)
                return i;
        }
        return -1;
    };
    const int now = cellOf(reused);
    ASSERT_GT(now, 100) << "the widget of cell 2 shows a cell of the gallery's end";
    EXPECT_TRUE(reused->isVisible());
    EXPECT_EQ(reused->accessibleName(), QStringLiteral("pic%1.bmp").arg(now + 1));
    EXPECT_EQ(reused->Tag(), window->optThumb(now)->Tag());
    EXPECT_FALSE(reused->isChecked()) << "cell 2 is still the one selected";
    EXPECT_TRUE(window->optThumb.IsSelected(2));

    QTest::mouseClick(reused, Qt::LeftButton);
    EXPECT_EQ(window->SelectedIndex(), now);
    EXPECT_EQ(window->sbrMain->PanelText(2), PathOf(now + 1));
    EXPECT_FALSE(window->optThumb.IsSelected(2));

    // The keyboard moves from the selected cell, and the focus lies on the widget of the
    // cell it moved to.
    window->picFrame->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(window->SelectedIndex(), now - 1);
    const auto* focused = qobject_cast<const ThumbButton*>(QApplication::focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(cellOf(focused), now - 1);
    EXPECT_TRUE(focused->isChecked());

    // Back at the top, cell 2's widget shows it again, no longer selected; a double-click
    // there picks cell 2, whatever widget it was given.
    window->vsbSlide->setValue(0);
    ThumbButton* top = window->optThumb.Widget(2);
    ASSERT_NE(top, nullptr);
    EXPECT_FALSE(top->isChecked());
    EXPECT_EQ(top->accessibleName(), QStringLiteral("pic3.bmp"));
    QTest::mouseDClick(top, Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), PathOf(3));
}

#ifndef _WIN32
// A Latin-1 name from an old archive gets its cell like any other: shown with a
// replacement character, and picked as the file's URI, which names it where it is pasted.
TEST_F(SelectionTest, ANameThatIsNotUtf8IsShownReplacedAndPickedAsItsUri)
{
    folder_ = TempPath(QStringLiteral("archive"));
    QDir().mkpath(folder_);
    WriteSolidImage(folder_ + QStringLiteral("/a.bmp"), {8, 8}, Qt::red);
    WriteSolidImage(folder_ + QStringLiteral("/b.bmp"), {8, 8}, Qt::blue);
    const QByteArray folderBytes = QFile::encodeName(folder_);
    ASSERT_EQ(std::rename(folderBytes + "/b.bmp", folderBytes + "/caf\xe9.bmp"), 0);
    QGuiApplication::clipboard()->clear();
    const std::unique_ptr<frmMosaq> window = ShowWindowAt(folder_);
    ASSERT_EQ(window->optThumb.Count(), 2);
    const QString shown = QStringLiteral("caf\uFFFD.bmp");
    EXPECT_EQ(window->optThumb(1)->Caption(), shown);
    EXPECT_FALSE(window->optThumb(1)->GetPicture().isNull());
    EXPECT_EQ(window->optThumb.Widget(1)->accessibleName(), shown);

    QTest::mouseClick(window->optThumb.Widget(1), Qt::LeftButton);
    EXPECT_EQ(window->sbrMain->PanelText(2), QDir::toNativeSeparators(folder_) + u'/' + shown);
    Press(*window, "Edit");
    const QString pasted = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(pasted.startsWith(QStringLiteral("file:///"))) << pasted.toStdString();
    EXPECT_TRUE(pasted.endsWith(QStringLiteral("/caf%E9.bmp"))) << pasted.toStdString();
    EXPECT_TRUE(window->IsUnloaded());
}
#endif
