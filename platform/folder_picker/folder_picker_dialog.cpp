#include "folder_picker/folder_picker_dialog.h"

#include "folder_picker/folder_picker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace folder_picker {

namespace {

// Whether `path` is `folder` or lies below it; both clean, with '/' separators.
bool IsSameOrBelow(const QString& path, const QString& folder)
{
    if (path.compare(folder, kFileNameCase) == 0)
        return true;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix, kFileNameCase);
}

} // namespace

// Narrows the file-system model to one branch: the root folder with everything below it,
// and its ancestors so that the branch stays reachable. Hidden folders are left out,
// except on the way to the root or to a folder the dialog was asked to show. Only the
// name column is kept.
class FolderBranchFilter : public QSortFilterProxyModel
{
public:
    explicit FolderBranchFilter(QString rootPath)
        : rootPath_(std::move(rootPath))
    {}

    void ShowPath(const QString& path)
    {
        if (path == shownPath_)
            return;
        shownPath_ = path;
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override
    {
        const auto* model = static_cast<const QFileSystemModel*>(sourceModel());
        const QModelIndex index = model->index(sourceRow, 0, sourceParent);
        const QString path = model->filePath(index);
        const bool towardsRoot = !rootPath_.isEmpty() && IsSameOrBelow(rootPath_, path);
        if (!rootPath_.isEmpty() && !towardsRoot && !IsSameOrBelow(path, rootPath_))
            return false;
        if (towardsRoot || (!shownPath_.isEmpty() && IsSameOrBelow(shownPath_, path)))
            return true;
        return !model->fileInfo(index).isHidden();
    }

    bool filterAcceptsColumn(int sourceColumn, const QModelIndex& /*sourceParent*/) const override
    {
        return sourceColumn == 0;
    }

private:
    QString rootPath_;
    QString shownPath_;
};

FolderPickerDialog::FolderPickerDialog(QWidget* owner, const QString& title, const FolderItem& root,
                                       FolderPickerCallback callback, FolderItem callbackData)
    : QDialog(owner)
    , icons_(std::make_unique<QFileIconProvider>())
    , model_(std::make_unique<QFileSystemModel>())
    , branch_(std::make_unique<FolderBranchFilter>(root.Path()))
    , callback_(callback)
    , callbackData_(std::move(callbackData))
{
    setWindowTitle(title);
    setWindowModality(owner != nullptr ? Qt::WindowModal : Qt::ApplicationModal);

    model_->setFilter(QDir::Dirs | QDir::AllDirs | QDir::Drives | QDir::Hidden |
                      QDir::NoDotAndDotDot);
    model_->setReadOnly(true);
    model_->setIconProvider(icons_.get());
    model_->setRootPath(root.Path());
    branch_->setSourceModel(model_.get());

    title_ = new QLabel(title, this);
    title_->setWordWrap(true);

    tree_ = new QTreeView(this);
    tree_->setObjectName(QStringLiteral("folderTree"));
    tree_->setHeaderHidden(true);
    tree_->setUniformRowHeights(true);
    tree_->setAnimated(false);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setModel(branch_.get());
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);

    // The root is the one item at the top of the tree: the view starts at its parent.
    const QModelIndex rootIndex = TreeIndexOf(root.Path());
    tree_->setRootIndex(rootIndex.parent());
    if (rootIndex.isValid())
        tree_->expand(rootIndex);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(tree_, 1);
    layout->addWidget(buttons_);
    resize(360, 420);

    // Rows keep arriving from the model's loader thread; coalesce them into one reveal.
    revealTimer_.setSingleShot(true);
    revealTimer_.setInterval(0);
    connect(&revealTimer_, &QTimer::timeout, this, &FolderPickerDialog::RevealTarget);
    connect(model_.get(), &QFileSystemModel::directoryLoaded, this,
            &FolderPickerDialog::ScheduleReveal);
    connect(branch_.get(), &QAbstractItemModel::rowsInserted, this,
            &FolderPickerDialog::ScheduleReveal);
    connect(branch_.get(), &QAbstractItemModel::layoutChanged, this,
            &FolderPickerDialog::ScheduleReveal);

    for (QObject* part : {static_cast<QObject*>(tree_), static_cast<QObject*>(tree_->viewport()),
                          static_cast<QObject*>(tree_->verticalScrollBar()),
                          static_cast<QObject*>(tree_->horizontalScrollBar())})
        part->installEventFilter(this);
}

FolderPickerDialog::~FolderPickerDialog()
{
    revealTimer_.stop();
    tree_->setModel(nullptr);
}

bool FolderPickerDialog::SetSelection(const FolderItem& item)
{
    StopFollowing();
    if (item.IsNull())
        return false;
    branch_->ShowPath(item.Path());
    const QModelIndex index = TreeIndexOf(item.Path());
    if (!index.isValid())
        return false;
    target_ = index;
    RevealTarget();
    return true;
}

QString FolderPickerDialog::ChosenPath() const
{
    const QModelIndexList selected = tree_->selectionModel()->selectedRows();
    if (selected.size() != 1)
        return {};
    const QString path = model_->filePath(branch_->mapToSource(selected.front()));
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return {};
    return QDir::toNativeSeparators(path);
}

void FolderPickerDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (initializeSent_)
        return;
    initializeSent_ = true;
    // Once the dialog has been laid out and shown.
    QMetaObject::invokeMethod(this, &FolderPickerDialog::SendInitialized, Qt::QueuedConnection);
}

bool FolderPickerDialog::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::Wheel:
        // The user takes over: the tree no longer follows the requested folder.
        StopFollowing();
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void FolderPickerDialog::SendInitialized()
{
    if (callback_ != nullptr)
        callback_(*this, kBrowseInitialized, 0, callbackData_);
    ready_ = true;
}

QModelIndex FolderPickerDialog::TreeIndexOf(const QString& path) const
{
    if (path.isEmpty())
        return {};
    // Looking a folder up adds its branch to the model at once; the rest loads later.
    return branch_->mapFromSource(model_->index(path));
}

void FolderPickerDialog::ScheduleReveal()
{
    if (target_.isValid())
        revealTimer_.start();
}

void FolderPickerDialog::RevealTarget()
{
    if (!target_.isValid())
        return;
    const QModelIndex target = target_;
    for (QModelIndex ancestor = target.parent(); ancestor.isValid(); ancestor = ancestor.parent())
        tree_->expand(ancestor);
    tree_->setCurrentIndex(target);
    tree_->scrollTo(target);
}

void FolderPickerDialog::StopFollowing()
{
    target_ = QPersistentModelIndex();
    revealTimer_.stop();
}

int BrowseCallback(FolderPickerDialog& dialog, int message, qintptr /*messageData*/,
                   const FolderItem& callbackData)
{
    if (message == kBrowseInitialized)
        dialog.SetSelection(callbackData);
    return 0;
}

} // namespace folder_picker
