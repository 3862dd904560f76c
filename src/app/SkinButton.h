#pragma once
// A button drawn from pictures: normal, mouse over, pressed and disabled.
// A caption, when set, is drawn centred over the picture. In transparent
// mode no picture is drawn, only the caption, so the skin shows through.

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace quillor {

class SkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit SkinButton(QWidget *parent = nullptr);

    // The button takes the size of the normal picture. A missing disabled
    // picture falls back to the normal one.
    void setPictures(const QPixmap &normal, const QPixmap &hover, const QPixmap &down,
                     const QPixmap &disabled = {});
    void setTransparent(bool on);
    bool isTransparent() const { return transparent_; }
    void setCaptionColour(const QColor &colour);

    // Which picture is drawn now: 0 normal, 1 hover, 2 down, 3 disabled.
    int pictureState() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    QPixmap pictures_[4];
    bool hovered_ = false;
    bool transparent_ = false;
    QColor captionColour_ = Qt::black;
};

} // namespace quillor
