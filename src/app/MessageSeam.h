#pragma once
// Every question, notice and message dialog of the program goes through this
// one seam, so that tests (and the command-line tool) answer them without a
// person. The default handler shows a modal QMessageBox; a test installs its
// own handler with ScopedMessageHandler and records or answers the requests.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace quillor {

// The look of a message dialog; also picks its icon and its beep.
enum class MessageType { Warning, Error, Information, Confirmation, Custom };

// The buttons a message dialog can offer, in the order they are shown;
// the answer is one of them (Cancel or No when the dialog is dismissed).
enum class MessageButton { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help, Close };

struct MessageRequest {
    MessageType type = MessageType::Information;
    QString caption;                 // window caption; the application title for questions and notices
    QString text;                    // the message itself
    QList<MessageButton> buttons;    // in the order they are shown
    QStringList buttonCaptions;      // i-th non-empty entry relabels the i-th button
    QWidget *parent = nullptr;       // owner window of the modal dialog, may be null
};

using MessageHandler = std::function<MessageButton(const MessageRequest &)>;

class MessageSeam {
public:
    // A question: Yes and No, question icon, application title as caption.
    // True only when the answer is Yes.
    static bool ask(const QString &question, QWidget *parent = nullptr);

    // A notice: OK, information icon, application title as caption.
    static void notify(const QString &notice, QWidget *parent = nullptr);

    // Any message dialog; returns the chosen button.
    static MessageButton show(const MessageRequest &request);

    // Replaces the handler and returns the previous one. An empty handler
    // restores the default (a modal QMessageBox).
    static MessageHandler setHandler(MessageHandler handler);

    // The default handler, for a replacement that wants to fall back to it.
    static MessageButton showMessageBox(const MessageRequest &request);
};

// Installs a handler for the lifetime of the object, then restores the old one.
class ScopedMessageHandler {
public:
    explicit ScopedMessageHandler(MessageHandler handler)
        : previous_(MessageSeam::setHandler(std::move(handler))) {}
    ~ScopedMessageHandler() { MessageSeam::setHandler(std::move(previous_)); }
    ScopedMessageHandler(const ScopedMessageHandler &) = delete;
    ScopedMessageHandler &operator=(const ScopedMessageHandler &) = delete;

private:
    MessageHandler previous_;
};

} // namespace quillor
