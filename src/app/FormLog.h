#pragma once
// The log window: collects whole lines that the program and the engine
// report. It lives as long as the process, stays on top, and is only hidden
// when closed; its text survives showing and hiding.

#include <QDialog>
#include <QStringList>

#include <functional>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace quillor {

class TFormLog : public QDialog {
    Q_OBJECT
public:
    explicit TFormLog(QWidget *parent = nullptr);

    void appendLine(const QString &line);
    QStringList lines() const;

    // Writes the lines to a file, each ended by CR LF. A name without an
    // extension gets ".log". Returns false and sets error when the file
    // cannot be written; the log is unchanged either way.
    bool saveToFile(const QString &fileName, QString *error = nullptr) const;

    // The name a chosen save name is written under: ".log" added when the
    // file name has no extension.
    static QString withLogExtension(const QString &fileName);

    // Seams: where the window's position is restored from and saved to
    // (section "FormLog"), and how the save name is asked for.
    std::function<void(QWidget *)> restorePosition;
    std::function<void(QWidget *)> savePosition;
    std::function<QString(QWidget *)> chooseSaveFile;

    // The handlers of the three buttons.
    void deleteLog();
    void saveLog();

    // Centres the three buttons in the bottom panel.
    void layoutButtons();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPlainTextEdit *memo_;
    QWidget *panel_;
    QPushButton *ok_;
    QPushButton *delete_;
    QPushButton *save_;
};

} // namespace quillor
