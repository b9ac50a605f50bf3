// Tests of the TGA reader: packets, refusals, damaged files, and files ImageMagick writes.

#include "data/archive.h"
#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"
#include "data/tga.h"
#include "image_test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

Bytes header(uint8_t type, uint8_t bits, uint16_t w, uint16_t h, uint8_t descriptor = 0,
             uint8_t id_length = 0) {
    Bytes b(18, 0);
    b[0] = id_length;
    b[2] = type;
    b[12] = uint8_t(w), b[13] = uint8_t(w >> 8);
    b[14] = uint8_t(h), b[15] = uint8_t(h >> 8);
    b[16] = bits;
    b[17] = descriptor;
    for (int i = 0; i < id_length; i++) b.push_back(uint8_t(0xE0 + i));
    return b;
}

// A run of n copies of (r, g, b), stored blue first.
void run(Bytes &b, int n, uint8_t r, uint8_t g, uint8_t bl) {
    b.insert(b.end(), {uint8_t(0x80 | (n - 1)), bl, g, r});
}

// n raw pixels, the i-th (r + i, g, b).
void raw(Bytes &b, int n, uint8_t r, uint8_t g, uint8_t bl) {
    b.push_back(uint8_t(n - 1));
    for (int i = 0; i < n; i++) b.insert(b.end(), {bl, g, uint8_t(r + i)});
}

Image *decode(const Bytes &b) {
    return tga_decode("data\\t.tga", b.data(), b.size(), 0);
}

uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r << 8 | g << 16 | b << 24;
}

// A 3 x 2 picture: the file's first row is the picture's bottom row. A raw packet of 2 and a
// run of 4 that carries on into the top row.
Bytes small_picture(uint8_t descriptor = 0, uint8_t id_length = 0) {
    Bytes b = header(10, 24, 3, 2, descriptor, id_length);
    raw(b, 2, 10, 20, 30);
    run(b, 4, 200, 100, 50);
    return b;
}

const uint32_t small_expected[6] = {rgb(200, 100, 50), rgb(200, 100, 50), rgb(200, 100, 50),
                                    rgb(10, 20, 30),   rgb(11, 20, 30),   rgb(200, 100, 50)};

void expect_small(const Image *image) {
    ASSERT_NE(image, nullptr) << data_last_error();
    ASSERT_EQ(image->width, 3);
    ASSERT_EQ(image->height, 2);
    for (int i = 0; i < 6; i++) EXPECT_EQ(image->pixels[i], small_expected[i]) << "pixel " << i;
}

} // namespace

TEST(TgaDecode, ReadsPacketsBottomUpWithMaskByteZero) {
    Image *image = decode(small_picture());
    expect_small(image);
    image_free(image);
}

TEST(TgaDecode, IgnoresTheOriginBitsButSkipsTheIdentificationField) {
    Image *top_left = decode(small_picture(0x20));
    expect_small(top_left); // still read bottom-up: the picture comes out upside down
    image_free(top_left);
    Image *with_id = decode(small_picture(0, 7));
    expect_small(with_id);
    image_free(with_id);
}

TEST(TgaDecode, RefusesOtherKindsAndAbsurdSizesNamingTheFile) {
    Bytes uncompressed = small_picture();
    uncompressed[2] = 2;
    Bytes deep = small_picture();
    deep[16] = 32;
    Bytes empty = header(10, 24, 0, 5);
    Bytes huge = header(10, 24, 9000, 1);
    Bytes whole = small_picture();
    const struct {
        Bytes file;
        const char *reason;
    } cases[] = {{uncompressed, "type 2"},
                 {deep, "32 bits"},
                 {Bytes(whole.begin(), whole.begin() + 17), "header"},
                 {Bytes(), "header"},
                 {empty, "0 x 5"},
                 {huge, "9000 x 1"}};
    int32_t blocks = mem_live_blocks();
    for (const auto &c : cases) {
        data_clear_error();
        EXPECT_EQ(decode(c.file), nullptr) << c.reason;
        std::string why = data_last_error();
        EXPECT_EQ(why.rfind("data\\t.tga: ", 0), 0u) << why;
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    EXPECT_EQ(mem_live_blocks(), blocks);
}

TEST(TgaDecode, RefusesPixelDataThatEndsEarlyOrOverflows) {
    Bytes whole = small_picture();
    Bytes past_end = header(10, 24, 3, 2);
    raw(past_end, 2, 1, 2, 3);
    run(past_end, 5, 4, 5, 6); // one pixel more than the picture holds
    Bytes id_over = small_picture();
    id_over[0] = 200; // the identification field would run past the end
    Bytes huge_claim = header(10, 24, 8000, 8000);
    run(huge_claim, 128, 1, 2, 3);
    const struct {
        Bytes file;
        const char *reason;
    } cases[] = {{Bytes(whole.begin(), whole.end() - 1), "ends early"},    // inside a run
                 {Bytes(whole.begin(), whole.begin() + 22), "ends early"}, // inside raw pixels
                 {Bytes(whole.begin(), whole.begin() + 25), "ends early"}, // before a packet
                 {Bytes(whole.begin(), whole.begin() + 18), "ends early"}, // header alone
                 {id_over, "ends early"},
                 {past_end, "past the end"},
                 {huge_claim, "ends early"}};
    int32_t blocks = mem_live_blocks();
    for (const auto &c : cases) {
        data_clear_error();
        EXPECT_EQ(decode(c.file), nullptr) << c.reason;
        EXPECT_NE(std::string(data_last_error()).find(c.reason), std::string::npos)
            << data_last_error();
    }
    EXPECT_EQ(mem_live_blocks(), blocks) << "a refused picture is freed";
    // Bytes after the last pixel (a footer) are no harm.
    Bytes footer = small_picture();
    footer.insert(footer.end(), 26, 0x55);
    Image *image = decode(footer);
    expect_small(image);
    image_free(image);
}

TEST(LoadTga, ReadsThroughFileLoadAndReportsAMissingFile) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path / "data");
    folder.write("data/small.tga", small_picture());
    archive_close();
    file_set_data_dir(folder.path.c_str());
    Image *image = load_tga("data\\small.tga", IMG_DEPTH);
    expect_small(image);
    EXPECT_NE(image->depth, nullptr) << "the caller's flags are used";
    image_free(image);
    data_clear_error();
    EXPECT_EQ(load_tga("data\\missing.tga", 0), nullptr);
    EXPECT_NE(std::string(data_last_error()).find("missing.tga"), std::string::npos);
    file_set_data_dir(nullptr);
}

// The reader must decode ImageMagick's run-length-encoded files exactly as ImageMagick does.
// ImageMagick (6.9) keeps TGA rows in file order both ways, whatever the origin bits say (it
// writes the top row first under a bottom-left descriptor); -flip makes it store the rows
// bottom-up, as the show's pictures are. The reader must then give back the original picture,
// and ImageMagick's own decoding of the file with its rows in reverse.
TEST(LoadTga, MatchesImageMagickOnFilesItWrites) {
    if (access("/usr/bin/convert", X_OK) != 0) GTEST_SKIP() << "/usr/bin/convert is missing";
    TempFolder folder;
    // 300 x 70 (rows of 300 are not whole packets): flat stretches for runs, noise for raw
    // packets, a gradient for everything in between.
    const int w = 300, h = 70;
    Bytes original;
    uint32_t noise = 12345;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            noise = noise * 1103515245 + 12345;
            bool flat = (x / 37 + y / 11) % 3 == 0, rough = (x / 23 + y / 7) % 3 == 1;
            uint8_t r = flat ? 40 : rough ? uint8_t(noise >> 16) : uint8_t(x);
            uint8_t g = flat ? 200 : rough ? uint8_t(noise >> 8) : uint8_t(y * 3);
            uint8_t b = flat ? 7 : rough ? uint8_t(noise >> 24) : uint8_t(x + y);
            original.insert(original.end(), {r, g, b});
        }
    folder.write("in.ppm", ppm(w, h, original));
    std::string in = folder.file("in.ppm"), out = folder.file("out.tga");
    ASSERT_FALSE(
        run_command("/usr/bin/convert " + in + " -flip -compress RLE " + out + " && echo ok")
            .empty());
    Bytes file = run_command("cat " + out);
    ASSERT_GT(file.size(), 18u);
    ASSERT_EQ(file[2], 10) << "ImageMagick wrote no run-length-encoded file";
    Bytes reference = run_command("/usr/bin/convert " + out + " -depth 8 rgb:-");
    ASSERT_EQ(reference.size(), size_t(w * h * 3));

    Image *image = tga_decode(out.c_str(), file.data(), file.size(), 0);
    ASSERT_NE(image, nullptr) << data_last_error();
    ASSERT_EQ(image->width, w);
    ASSERT_EQ(image->height, h);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const uint8_t *theirs = &reference[((h - 1 - y) * w + x) * 3];
            const uint8_t *mine = &original[(y * w + x) * 3];
            uint32_t pixel = image->pixels[y * w + x];
            ASSERT_EQ(pixel, rgb(theirs[0], theirs[1], theirs[2])) << "at " << x << "," << y;
            ASSERT_EQ(pixel, rgb(mine[0], mine[1], mine[2])) << "at " << x << "," << y;
        }
    image_free(image);
}
