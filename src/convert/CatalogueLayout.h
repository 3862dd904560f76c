#pragma once
// Which format and class buttons the output page shows, and where.
//
// The program configuration offers each format by a flag. The offered
// buttons of a class are packed into consecutive slots in table order
// (the window turns a slot into a grid cell); a class with nothing offered
// loses its class button, and when only one class button would remain
// none is shown and the format pages move up.

#include <array>

#include "Catalogue.h"

namespace quillor {

struct FormatButtonLayout {
    std::array<int, kOutputFormatCount> FormatSlot; // by format ordinal; -1 hidden
    std::array<int, kFormatClassCount> ClassSlot;   // -1 hidden
    int FormatPagesTop;                              // 120 without class buttons, else 172
};

inline constexpr int kFormatPagesTopWithClasses = 172;
inline constexpr int kFormatPagesTopAlone = 120;

// `offered` by format ordinal (the flags of section "SYSTEM").
FormatButtonLayout LayoutFormatButtons(const std::array<bool, kOutputFormatCount> &offered);

// The item a preset box selects for a remembered preset index: the index
// when the format has that preset, else -1 (nothing selected).
int SelectablePreset(const OutputFormat &format, int remembered);

} // namespace quillor
