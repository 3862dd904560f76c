#include "SkinLayout.h"

namespace quillor {

SkinLayout skinLayout(int skin)
{
    const QColor grey(128, 128, 128);
    SkinLayout l;
    l.titleColour = Qt::black;
    switch (skin) {
    case 1:
        l.minimise = {766, 3};
        l.close = {794, 3};
        l.help = {25, 566};
        l.log = {120, 566};
        l.back = {400, 566};
        l.next = {495, 566};
        l.exit = {730, 566};
        l.pageArea = {240, 110};
        l.titleLine = {252, 70};
        l.labelColour = Qt::white;
        l.titleColour = Qt::white;
        return l;
    case 2:
        l.minimise = {696, 6};
        l.close = {728, 4};
        l.help = {40, 513};
        l.log = {138, 513};
        l.back = {426, 513};
        l.next = {522, 513};
        l.exit = {672, 513};
        l.pageArea = {198, 74};
        l.titleLine = {24, 43};
        l.labelColour = grey;
        l.helpMenuOffset = 5;
        return l;
    case 3:
        l.showMinClose = false;
        l.help = {10, 515};
        l.log = {120, 515};
        l.back = {350, 515};
        l.next = {460, 515};
        l.exit = {665, 515};
        l.pageArea = {203, 74};
        l.titleLine = {215, 55};
        l.labelColour = Qt::white;
        l.titleColour = Qt::white;
        l.transparentButtons = true;
        l.boldTitle = false;
        l.versionLabelTop = 165;
        l.moreToolsLabelTop = 180;
        return l;
    default:
        l.minimise = {696, 4};
        l.close = {728, 4};
        l.help = {40, 510};
        l.log = {138, 510};
        l.back = {426, 510};
        l.next = {522, 510};
        l.exit = {672, 510};
        l.pageArea = {203, 74};
        l.titleLine = {24, 43};
        l.labelColour = grey;
        return l;
    }
}

} // namespace quillor
