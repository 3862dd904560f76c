#include "SkinLinkLabel.h"

#include <QMouseEvent>

namespace quillor {

void SkinLinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace quillor
