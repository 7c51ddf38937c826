#pragma once

#include <QAbstractButton>
#include <QImage>

#include <memory>
#include <vector>

class QTimer;

// A graphical option button: a push button showing a picture centred above its caption,
// which stays pressed while it is the selected member of its group. The caption is drawn
// as it is: an ampersand in a file name is shown, never turned into an access key.
class ThumbButton : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ThumbButton(QWidget* parent = nullptr);

    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption);
    const QString& Tag() const { return tag_; }
    void SetTag(const QString& tag);
    const QImage& GetPicture() const { return picture_; }
    void SetPicture(const QImage& picture);
    // Whether the cell belongs in the gallery: its visible property. Whether it is also on
    // screen is the gallery's business, which shows only the cells near its view.
    bool InGallery() const { return inGallery_; }
    void SetInGallery(bool on) { inGallery_ = on; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void DoubleClicked();

protected:
    void nextCheckState() override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QString caption_;
    QString tag_;
    QImage picture_;
    bool inGallery_ = true;
};

// The indexed family of cells. Element 0 always exists; elements 1 and up are created as
// copies of it and destroyed again. All elements form one exclusive group.
class ThumbButtonArray
{
public:
    explicit ThumbButtonArray(ThumbButton* first);
    ~ThumbButtonArray();
    ThumbButtonArray(const ThumbButtonArray&) = delete;
    ThumbButtonArray& operator=(const ThumbButtonArray&) = delete;

    int Count() const { return static_cast<int>(cells_.size()); }
    ThumbButton* operator()(int index) const { return cells_.at(static_cast<size_t>(index)); }
    // Creates element `index` (the next free one) as a hidden copy of element 0, whose
    // size, font and position it takes.
    ThumbButton* Load(int index);
    // Destroys element `index` (the last one). Element 0 cannot be destroyed.
    void Unload(int index);

private:
    void Adopt(ThumbButton* cell);
    void DeleteSomeRetired();

    std::vector<ThumbButton*> cells_;
    ThumbButton* selected_ = nullptr;
    // Unloaded cells wait here, hidden, and are deleted a batch at a time from the event
    // loop: deleting ten thousand at once would hold the window up, and a cell may be
    // unloaded from inside its own event handler.
    std::vector<ThumbButton*> retired_;
    std::unique_ptr<QTimer> reaper_;
};
