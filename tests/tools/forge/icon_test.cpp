// icon_test.cpp -- the program's icon: the SVG, drawn by another program, matches the picture
#include "helpers.h"
#include "icon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <png.h>
#include <string>
#include <vector>

namespace {

double mean_difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

std::vector<uint8_t> read_png(const std::string &path, int *size) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint8_t> rgba;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return rgba;
    image.format = PNG_FORMAT_RGBA;
    rgba.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) rgba.clear();
    *size = int(image.width);
    return rgba;
}

TEST(Icon, SvgRendersLikeThePicture) {
    if (system("command -v rsvg-convert >/dev/null") != 0) GTEST_SKIP() << "no rsvg-convert";
    std::string dir = make_temp_dir(), svg = dir + "/icon.svg", png = dir + "/icon.png";
    std::ofstream(svg) << icon_svg();
    ASSERT_EQ(system(("rsvg-convert -w 256 -h 256 -o " + png + " " + svg).c_str()), 0);
    int size = 0;
    std::vector<uint8_t> rendered = read_png(png, &size);
    remove_tree(dir);
    ASSERT_EQ(size, 256);
    EXPECT_LT(mean_difference(rendered, icon_render(256)), 0.8);
}

} // namespace
