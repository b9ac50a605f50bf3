// Tests of the JPEG reader: damaged and truncated files, and the files ImageMagick writes.

#include "data/archive.h"
#include "data/image.h"
#include "data/jpeg_source.h"
#include "image_test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

// Damaged files fail with the library's reason instead of ending the program; truncated ones
// (the source hands the library an end-of-image marker past the end) are refused rather than
// kept with a grey remainder; a side over the limit, or a size the data left cannot hold (as
// baseline or progressive), is refused before anything is allocated.
TEST(JpegDecode, RefusesDamagedTruncatedAndAbsurdFiles) {
    Bytes good = read_file(QM_TEST_DIR "/../fuzz/seeds/jpeg/small.jpg");
    ASSERT_GT(good.size(), 200u);
    Image *image = jpeg_decode("small.jpg", good.data(), good.size(), 0);
    ASSERT_NE(image, nullptr) << data_last_error();
    EXPECT_TRUE(image->width == 9 && image->height == 7);
    image_free(image);

    Bytes scrambled = good, huge = good;
    for (size_t i = 2; i < 200; i++) scrambled[i] ^= 0x5A;
    auto frame_header = [](const Bytes &b) {
        size_t sof = 2;
        while (!(b[sof] == 0xFF && (b[sof + 1] & 0xF0) == 0xC0 && b[sof + 1] != 0xC4)) sof++;
        return sof;
    };
    size_t sof = frame_header(huge);
    huge[sof + 7] = 0x23, huge[sof + 8] = 0x28; // width 9000
    // 8192 x 8192 in the frame header, the data of a 9 x 7 picture after it.
    auto claim_8192 = [&](Bytes b) {
        size_t at = frame_header(b);
        b[at + 5] = b[at + 7] = 0x20, b[at + 6] = b[at + 8] = 0;
        return b;
    };
    Bytes progressive = read_file(QM_TEST_DIR "/../fuzz/seeds/jpeg/progressive.jpg");
    const std::pair<Bytes, const char *> cases[] = {
        {Bytes(), "ends early, after 0 bytes"},
        {Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}, "Not a JPEG file"},
        {scrambled, ""},
        {Bytes(good.begin(), good.end() - 2), "ends early"}, // the end marker lost
        {Bytes(good.begin(), good.begin() + good.size() * 3 / 4), "ends early"},
        {Bytes(good.begin(), good.begin() + 30), "ends early, after 30 bytes"},
        {huge, "9000 x 7"},
        {claim_8192(good), "cannot hold a 8192 x 8192 picture"},
        {claim_8192(progressive), "cannot hold a 8192 x 8192 picture"}};
    for (const auto &[file, reason] : cases) expect_refused(jpeg_decode, file, reason);
}

// Files ImageMagick writes (baseline, subsampled, progressive, grey) load through file_load to
// what ImageMagick decodes, within a few levels: two decoders may round their colour conversion
// and upsampling differently. Grey comes out grey; four-component files are refused.
TEST(LoadJpeg, MatchesImageMagickOnFilesItWrites) {
    if (access("/usr/bin/convert", X_OK) != 0) GTEST_SKIP() << "/usr/bin/convert is missing";
    TempFolder folder;
    std::filesystem::create_directory(folder.path / "data");
    const int w = 123, h = 45; // not whole blocks
    Bytes samples;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            samples.insert(samples.end(), {uint8_t(x * 2), uint8_t(255 - y * 5), uint8_t(x + y)});
    folder.write("in.ppm", ppm(w, h, samples));
    archive_close();
    file_set_data_dir(folder.path.c_str());
    std::string out = folder.file("data/out.jpg");
    auto convert = [&](const std::string &options) {
        return !run_command("/usr/bin/convert " + folder.file("in.ppm") + " " + options + " " +
                            out + " && echo ok")
                    .empty();
    };
    for (const char *options : {"-quality 90", "-quality 75 -sampling-factor 2x2",
                                "-quality 85 -interlace Plane", "-colorspace Gray"}) {
        ASSERT_TRUE(convert(options));
        Bytes reference = run_command("/usr/bin/convert " + out + " -depth 8 rgb:-");
        ASSERT_EQ(reference.size(), size_t(w * h * 3)) << options;
        Image *image = load_jpeg("data\\out.jpg", 0);
        ASSERT_NE(image, nullptr) << data_last_error();
        ASSERT_TRUE(image->width == w && image->height == h);
        int worst = 0;
        for (int i = 0; i < w * h; i++) {
            uint32_t p = image->pixels[i];
            ASSERT_EQ(p & 0xFF, 0u) << "mask byte";
            for (int c = 0; c < 3; c++)
                worst =
                    std::max(worst, std::abs(int(p >> (8 + 8 * c) & 255) - reference[i * 3 + c]));
        }
        EXPECT_LE(worst, 3) << options;
        image_free(image);
    }
    ASSERT_TRUE(convert("-colorspace CMYK"));
    EXPECT_EQ(load_jpeg("data\\out.jpg", 0), nullptr);
    EXPECT_NE(std::string(data_last_error()).find("4 colour components"), std::string::npos)
        << data_last_error();
    EXPECT_EQ(load_jpeg("data\\nothere.jpg", 0), nullptr);
    file_set_data_dir(nullptr);
}
