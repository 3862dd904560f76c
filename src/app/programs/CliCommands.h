#pragma once
// The commands of quillor-cli. Each returns the process exit code.
#include <string>
#include <vector>

namespace quillor::cli {
int version(const std::vector<std::string> &args);
int presets(const std::vector<std::string> &args);
int probe(const std::vector<std::string> &args);
int convert(const std::vector<std::string> &args);
int download(const std::vector<std::string> &args);
}
