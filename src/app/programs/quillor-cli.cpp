// quillor-cli: the window's engine and flows without the window.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CliCommands.h"

namespace {
struct Command {
    const char *name;
    int (*run)(const std::vector<std::string> &args);
    const char *usage;
};

// One row per command; each command lives in programs/cli_<name>.cpp.
const Command kCommands[] = {
    {"version", quillor::cli::version, "version"},
    {"presets", quillor::cli::presets, "presets"},
    {"probe", quillor::cli::probe, "probe [--thumbnails] [--log] FILE..."},
    {"convert", quillor::cli::convert,
     "convert --class video|device|audio --format NAME --preset N [--join] --out DIR FILE..."},
    {"download", quillor::cli::download, "download --out DIR [--prefer|--no-prefer] LINK..."},
};

void printUsage()
{
    std::fputs("usage: quillor-cli COMMAND [ARGS...]\ncommands:\n", stderr);
    for (const Command &c : kCommands)
        std::fprintf(stderr, "  %s\n", c.usage);
}
} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        printUsage();
        return 2;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command &c : kCommands)
        if (std::strcmp(c.name, argv[1]) == 0)
            return c.run(args);
    std::fprintf(stderr, "quillor-cli: unknown command \"%s\"\n", argv[1]);
    printUsage();
    return 2;
}
