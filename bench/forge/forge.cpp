// forge.cpp -- how long each step of the forge takes, and the JPEG encoder's share of it
#include "canvas.h"
#include "parts/parts.h"
#include "picture_write.h"
#include "text.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Scratch {
    std::string dir;
    Scratch() {
        char name[] = "/tmp/forge_bench_XXXXXX";
        dir = mkdtemp(name);
    }
    ~Scratch() { std::system(("rm -rf " + dir).c_str()); }
};

void run_step(benchmark::State &state, int (*step)(const char *)) {
    Scratch scratch;
    for (auto _ : state) {
        if (!step(scratch.dir.c_str())) state.SkipWithError("the step failed");
    }
}

void BM_Shared(benchmark::State &state) {
    run_step(state, forge_shared);
}
void BM_Title(benchmark::State &state) {
    run_step(state, forge_title);
}
void BM_Portrait(benchmark::State &state) {
    run_step(state, forge_portrait);
}
void BM_Hidden(benchmark::State &state) {
    run_step(state, forge_hidden);
}

// One full-frame picture through the encoder alone.
void BM_JpegFullFrame(benchmark::State &state) {
    Canvas c = canvas_create(512, 256);
    std::vector<uint8_t> rgb(512 * 256 * 3);
    canvas_to_rgb8(&c, rgb.data(), 1);
    for (auto _ : state) {
        Bytes out;
        benchmark::DoNotOptimize(jpeg_encode(&out, 512, 256, rgb.data(), 92));
    }
    canvas_free(&c);
}

BENCHMARK(BM_Shared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Title)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Portrait)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hidden)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegFullFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    text_shutdown();
    return 0;
}
