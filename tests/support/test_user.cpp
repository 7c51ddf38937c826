#include "support/test_user.h"

#include "support/process_tools.h"

#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString kUserName = u"tessellon-test"_s;

std::optional<passwd> FindUser(const QString& name)
{
    const passwd* entry = getpwnam(name.toUtf8().constData());
    if (entry == nullptr)
        return std::nullopt;
    return *entry;
}

// Creates the user on first use. Another test may create it at the same moment, so a
// failed useradd counts only when the user is still missing afterwards.
std::optional<passwd> EnsureUser(QString& error)
{
    if (std::optional<passwd> user = FindUser(kUserName))
        return user;
    const ProcessResult useradd =
        RunProcess(u"useradd"_s,
                   {u"--system"_s, u"--user-group"_s, u"--no-create-home"_s, u"--home-dir"_s,
                    u"/nonexistent"_s, u"--shell"_s, u"/usr/sbin/nologin"_s, kUserName},
                   QProcessEnvironment::systemEnvironment());
    std::optional<passwd> user = FindUser(kUserName);
    if (!user)
        error = u"cannot create the user %1: %2"_s.arg(kUserName,
                                                       QString::fromLocal8Bit(useradd.errors));
    return user;
}

} // namespace

TestUser::TestUser()
    : switchUser_(geteuid() == 0)
{
    if (switchUser_) {
        const std::optional<passwd> user = EnsureUser(error_);
        if (!user)
            return;
        uid_ = user->pw_uid;
        gid_ = user->pw_gid;
    }
    valid_ = true;
}

bool TestUser::HandOver(const QString& path)
{
    if (!switchUser_)
        return true;
    QStringList paths{path};
    QDirIterator entries(path,
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext())
        paths.append(entries.next());
    for (const QString& entry : paths) {
        if (lchown(QFile::encodeName(entry).constData(), uid_, gid_) != 0) {
            error_ = u"cannot hand %1 to %2"_s.arg(entry, kUserName);
            return false;
        }
    }
    return true;
}

QStringList TestUser::Command(const QStringList& environment, const QString& program,
                              const QStringList& arguments) const
{
    // The death signal survives the change of user, unlike one set before exec.
    QStringList command{u"--pdeathsig"_s, u"KILL"_s};
    if (switchUser_)
        command << u"--reuid=%1"_s.arg(uid_) << u"--regid=%1"_s.arg(gid_) << u"--init-groups"_s;
    command << u"--"_s << QStandardPaths::findExecutable(u"env"_s) << u"-i"_s;
    return command + environment + QStringList{program} + arguments;
}

QString TestUser::Setpriv()
{
    return QStandardPaths::findExecutable(u"setpriv"_s);
}
