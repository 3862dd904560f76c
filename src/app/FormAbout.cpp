#include "FormAbout.h"

#include <QDate>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "Globals.h"
#include "ProgramConfig.h"
#include "SkinLinkLabel.h"
#include "UtilFuncs.h"

namespace quillor {

QString TFormAbout::rightsLine(int year, const QString &copyright)
{
    return QStringLiteral("Copyright \u00A9 %1 %2").arg(year).arg(copyright).trimmed();
}

TFormAbout::TFormAbout(const ProgramConfig &config, const QPixmap &leftPicture, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , webLink_(config.HelpHomePageLink)
    , supportLink_(config.HelpSupportLink)
    , updatesLink_(config.HelpCheckForUpdatesLink)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("About "));

    const int margin = 10;
    const bool showPicture = config.Skin != 3;

    auto *picturePanel = new QFrame(this);
    picturePanel->setObjectName(QStringLiteral("PanelLeft"));
    picturePanel->setFrameShape(QFrame::Panel);
    picturePanel->setFrameShadow(QFrame::Raised);
    picturePanel->setAutoFillBackground(true);
    QPalette white = picturePanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    picturePanel->setPalette(white);
    auto *image = new SkinLinkLabel(picturePanel);
    image->setObjectName(QStringLiteral("ImageLeft"));
    QSize pictureSize(120, 230);
    if (showPicture && !leftPicture.isNull()) {
        image->setPixmap(leftPicture);
        pictureSize = leftPicture.deviceIndependentSize().toSize();
    }
    image->setGeometry(2, 2, pictureSize.width(), pictureSize.height());
    picturePanel->setGeometry(margin, margin, pictureSize.width() + 4, pictureSize.height() + 4);
    connect(image, &SkinLinkLabel::clicked, this, [this] { OpenWithShell(updatesLink_); });

    auto *pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl"));
    const QSize pagesSize(330, 230);

    // "About" page.
    auto *about = new QWidget;
    const QString version = config.Version;
    auto *title = new QLabel(QStringLiteral("%1 %2").arg(applicationTitle(), version), about);
    title->setObjectName(QStringLiteral("LabalTitle"));
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    title->setGeometry(12, 12, 300, 24);
    auto *rights = new QLabel(rightsLine(QDate::currentDate().year(), config.Copyright), about);
    rights->setObjectName(QStringLiteral("LabelCopyright"));
    rights->setGeometry(12, 44, 300, 18);
    auto *webCaption = new QLabel(QStringLiteral("Web site:"), about);
    webCaption->setGeometry(12, 80, 70, 18);
    auto *web = new SkinLinkLabel(about);
    web->setObjectName(QStringLiteral("LabelWeb"));
    web->setText(config.HelpHomePageLink);
    web->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    web->setGeometry(84, 80, 230, 18);
    connect(web, &SkinLinkLabel::clicked, this, [web] { OpenWithShell(web->text()); });
    auto *supportCaption = new QLabel(QStringLiteral("Support:"), about);
    supportCaption->setGeometry(12, 104, 70, 18);
    auto *support = new SkinLinkLabel(about);
    support->setObjectName(QStringLiteral("LabelSupportEmail"));
    support->setText(config.HelpSupportLink);
    support->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    support->setGeometry(84, 104, 230, 18);
    connect(support, &SkinLinkLabel::clicked, this, [this] { OpenWithShell(supportLink_); });
    pages->addTab(about, QStringLiteral("About"));

    // "Update" page.
    auto *update = new QWidget;
    auto *check = new QLabel(QStringLiteral("Check for update"), update);
    check->setFont(bold);
    check->setGeometry(12, 12, 300, 20);
    auto *hint = new QLabel(QStringLiteral("To ensure you're using the latest version, click on the \n"
                                           "Updates button below."),
                            update);
    hint->setGeometry(12, 38, 300, 36);
    auto *updates = new QPushButton(QStringLiteral("&Updates..."), update);
    updates->setObjectName(QStringLiteral("ButtonUpdates"));
    updates->setAutoDefault(false);
    updates->setGeometry(12, 80, 90, 25);
    connect(updates, &QPushButton::clicked, this, [this] { OpenWithShell(updatesLink_); });
    auto *info = new QGroupBox(QStringLiteral("Product information"), update);
    info->setGeometry(12, 116, 300, 60);
    auto *versionLabel = new QLabel(QStringLiteral("%s"), info);
    versionLabel->setObjectName(QStringLiteral("LabelVersion"));
    versionLabel->setText(versionLabel->text().replace(QLatin1String("%s"), version));
    versionLabel->setGeometry(12, 26, 270, 18);
    pages->addTab(update, QStringLiteral("Update"));

    auto *ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("ButtonOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    if (showPicture) {
        pages->setGeometry(picturePanel->geometry().right() + 1 + margin, margin, pagesSize.width(),
                           pagesSize.height());
    } else {
        picturePanel->hide();
        pages->setGeometry(10, margin, pagesSize.width(), pagesSize.height());
    }
    const int pagesRight = pages->geometry().right() + 1;
    const int bottom = qMax(pages->geometry().bottom(), picturePanel->isVisible()
                                                            ? picturePanel->geometry().bottom()
                                                            : 0)
        + 1;
    ok->setGeometry(pagesRight - 75, bottom + 8, 75, 25);
    setFixedSize(pagesRight + 15, ok->geometry().bottom() + 1 + margin);
}

void TFormAbout::showAbout(const ProgramConfig &config, const QPixmap &leftPicture, QWidget *owner)
{
    TFormAbout dialog(config, leftPicture, owner);
    if (owner)
        dialog.move(owner->geometry().center() - dialog.rect().center());
    dialog.exec();
}

} // namespace quillor
