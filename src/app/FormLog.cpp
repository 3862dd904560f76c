#include "FormLog.h"

#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

#include "MessageSeam.h"
#include "UtilFuncs.h"

namespace quillor {

namespace {
QString askSaveFileName(QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("log"));
    dialog.setNameFilters({QStringLiteral("Log-Files (*.log)"), QStringLiteral("Text-Files (*.txt)"),
                           QStringLiteral("All Files (*)")});
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

TFormLog::TFormLog(QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormLog"));
    setWindowTitle(QStringLiteral("Log"));
    setModal(false);
    resize(455, 182);
    setMinimumSize(265, 125);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName(QStringLiteral("MemoLog"));
    memo_->setReadOnly(true);
    memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    panel_ = new QWidget(this);
    panel_->setObjectName(QStringLiteral("PanelBottom"));
    panel_->setFixedHeight(40);
    ok_ = new QPushButton(QStringLiteral("&OK"), panel_);
    ok_->setObjectName(QStringLiteral("ButtonOK"));
    ok_->setDefault(true);
    delete_ = new QPushButton(QStringLiteral("&Delete Log"), panel_);
    delete_->setObjectName(QStringLiteral("ButtonDelete"));
    delete_->setAutoDefault(false);
    save_ = new QPushButton(QStringLiteral("&Save Log..."), panel_);
    save_->setObjectName(QStringLiteral("ButtonSave"));
    save_->setAutoDefault(false);
    int x = 8;
    for (QPushButton *b : {ok_, delete_, save_}) {
        b->resize(b->sizeHint().expandedTo(QSize(75, 25)));
        b->move(x, 8);
        x += b->width() + 8;
    }
    panel_->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(memo_, 1);
    layout->addWidget(panel_);

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(delete_, &QPushButton::clicked, this, &TFormLog::deleteLog);
    connect(save_, &QPushButton::clicked, this, &TFormLog::saveLog);
    chooseSaveFile = askSaveFileName;
}

void TFormLog::appendLine(const QString &line)
{
    memo_->appendPlainText(line);
}

QStringList TFormLog::lines() const
{
    const QString text = memo_->toPlainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

QString TFormLog::withLogExtension(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QStringLiteral(".log");
}

bool TFormLog::saveToFile(const QString &fileName, QString *error) const
{
    const QString path = withLogExtension(fileName);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    QByteArray data;
    for (const QString &line : lines()) {
        data += line.toUtf8();
        data += "\r\n";
    }
    if (file.write(data) != data.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void TFormLog::deleteLog()
{
    if (ShowMessageDialog(QStringLiteral("Really delete log file?"), QStringLiteral("Delete log?"),
                          MessageType::Confirmation,
                          {MessageButton::Yes, MessageButton::No, MessageButton::Cancel})
        != MessageButton::Yes)
        return;
    memo_->clear();
    // Once deleted, there is nothing worth saving for the rest of the run.
    save_->setEnabled(false);
}

void TFormLog::saveLog()
{
    if (!chooseSaveFile)
        return;
    const QString name = chooseSaveFile(this);
    if (name.isEmpty())
        return;
    QString error;
    if (!saveToFile(name, &error)) {
        MessageRequest request;
        request.type = MessageType::Error;
        request.caption = windowTitle();
        request.text = error;
        request.buttons = {MessageButton::OK};
        request.parent = this;
        MessageSeam::show(request);
    }
}

void TFormLog::layoutButtons()
{
    const int g = save_->geometry().right() + 1 - ok_->x();
    ok_->move(panel_->width() / 2 - g / 2, ok_->y());
    delete_->move(ok_->x() + ok_->width() + 8, delete_->y());
    save_->move(delete_->x() + delete_->width() + 8, save_->y());
}

void TFormLog::showEvent(QShowEvent *event)
{
    if (restorePosition)
        restorePosition(this);
    QDialog::showEvent(event);
    layoutButtons();
}

void TFormLog::done(int result)
{
    if (savePosition)
        savePosition(this);
    QDialog::done(result);
}

bool TFormLog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panel_ && event->type() == QEvent::Resize)
        layoutButtons();
    return QDialog::eventFilter(watched, event);
}

} // namespace quillor
