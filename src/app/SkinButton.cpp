#include "SkinButton.h"

#include <QPainter>

namespace quillor {

SkinButton::SkinButton(QWidget *parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus); // the chrome never takes the focus from the page
}

void SkinButton::setPictures(const QPixmap &normal, const QPixmap &hover, const QPixmap &down,
                             const QPixmap &disabled)
{
    pictures_[0] = normal;
    pictures_[1] = hover.isNull() ? normal : hover;
    pictures_[2] = down.isNull() ? normal : down;
    pictures_[3] = disabled.isNull() ? normal : disabled;
    if (!normal.isNull())
        setFixedSize(normal.deviceIndependentSize().toSize());
    update();
}

void SkinButton::setTransparent(bool on)
{
    transparent_ = on;
    update();
}

void SkinButton::setCaptionColour(const QColor &colour)
{
    captionColour_ = colour;
    update();
}

int SkinButton::pictureState() const
{
    if (!isEnabled())
        return 3;
    if (isDown())
        return 2;
    if (hovered_)
        return 1;
    return 0;
}

QSize SkinButton::sizeHint() const
{
    if (!pictures_[0].isNull())
        return pictures_[0].deviceIndependentSize().toSize();
    return {75, 25};
}

void SkinButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int state = pictureState();
    if (!transparent_ && !pictures_[state].isNull())
        p.drawPixmap(rect(), pictures_[state]);
    if (text().isEmpty())
        return;
    QColor colour = captionColour_;
    if (!isEnabled())
        colour = transparent_ ? QColor(200, 200, 200) : QColor(128, 128, 128);
    p.setPen(colour);
    p.setFont(font());
    QRect r = rect();
    if (state == 2)
        r.translate(1, 1); // pressed captions sink with the picture
    p.drawText(r, Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

void SkinButton::enterEvent(QEnterEvent *event)
{
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SkinButton::leaveEvent(QEvent *event)
{
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace quillor
