// Tests of the JPEG reader: damaged, truncated and absurd files, and grey ones. The show's own
// pictures are pinned by the digests.

#include "data/image.h"
#include "data/jpeg_source.h"
#include "image_test_files.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_EQ(load_jpeg("data\\nothere.jpg", 0), nullptr);
    EXPECT_NE(std::string(data_last_error()).find("nothere.jpg"), std::string::npos);
}

// A grey file comes out grey, each pixel's three colour bytes alike and the mask byte 0.
TEST(JpegDecode, GreyFilesComeOutGrey) {
    Bytes grey = read_file(QM_TEST_DIR "/../fuzz/seeds/jpeg/grey.jpg");
    Image *image = jpeg_decode("grey.jpg", grey.data(), grey.size(), 0);
    ASSERT_NE(image, nullptr) << data_last_error();
    int shades = 0;
    for (int i = 0; i < image->width * image->height; i++) {
        const uint32_t p = image->pixels[i];
        EXPECT_EQ(p, (p >> 8 & 255) * 0x01010100u) << i;
        shades |= 1 << (p >> 13 & 7);
    }
    EXPECT_GT(__builtin_popcount(shades), 1) << "a grey picture of one shade proves little";
    image_free(image);
}
