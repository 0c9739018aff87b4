// The desktop's scale on X, from the text of a resource database: Xft.dpi
// over 96, rounded down, at least 1 and at most 8.
#include "window/sdl/x11_scale.hpp"

#include <gtest/gtest.h>

namespace dorvik::sdl {
namespace {

struct Case {
  const char* name;
  const char* resources;  // as the root window's RESOURCE_MANAGER holds it
  int scale;
};

const Case kCases[] = {
    {"NoDatabase", nullptr, 1},
    {"EmptyDatabase", "", 1},
    {"NoXftDpi", "Xcursor.size:\t24\nXft.antialias:\t1\n", 1},
    {"Dpi72", "Xft.dpi:\t72\n", 1},
    {"Dpi96", "Xft.dpi:\t96\n", 1},
    {"Dpi120", "Xft.dpi:\t120\n", 1},
    {"Dpi144", "Xft.dpi:\t144\n", 1},
    {"Dpi191", "Xft.dpi:\t191\n", 1},
    {"Dpi192", "Xft.dpi:\t192\n", 2},
    {"Dpi287", "Xft.dpi:\t287\n", 2},
    {"Dpi288", "Xft.dpi:\t288\n", 3},
    {"FractionBelow192", "Xft.dpi: 191.99\n", 1},
    {"AmongOtherLines", "Xcursor.size:\t48\nXft.dpi:\t192\nXft.hinting:\t1\n", 2},
    {"LastLineWithoutNewline", "Xft.antialias:\t1\nXft.dpi:\t288", 3},
    {"OtherNameEndingInXftDpi", "MyXft.dpi:\t192\n", 1},
    {"NotANumber", "Xft.dpi:\thigh\n", 1},
    {"Negative", "Xft.dpi:\t-192\n", 1},
    {"BeyondAnyScreen", "Xft.dpi:\t96000\n", 8},
};

class ScaleFromResourcesTest : public testing::TestWithParam<Case> {};

TEST_P(ScaleFromResourcesTest, Scale) {
  EXPECT_EQ(ScaleFromResources(GetParam().resources), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(Databases, ScaleFromResourcesTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
}  // namespace dorvik::sdl
