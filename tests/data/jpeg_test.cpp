// Tests of the JPEG reader: colour and grey files, damaged and truncated ones, and files
// ImageMagick writes.

#include "data/archive.h"
#include "data/error.h"
#include "data/image.h"
#include "data/jpeg_source.h"
#include "data/memory.h"
#include "image_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

// Compresses w x h samples of `components` bytes each with the JPEG library.
Bytes compress(const Bytes &samples, int w, int h, int components, J_COLOR_SPACE space,
               bool progressive = false) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = components;
    cinfo.in_color_space = space;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&samples[cinfo.next_scanline * w * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// A smooth colour picture: JPEG keeps it within a few levels.
Bytes colour_samples(int w, int h) {
    Bytes s;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            s.insert(s.end(), {uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t(128)});
    return s;
}

Image *decode(const Bytes &b) {
    return jpeg_decode("data\\p.jpg", b.data(), b.size(), 0);
}

uint8_t red(uint32_t p) {
    return uint8_t(p >> 8);
}
uint8_t green(uint32_t p) {
    return uint8_t(p >> 16);
}
uint8_t blue(uint32_t p) {
    return uint8_t(p >> 24);
}

// Largest difference of any colour byte between the picture and RGB samples; -1 when a mask
// byte is not 0.
int largest_difference(const Image *image, const uint8_t *rgb) {
    int worst = 0;
    for (int i = 0; i < image->width * image->height; i++) {
        uint32_t p = image->pixels[i];
        if (p & 0xFF) return -1;
        worst = std::max({worst, std::abs(red(p) - rgb[i * 3]), std::abs(green(p) - rgb[i * 3 + 1]),
                          std::abs(blue(p) - rgb[i * 3 + 2])});
    }
    return worst;
}

void expect_refused(const Bytes &file, const char *reason) {
    int32_t blocks = mem_live_blocks();
    data_clear_error();
    EXPECT_EQ(decode(file), nullptr) << reason;
    std::string why = data_last_error();
    EXPECT_EQ(why.rfind("data\\p.jpg: ", 0), 0u) << why;
    EXPECT_NE(why.find(reason), std::string::npos) << why;
    EXPECT_EQ(mem_live_blocks(), blocks) << "a refused picture is freed: " << reason;
}

} // namespace

TEST(JpegDecode, ColourFilesComeOutCloseToTheirSamples) {
    for (bool progressive : {false, true}) {
        const int w = 37, h = 21; // not whole blocks
        Bytes samples = colour_samples(w, h);
        Image *image = decode(compress(samples, w, h, 3, JCS_RGB, progressive));
        ASSERT_NE(image, nullptr) << data_last_error();
        ASSERT_EQ(image->width, w);
        ASSERT_EQ(image->height, h);
        int worst = largest_difference(image, samples.data());
        EXPECT_GE(worst, 0) << "mask bytes are 0";
        EXPECT_LE(worst, 10) << (progressive ? "progressive" : "baseline");
        image_free(image);
    }
}

TEST(JpegDecode, GreyFilesComeOutGrey) {
    const int w = 20, h = 9;
    Bytes grey;
    for (int i = 0; i < w * h; i++) grey.push_back(uint8_t(i * 255 / (w * h)));
    Image *image = decode(compress(grey, w, h, 1, JCS_GRAYSCALE));
    ASSERT_NE(image, nullptr) << data_last_error();
    for (int i = 0; i < w * h; i++) {
        uint32_t p = image->pixels[i];
        ASSERT_EQ(red(p), green(p));
        ASSERT_EQ(red(p), blue(p));
        ASSERT_NEAR(red(p), grey[i], 6);
        ASSERT_EQ(p & 0xFF, 0u);
    }
    image_free(image);
}

TEST(JpegDecode, RefusesDamagedFilesWithTheLibrarysReason) {
    Bytes good = compress(colour_samples(40, 24), 40, 24, 3, JCS_RGB);
    expect_refused(Bytes(), "ends early, after 0 bytes");
    expect_refused(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, "Not a JPEG file");
    Bytes scrambled = good;
    for (size_t i = 2; i < 200 && i < scrambled.size(); i++) scrambled[i] ^= 0x5A;
    data_clear_error();
    EXPECT_EQ(decode(scrambled), nullptr);
    EXPECT_EQ(std::string(data_last_error()).rfind("data\\p.jpg: ", 0), 0u) << data_last_error();
    Bytes cmyk_samples(16 * 8 * 4, 100);
    expect_refused(compress(cmyk_samples, 16, 8, 4, JCS_CMYK), "4 colour components");
}

// Truncated data makes the library read past the end: the source hands it an end-of-image
// marker, and the reader refuses the picture rather than keep its grey remainder.
TEST(JpegDecode, RefusesTruncatedFiles) {
    Bytes good = compress(colour_samples(64, 48), 64, 48, 3, JCS_RGB);
    expect_refused(Bytes(good.begin(), good.end() - 2), "ends early"); // end marker lost
    expect_refused(Bytes(good.begin(), good.begin() + good.size() / 2), "ends early");
    expect_refused(Bytes(good.begin(), good.begin() + 30), "ends early, after 30 bytes");
}

// A frame header claiming a side over the limit is refused before anything of that size is
// allocated.
TEST(JpegDecode, RefusesAbsurdSizes) {
    Bytes file = compress(colour_samples(16, 16), 16, 16, 3, JCS_RGB);
    size_t sof = 0;
    for (size_t i = 0; i + 1 < file.size(); i++)
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    ASSERT_NE(sof, 0u);
    file[sof + 7] = 0x23, file[sof + 8] = 0x28; // width 9000
    expect_refused(file, "9000 x 16");
}

TEST(LoadJpeg, ReadsThroughFileLoad) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path / "data");
    Bytes samples = colour_samples(24, 16);
    folder.write("data/loading.jpg", compress(samples, 24, 16, 3, JCS_RGB));
    archive_close();
    file_set_data_dir(folder.path.c_str());
    Image *image = load_jpeg("data\\loading.jpg", IMG_ALIGNED);
    ASSERT_NE(image, nullptr) << data_last_error();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(image->pixels) % 32768, 0u);
    EXPECT_LE(largest_difference(image, samples.data()), 10);
    image_free(image);
    EXPECT_EQ(load_jpeg("data\\nothere.jpg", 0), nullptr);
    file_set_data_dir(nullptr);
}

// Files ImageMagick writes decode to what ImageMagick decodes, within a few levels (two
// decoders may round their colour conversion and upsampling differently).
TEST(LoadJpeg, MatchesImageMagickOnFilesItWrites) {
    if (access("/usr/bin/convert", X_OK) != 0) GTEST_SKIP() << "/usr/bin/convert is missing";
    TempFolder folder;
    const int w = 123, h = 45;
    Bytes samples;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            samples.insert(samples.end(), {uint8_t(x * 2), uint8_t(255 - y * 5), uint8_t(x + y)});
    folder.write("in.ppm", ppm(w, h, samples));
    for (const char *options : {"-quality 90", "-quality 75 -sampling-factor 2x2",
                                "-quality 85 -interlace Plane", "-colorspace Gray"}) {
        std::string in = folder.file("in.ppm"), out = folder.file("out.jpg");
        ASSERT_FALSE(
            run_command("/usr/bin/convert " + in + " " + options + " " + out + " && echo ok")
                .empty());
        Bytes file = run_command("cat " + out);
        Bytes reference = run_command("/usr/bin/convert " + out + " -depth 8 rgb:-");
        ASSERT_EQ(reference.size(), size_t(w * h * 3)) << options;
        Image *image = jpeg_decode(out.c_str(), file.data(), file.size(), 0);
        ASSERT_NE(image, nullptr) << data_last_error();
        int worst = largest_difference(image, reference.data());
        EXPECT_GE(worst, 0) << options;
        EXPECT_LE(worst, 3) << options;
        image_free(image);
    }
}
