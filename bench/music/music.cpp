// music.cpp -- how long the tunes take to forge: the instruments, the patterns, the encoding,
// and both files written, each against the playing time it yields

#include "music.h"
#include "score.h"
#include "tunes.h"
#include "voices.h"
#include "xm.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

double song_seconds(const Tune *tune) {
    return tune->section_count * SCORE_ROWS * 6 * 2.5 / tune->bpm;
}

// Playing seconds made per second of work.
void count_playing_time(benchmark::State &state, double seconds) {
    state.counters["play_s_per_s"] =
        benchmark::Counter(seconds, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Voices(benchmark::State &state) {
    for (auto _ : state) {
        std::vector<XmInstrument> voices;
        voices_build(&voices);
        benchmark::DoNotOptimize(voices.data());
    }
}

void build(benchmark::State &state, const Tune *tune) {
    std::vector<XmInstrument> voices;
    voices_build(&voices);
    for (auto _ : state) {
        XmSong song;
        std::string why;
        if (!score_build(tune, &voices, &song, &why)) state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(song.patterns.data());
    }
    count_playing_time(state, song_seconds(tune));
}

void BM_BuildDusk(benchmark::State &state) {
    build(state, &TUNE_DUSK);
}
void BM_BuildSpring(benchmark::State &state) {
    build(state, &TUNE_SPRING);
}

void BM_EncodeDusk(benchmark::State &state) {
    std::vector<XmInstrument> voices;
    voices_build(&voices);
    XmSong song;
    std::string why;
    score_build(&TUNE_DUSK, &voices, &song, &why);
    for (auto _ : state) {
        std::vector<uint8_t> bytes;
        xm_encode(&song, &bytes, &why);
        benchmark::DoNotOptimize(bytes.data());
    }
    count_playing_time(state, song_seconds(&TUNE_DUSK));
}

void BM_WriteBoth(benchmark::State &state) {
    char name[] = "/tmp/music_bench_XXXXXX";
    std::string dir = mkdtemp(name);
    for (auto _ : state)
        if (!forge_music_write(dir.c_str())) state.SkipWithError("writing failed");
    count_playing_time(state, song_seconds(&TUNE_DUSK) + song_seconds(&TUNE_SPRING));
    std::system(("rm -rf " + dir).c_str());
}

} // namespace

BENCHMARK(BM_Voices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildDusk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildSpring)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeDusk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBoth)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
