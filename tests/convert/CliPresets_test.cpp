#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Catalogue.h"
#include "RunCommand.h"

using namespace quillor;

TEST(CliPresets, ListsEveryPresetOncePerLine)
{
    const auto r = test_support::runCommand({QUILLOR_CLI, "presets"}, false);
    ASSERT_EQ(r.exitCode, 0) << r.output;

    std::istringstream lines(r.output);
    std::string line;
    for (const OutputFormat &f : AllFormats()) {
        for (int i = 0; i < f.PresetCount(); ++i) {
            ASSERT_TRUE(std::getline(lines, line)) << f.Name << " " << i;
            const std::string expected = std::string(FormatClassName(static_cast<int>(f.Class))) + "\t" +
                                         std::string(f.Name) + "\t" + std::to_string(i) + "\t" +
                                         std::string(f.Presets[i]);
            EXPECT_EQ(line, expected);
        }
    }
    EXPECT_FALSE(std::getline(lines, line)) << "extra line: " << line;
}

TEST(CliPresets, RefusesArguments)
{
    EXPECT_EQ(test_support::runCommand({QUILLOR_CLI, "presets", "AVI"}).exitCode, 2);
}
