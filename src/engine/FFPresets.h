#pragma once
// The built-in option presets ("vpre", "apre", "spre" names). Every entry
// is a list of name=value lines separated by LF, handed line by line to
// the task's option handler.

#include <string>
#include <vector>

namespace quillor {

struct TOptionsPreset {
    const char *Name;
    const char *Text;
};

// The whole table (36 entries, all for libx264).
const std::vector<TOptionsPreset> &BuiltinPresets();

// Case-insensitive lookup; null when the table has no such name.
const TOptionsPreset *FindBuiltinPreset(const std::string &name);

} // namespace quillor
