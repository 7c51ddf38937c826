#include "folder_picker/folder_item.h"
#include "folder_picker/folder_picker.h"
#include "folder_picker/folder_picker_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Readable QString values in failure messages.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

using namespace basMosaq;
using namespace folder_picker;
using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Select a Folder with Images..."_s;
constexpr int kWaitMs = 8000;

// --- Designators resolved to folders of the tree ----------------------------------------

TEST(FolderDesignatorTest, ResolvesRootAndInitialSelection)
{
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const QString folder = temp.filePath(u"pictures"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const FolderItem folderItem = FolderItem::AtPath(folder);
    ASSERT_FALSE(folderItem.IsNull());
    const QString missing = temp.filePath(u"missing"_s);
    const FolderItem top = FolderItem::Top();

    // Whatever names no folder makes the top the root.
    EXPECT_EQ(RootItemFor({}), top);
    EXPECT_EQ(RootItemFor(u""_s), top);
    EXPECT_EQ(RootItemFor(0), top);
    EXPECT_EQ(RootItemFor(12345), top);
    EXPECT_EQ(RootItemFor(missing), top);
    EXPECT_EQ(RootItemFor(QDir::toNativeSeparators(folder)), folderItem);

    // An absent or empty initial folder selects the root; one naming no folder, nothing.
    EXPECT_EQ(InitialItemFor({}, folderItem), folderItem);
    EXPECT_EQ(InitialItemFor(u""_s, folderItem), folderItem);
    EXPECT_TRUE(InitialItemFor(12345, top).IsNull());
    EXPECT_TRUE(InitialItemFor(missing, top).IsNull());
    EXPECT_TRUE(InitialItemFor(u"pictures"_s, top).IsNull()); // relative: not resolved
    EXPECT_TRUE(InitialItemFor(temp.filePath(u"file.txt"_s), top).IsNull());
    EXPECT_EQ(InitialItemFor(folder + u"/"_s, top), folderItem);
    EXPECT_EQ(InitialItemFor(SpecialFolder::kHome, top), FolderItem::AtPath(QDir::homePath()));
    EXPECT_EQ(InitialItemFor(SpecialFolder::kComputer, folderItem), top);
}

// --- The dialog ----------------------------------------------------------------------------

FolderPickerDialog* ActivePicker()
{
    return qobject_cast<FolderPickerDialog*>(QApplication::activeModalWidget());
}

struct PickerRun
{
    QString result;
    bool driven = false;
    bool timedOut = false;
};

using Driver = std::function<void(FolderPickerDialog&)>;

// Runs the picker as the program does and lets `drive` act on the open dialog. Whatever
// `drive` leaves open is cancelled; a watchdog cancels a dialog that nobody drives.
PickerRun RunPicker(const FolderDesignator& initial, const FolderDesignator& root,
                    const Driver& drive)
{
    QWidget owner;
    owner.show();
    PickerRun run;

    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&run] {
        run.timedOut = true;
        if (FolderPickerDialog* dialog = ActivePicker())
            dialog->reject();
    });
    watchdog.start(3 * kWaitMs);

    QTimer::singleShot(0, &owner, [&] {
        const QPointer<FolderPickerDialog> dialog = ActivePicker();
        if (dialog.isNull())
            return;
        run.driven = true;
        EXPECT_EQ(dialog->parentWidget(), &owner);
        EXPECT_EQ(dialog->windowTitle(), kTitle);
        EXPECT_TRUE(dialog->isModal());
        drive(*dialog);
        if (!dialog.isNull() && dialog->isVisible())
            dialog->reject();
    });
    run.result = BrowseForFolder(&owner, kTitle, initial, root);

    EXPECT_TRUE(run.driven);
    EXPECT_FALSE(run.timedOut);
    EXPECT_TRUE(owner.findChildren<FolderPickerDialog*>().isEmpty())
        << "the dialog outlived the call";
    return run;
}

void Press(FolderPickerDialog& dialog, QDialogButtonBox::StandardButton which)
{
    QTest::mouseClick(dialog.Buttons()->button(which), Qt::LeftButton);
}

QModelIndex SelectedIndex(const FolderPickerDialog& dialog)
{
    const QModelIndexList rows = dialog.FolderTree()->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front() : QModelIndex();
}

// Whether the item's row is fully in view and its name starts inside the view.
bool IsInView(const FolderPickerDialog& dialog, const QModelIndex& index)
{
    const QTreeView* tree = dialog.FolderTree();
    const QRect item = tree->visualRect(index);
    const QRect view = tree->viewport()->rect();
    return index.isValid() && item.top() >= view.top() && item.bottom() <= view.bottom() &&
           view.contains(item.topLeft());
}

// Waits until the dialog has been initialised and `nativePath` is selected and in view.
bool WaitForSelection(FolderPickerDialog& dialog, const QString& nativePath)
{
    return QTest::qWaitFor(
        [&] {
            return dialog.IsReady() && dialog.ChosenPath() == nativePath &&
                   IsInView(dialog, SelectedIndex(dialog));
        },
        kWaitMs);
}

// The first item of the tree: the root.
QModelIndex RootItem(const FolderPickerDialog& dialog)
{
    const QTreeView* tree = dialog.FolderTree();
    return tree->model()->index(0, 0, tree->rootIndex());
}

// Waits until the tree's top is listed: the root's own folders.
bool WaitForRootListing(FolderPickerDialog& dialog)
{
    return QTest::qWaitFor(
        [&] {
            const QModelIndex root = RootItem(dialog);
            return dialog.IsReady() && root.isValid() && dialog.FolderTree()->isExpanded(root) &&
                   dialog.FolderTree()->model()->rowCount(root) > 0;
        },
        kWaitMs);
}

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// A folder `depth` levels below `base`, with `kSiblings` folders sorting before it at
// every level, so that each listing pushes it further down the tree.
QString MakeDeepFolder(const QString& base, int depth, int kSiblings)
{
    QString folder = base;
    for (int level = 0; level < depth; ++level) {
        for (int i = 0; i < kSiblings; ++i)
            QDir(folder).mkdir(u"aa-%1"_s.arg(i, 2, 10, QLatin1Char('0')));
        folder += u"/zz-level-%1"_s.arg(level);
        QDir(folder).mkpath(u"."_s);
    }
    return folder;
}

class FolderPickerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(temp_.isValid()); }

    QString Path(const QString& relative) const
    {
        return QDir::cleanPath(temp_.filePath(relative));
    }
    QString MakeFolder(const QString& relative) const
    {
        QString path = Path(relative);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }

    QTemporaryDir temp_;
};

TEST_F(FolderPickerTest, DeepInitialFolderIsSelectedAndShownOnceLoaded)
{
    constexpr int kSiblings = 40;
    const QString deep = MakeDeepFolder(temp_.path(), 5, kSiblings);

    const PickerRun run = RunPicker(Native(deep), {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QModelIndex selected = SelectedIndex(dialog);
                // Listed in full and sorted: the folder is the last of its kSiblings.
                return dialog.ChosenPath() == Native(deep) &&
                       dialog.FolderTree()->model()->rowCount(selected.parent()) == kSiblings + 1 &&
                       selected.row() == kSiblings && IsInView(dialog, selected);
            },
            kWaitMs))
            << "selected: " << dialog.ChosenPath().toStdString()
            << " rows: " << dialog.FolderTree()->model()->rowCount(SelectedIndex(dialog).parent())
            << " in view: " << IsInView(dialog, SelectedIndex(dialog));
        for (QModelIndex up = SelectedIndex(dialog).parent(); up.isValid(); up = up.parent())
            EXPECT_TRUE(dialog.FolderTree()->isExpanded(up));
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, Native(deep));
}

TEST_F(FolderPickerTest, NoInitialFolderSelectsTheRootAndOkKeepsItsSeparator)
{
    const PickerRun run = RunPicker({}, {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForSelection(dialog, Native(QDir::rootPath())));
        EXPECT_EQ(dialog.FolderTree()->model()->rowCount(dialog.FolderTree()->rootIndex()), 1);
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, Native(QDir::rootPath()));
    EXPECT_TRUE(run.result.endsWith(QDir::separator()));
}

TEST_F(FolderPickerTest, FolderRootIsTheOnlyTopItemAndReturnsWithoutSeparator)
{
    const QString root = MakeFolder(u"root"_s);
    MakeFolder(u"root/inside"_s);
    MakeFolder(u"beside"_s);

    const PickerRun run = RunPicker({}, Native(root), [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForSelection(dialog, Native(root)));
        const QTreeView* tree = dialog.FolderTree();
        EXPECT_EQ(tree->model()->rowCount(tree->rootIndex()), 1);
        ASSERT_TRUE(WaitForRootListing(dialog));
        EXPECT_EQ(tree->model()->rowCount(RootItem(dialog)), 1);
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, Native(root));
    EXPECT_FALSE(run.result.endsWith(QDir::separator()));
}

TEST_F(FolderPickerTest, InitialFolderOutsideTheRootIsNotSelected)
{
    const QString root = MakeFolder(u"root"_s);
    MakeFolder(u"root/inside"_s);
    const QString beside = MakeFolder(u"beside"_s);

    const PickerRun run = RunPicker(Native(beside), Native(root), [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForRootListing(dialog));
        EXPECT_EQ(dialog.ChosenPath(), QString());
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, QString());
}

TEST_F(FolderPickerTest, NumberTextIsASpecialFolder)
{
    // Documents follows the home folder when no user-dirs file names another.
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        if (oldConfig.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", oldConfig);
    });
    qputenv("HOME", QFile::encodeName(temp_.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(MakeFolder(u"config"_s)));
    const QString documents = MakeFolder(u"Documents"_s);
    MakeFolder(u"5"_s);
    // A folder named "5" in the working folder must not be taken for it.
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(temp_.path()));
    const auto leave = qScopeGuard([&] { QDir::setCurrent(oldCurrent); });

    const PickerRun run = RunPicker(u" 5 "_s, {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForSelection(dialog, Native(documents)));
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, Native(documents));
}

TEST_F(FolderPickerTest, CancelReturnsEmptyText)
{
    const QString folder = MakeFolder(u"chosen"_s);
    const PickerRun run = RunPicker(Native(folder), {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForSelection(dialog, Native(folder)));
        Press(dialog, QDialogButtonBox::Cancel);
    });
    EXPECT_EQ(run.result, QString());
}

TEST_F(FolderPickerTest, MissingInitialFolderOpensWithoutSelection)
{
    const QString missing = Path(u"gone/deeper"_s);
    const PickerRun run = RunPicker(Native(missing), {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForRootListing(dialog));
        EXPECT_FALSE(SelectedIndex(dialog).isValid());
        // OK with nothing chosen is no choice.
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, QString());
}

TEST_F(FolderPickerTest, FolderRemovedBeforeOkGivesEmptyText)
{
    const QString folder = MakeFolder(u"vanishing"_s);
    const PickerRun run = RunPicker(Native(folder), {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(WaitForSelection(dialog, Native(folder)));
        ASSERT_TRUE(QDir(folder).removeRecursively());
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(run.result, QString());
}

TEST_F(FolderPickerTest, UserChoiceIsNotOverriddenWhileTheTreeLoads)
{
    const QString deep = MakeDeepFolder(temp_.path(), 4, 30);
    QString clicked;
    const PickerRun run = RunPicker(Native(deep), {}, [&](FolderPickerDialog& dialog) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ChosenPath() == Native(deep); }, kWaitMs));
        QTreeView* tree = dialog.FolderTree();
        const QPersistentModelIndex target = SelectedIndex(dialog);
        const QModelIndex root = RootItem(dialog);
        tree->scrollTo(root);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(root).center());
        // The tree's first item: the root folder.
        clicked = dialog.ChosenPath();
        ASSERT_NE(clicked, Native(deep));
        // Let the rest of the branch load; the user's choice stays.
        EXPECT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(target.parent()) == 31; },
                                    kWaitMs));
        QTest::qWait(50);
        EXPECT_EQ(dialog.ChosenPath(), clicked);
        Press(dialog, QDialogButtonBox::Ok);
    });
    EXPECT_EQ(clicked, Native(QDir::rootPath()));
    EXPECT_EQ(run.result, clicked);
}

TEST_F(FolderPickerTest, HiddenFoldersAreListedOnlyOnTheWayToTheInitialFolder)
{
    const QString inner = MakeFolder(u".hidden/inner"_s);
    MakeFolder(u".other"_s);
    MakeFolder(u"shown"_s);
    const PickerRun run =
        RunPicker(Native(inner), Native(temp_.path()), [&](FolderPickerDialog& dialog) {
            ASSERT_TRUE(WaitForSelection(dialog, Native(inner)));
            ASSERT_TRUE(WaitForRootListing(dialog));
            QStringList names;
            const QAbstractItemModel* model = dialog.FolderTree()->model();
            const QModelIndex root = RootItem(dialog);
            ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) == 2; }, kWaitMs));
            for (int row = 0; row < model->rowCount(root); ++row)
                names << model->index(row, 0, root).data().toString();
            names.sort();
            EXPECT_EQ(names, QStringList({u".hidden"_s, u"shown"_s}));
            Press(dialog, QDialogButtonBox::Ok);
        });
    EXPECT_EQ(run.result, Native(inner));
}
} // namespace
