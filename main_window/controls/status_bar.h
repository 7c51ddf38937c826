#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

class QSizeGrip;

// A status bar of panels laid out from the left, with a size grip in the space left free
// at the right end. Panels are addressed by position, counting from 1.
class StatusBar : public QWidget
{
    Q_OBJECT

public:
    explicit StatusBar(QWidget* parent = nullptr);

    // Adds a panel of `width` pixels; the last panel added stretches to take all the
    // width but `rightMargin` pixels, never less than its `minimumWidth`.
    void AddPanel(int width, int minimumWidth, const QIcon& picture = QIcon());
    void SetRightMargin(int margin);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    // The panel's rectangle relative to the status bar.
    QRect PanelRect(int position) const;
    void SetPanelText(int position, const QString& text);
    QString PanelText(int position) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Panel
    {
        int width;
        int minimumWidth;
        QIcon picture;
        QString text;
    };

    const Panel& PanelAt(int position) const;
    int PanelAtPoint(QPoint point) const;
    void PlaceSizeGrip();

    std::vector<Panel> panels_;
    int rightMargin_ = 20;
    QSizeGrip* sizeGrip_;
};
