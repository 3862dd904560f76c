#include "FormShutdown.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "Globals.h"
#include "UtilFuncs.h"

namespace quillor {

TFormShutdown::TFormShutdown(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormShutdown"));
    setWindowTitle(QStringLiteral("Shutdown"));
    setFixedSize(234, 149);

    auto *warning = new QLabel(QStringLiteral("Warning!"), this);
    warning->setObjectName(QStringLiteral("LabelWarning"));
    QFont bold = warning->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    warning->setFont(bold);
    warning->setGeometry(12, 8, 210, 22);

    description_ = new QLabel(this);
    description_->setObjectName(QStringLiteral("LabelShutdownDescription"));
    description_->setGeometry(12, 32, 210, 50);
    description_->setText(QStringLiteral("If you don't press cancel now, \n%s\nwill shut down the computer."));

    timeOut_ = new QLabel(this);
    timeOut_->setObjectName(QStringLiteral("LabelTimeOut"));
    timeOut_->setGeometry(12, 86, 210, 18);

    auto *cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("ButtonCancel"));
    cancel->setDefault(true); // Enter presses it; Esc rejects the dialog too
    cancel->setGeometry(80, 112, 75, 25);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("TimerShutdown"));
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &TFormShutdown::tick);

    secondsLeft_ = 30;
    timeOut_->setText(timeOutText());
    timer_->start();
}

QString TFormShutdown::timeOutText() const
{
    return QStringLiteral("Time left: %1").arg(secondsLeft_);
}

QString TFormShutdown::descriptionText() const
{
    return description_->text();
}

void TFormShutdown::setTickInterval(int milliseconds)
{
    timer_->setInterval(milliseconds);
}

void TFormShutdown::tick()
{
    --secondsLeft_;
    if (secondsLeft_ < 0) {
        timer_->stop();
        accept();
        return;
    }
    timeOut_->setText(timeOutText());
}

void TFormShutdown::showEvent(QShowEvent *event)
{
    QString text = description_->text();
    text.replace(QLatin1String("%s"), applicationTitle());
    description_->setText(text);
    QDialog::showEvent(event);
}

bool TFormShutdown::runCountdown(QWidget *owner)
{
    TFormShutdown dialog(owner);
    if (owner)
        dialog.move(owner->geometry().center() - dialog.rect().center());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    ShutdownComputer(static_cast<int>(ShutdownKind::PowerOffShutdown));
    return true;
}

} // namespace quillor
