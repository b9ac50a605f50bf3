// show_files.cpp -- writes small pictures and data folders for the tests

#include "show_files.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

std::string make_temp_dir() {
    char name[] = "/tmp/quellmoor-test-XXXXXX";
    if (!mkdtemp(name)) throw std::runtime_error("mkdtemp failed");
    return name;
}

void remove_tree(const std::string &dir) {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

void write_tga(const std::string &path, int width, int height, const PixelSource &pixel) {
    std::vector<uint8_t> out(18, 0);
    out[2] = 10;
    out[12] = uint8_t(width), out[13] = uint8_t(width >> 8);
    out[14] = uint8_t(height), out[15] = uint8_t(height >> 8);
    out[16] = 24;
    // Raw packets of up to 128 pixels, never crossing a row; rows bottom-up.
    for (int y = height - 1; y >= 0; y--) {
        for (int x = 0; x < width; x += 128) {
            int n = std::min(128, width - x);
            out.push_back(uint8_t(n - 1));
            for (int i = 0; i < n; i++) {
                Rgb c = pixel(x + i, y);
                out.insert(out.end(), {c.blue, c.green, c.red});
            }
        }
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(out.data(), 1, out.size(), f);
    std::fclose(f);
}

void write_jpeg(const std::string &path, int width, int height, const PixelSource &pixel) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            Rgb p = pixel(x, y);
            row[size_t(x) * 3] = p.red, row[size_t(x) * 3 + 1] = p.green,
                            row[size_t(x) * 3 + 2] = p.blue;
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

static PixelSource flat(Rgb c) {
    return [c](int, int) { return c; };
}

void write_show_data(const std::string &dir, const std::string &skip) {
    std::string data = dir + "/data";
    std::filesystem::create_directories(data);
    auto tga = [&](const std::string &name, int w, int h, const PixelSource &p) {
        if (name != skip) write_tga(data + "/" + name, w, h, p);
    };
    auto jpeg = [&](const std::string &name, const PixelSource &p) {
        if (name != skip) write_jpeg(data + "/" + name, 512, 256, p);
    };
    // Bars: a colour picture and a grey ramp as alpha.
    auto ramp = [](int x, int) { return Rgb{uint8_t(x * 8), uint8_t(x * 8), uint8_t(x * 8)}; };
    for (const char *bar : {"bardown", "barup"}) {
        tga(std::string(bar) + ".tga", 304, 29, flat({90, 90, 120}));
        tga(std::string(bar) + "a.tga", 304, 29, ramp);
    }
    for (const char *bar : {"barleft", "baright"}) {
        tga(std::string(bar) + ".tga", 24, 307, flat({90, 90, 120}));
        tga(std::string(bar) + "a.tga", 24, 307, ramp);
    }
    // Captions: letters (white squares) on the key colour.
    for (int n = 1; n <= 12; n++) {
        bool upright = n == 3 || n == 4 || n == 9 || n == 10;
        Rgb key = upright ? Rgb{1, 114, 255} : Rgb{255, 173, 1};
        auto caption = [key](int x, int y) {
            return (x / 4 + y / 4) % 3 == 0 ? Rgb{255, 255, 255} : key;
        };
        tga("tx" + std::to_string(n) + ".tga", upright ? 24 : 256, upright ? 256 : 24, caption);
    }
    jpeg("loading.jpg", flat(LOADING_COLOUR));
    // The dissolve map: a sweep from left (dark, goes first) to right.
    jpeg("loadalph.jpg", [](int x, int) {
        uint8_t v = uint8_t(x / 2);
        return Rgb{v, v, v};
    });
    jpeg("quellmor.jpg", [](int x, int y) {
        return Rgb{uint8_t(TITLE_COLOUR.red + (x & 15)), TITLE_COLOUR.green,
                   uint8_t(TITLE_COLOUR.blue + (y & 15))};
    });
    jpeg("girl.jpg", flat(PORTRAIT_COLOUR));
    jpeg("moorlight.jpg", flat(HIDDEN_COLOUR));
}
