#pragma once
// The About dialog: product, version, rights line, web site and support
// addresses, and a page that points at updates.

#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

namespace quillor {

struct ProgramConfig;
class SkinLinkLabel;

class TFormAbout : public QDialog {
    Q_OBJECT
public:
    // `leftPicture` is "leftlogo.png" of the resource folder; with `Skin` 3
    // it is not shown and may be null.
    TFormAbout(const ProgramConfig &config, const QPixmap &leftPicture, QWidget *parent = nullptr);

    // Centred over the owner, modal, freed afterwards.
    static void showAbout(const ProgramConfig &config, const QPixmap &leftPicture, QWidget *owner);

    // The rights line for a year and a rights holder.
    static QString rightsLine(int year, const QString &copyright);

private:
    QString webLink_;
    QString supportLink_;
    QString updatesLink_;
};

} // namespace quillor
