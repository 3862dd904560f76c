#pragma once
// The eight pages of the main window, in the order of its page control.

#include <QString>

namespace quillor {

enum class WizardPage {
    Mode,  // choose download or convert
    Step1, // input files
    Step2, // output folder and format
    Step3, // conversion progress
    Step4, // conversion summary
    Step5, // video links and download folder
    Step6, // download progress
    Step7, // download summary
};

constexpr int kWizardPageCount = 8;

// The object name of the page widget: "TabSheetMode", "TabSheetStep1", ...
QString wizardPageName(WizardPage page);

} // namespace quillor
