#pragma once
// Where the chrome's controls sit for each of the four skin layouts.

#include <QColor>
#include <QPoint>

namespace quillor {

struct SkinLayout {
    bool showMinClose = true;
    QPoint minimise;
    QPoint close;
    QPoint help;
    QPoint log;
    QPoint back;
    QPoint next;
    QPoint exit;
    QPoint pageArea;
    QPoint titleLine;
    QColor labelColour; // version and more-tools labels
    QColor titleColour; // the title line; light on the dark layouts
    // Bottom buttons drawn without their pictures, caption in white.
    bool transparentButtons = false;
    bool boldTitle = true;
    // Version and more-tools labels moved to these tops and raised; -1 keeps them.
    int versionLabelTop = -1;
    int moreToolsLabelTop = -1;
    // The help menu opens this many pixels right of the Help button's left edge.
    int helpMenuOffset = 0;
};

// Layout number 0 to 3; any other number keeps the designed layout (0).
SkinLayout skinLayout(int skin);

} // namespace quillor
