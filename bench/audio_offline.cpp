// audio_offline.cpp -- how much faster than real time the offline mix renders the show's tune.
//
// Needs quellmor.xm in the current folder or in QM_BENCH_DATA (the forge writes it next to the
// program). Reports seconds of music rendered per second of work.

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/error.h"
#include "platform/audio.h"

static std::string tune_path() {
    const char *dir = std::getenv("QM_BENCH_DATA");
    return std::string(dir && *dir ? dir : ".") + "/quellmor.xm";
}

static void BM_OfflineMix(benchmark::State &state) {
    std::string path = tune_path();
    audio_offline.init(0, AUDIO_OFFLINE_RATE);
    AudioHandle music = audio_offline.music_load(path.c_str());
    if (!music) {
        state.SkipWithError(data_last_error());
        audio_offline.free();
        return;
    }
    audio_offline.music_play(music);
    audio_offline.set_volumes(98, 0, 0);
    audio_offline.start();
    // One tick of the show's clock (14 ms) per call, as a recording would ask for it.
    const int32_t frames = AUDIO_OFFLINE_RATE * 14 / 1000;
    std::vector<int16_t> out(size_t(2 * frames));
    for (auto _ : state) {
        audio_offline_render(out.data(), frames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_real_time"] =
        benchmark::Counter(double(state.iterations()) * 0.014, benchmark::Counter::kIsRate);
    audio_offline.free();
}

BENCHMARK(BM_OfflineMix)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
