#include "OutputPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include "FormMain.h"
#include "ProgramConfig.h"
#include "UserSettings.h"
#include "UtilFuncs.h"

namespace quillor {

std::array<bool, kOutputFormatCount> OfferedFormats(const ProgramConfig &c)
{
    return {c.AVI,  c.MP4,    c.FLV,     c.SWF, c.MPEG,       c.RM,          c.WMV,  c.MOV,     c._3GP,
            c.IPOD, c.IPHONE, c.APPLETV, c.PSP, c.BLACKBERRY, c.MOBILEPHONE, c.IPAD, c.ANDROID, c.WAV,
            c.MP3,  c.WMA,    c.OGG,     c.AAC, c.M4A,        c.FLAC,        c.MP2};
}

int &PresetSetting(UserSettings &s, const OutputFormat &format)
{
    // By format ordinal: video, device, audio, each in table order.
    static constexpr int UserSettings::*kFields[kOutputFormatCount] = {
        &UserSettings::OutputAVIPreset,        &UserSettings::OutputMP4Preset,
        &UserSettings::OutputFLVPreset,        &UserSettings::OutputSWFPreset,
        &UserSettings::OutputMPEGPreset,       &UserSettings::OutputRMPreset,
        &UserSettings::OutputWMVPreset,        &UserSettings::OutputMOVPreset,
        &UserSettings::Output3GPPreset,        &UserSettings::OutputiPodPreset,
        &UserSettings::OutputiPhonePreset,     &UserSettings::OutputAppleTVPreset,
        &UserSettings::OutputPSPPreset,        &UserSettings::OutputBlackBerryPreset,
        &UserSettings::OutputMobilePhonePreset, &UserSettings::OutputiPadPreset,
        &UserSettings::OutputAndroidPreset,    &UserSettings::OutputWAVPreset,
        &UserSettings::OutputMP3Preset,        &UserSettings::OutputWMAPreset,
        &UserSettings::OutputOGGPreset,        &UserSettings::OutputAACPreset,
        &UserSettings::OutputM4APreset,        &UserSettings::OutputFLACPreset,
        &UserSettings::OutputMP2Preset,
    };
    return s.*kFields[format.Ordinal()];
}

FormatSelection SelectionFromSettings(const UserSettings &settings)
{
    UserSettings &s = const_cast<UserSettings &>(settings);
    FormatSelection selection;
    selection.Class = s.OutputFormatClass;
    selection.FormatIndex = {s.OutputVideoFormat, s.OutputDeviceFormat, s.OutputAudioFormat};
    for (const OutputFormat &format : AllFormats())
        selection.SetPresetOf(format, PresetSetting(s, format));
    selection.OutputFolder = s.OutputFileDir.toStdString();
    return selection;
}

namespace {
constexpr int kFormatCellWidth = 62, kFormatCellHeight = 57;
constexpr int kClassCellWidth = 171, kClassCellHeight = 32;

std::uint8_t &formatSetting(UserSettings &s, int formatClass)
{
    switch (formatClass) {
    case 0: return s.OutputVideoFormat;
    case 1: return s.OutputDeviceFormat;
    default: return s.OutputAudioFormat;
    }
}
} // namespace

OutputPage::OutputPage(TFormMain &window, QObject *parent)
    : QObject(parent)
    , window_(window)
{
    formatPages_ = window_.findChild<QStackedWidget *>(QStringLiteral("RzPageControlToFormat"));
    QWidget *page = formatPages_->parentWidget();
    const char *classNames[] = {"ButtonToFormatVideo", "ButtonToFormatDevice", "ButtonToFormatAudio"};
    for (int c = 0; c < kFormatClassCount; ++c) {
        classButtons_[c] = page->findChild<QPushButton *>(QString::fromLatin1(classNames[c]));
        connect(classButtons_[c], &QPushButton::clicked, this, [this, c] { ClassButtonClick(c); });
    }
    // The folder line sits above the format choice.
    const std::pair<const char *, QRect> folderLine[] = {{"LabelOutputDir", QRect(18, 24, 100, 26)},
                                                         {"EditOutputDir", QRect(118, 24, 330, 26)},
                                                         {"ButtonSelectDir", QRect(456, 23, 90, 28)}};
    for (auto [name, rect] : folderLine)
        if (auto *w = page->findChild<QWidget *>(QString::fromLatin1(name)))
            w->setGeometry(rect);
    auto *hint = new QLabel(QStringLiteral("Choose the output format:"), page);
    hint->setObjectName(QStringLiteral("LabelOutputFormat"));
    hint->setGeometry(18, 100, 300, 24);

    for (const OutputFormat &format : AllFormats()) {
        QWidget *sheet = formatPages_->widget(static_cast<int>(format.Class));
        const QString name = QString::fromLatin1(format.Name.data(), int(format.Name.size()));
        auto *button = new QPushButton(name, sheet);
        button->setObjectName(QStringLiteral("ButtonFormat") + name);
        button->resize(kFormatCellWidth, kFormatCellHeight);
        connect(button, &QPushButton::clicked, this, [this, &format] { FormatButtonClick(format); });
        formatButtons_[format.Ordinal()] = button;

        auto *box = new QComboBox(sheet);
        box->setObjectName(QStringLiteral("ImageComboBox") + name + QStringLiteral("Presets"));
        box->setGeometry(10, 150, 530, 26);
        box->hide();
        presetBoxes_[format.Ordinal()] = box;
    }
    for (int c = 0; c < kFormatClassCount; ++c) {
        auto *label = new QLabel(QStringLiteral("Presets:"), formatPages_->widget(c));
        label->setObjectName(QStringLiteral("LabelPresets%1").arg(c));
        label->setGeometry(10, 126, 200, 22);
    }
}

void OutputPage::LayoutAndFill()
{
    const FormatButtonLayout layout = LayoutFormatButtons(OfferedFormats(window_.config()));
    const int sheetWidth = formatPages_->width();
    for (const OutputFormat &format : AllFormats()) {
        QPushButton *button = formatButtons_[format.Ordinal()];
        const int slot = layout.FormatSlot[format.Ordinal()];
        if (slot < 0) {
            button->hide();
            continue;
        }
        const GridRect cell = GridCellRect(sheetWidth, 5, 10, slot, kFormatCellWidth, kFormatCellHeight, 3, 2);
        button->move(cell.left, cell.top);
        button->show();
    }
    QWidget *page = formatPages_->parentWidget();
    for (int c = 0; c < kFormatClassCount; ++c) {
        const int slot = layout.ClassSlot[c];
        if (slot < 0) {
            classButtons_[c]->hide();
            continue;
        }
        const GridRect cell = GridCellRect(page->width(), 135, 18, slot, kClassCellWidth, kClassCellHeight, 0, 0);
        classButtons_[c]->setGeometry(cell.left, cell.top, kClassCellWidth, kClassCellHeight);
        classButtons_[c]->show();
    }
    formatPages_->setGeometry(0, layout.FormatPagesTop, page->width(), page->height() - layout.FormatPagesTop);

    for (const OutputFormat &format : AllFormats()) {
        QComboBox *box = presetBoxes_[format.Ordinal()];
        box->clear();
        for (std::string_view text : format.Presets)
            box->addItem(QString::fromUtf8(text.data(), int(text.size())));
        box->setCurrentIndex(SelectablePreset(format, PresetSetting(window_.settings(), format)));
    }
}

void OutputPage::ClassButtonClick(int c)
{
    if (c < 0 || c >= kFormatClassCount)
        return;
    for (int i = 0; i < kFormatClassCount; ++i)
        classButtons_[i]->setEnabled(i != c);
    formatPages_->setCurrentIndex(c);
    window_.settings().OutputFormatClass = static_cast<std::uint8_t>(c);
}

void OutputPage::FormatButtonClick(const OutputFormat &format)
{
    for (const OutputFormat &other : FormatsOfClass(format.Class)) {
        formatButtons_[other.Ordinal()]->setEnabled(&other != &format);
        presetBoxes_[other.Ordinal()]->setVisible(&other == &format);
    }
    presetBoxes_[format.Ordinal()]->raise();
    formatSetting(window_.settings(), static_cast<int>(format.Class)) = static_cast<std::uint8_t>(format.Index);
}

void OutputPage::ShowOutputPage()
{
    UserSettings &s = window_.settings();
    if (auto *edit = window_.findChild<QLineEdit *>(QStringLiteral("EditOutputDir")))
        edit->setText(s.OutputFileDir);
    if (s.OutputFormatClass < kFormatClassCount)
        ClassButtonClick(s.OutputFormatClass);
    const std::pair<int, int> remembered[] = {
        {2, s.OutputAudioFormat}, {0, s.OutputVideoFormat}, {1, s.OutputDeviceFormat}};
    for (auto [c, index] : remembered)
        if (const OutputFormat *format = FindFormat(c, index))
            FormatButtonClick(*format);
    for (const OutputFormat &format : AllFormats())
        presetBoxes_[format.Ordinal()]->setCurrentIndex(SelectablePreset(format, PresetSetting(s, format)));
}

void OutputPage::CommitOutputPage()
{
    UserSettings &s = window_.settings();
    if (auto *edit = window_.findChild<QLineEdit *>(QStringLiteral("EditOutputDir")))
        s.OutputFileDir = EnsureTrailingBackslash(edit->text());
    for (const OutputFormat &format : AllFormats())
        PresetSetting(s, format) = presetBoxes_[format.Ordinal()]->currentIndex();
}

} // namespace quillor
