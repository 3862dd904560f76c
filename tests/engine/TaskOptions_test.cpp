#include "FFTaskOptions.h"

#include <gtest/gtest.h>

using quillor::ParseExtOptions;
using quillor::TExtOption;

namespace {
struct ExtCase {
    const char *name;
    std::string text;
    std::vector<TExtOption> lines;
};

class ExtOptionsParse : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ExtOptionsParse, SplitsLikeTheOptionBlocksExpect)
{
    EXPECT_EQ(ParseExtOptions(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExtOptionsParse,
    ::testing::Values(
        ExtCase{"empty", "", {}},
        ExtCase{"blank_only", " \r\n\t ", {}},
        ExtCase{"crlf_lines", "flags=+loop\r\ncmp=+chroma", {{"flags", "+loop"}, {"cmp", "+chroma"}}},
        ExtCase{"bare_cr_and_lf", "a=1\rb=2\nc=3", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        ExtCase{"written_crlf", "a=1<CRLF>b=2", {{"a", "1"}, {"b", "2"}}},
        ExtCase{"trailing_written_crlf", "a=1<CRLF>", {{"a", "1"}}},
        ExtCase{"name_lowered_value_kept", "VCodec=LibXvid", {{"vcodec", "LibXvid"}}},
        ExtCase{"first_equals_splits", "vf=scale=320:240", {{"vf", "scale=320:240"}}},
        ExtCase{"no_equals_is_empty_value", "newvideo", {{"newvideo", ""}}},
        ExtCase{"empty_value", "newvideo=", {{"newvideo", ""}}},
        ExtCase{"empty_middle_line_kept", "a=1\r\n\r\nb=2", {{"a", "1"}, {"", ""}, {"b", "2"}}},
        ExtCase{"outer_blanks_trimmed", "  \r\na=1 \r\n", {{"a", "1"}}}),
    [](const auto &info) { return std::string(info.param.name); });
} // namespace
