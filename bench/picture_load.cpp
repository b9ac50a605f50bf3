// bench/picture_load.cpp -- loading a 512 x 256 TGA and JPEG picture, as the preload does.
//
// The pictures are made in a scratch folder when the program starts. Beside the loaders: the
// readers alone on the bytes in memory, and, for the JPEG, the library decoding the same bytes
// through its own memory source (whole buffer at once) to show what the one-byte source costs.

#include "data/archive.h"
#include "data/image.h"
#include "data/jpeg_source.h"
#include "data/tga.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int W = 512, H = 256;

// A picture with flat areas, gradients and some grain, like the show's backgrounds.
Bytes sample_rgb() {
    Bytes rgb;
    uint32_t grain = 1;
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            grain = grain * 1664525 + 1013904223;
            bool flat = ((x / 64) + (y / 32)) % 4 == 0;
            uint8_t noise = uint8_t((grain >> 24) & 7);
            rgb.insert(rgb.end(), {uint8_t(flat ? 20 : x / 2 + noise), uint8_t(flat ? 30 : y),
                                   uint8_t(flat ? 90 : (x + y) / 3 + noise)});
        }
    return rgb;
}

// Run-length-encoded 24-bit TGA, rows bottom-up, packets cut at row ends.
Bytes write_tga(const Bytes &rgb) {
    Bytes out(18, 0);
    out[2] = 10;
    out[12] = W & 255, out[13] = W >> 8, out[14] = H & 255, out[15] = H >> 8, out[16] = 24;
    for (int y = H - 1; y >= 0; y--) {
        const uint8_t *row = &rgb[size_t(y) * W * 3];
        auto same = [&](int a, int b) {
            return std::equal(row + a * 3, row + a * 3 + 3, row + b * 3);
        };
        for (int x = 0; x < W;) {
            int n = 1;
            while (x + n < W && n < 128 && same(x, x + n)) n++;
            if (n > 1) {
                out.insert(out.end(),
                           {uint8_t(0x80 | (n - 1)), row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            } else {
                while (x + n < W && n < 128 && !same(x + n - 1, x + n)) n++;
                out.push_back(uint8_t(n - 1));
                for (int i = x; i < x + n; i++)
                    out.insert(out.end(), {row[i * 3 + 2], row[i * 3 + 1], row[i * 3]});
            }
            x += n;
        }
    }
    return out;
}

Bytes write_jpeg(const Bytes &rgb) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = W;
    cinfo.image_height = H;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < H) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(cinfo.next_scanline) * W * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

struct Files {
    std::filesystem::path folder;
    Bytes tga, jpeg;
    Files() {
        char pattern[] = "/tmp/qm_bench_XXXXXX";
        folder = mkdtemp(pattern);
        std::filesystem::create_directory(folder / "data");
        Bytes rgb = sample_rgb();
        tga = write_tga(rgb);
        jpeg = write_jpeg(rgb);
        std::ofstream(folder / "data/bench.tga", std::ios::binary)
            .write((const char *)tga.data(), tga.size());
        std::ofstream(folder / "data/bench.jpg", std::ios::binary)
            .write((const char *)jpeg.data(), jpeg.size());
        archive_close();
        file_set_data_dir(folder.c_str());
    }
    ~Files() { std::filesystem::remove_all(folder); }
};

Files &files() {
    static Files f;
    return f;
}

void load(benchmark::State &state, Image *(*loader)(const char *, int32_t), const char *name,
          size_t bytes) {
    for (auto _ : state) {
        Image *image = loader(name, 0);
        if (!image) {
            state.SkipWithError("the picture did not load");
            break;
        }
        image_free(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_load_tga(benchmark::State &state) {
    load(state, load_tga, "data\\bench.tga", files().tga.size());
}
void BM_load_jpeg(benchmark::State &state) {
    load(state, load_jpeg, "data\\bench.jpg", files().jpeg.size());
}

void decode(benchmark::State &state,
            Image *(*decoder)(const char *, const uint8_t *, size_t, int32_t), const Bytes &b) {
    for (auto _ : state) {
        Image *image = decoder("bench", b.data(), b.size(), 0);
        if (!image) {
            state.SkipWithError("the picture did not decode");
            break;
        }
        image_free(image);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.size()));
}

void BM_decode_tga(benchmark::State &state) {
    decode(state, tga_decode, files().tga);
}
void BM_decode_jpeg(benchmark::State &state) {
    decode(state, jpeg_decode, files().jpeg);
}

// The library alone, fed the whole buffer at once, decoding into one reused row.
void BM_library_jpeg_whole_buffer(benchmark::State &state) {
    const Bytes &b = files().jpeg;
    std::vector<uint8_t> row(W * 3);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr errors;
        cinfo.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, b.data(), b.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        JSAMPROW rows[1] = {row.data()};
        while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, rows, 1);
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(row.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.size()));
}

BENCHMARK(BM_load_tga);
BENCHMARK(BM_decode_tga);
BENCHMARK(BM_load_jpeg);
BENCHMARK(BM_decode_jpeg);
BENCHMARK(BM_library_jpeg_whole_buffer);

} // namespace

BENCHMARK_MAIN();
