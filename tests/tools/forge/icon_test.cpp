// icon_test.cpp -- the program's icon: the SVG, drawn by another program, matches the picture
#include "helpers.h"
#include "icon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

double mean_difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

TEST(Icon, SvgRendersLikeThePicture) {
    if (!have_program("rsvg-convert")) GTEST_SKIP() << "no rsvg-convert";
    TempDir dir;
    const std::string svg = dir + "/icon.svg", png = dir + "/icon.png";
    write_text(svg, icon_svg());
    ASSERT_EQ(run_command("rsvg-convert -w 256 -h 256 -o " + png + " " + svg).status, 0);
    PngPicture rendered = read_png(png, true);
    ASSERT_EQ(rendered.width, 256);
    EXPECT_LT(mean_difference(rendered.pixels, icon_render(256)), 0.8);
}

} // namespace
