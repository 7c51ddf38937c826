#pragma once

#include <QString>
#include <QStringList>

#include <sys/types.h>

// Whom end-to-end tests run programs as. Under root, the unprivileged system user
// "tessellon-test", created on first use: sway refuses to run as root, and an installed
// program must meet the rights a user has. Otherwise the current user.
class TestUser
{
public:
    TestUser();

    // True when the user to run as is known; Error() says why not.
    bool IsValid() const { return valid_; }
    const QString& Error() const { return error_; }

    // Gives `path` and everything below it to the user; nothing to do without a switch.
    bool HandOver(const QString& path);

    // The arguments for setpriv that run `program` as the user with exactly `environment`
    // ("NAME=value"). setpriv execs in place, so the pid started is the program's, and the
    // program dies with the thread that started it.
    QStringList Command(const QStringList& environment, const QString& program,
                        const QStringList& arguments) const;

    // setpriv's path; empty when util-linux is missing.
    static QString Setpriv();

private:
    bool valid_ = false;
    bool switchUser_ = false;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    QString error_;
};
