#pragma once
// A label or picture that acts on a click, shown with the pointing hand.

#include <QLabel>

namespace quillor {

class SkinLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLinkLabel(QWidget *parent = nullptr)
        : QLabel(parent)
    {
        setCursor(Qt::PointingHandCursor);
    }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace quillor
