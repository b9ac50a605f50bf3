// music_module.cpp -- module files of any content through the music loader and a moment of
// playback in the offline mix.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/audio.h"

static std::string path;

static void remove_file() {
    std::remove(path.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (path.empty()) {
        const char *tmp = std::getenv("TMPDIR"); // each run rewrites the file
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_music_module_" +
               std::to_string(getpid()) + ".xm";
        std::atexit(remove_file);
    }
    static int16_t out[2 * 4096];
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    if (!audio_offline.init(0, AUDIO_OFFLINE_RATE)) return 0;
    AudioHandle music = audio_offline.music_load(path.c_str());
    if (music && audio_offline.music_play(music) && audio_offline.start())
        audio_offline_render(out, 4096);
    audio_offline.free();
    return 0;
}
