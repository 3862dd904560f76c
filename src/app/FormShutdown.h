#pragma once
// The shutdown countdown shown after a conversion run when the user asked
// for a shutdown: 30 seconds to cancel, then it closes with OK.

#include <QDialog>

class QLabel;
class QTimer;

namespace quillor {

class TFormShutdown : public QDialog {
    Q_OBJECT
public:
    explicit TFormShutdown(QWidget *parent = nullptr);

    int secondsLeft() const { return secondsLeft_; }
    QString timeOutText() const;
    QString descriptionText() const;

    // For tests: the tick interval (1000 ms in use).
    void setTickInterval(int milliseconds);

    // One tick of the countdown.
    void tick();

    // Shows the countdown centred over the owner; when it ends with OK the
    // machine is powered off through ShutdownComputer. Returns whether it
    // ended with OK.
    static bool runCountdown(QWidget *owner);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *description_;
    QLabel *timeOut_;
    QTimer *timer_;
    int secondsLeft_ = 30;
};

} // namespace quillor
