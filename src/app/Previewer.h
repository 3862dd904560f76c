#pragma once
// The preview window of the running task: a small tool window, always on
// top, that shows the frames the engine is about to encode, with the frame's
// time stamp as its caption. Closing it ends the preview of that task.

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace quillor {

struct TTaskPicture;

// "hh:mm:ss.zzz" of a time stamp in microseconds, "N/A" when unknown.
QString PreviewCaption(std::int64_t pts);

class TPreviewer : public QWidget {
    Q_OBJECT
public:
    explicit TPreviewer(int taskIndex, QWidget *parent = nullptr);

    int taskIndex() const { return taskIndex_; }
    int framesShown() const { return framesShown_; }
    bool closedByUser() const { return closedByUser_; }

    // Copies the picture (it belongs to the engine) and shows it; the
    // window appears with the first frame, sized to it.
    void ShowFrame(const TTaskPicture &picture, int frameNumber, std::int64_t pts);
    // Closes the window without counting it as the user's close.
    void CloseByProgram()
    {
        closingByProgram_ = true;
        close();
    }

signals:
    // The user closed the window.
    void closed(int taskIndex);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int taskIndex_;
    QImage frame_;
    int framesShown_ = 0;
    bool closedByUser_ = false;
    bool closingByProgram_ = false;

};

} // namespace quillor
