#pragma once
// The output page: the folder box, the class buttons, the format buttons of
// each class and every format's preset box. The buttons are placed from the
// configuration's flags at start-up; the page shows the stored choice when
// it is entered and stores it when the user goes on.

#include <QObject>

#include <array>

#include "Catalogue.h"
#include "CatalogueLayout.h"

class QComboBox;
class QPushButton;
class QStackedWidget;

namespace quillor {

class TFormMain;
struct ProgramConfig;
struct UserSettings;

// The configuration's flags by format ordinal.
std::array<bool, kOutputFormatCount> OfferedFormats(const ProgramConfig &config);
// The settings field that keeps a format's preset.
int &PresetSetting(UserSettings &settings, const OutputFormat &format);
// The choice the conversion uses, read from the settings.
FormatSelection SelectionFromSettings(const UserSettings &settings);

class OutputPage : public QObject {
    Q_OBJECT
public:
    explicit OutputPage(TFormMain &window, QObject *parent = nullptr);

    // Start-up: places the buttons and fills the preset boxes.
    void LayoutAndFill();
    void ShowOutputPage();
    void CommitOutputPage();

    void ClassButtonClick(int formatClass);
    void FormatButtonClick(const OutputFormat &format);

    QPushButton *classButton(int formatClass) const { return classButtons_[formatClass]; }
    QPushButton *formatButton(const OutputFormat &format) const { return formatButtons_[format.Ordinal()]; }
    QComboBox *presetBox(const OutputFormat &format) const { return presetBoxes_[format.Ordinal()]; }
    QStackedWidget *formatPages() const { return formatPages_; }

private:
    TFormMain &window_;
    QStackedWidget *formatPages_ = nullptr;
    std::array<QPushButton *, kFormatClassCount> classButtons_{};
    std::array<QPushButton *, kOutputFormatCount> formatButtons_{};
    std::array<QComboBox *, kOutputFormatCount> presetBoxes_{};
};

} // namespace quillor
