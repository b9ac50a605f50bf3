// icon_test.cpp -- the icon file: read back exactly, and any fault in it means no icon

#include "helpers.h"
#include "platform/icon.h"

#include <gtest/gtest.h>

#include <png.h>
#include <string>
#include <vector>

namespace {

// The test's folder; the icon is forgotten before the folder goes.
struct IconDir : TempDir {
    ~IconDir() { icon_set_file(nullptr); }
    std::string file(const char *name) const { return *this + "/" + name; }
};

void write_png(const std::string &path, int width, int height, const std::vector<uint8_t> &rgba) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.format = PNG_FORMAT_RGBA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr));
}

// The largest icon is read back byte for byte; no file, or any fault in it, means no icon.
TEST(Icon, TheLargestIsReadBackExactlyAndNoFileMissingDamagedOrTooLargeMeansNoIcon) {
    IconDir dir;
    std::vector<uint8_t> rgba(64 * 64 * 4, 200);
    write_png(dir.file("good.png"), 64, 64, rgba);
    std::string good = read_text(dir.file("good.png")), flipped = good;
    write_text(dir.file("truncated.png"), good.substr(0, 60));
    flipped[flipped.size() / 2] ^= 0xFF; // a damaged compressed stream
    write_text(dir.file("flipped.png"), flipped);
    write_text(dir.file("text.png"), "not a png");
    write_png(dir.file("wide.png"), 1025, 1, std::vector<uint8_t>(1025 * 4, 1));
    write_png(dir.file("tall.png"), 1, 1025, std::vector<uint8_t>(1025 * 4, 1));
    std::vector<uint8_t> largest(1024 * 4);
    for (size_t i = 0; i < largest.size(); i++) largest[i] = uint8_t(i * 7 + i / 251);
    write_png(dir.file("largest.png"), 1024, 1, largest);
    IconPixels icon;
    icon_set_file(nullptr);
    EXPECT_EQ(icon_read(&icon), 0);
    icon_set_file(dir.file("largest.png").c_str());
    ASSERT_EQ(icon_read(&icon), 1);
    EXPECT_TRUE(icon.width == 1024 && icon.height == 1);
    EXPECT_EQ(std::vector<uint8_t>(icon.rgba, icon.rgba + largest.size()), largest);
    icon_free(&icon);
    EXPECT_EQ(icon.rgba, nullptr);
    for (const char *name :
         {"missing.png", "truncated.png", "flipped.png", "text.png", "wide.png", "tall.png"}) {
        icon_set_file(dir.file(name).c_str());
        EXPECT_EQ(icon_read(&icon), 0) << name;
        EXPECT_EQ(icon.rgba, nullptr) << name;
        EXPECT_EQ(icon.width, 0) << name;
    }
}

} // namespace
