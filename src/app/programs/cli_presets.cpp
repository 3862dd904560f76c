#include "CliCommands.h"

#include <cstdio>

#include "Catalogue.h"

namespace quillor::cli {
// Every preset of every format, one per line: class, format, preset index
// and display text, separated by tabs (the texts keep their own blanks).
int presets(const std::vector<std::string> &args)
{
    if (!args.empty()) {
        std::fputs("usage: quillor-cli presets\n", stderr);
        return 2;
    }
    for (const OutputFormat &f : AllFormats()) {
        const std::string_view cls = FormatClassName(static_cast<int>(f.Class));
        for (int i = 0; i < f.PresetCount(); ++i)
            std::printf("%.*s\t%.*s\t%d\t%.*s\n", static_cast<int>(cls.size()), cls.data(),
                        static_cast<int>(f.Name.size()), f.Name.data(), i, static_cast<int>(f.Presets[i].size()),
                        f.Presets[i].data());
    }
    return 0;
}
} // namespace quillor::cli
