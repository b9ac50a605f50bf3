// audio_web.cpp -- sound in a web page: the mixer renders on the program's own thread, a little
// ahead of what the page's sound output has played, and hands the samples to the page's player
// (an audio worklet, see the page's script). The page makes its audio context on the click that
// starts the show: browsers allow sound only after a gesture of the user.

#include "platform/audio.h"

#include <emscripten.h>

#include "platform/mixer.h"
#include "platform/web.h"

// The page's side: whether it has a sound output, its rate, how many frames it holds that have
// not been played yet, and taking more.
EM_JS(int, web_audio_rate, (), { return Module.qmAudioRate ? Module.qmAudioRate() : 0; });
EM_JS(int, web_audio_queued, (), { return Module.qmAudioQueued(); });
EM_JS(void, web_audio_push, (const int16_t *samples, int frames),
      { Module.qmAudioPush(samples, frames); });
EM_JS(void, web_audio_run, (int running), { Module.qmAudioRun(running); });

static const char default_device[] = "Default device";
// Kept queued ahead of the output: the page's turns come every frame while it is seen, and every
// 100 ms while it is hidden.
static constexpr int32_t lead_ms = 200;
static constexpr int32_t chunk_frames = 1024;

static int32_t rate;
static bool running;
static int16_t chunk[2 * chunk_frames];

void audio_web_feed() {
    if (!rate || !running) return;
    int32_t want = rate * lead_ms / 1000;
    for (int32_t queued = web_audio_queued(); queued < want; queued += chunk_frames) {
        mixer_render(chunk, chunk_frames);
        web_audio_push(chunk, chunk_frames);
    }
}

// One device, the page's sound output, when the page made one.
static const char *web_device_name(int32_t index) {
    return index == 0 && web_audio_rate() > 0 ? default_device : nullptr;
}

// The output plays at the rate the page's audio context has; the mix is rendered at that rate.
static int web_init(int32_t device, int32_t) {
    if (rate || (device != 0 && device != -1) || web_audio_rate() <= 0) return 0;
    rate = web_audio_rate();
    running = false;
    mixer_open(rate, nullptr, nullptr);
    return 1;
}

static int web_start() {
    if (!rate) return 0;
    running = true;
    web_audio_run(1);
    audio_web_feed();
    return 1;
}

static int web_stop() {
    if (!rate) return 0;
    running = false;
    web_audio_run(0);
    return 1;
}

static void web_free() {
    if (!rate) return;
    web_audio_run(0);
    mixer_close();
    rate = 0;
    running = false;
}

const AudioDriver audio_device = {
    "page",
    web_device_name,
    web_init,
    web_start,
    web_stop,
    web_free,
    mixer_music_load,
    mixer_music_play,
    mixer_music_free,
    mixer_stream_load,
    mixer_stream_play,
    mixer_stream_free,
    mixer_set_volumes,
};
