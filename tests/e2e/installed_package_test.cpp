// End to end: the installed Debian package as a user meets it. scripts/package installs the
// package and names its program in TESSELLON_INSTALLED_PROGRAM (/usr/bin/tessellon); this
// test starts that program on a private Xvfb as an unprivileged user (when it runs as
// root) whose home is a fresh folder, picks with the keyboard and the mouse, reads the
// clipboard after the program has ended, and reads the settings the program keeps under
// ~/.config, its own folder being out of the user's reach.

#include "e2e/program_fixture.h"
#include "support/test_user.h"

#include <QFileInfo>

namespace {

// In the order the gallery shows them.
const std::vector<FixtureImage> kImages = {{"beach.jpg", qRgb(30, 160, 220)},
                                           {"forest.bmp", qRgb(30, 180, 30)},
                                           {"sunset.jpg", qRgb(230, 120, 20)}};

// The value of `key` in the group "Desktop Entry" of the menu entry at `path`.
std::optional<QString> DesktopEntryValue(const QString& path, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool inEntry = false;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (text.startsWith(u'['))
            inEntry = text == u"[Desktop Entry]";
        else if (inEntry && text.section(u'=', 0, 0).trimmed() == key)
            return text.section(u'=', 1).trimmed();
    }
    return std::nullopt;
}

class InstalledPackageTest : public DrivenProgramTest
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DrivenProgramTest::SetUp());
        ASSERT_FALSE(programPath_.isEmpty())
            << "TESSELLON_INSTALLED_PROGRAM names the installed program; scripts/package "
               "test sets it once the package is installed";
        ASSERT_TRUE(QFileInfo(programPath_).isExecutable()) << programPath_.toStdString();
        ASSERT_FALSE(TestUser::Setpriv().isEmpty()) << "setpriv is missing (package util-linux)";
        ASSERT_TRUE(user_.IsValid()) << user_.Error().toStdString();
        folder_ = MakeImageFolder(QStringLiteral("Pictures"), kImages);
        ASSERT_TRUE(QDir().mkpath(Home()));
        ASSERT_TRUE(user_.HandOver(dir_.path())) << user_.Error().toStdString();
    }

    void TearDown() override
    {
        Kill(program_);
        KillProcessesRunning(KeeperPath());
        DrivenProgramTest::TearDown();
    }

    QString Home() const { return dir_.filePath(QStringLiteral("home")); }
    QString SettingsPath() const
    {
        return Home() + QStringLiteral("/.config/tessellon/tessellon.ini");
    }
    QString InstalledPath(const QString& belowPrefix) const
    {
        return QDir::cleanPath(QFileInfo(programPath_).path() + QStringLiteral("/../") +
                               belowPrefix);
    }
    QString KeeperPath() const
    {
        return InstalledPath(QStringLiteral("libexec/tessellon/") + kKeeperName);
    }

    // The program as the user starts it from the menu: with the user's home and nothing of
    // the test's environment.
    void StartInstalledProgram()
    {
        const QStringList environment{
            QStringLiteral("DISPLAY=") + QString::fromStdString(xvfb_.Display()),
            QStringLiteral("HOME=") + Home(), QStringLiteral("PATH=/usr/local/bin:/usr/bin:/bin"),
            QStringLiteral("LANG=C.UTF-8"), QStringLiteral("QT_QPA_PLATFORM=xcb")};
        Launch(TestUser::Setpriv(), user_.Command(environment, programPath_, {}));
    }

    // The settings as the user's earlier Browse would have left them: this folder opened.
    void OpenFolderNextTime()
    {
        const QString position =
            MainSettingIn(SettingsPath(), QStringLiteral("Window Position")).value_or(QString());
        QFile file(SettingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        const QByteArray text = SettingsText({{QStringLiteral("Last Path"), folder_},
                                              {QStringLiteral("Window Position"), position}});
        ASSERT_EQ(file.write(text), text.size());
        file.close();
        ASSERT_TRUE(user_.HandOver(Home())) << user_.Error().toStdString();
    }

    QString Chosen(std::size_t index) const
    {
        return folder_ + u'/' + QLatin1String(kImages[index].name);
    }

    const QString programPath_ = qEnvironmentVariable("TESSELLON_INSTALLED_PROGRAM");
    TestUser user_;
    QString folder_;
};

TEST_F(InstalledPackageTest, APickOutlivesTheProgramAndTheNextStartReopensItsFolder)
{
    // A first start on a fresh home: the settings file is made under ~/.config on exit.
    ASSERT_NO_FATAL_FAILURE(StartInstalledProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    const QRect geometry = Geometry();
    // On X11 a desktop finds the window's menu entry, name and icon by the window's class.
    const std::optional<QString> windowClass = DesktopEntryValue(
        InstalledPath(QStringLiteral("share/applications/" TESSELLON_APP_ID ".desktop")),
        QStringLiteral("StartupWMClass"));
    ASSERT_TRUE(windowClass.has_value()) << "the menu entry names no window class";
    const ProcessResult wmClass =
        RunProcess(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), WindowId(), QStringLiteral("WM_CLASS")}, Environment());
    EXPECT_TRUE(wmClass.output.trimmed().endsWith(", \"" + windowClass->toUtf8() + '"'))
        << wmClass.output.toStdString();
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("alt+x")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(MainSettingIn(SettingsPath(), QStringLiteral("Window Position")),
              PlacementText(geometry));
    EXPECT_FALSE(QFile::exists(QFileInfo(programPath_).path() + QStringLiteral("/tessellon.ini")));

    // Enter picks the first picture; the installed keeper serves it after the program ends.
    ASSERT_NO_FATAL_FAILURE(OpenFolderNextTime());
    ASSERT_NO_FATAL_FAILURE(StartInstalledProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(kImages));
    ASSERT_NO_FATAL_FAILURE(WaitForFocus());
    ASSERT_NO_FATAL_FAILURE(PressKeys({QStringLiteral("Return")}));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(PasteClipboard(Environment()), Chosen(0).toUtf8());
    EXPECT_EQ(ProcessesRunning(KeeperPath()).size(), 1U)
        << "no keeper runs from " << KeeperPath().toStdString();

    // The next start reopens the folder the last one opened; a double-click picks.
    ASSERT_NO_FATAL_FAILURE(StartInstalledProgram());
    ASSERT_NO_FATAL_FAILURE(WaitForGallery(kImages));
    ASSERT_NO_FATAL_FAILURE(ClickCell(1, 2));
    ExpectCleanEnd(WaitForEnd(kEndTimeout));
    EXPECT_EQ(PasteClipboard(Environment()), Chosen(1).toUtf8());
    EXPECT_EQ(MainSettingIn(SettingsPath(), QStringLiteral("Last Path")), folder_);
}

} // namespace
