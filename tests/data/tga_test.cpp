// Tests of the TGA reader: a hand-written file of both packet kinds, refusals and damaged files.
// The show's own pictures are pinned by the digests.

#include "data/error.h"
#include "data/image.h"
#include "data/tga.h"
#include "image_test_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// An 18-byte header and the identification field (id_length bytes).
Bytes header(uint8_t type, uint8_t bits, uint16_t w, uint16_t h, uint8_t descriptor = 0,
             uint8_t id_length = 0) {
    Bytes b(18 + id_length, 0xE0);
    std::fill(b.begin(), b.begin() + 18, 0);
    b[0] = id_length, b[2] = type, b[16] = bits, b[17] = descriptor;
    b[12] = uint8_t(w), b[13] = uint8_t(w >> 8), b[14] = uint8_t(h), b[15] = uint8_t(h >> 8);
    return b;
}

// A 3 x 2 picture: the file's first row is the picture's bottom row. A raw packet of 2 and a
// run of 4 that carries on into the top row; pixels are stored blue first.
Bytes small_picture(uint8_t descriptor = 0, uint8_t id_length = 0) {
    Bytes b = header(10, 24, 3, 2, descriptor, id_length);
    b.insert(b.end(), {0x01, 30, 20, 10, 30, 20, 11, 0x83, 50, 100, 200});
    return b;
}

const uint32_t small_expected[6] = {pixel_rgb(200, 100, 50), pixel_rgb(200, 100, 50),
                                    pixel_rgb(200, 100, 50), pixel_rgb(10, 20, 30),
                                    pixel_rgb(11, 20, 30),   pixel_rgb(200, 100, 50)};

void expect_small(const Image *image) {
    ASSERT_NE(image, nullptr) << data_last_error();
    ASSERT_EQ(image->width, 3);
    ASSERT_EQ(image->height, 2);
    for (int i = 0; i < 6; i++) EXPECT_EQ(image->pixels[i], small_expected[i]) << "pixel " << i;
}

} // namespace

// Bottom-up with mask bytes 0; the identification field and a colour map are skipped.
TEST(TgaDecode, ReadsPacketsBottomUpWithMaskByteZero) {
    // A colour map of three 24-bit entries before the pixels is skipped too.
    Bytes mapped = small_picture();
    mapped[1] = 1, mapped[5] = 3, mapped[7] = 24;
    mapped.insert(mapped.begin() + 18, 9, 0x77);
    // The attribute bits of the descriptor (its alpha depth) do not move pixels.
    for (Bytes file : {small_picture(), small_picture(0x08), small_picture(0, 7), mapped}) {
        Image *image = tga_decode("x.tga", file.data(), file.size(), 0);
        expect_small(image);
        image_free(image);
    }
}

// The descriptor's origin bits name the corner of the file's first pixel: a picture stored
// from the top, from the right or both comes out as the same picture.
TEST(TgaDecode, HonoursTheOriginOfTheFilesFirstPixel) {
    const uint32_t *e = small_expected; // rows top to bottom: e[0..2], e[3..5]
    const uint32_t top[6] = {e[3], e[4], e[5], e[0], e[1], e[2]};
    const uint32_t right[6] = {e[2], e[1], e[0], e[5], e[4], e[3]};
    const uint32_t both[6] = {e[5], e[4], e[3], e[2], e[1], e[0]};
    for (const auto &[descriptor, expected] :
         {std::pair{uint8_t(0x20), top}, std::pair{uint8_t(0x10), right},
          std::pair{uint8_t(0x30), both}}) {
        Bytes file = small_picture(descriptor);
        Image *image = tga_decode("x.tga", file.data(), file.size(), 0);
        ASSERT_NE(image, nullptr) << data_last_error();
        for (int i = 0; i < 6; i++)
            EXPECT_EQ(image->pixels[i], expected[i])
                << "descriptor " << int(descriptor) << " " << i;
        image_free(image);
    }
    // A packet running past the picture is refused from the top as from the bottom.
    Bytes past_end = small_picture(0x30);
    past_end[25] = 0x84;
    expect_refused(tga_decode, past_end, "past the end");
}

TEST(TgaDecode, RefusesOtherKindsAbsurdSizesAndDamagedPixelDataNamingTheFile) {
    Bytes whole = small_picture();
    Bytes uncompressed = whole, deep = whole, id_over = whole;
    uncompressed[2] = 2;
    deep[16] = 32;
    id_over[0] = 200; // the identification field would run past the end
    Bytes past_end = whole;
    past_end[25] = 0x84; // the run holds one pixel more than the picture
    Bytes one_short = whole;
    one_short[25] = 0x82; // and here one fewer
    Bytes huge_claim = header(10, 24, 8000, 8000);
    huge_claim.insert(huge_claim.end(), {0xFF, 1, 2, 3});
    // 4,000 bytes of full runs hold 128,000 pixels: not the 1024 x 1024 it claims.
    Bytes short_claim = header(10, 24, 1024, 1024);
    short_claim.resize(short_claim.size() + 4000, 0xFF);
    const std::pair<Bytes, const char *> cases[] = {
        {uncompressed, "type 2"},
        {deep, "32 bits"},
        {Bytes(whole.begin(), whole.begin() + 17), "header"},
        {Bytes(), "header"},
        {header(10, 24, 0, 5), "0 x 5"},
        {header(10, 24, 9000, 1), "9000 x 1"},
        {Bytes(whole.begin(), whole.end() - 1), "ends early"},    // inside a run
        {Bytes(whole.begin(), whole.begin() + 22), "ends early"}, // inside raw pixels
        {Bytes(whole.begin(), whole.begin() + 25), "ends early"}, // before a packet
        {Bytes(whole.begin(), whole.begin() + 18), "ends early"}, // header alone
        {id_over, "ends early"},
        {one_short, "1 of 6 pixels missing"},
        {past_end, "past the end"},
        {huge_claim, "cannot hold"}, // refused before 256 MB are allocated
        {short_claim, "cannot hold"}};
    for (const auto &[file, reason] : cases) expect_refused(tga_decode, file, reason);
    // Bytes after the last pixel (a footer) are no harm.
    whole.insert(whole.end(), 26, 0x55);
    Image *image = tga_decode("x.tga", whole.data(), whole.size(), 0);
    expect_small(image);
    image_free(image);
    EXPECT_EQ(load_tga("data\\missing.tga", 0), nullptr);
    EXPECT_NE(std::string(data_last_error()).find("missing.tga"), std::string::npos);
}
