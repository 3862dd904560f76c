#include "Previewer.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "FFmpeg.h"

namespace quillor {

QString PreviewCaption(std::int64_t pts)
{
    if (pts == INT64_MIN || pts < 0)
        return QStringLiteral("N/A");
    const long long ms = pts / 1000;
    return QString::asprintf("%.2lld:%.2lld:%.2lld.%.3lld", ms / 3600000, (ms / 60000) % 60, (ms / 1000) % 60,
                             ms % 1000);
}

namespace {
QImage imageOf(const TTaskPicture &picture)
{
    QImage::Format format = QImage::Format_Invalid;
    switch (picture.BitsPixel) {
    case 24: format = QImage::Format_BGR888; break;
    case 32: format = QImage::Format_RGB32; break;
    case 16: format = QImage::Format_RGB16; break;
    case 15: format = QImage::Format_RGB555; break;
    case 8: format = QImage::Format_Grayscale8; break;
    default: return {};
    }
    if (!picture.Data || picture.Width <= 0 || picture.Height <= 0)
        return {};
    return QImage(picture.Data, picture.Width, picture.Height, picture.Stride, format).copy();
}
} // namespace

TPreviewer::TPreviewer(int taskIndex, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
    , taskIndex_(taskIndex)
{
    setObjectName(QStringLiteral("Preview"));
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void TPreviewer::ShowFrame(const TTaskPicture &picture, int, std::int64_t pts)
{
    if (closedByUser_)
        return;
    QImage image = imageOf(picture);
    if (image.isNull())
        return;
    const bool first = frame_.isNull();
    frame_ = std::move(image);
    if (first) {
        resize(frame_.size());
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->geometry().center() - rect().center());
        show();
    }
    setWindowTitle(PreviewCaption(pts));
    ++framesShown_;
    update();
}

void TPreviewer::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, frame_);
}

void TPreviewer::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (closingByProgram_)
        return;
    closedByUser_ = true;
    emit closed(taskIndex_);
}

void TPreviewer::mousePressEvent(QMouseEvent *event)
{
    // The picture is a handle: dragging it moves the window.
    if (event->button() == Qt::LeftButton && windowHandle() && windowHandle()->startSystemMove())
        return;
    QWidget::mousePressEvent(event);
}

} // namespace quillor
