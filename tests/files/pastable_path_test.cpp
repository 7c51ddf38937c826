#include "files/file_uri.h"
#include "files/pastable_path.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace files;

namespace {

// A path that a paste would act on, hide or show otherwise than it reads goes as its URI,
// which escapes what it holds; every other path goes as it is.
TEST(PastablePath, PathsAPasteWouldNotShowAsTheyAreGoAsTheirUri)
{
    struct Case
    {
        const char* what;
        QString name;
        bool asUri;
    };
    const Case cases[] = {
        {"a line feed, which a shell runs", QStringLiteral("a\n$(touch x)\n.jpg"), true},
        {"a carriage return", QStringLiteral("a\r.jpg"), true},
        {"a tab, which a shell completes", QStringLiteral("a\tb.jpg"), true},
        {"an escape, which a terminal obeys", QStringLiteral("a\x1b[2J.jpg"), true},
        {"delete", QStringLiteral("a\x7f.jpg"), true},
        {"a C1 control: next line", QStringLiteral("a\u0085b.jpg"), true},
        {"a C1 control: the terminal's own escape", QStringLiteral("a\u009bb.jpg"), true},
        {"the line separator", QStringLiteral("a\u2028b.jpg"), true},
        {"a right-to-left override", QStringLiteral("photo\u202Egpj.exe"), true},
        {"a left-to-right embedding", QStringLiteral("a\u202Ab.jpg"), true},
        {"a first-strong isolate", QStringLiteral("a\u2068b\u2069.jpg"), true},
        {"blanks and letters beyond ASCII", QStringLiteral("Fotos \u00e4 \u65e5\u672c.jpg"), false},
        {"a character beyond the BMP", QStringLiteral("smile \U0001F600.jpg"), false},
        {"a zero-width joiner, which joins and hides nothing", QStringLiteral("a\u200Db.jpg"),
         false},
        {"Arabic letters, written right to left on their own",
         QStringLiteral("\u0635\u0648\u0631\u0629.jpg"), false},
    };
    const QString folder = QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/pictures"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = folder + QDir::separator() + c.name;
        EXPECT_EQ(ContainsUnpastableText(path), c.asUri);
        EXPECT_EQ(PastableFilePath(path), c.asUri ? FileUri(path) : path);
        if (c.asUri) {
            EXPECT_FALSE(ContainsUnpastableText(FileUri(path)));
        }
    }
    EXPECT_TRUE(FileUri(folder + QStringLiteral("/a\nb.jpg")).endsWith(u"/a%0Ab.jpg"));
}

} // namespace
