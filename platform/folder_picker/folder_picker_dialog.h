#pragma once

#include "folder_picker/folder_item.h"

#include <QDialog>
#include <QPersistentModelIndex>
#include <QTimer>

#include <memory>

class QDialogButtonBox;
class QFileIconProvider;
class QFileSystemModel;
class QLabel;
class QTreeView;

namespace folder_picker {

class FolderPickerDialog;
class FolderBranchFilter;

// Receives the dialog's events: the dialog, the message, the message's own value and the
// data the dialog was given. Returns 0.
using FolderPickerCallback = int (*)(FolderPickerDialog& dialog, int message, qintptr messageData,
                                     const FolderItem& callbackData);

// The message the dialog sends its callback once it is shown and ready.
inline constexpr int kBrowseInitialized = 1;

// The dialog's event callback: on kBrowseInitialized it selects `callbackData`, the
// initial folder, in `dialog`. Other messages are ignored. Always returns 0.
int BrowseCallback(FolderPickerDialog& dialog, int message, qintptr messageData,
                   const FolderItem& callbackData);

// A modal folder tree with OK and Cancel. The tree shows folders only, starting at a
// root folder; once shown, the dialog sends kBrowseInitialized to its callback.
class FolderPickerDialog : public QDialog
{
    Q_OBJECT

public:
    FolderPickerDialog(QWidget* owner, const QString& title, const FolderItem& root,
                       FolderPickerCallback callback, FolderItem callbackData);
    ~FolderPickerDialog() override;

    // Makes `item` the current folder: its branch is expanded and it is scrolled into view,
    // again as the tree loads, until the user takes over. A null item, or one outside the
    // tree, leaves the selection alone. Returns whether the item is in the tree.
    bool SetSelection(const FolderItem& item);

    // The selected folder's native path; empty when nothing is selected or the selected
    // item is no longer a folder of the file system.
    QString ChosenPath() const;

    // Whether the callback has had the kBrowseInitialized message.
    bool IsReady() const { return ready_; }

    QTreeView* FolderTree() const { return tree_; }
    QDialogButtonBox* Buttons() const { return buttons_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SendInitialized();
    QModelIndex TreeIndexOf(const QString& path) const;
    void ScheduleReveal();
    void RevealTarget();
    void StopFollowing();

    // The model and its filter are owned here, not as children, so that they go before
    // the tree view is torn down; the icon provider, used by the model's loader thread,
    // goes after the model.
    std::unique_ptr<QFileIconProvider> icons_;
    std::unique_ptr<QFileSystemModel> model_;
    std::unique_ptr<FolderBranchFilter> branch_;
    QLabel* title_ = nullptr;
    QTreeView* tree_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;

    FolderPickerCallback callback_ = nullptr;
    FolderItem callbackData_;
    bool initializeSent_ = false;
    bool ready_ = false;

    // The folder to keep selected and in view while the tree loads.
    QPersistentModelIndex target_;
    QTimer revealTimer_;
};

} // namespace folder_picker
