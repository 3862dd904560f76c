#include "CatalogueLayout.h"

namespace quillor {

FormatButtonLayout LayoutFormatButtons(const std::array<bool, kOutputFormatCount> &offered)
{
    FormatButtonLayout layout;
    layout.FormatSlot.fill(-1);
    layout.ClassSlot.fill(-1);

    int visibleClasses = 0;
    for (int c = 0; c < kFormatClassCount; ++c) {
        int slot = 0;
        for (const OutputFormat &f : FormatsOfClass(static_cast<FormatClass>(c)))
            if (offered[f.Ordinal()])
                layout.FormatSlot[f.Ordinal()] = slot++;
        if (slot > 0)
            layout.ClassSlot[c] = visibleClasses++;
    }

    // A single class needs no buttons to switch between classes.
    if (visibleClasses == 1) {
        layout.ClassSlot.fill(-1);
        layout.FormatPagesTop = kFormatPagesTopAlone;
    } else {
        layout.FormatPagesTop = kFormatPagesTopWithClasses;
    }
    return layout;
}

int SelectablePreset(const OutputFormat &format, int remembered)
{
    return remembered >= 0 && remembered < format.PresetCount() ? remembered : -1;
}

} // namespace quillor
