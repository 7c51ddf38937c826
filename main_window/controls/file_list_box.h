#pragma once

#include <QStringList>
#include <QWidget>

// A hidden list of the ordinary files of one folder whose names match a pattern of
// wildcards separated by ";", matched without regard to letter case. Hidden files and
// folders are left out; names sort naturally ("img2" before "img10").
class FileListBox : public QWidget
{
    Q_OBJECT

public:
    enum class PathError { None, Missing, NotAFolder, Unreadable };

    explicit FileListBox(QWidget* parent = nullptr);

    void SetPattern(const QString& pattern);
    // Points the list at `folder` and reads it; raises PathChange before it returns. On
    // failure the list keeps its old folder and entries.
    PathError SetPath(const QString& folder);
    // The folder in native form; a root keeps its trailing separator. Empty at first.
    const QString& Path() const { return path_; }
    // Reads the folder again.
    void Refresh();
    int ListCount() const { return static_cast<int>(entries_.size()); }
    const QString& List(int index) const { return entries_.at(index); }

Q_SIGNALS:
    void PathChange();

private:
    QString pattern_;
    QString path_;
    QStringList entries_;
};

// Natural order of names: without regard to letter case, with runs of digits compared as
// numbers ("img2" before "img10").
bool NaturalLess(const QString& a, const QString& b);

// The file names of `folder` that match `pattern`, in natural order.
QStringList ListMatchingFiles(const QString& folder, const QString& pattern);
