#include "support/window_fixture.h"

#include "settings/settings.h"

#include <QFile>
#include <QTest>

void WindowFixture::WriteSettingsText(const QByteArray& text) const
{
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

QByteArray WindowFixture::SettingsText() const
{
    QFile file(SettingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::unique_ptr<frmMosaq> WindowFixture::NewWindow()
{
    auto window = std::make_unique<frmMosaq>(SettingsFile());
    window->SetFolderPicker([this](QWidget*, const QString&, const QString& initial) {
        ++pickerCalls_;
        pickerInitial_ = initial;
        return pickerAnswer_;
    });
    return window;
}

std::unique_ptr<frmMosaq> WindowFixture::ShowWindow()
{
    std::unique_ptr<frmMosaq> window = NewWindow();
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->HasActivated() && !window->IsBuilding(); }));
    return window;
}

std::unique_ptr<frmMosaq> WindowFixture::ShowWindowAt(const QString& folder)
{
    basMosaq::WriteSetting(QStringLiteral("Main"), QStringLiteral("Last Path"), folder,
                           SettingsFile());
    return ShowWindow();
}
