#pragma once

#include <QAbstractButton>
#include <QImage>

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
};
