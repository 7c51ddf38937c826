#include "support/openbox_session.h"

#include "support/process_tools.h"

#include <QDir>
#include <QFile>

#include <chrono>

namespace {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 15s;

QByteArray Configuration(bool focusNewWindows)
{
    return QByteArray(R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <resistance><strength>0</strength><screen_edge_strength>0</screen_edge_strength></resistance>
  <focus>
    <focusNew>)") +
           (focusNewWindows ? "yes" : "no") + R"(</focusNew>
    <focusLast>yes</focusLast><followMouse>no</followMouse><underMouse>no</underMouse>
    <focusDelay>0</focusDelay><raiseOnFocus>no</raiseOnFocus>
  </focus>
  <placement><policy>Smart</policy><center>yes</center><monitor>Primary</monitor></placement>
  <theme>
    <name>Clearlooks</name><titleLayout>NLIMC</titleLayout><keepBorder>yes</keepBorder>
    <animateIconify>no</animateIconify>
  </theme>
  <desktops><number>1</number><firstdesk>1</firstdesk><popupTime>0</popupTime></desktops>
  <resize><drawContents>yes</drawContents><popupShow>Never</popupShow></resize>
  <margins><top>0</top><bottom>0</bottom><left>0</left><right>0</right></margins>
  <applications/>
  <keyboard/>
  <mouse>
    <dragThreshold>1</dragThreshold><doubleClickTime>500</doubleClickTime>
    <screenEdgeWarpTime>0</screenEdgeWarpTime>
    <context name="Client">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
    </context>
    <context name="Titlebar">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Drag"><action name="Move"/></mousebind>
    </context>
    <context name="BRCorner">
      <mousebind button="Left" action="Press"><action name="Focus"/><action name="Raise"/></mousebind>
      <mousebind button="Left" action="Drag"><action name="Resize"/></mousebind>
    </context>
  </mouse>
</openbox_config>
)";
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

OpenboxSession::OpenboxSession(const std::string& display, const QString& folder,
                               const Options& options)
    : process_(std::make_unique<QProcess>())
{
    const QString configuration = folder + QStringLiteral("/rc.xml");
    if (!QDir().mkpath(folder + QStringLiteral("/openbox")) ||
        !WriteFile(configuration, Configuration(options.focusNewWindows)) ||
        !WriteFile(folder + QStringLiteral("/openbox/menu.xml"),
                   "<openbox_menu xmlns=\"http://openbox.org/3.4/menu\"/>\n")) {
        error_ = QStringLiteral("cannot write openbox's configuration in ") + folder;
        return;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QString::fromStdString(display));
    // openbox reads its menu and themes' overrides from the XDG folders: ours alone.
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_CACHE_HOME"})
        environment.insert(QLatin1String(name), folder);
    process_->setProcessEnvironment(environment);
    process_->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"),
                                                QStringLiteral("--config-file"), configuration});
    if (!process_->waitForStarted(5000)) {
        error_ = QStringLiteral("openbox cannot be started (package openbox): ") +
                 process_->errorString();
        return;
    }
    // Ready once it announces itself as the screen's window manager.
    const bool managing = WaitUntil(
        [&] {
            if (process_->state() == QProcess::NotRunning)
                return true;
            const ProcessResult check =
                RunProcess(QStringLiteral("wmctrl"), {QStringLiteral("-m")}, environment);
            return check.finished && check.output.contains("Name: Openbox");
        },
        kStartTimeout);
    if (!managing || process_->state() == QProcess::NotRunning)
        error_ = QStringLiteral("openbox did not take the screen: ") +
                 QString::fromLocal8Bit(process_->readAllStandardError());
}

OpenboxSession::~OpenboxSession()
{
    if (process_->state() == QProcess::NotRunning)
        return;
    process_->terminate();
    if (!process_->waitForFinished(5000)) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}
