#include "MessageSeam.h"

#include "Globals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <utility>

namespace quillor {
namespace {

MessageHandler &currentHandler()
{
    static MessageHandler handler;
    return handler;
}

QMessageBox::StandardButton toStandard(MessageButton b)
{
    switch (b) {
    case MessageButton::Yes: return QMessageBox::Yes;
    case MessageButton::No: return QMessageBox::No;
    case MessageButton::OK: return QMessageBox::Ok;
    case MessageButton::Cancel: return QMessageBox::Cancel;
    case MessageButton::Abort: return QMessageBox::Abort;
    case MessageButton::Retry: return QMessageBox::Retry;
    case MessageButton::Ignore: return QMessageBox::Ignore;
    case MessageButton::All: return QMessageBox::YesToAll; // closest standard role
    case MessageButton::NoToAll: return QMessageBox::NoToAll;
    case MessageButton::YesToAll: return QMessageBox::YesToAll;
    case MessageButton::Help: return QMessageBox::Help;
    case MessageButton::Close: return QMessageBox::Close;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconOf(MessageType t)
{
    switch (t) {
    case MessageType::Warning: return QMessageBox::Warning;
    case MessageType::Error: return QMessageBox::Critical;
    case MessageType::Information: return QMessageBox::Information;
    case MessageType::Confirmation: return QMessageBox::Question;
    case MessageType::Custom: return QMessageBox::NoIcon;
    }
    return QMessageBox::NoIcon;
}

// What a dismissed dialog (Esc, close box) answers: Cancel when offered,
// else No, else the only button, else OK.
MessageButton dismissAnswer(const QList<MessageButton> &buttons)
{
    if (buttons.contains(MessageButton::Cancel))
        return MessageButton::Cancel;
    if (buttons.contains(MessageButton::No))
        return MessageButton::No;
    if (buttons.size() == 1)
        return buttons.first();
    return MessageButton::OK;
}

} // namespace

MessageButton MessageSeam::showMessageBox(const MessageRequest &request)
{
    QList<MessageButton> buttons = request.buttons;
    if (buttons.isEmpty())
        buttons.append(MessageButton::OK);
    // Without a widget application (the command-line tool) there is nobody
    // to ask: report on stderr and take the answer of a dismissed dialog.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(request.caption), qPrintable(request.text));
        return dismissAnswer(buttons);
    }

    QMessageBox box(iconOf(request.type), request.caption, request.text, QMessageBox::NoButton, request.parent);
    QList<std::pair<QAbstractButton *, MessageButton>> made;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        QAbstractButton *button = box.addButton(toStandard(buttons[i]));
        if (!button)
            continue;
        if (i < request.buttonCaptions.size() && !request.buttonCaptions[i].isEmpty())
            button->setText(request.buttonCaptions[i]);
        made.append({button, buttons[i]});
    }
    if (request.type == MessageType::Confirmation && buttons.contains(MessageButton::Yes))
        box.setDefaultButton(static_cast<QPushButton *>(box.button(QMessageBox::Yes)));

    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    for (const auto &[widget, kind] : made)
        if (widget == clicked)
            return kind;
    return dismissAnswer(buttons);
}

MessageButton MessageSeam::show(const MessageRequest &request)
{
    const MessageHandler &handler = currentHandler();
    if (handler)
        return handler(request);
    return showMessageBox(request);
}

bool MessageSeam::ask(const QString &question, QWidget *parent)
{
    MessageRequest r;
    r.type = MessageType::Confirmation;
    r.caption = applicationTitle();
    r.text = question;
    r.buttons = {MessageButton::Yes, MessageButton::No};
    r.parent = parent;
    return show(r) == MessageButton::Yes;
}

void MessageSeam::notify(const QString &notice, QWidget *parent)
{
    MessageRequest r;
    r.type = MessageType::Information;
    r.caption = applicationTitle();
    r.text = notice;
    r.buttons = {MessageButton::OK};
    r.parent = parent;
    show(r);
}

MessageHandler MessageSeam::setHandler(MessageHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}

} // namespace quillor
