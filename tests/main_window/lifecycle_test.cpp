#include "settings/settings.h"
#include "support/window_fixture.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QString Setting(const QString& file, const char* key)
{
    return basMosaq::ReadSetting(QStringLiteral("Main"), QLatin1String(key), QString(), file);
}

} // namespace

class LifecycleTest : public WindowFixture
{
protected:
    QPointF TwipsPerPixel(const QWidget& window) const
    {
        return {1440.0 / window.logicalDpiX(), 1440.0 / window.logicalDpiY()};
    }
};

TEST_F(LifecycleTest, StoredPositionMovesTheWindowAndKeepsWhatItLeavesOut)
{
    const QString noFolder = QStringLiteral("Last Path=/nonexistent-folder-of-tessellon\r\n");
    WriteSettingsText(
        (QStringLiteral("[Main]\r\n") + noFolder + QStringLiteral("Window Position=1500, 3000\r\n"))
            .toUtf8());
    const std::unique_ptr<frmMosaq> created = NewWindow();
    const QPointF twips = TwipsPerPixel(*created);
    EXPECT_EQ(created->frameGeometry().topLeft(),
              QPoint(qRound(1500 / twips.x()), qRound(3000 / twips.y())));
    EXPECT_EQ(created->size(), QSize(288, 228)) << "width and height kept";

    WriteSettingsText((QStringLiteral("[Main]\r\n") + noFolder +
                       QStringLiteral("Window Position=1500,3000,4500,6000\r\n"))
                          .toUtf8());
    const std::unique_ptr<frmMosaq> onePiece = NewWindow();
    EXPECT_EQ(onePiece->frameGeometry().left(), qRound(1500 / twips.x()));
    EXPECT_EQ(onePiece->size(), QSize(288, 228));

    WriteSettingsText((QStringLiteral("[Main]\r\n") + noFolder +
                       QStringLiteral("Window Position=1500, 3000, 9e99, 6000\r\n"))
                          .toUtf8());
    const std::unique_ptr<frmMosaq> outOfRange = NewWindow();
    EXPECT_EQ(outOfRange->geometry(),
              created->geometry().translated(outOfRange->pos() - created->pos()))
        << "an unreadable position is treated as absent";
}

TEST_F(LifecycleTest, MaximizedReadsBooleansAndNumbers)
{
    const struct
    {
        const char* value;
        bool maximized;
    } cases[] = {{"TRUE", true}, {"1", true}, {"0", false}, {"False", false}, {"perhaps", false}};
    for (const auto& c : cases) {
        WriteSettingsText(QByteArray("[Main]\r\nLast Path=/nonexistent\r\nMaximized=") + c.value +
                          "\r\n");
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        EXPECT_EQ(window->isMaximized(), c.maximized) << c.value;
    }
}

TEST_F(LifecycleTest, UnloadStoresThePlacementOfANormalWindow)
{
    WriteSettingsText("[Main]\r\nLast Path=/nonexistent-folder-of-tessellon\r\n");
    const std::unique_ptr<frmMosaq> window = ShowWindow();
    window->move(120, 80);
    window->resize(400, 420);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->width() == 400; }));
    const QRect outer = window->frameGeometry();
    window->close();
    const QPointF twips = TwipsPerPixel(*window);
    EXPECT_EQ(Setting(SettingsFile(), "Window Position"), QStringLiteral("%1, %2, %3, %4")
                                                              .arg(outer.x() * twips.x())
                                                              .arg(outer.y() * twips.y())
                                                              .arg(outer.width() * twips.x())
                                                              .arg(outer.height() * twips.y()));
    EXPECT_EQ(Setting(SettingsFile(), "Maximized"), QStringLiteral("False"));
    EXPECT_TRUE(SettingsText().contains("Last Path=/nonexistent-folder-of-tessellon\r\n"));
}

TEST_F(LifecycleTest, MaximizedOrMinimizedWindowsKeepTheStoredPosition)
{
    const struct
    {
        Qt::WindowState state;
        const char* maximized;
    } cases[] = {{Qt::WindowMaximized, "True"}, {Qt::WindowMinimized, "False"}};
    for (const auto& c : cases) {
        WriteSettingsText("[Main]\r\nLast Path=/nonexistent\r\nWindow Position=1, 2, 3, 4\r\n");
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        window->setWindowState(c.state);
        window->close();
        EXPECT_EQ(Setting(SettingsFile(), "Window Position"), QStringLiteral("1, 2, 3, 4"));
        EXPECT_EQ(Setting(SettingsFile(), "Maximized"), QLatin1String(c.maximized));
    }
}

TEST_F(LifecycleTest, OnlyTheFirstActivationOpensTheFolder)
{
    WriteSettingsText("[Main]\r\nLast Path=/\r\n");
    const std::unique_ptr<frmMosaq> window = NewWindow();
    QSignalSpy opened(window->filHidden, &FileListBox::PathChange);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->HasActivated() && !window->IsBuilding(); }));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->Form_Activate();
    EXPECT_EQ(opened.count(), 1);
}

TEST_F(LifecycleTest, EveryWayOutUnloadsOnceAndEndsThroughTheCaller)
{
    const struct
    {
        const char* way;
        std::function<void(frmMosaq&)> leave;
        int ended;
    } cases[] = {
        {"Exit",
         [](frmMosaq& w) { w.tbrMain_ButtonClick(w.ToolbarButtonByKey(QStringLiteral("Exit"))); },
         1},
        {"close", [](frmMosaq& w) { w.close(); }, 0},
        {"Alt+X",
         [](frmMosaq& w) {
             // A button's access key clicks it the way a mouse does, a moment later.
             QTest::keyClick(&w, Qt::Key_X, Qt::AltModifier);
             EXPECT_TRUE(QTest::qWaitFor([&] { return w.IsUnloaded(); }));
         },
         1},
    };
    for (const auto& c : cases) {
        WriteSettingsText("[Main]\r\nLast Path=/nonexistent\r\n");
        const std::unique_ptr<frmMosaq> window = ShowWindow();
        QSignalSpy ended(window.get(), &frmMosaq::ProgramEnded);
        c.leave(*window);
        EXPECT_TRUE(window->IsUnloaded()) << c.way;
        EXPECT_FALSE(window->isVisible()) << c.way;
        EXPECT_EQ(ended.count(), c.ended) << c.way;
        EXPECT_EQ(Setting(SettingsFile(), "Maximized"), QStringLiteral("False")) << c.way;
        // A second close finds the window unloaded and writes nothing more.
        WriteSettingsText("[Main]\r\n");
        window->close();
        EXPECT_EQ(SettingsText(), QByteArray("[Main]\r\n")) << c.way;
    }
}
