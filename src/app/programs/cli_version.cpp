#include "CliCommands.h"

#include <cstdio>

namespace quillor::cli {
int version(const std::vector<std::string> &)
{
    std::puts("quillor-cli " QUILLOR_VERSION);
    return 0;
}
} // namespace quillor::cli
