// icon_test.cpp -- the program's icon: one drawing at every size, and an SVG that matches it
#include "icon.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <png.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba at(const std::vector<uint8_t> &rgba, int size, int x, int y) {
    const uint8_t *p = &rgba[(size_t(y) * size + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The average of each factor x factor block, weighted by coverage as a renderer would.
std::vector<uint8_t> shrink(const std::vector<uint8_t> &rgba, int size, int factor) {
    int small = size / factor;
    std::vector<uint8_t> out(size_t(small) * small * 4);
    for (int y = 0; y < small; y++) {
        for (int x = 0; x < small; x++) {
            double sum[4] = {0, 0, 0, 0};
            for (int v = 0; v < factor; v++) {
                for (int u = 0; u < factor; u++) {
                    Rgba p = at(rgba, size, x * factor + u, y * factor + v);
                    sum[0] += p.r * p.a, sum[1] += p.g * p.a, sum[2] += p.b * p.a, sum[3] += p.a;
                }
            }
            uint8_t *o = &out[(size_t(y) * small + x) * 4];
            for (int c = 0; c < 3; c++) o[c] = uint8_t(sum[3] > 0 ? sum[c] / sum[3] + 0.5 : 0);
            o[3] = uint8_t(sum[3] / (factor * factor) + 0.5);
        }
    }
    return out;
}

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

TEST(Icon, SmallSizesShowTheSameDrawingAsTheLargest) {
    std::vector<uint8_t> large = icon_render(256);
    for (int size : {16, 32, 64}) {
        std::vector<uint8_t> small = icon_render(size);
        ASSERT_EQ(small.size(), size_t(size) * size * 4);
        EXPECT_LT(mean_difference(small, shrink(large, 256, 256 / size)), 1.5) << size;
    }
}

TEST(Icon, SvgRendersLikeThePicture) {
    if (system("command -v rsvg-convert >/dev/null") != 0) GTEST_SKIP() << "no rsvg-convert";
    char dir[] = "/tmp/icon_test_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string svg = std::string(dir) + "/icon.svg", png = std::string(dir) + "/icon.png";
    FILE *f = fopen(svg.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs(icon_svg().c_str(), f);
    fclose(f);
    ASSERT_EQ(system(("rsvg-convert -w 256 -h 256 -o " + png + " " + svg).c_str()), 0);
    int size = 0;
    std::vector<uint8_t> rendered = read_png(png, &size);
    system(("rm -rf " + std::string(dir)).c_str());
    ASSERT_EQ(size, 256);
    EXPECT_LT(mean_difference(rendered, icon_render(256)), 0.8);
}

} // namespace
