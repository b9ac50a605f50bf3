// lzw.cpp -- archive entry decoding speed: lzw_unpack against zlib's inflate of the same data

#include "pack.h"

#include "data/archive.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// About 1 MB like the show's files: picture rows (gradients, dithered noise, flat areas) and
// scene and object text.
std::vector<uint8_t> make_payload() {
    std::vector<uint8_t> data;
    uint32_t seed = 12345;
    auto rnd = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    for (int y = 0; y < 512; y++) // 512 x 256 x 3 bytes of picture, 384 KB
        for (int x = 0; x < 256; x++) {
            uint8_t r = uint8_t(x + y), g = uint8_t(y / 2), b = uint8_t(x < 128 ? 0x20 : 0x80);
            if ((y / 64) % 2) r = uint8_t(r + rnd() % 4), g = uint8_t(g + rnd() % 4);
            data.push_back(b), data.push_back(g), data.push_back(r);
        }
    static const char *lines[] = {
        "LoadObject data\\ring.lwo\n",
        "ObjectMotion (unnamed)\n",
        "  9\n",
        "  0.000000 1.500000 -4.250000 0.000000 90.000000 0.000000 1.0 1.0 1.0\n",
        "  0 0 0.0 0.0 0.0\n",
        "EndBehavior 1\n",
        "SURF metal\n",
        "Surf glass\n"};
    while (data.size() < (1u << 20)) {
        const char *l = lines[rnd() % 8];
        data.insert(data.end(), l, l + std::strlen(l));
    }
    data.resize(1u << 20);
    return data;
}

const std::vector<uint8_t> &payload() {
    static const std::vector<uint8_t> data = make_payload();
    return data;
}

void BM_LzwUnpack(benchmark::State &state) {
    const std::vector<uint8_t> &data = payload();
    std::vector<uint8_t> stream = lzw_pack(data.data(), data.size());
    std::vector<uint8_t> out(data.size());
    for (auto _ : state) {
        int ok = lzw_unpack(LZW_CODE_SIZE, out.data(), out.size(), stream.data(), stream.size());
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    if (out != data) state.SkipWithError("lzw_unpack gave different data");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["packed_%"] = 100.0 * double(stream.size()) / double(data.size());
}

void BM_ZlibInflate(benchmark::State &state) {
    const std::vector<uint8_t> &data = payload();
    uLongf packed_size = compressBound(uLong(data.size()));
    std::vector<uint8_t> packed(packed_size);
    compress2(packed.data(), &packed_size, data.data(), uLong(data.size()), Z_DEFAULT_COMPRESSION);
    std::vector<uint8_t> out(data.size());
    for (auto _ : state) {
        uLongf out_size = uLongf(out.size());
        int rc = uncompress(out.data(), &out_size, packed.data(), packed_size);
        benchmark::DoNotOptimize(rc);
        benchmark::ClobberMemory();
    }
    if (out != data) state.SkipWithError("inflate gave different data");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["packed_%"] = 100.0 * double(packed_size) / double(data.size());
}

} // namespace

BENCHMARK(BM_LzwUnpack)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
