// mixer.cpp -- modules played by libopenmpt, summed at the global volumes into 16-bit stereo.

#include "platform/mixer.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <libopenmpt/libopenmpt.h>

#include "data/error.h"
#include "data/memory.h"

static constexpr int max_channels = 8;
static constexpr int32_t chunk_frames = 512;
static constexpr long max_module_bytes = 64L << 20;

struct MixChannel {
    AudioHandle handle; // 0: free slot
    int is_stream;
    int playing;
    openmpt_module *module;
};

static MixChannel channels[max_channels];
static AudioHandle last_handle;
static int32_t mix_rate = AUDIO_OFFLINE_RATE;
static MixerLockRoutine mix_lock;
static MixerLockRoutine mix_unlock;
static bool mix_open;
static std::atomic<int32_t> music_volume{100};
static std::atomic<int32_t> stream_volume{100};
static std::atomic<int32_t> sample_volume{100};

// Scratch for one chunk: one channel's output and the running sum (left, right interleaved).
static float chunk[2 * chunk_frames];
static float sum[2 * chunk_frames];

static void lock() {
    if (mix_lock) mix_lock();
}

static void unlock() {
    if (mix_unlock) mix_unlock();
}

static void free_channel(AudioHandle handle, int is_stream);

void mixer_open(int32_t rate, MixerLockRoutine lock_routine, MixerLockRoutine unlock_routine) {
    mixer_close();
    mix_lock = lock_routine;
    mix_unlock = unlock_routine;
    mix_rate = rate;
    mixer_set_volumes(100, 100, 100);
    mix_open = true;
}

void mixer_close() {
    mix_lock = nullptr; // nothing renders any more
    mix_unlock = nullptr;
    for (MixChannel &c : channels)
        if (c.handle) free_channel(c.handle, c.is_stream);
    mix_open = false;
}

static MixChannel *find(AudioHandle handle, int is_stream) {
    if (handle == 0) return nullptr;
    for (MixChannel &c : channels)
        if (c.handle == handle && c.is_stream == is_stream) return &c;
    return nullptr;
}

// The whole file in a registered block, or null with the reason recorded.
static void *read_file(const char *path, size_t *size) {
    FILE *f = std::fopen(path, "rb");
    if (!f) {
        data_error("%s: cannot be opened: %s", path, std::strerror(errno));
        return nullptr;
    }
    void *data = nullptr;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length <= 0 || length > max_module_bytes || std::fseek(f, 0, SEEK_SET) != 0) {
        data_error("%s: empty, unreadable or larger than 64 MB", path);
    } else if (!(data = mem_alloc(size_t(length)))) {
        data_error("%s: out of memory", path);
    } else if (std::fread(data, 1, size_t(length), f) != size_t(length)) {
        data_error("%s: read error", path);
        mem_free(data);
        data = nullptr;
    }
    std::fclose(f);
    *size = size_t(length);
    return data;
}

// Little-endian fields of an XM file; false when the field is not all inside the file.
static bool read_u16(const uint8_t *data, size_t size, uint64_t at, uint64_t *value) {
    if (at + 2 > size) return false;
    *value = uint64_t(data[at]) | uint64_t(data[at + 1]) << 8;
    return true;
}

static bool read_u32(const uint8_t *data, size_t size, uint64_t at, uint64_t *value) {
    uint64_t low, high;
    if (!read_u16(data, size, at, &low) || !read_u16(data, size, at + 2, &high)) return false;
    *value = low | high << 16;
    return true;
}

// Past these counts (beyond what any tracker writes) the walk below is left to the player,
// which keeps it from running over billions of empty entries.
static constexpr uint64_t xm_max_patterns = 1024;
static constexpr uint64_t xm_max_instruments = 256;
static constexpr uint64_t xm_max_samples = 256;

// Where a walk over the parts of an XM file stands.
enum XmWalk { XM_WALK_ON, XM_WALK_CUT, XM_WALK_LEFT_TO_PLAYER };

// Steps over the patterns from *at. Version 0x0102 stores a pattern's row count in one byte, so
// its packed size sits a byte earlier than in the later versions' headers.
static XmWalk xm_skip_patterns(const uint8_t *data, size_t size, uint64_t version,
                               uint64_t patterns, uint64_t *at) {
    const uint64_t packed_at = version == 0x0102 ? 6 : 7;
    for (uint64_t p = 0; p < patterns; p++) {
        uint64_t length, packed;
        if (!read_u32(data, size, *at, &length) || !read_u16(data, size, *at + packed_at, &packed))
            return XM_WALK_CUT;
        *at += length + packed;
    }
    return XM_WALK_ON;
}

// Steps over an instrument's header and its sample headers from *at, adding the bytes of its
// samples' data to *sample_bytes.
static XmWalk xm_skip_instrument(const uint8_t *data, size_t size, uint64_t *at,
                                 uint64_t *sample_bytes) {
    uint64_t length, samples, sample_header = 0;
    if (!read_u32(data, size, *at, &length) || !read_u16(data, size, *at + 27, &samples))
        return XM_WALK_CUT;
    if (samples > xm_max_samples) return XM_WALK_LEFT_TO_PLAYER;
    if (samples > 0 && !read_u32(data, size, *at + 29, &sample_header)) return XM_WALK_CUT;
    *at += length;
    for (uint64_t k = 0; k < samples; k++, *at += sample_header) {
        uint64_t bytes;
        if (!read_u32(data, size, *at, &bytes)) return XM_WALK_CUT;
        *sample_bytes += bytes;
    }
    return XM_WALK_ON;
}

// Versions 0x0102 and 0x0103 store every instrument's headers first, then the patterns, then
// all the sample data.
static bool xm_early_cut_off(const uint8_t *data, size_t size, uint64_t version, uint64_t patterns,
                             uint64_t instruments, uint64_t at) {
    uint64_t sample_bytes = 0;
    for (uint64_t i = 0; i < instruments; i++) {
        XmWalk w = xm_skip_instrument(data, size, &at, &sample_bytes);
        if (w != XM_WALK_ON) return w == XM_WALK_CUT;
    }
    if (xm_skip_patterns(data, size, version, patterns, &at) == XM_WALK_CUT) return true;
    return at + sample_bytes > size;
}

// True when the patterns, instruments and samples an XM file declares run past its end. The
// player accepts a cut-off module and plays silence for what is missing, and the show would
// go quiet with no reason given. A file that ends where an instrument would begin stores fewer
// instruments than it declares (as size-optimising tools leave them): the player takes the
// missing ones as empty, and so does this check.
static bool xm_cut_off(const uint8_t *data, size_t size) {
    uint64_t version, header, patterns, instruments;
    if (!read_u16(data, size, 58, &version) || !read_u32(data, size, 60, &header) ||
        !read_u16(data, size, 70, &patterns) || !read_u16(data, size, 72, &instruments))
        return true;
    if (patterns > xm_max_patterns || instruments > xm_max_instruments) return false;
    uint64_t at = 60 + header;
    if (version <= 0x0103) return xm_early_cut_off(data, size, version, patterns, instruments, at);
    if (xm_skip_patterns(data, size, version, patterns, &at) == XM_WALK_CUT) return true;
    for (uint64_t i = 0; i < instruments && at != size; i++) {
        uint64_t sample_bytes = 0;
        XmWalk w = xm_skip_instrument(data, size, &at, &sample_bytes);
        if (w != XM_WALK_ON) return w == XM_WALK_CUT;
        at += sample_bytes;
    }
    return at > size;
}

static bool is_xm(const void *data, size_t size) {
    return size >= 17 && std::memcmp(data, "Extended Module: ", 17) == 0;
}

static AudioHandle add_channel(openmpt_module *module, int is_stream) {
    lock();
    AudioHandle handle = 0;
    for (MixChannel &c : channels) {
        if (c.handle != 0) continue;
        handle = ++last_handle == 0 ? ++last_handle : last_handle;
        c = {handle, is_stream, 0, module};
        break;
    }
    unlock();
    return handle;
}

AudioHandle mixer_music_load(const char *path) {
    if (!mix_open) {
        data_error("%s: the sound output is not initialised", path);
        return 0;
    }
    size_t size = 0;
    void *data = read_file(path, &size);
    if (!data) return 0;
    if (is_xm(data, size) && xm_cut_off(static_cast<const uint8_t *>(data), size)) {
        data_error("%s: the module is cut off (%zu bytes, its headers ask for more)", path, size);
        mem_free(data);
        return 0;
    }
    int error = 0;
    openmpt_module *module = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent,
                                                                nullptr, openmpt_error_func_ignore,
                                                                nullptr, &error, nullptr, nullptr);
    mem_free(data); // the module keeps its own copy
    if (!module) {
        data_error("%s: not a module that can be played", path);
        return 0;
    }
    openmpt_module_set_repeat_count(module, -1);
    AudioHandle handle = add_channel(module, 0);
    if (!handle) {
        data_error("%s: too many modules and streams loaded", path);
        openmpt_module_destroy(module);
    }
    return handle;
}

AudioHandle mixer_stream_load(const char *path) {
    data_error("%s: sampled sound streams are not supported, only modules", path);
    return 0;
}

static int play_channel(AudioHandle handle, int is_stream) {
    lock();
    MixChannel *c = find(handle, is_stream);
    if (c) c->playing = 1;
    unlock();
    return c ? 1 : 0;
}

static void free_channel(AudioHandle handle, int is_stream) {
    lock();
    MixChannel *c = find(handle, is_stream);
    openmpt_module *module = c ? c->module : nullptr;
    if (c) *c = {};
    unlock();
    if (module) openmpt_module_destroy(module);
}

int mixer_music_play(AudioHandle music) {
    return play_channel(music, 0);
}

void mixer_music_free(AudioHandle music) {
    free_channel(music, 0);
}

int mixer_stream_play(AudioHandle stream) {
    return play_channel(stream, 1);
}

void mixer_stream_free(AudioHandle stream) {
    free_channel(stream, 1);
}

static int32_t clamp_volume(int32_t v) {
    return v < 0 ? 0 : v > 100 ? 100 : v;
}

void mixer_set_volumes(int32_t music, int32_t sample, int32_t stream) {
    music_volume.store(clamp_volume(music));
    sample_volume.store(clamp_volume(sample));
    stream_volume.store(clamp_volume(stream));
}

// Adds frames of one channel at gain into sum.
static void mix_channel(MixChannel *c, int32_t frames, float gain) {
    size_t got =
        openmpt_module_read_interleaved_float_stereo(c->module, mix_rate, size_t(frames), chunk);
    for (size_t i = 0; i < 2 * got; i++) sum[i] += chunk[i] * gain;
}

// Full scale is 32767; the sum is clamped, then truncated toward zero.
static void to_int16(int16_t *out, int32_t values) {
    for (int32_t i = 0; i < values; i++) {
        float v = sum[i] * 32767.0f;
        v = v > 32767.0f ? 32767.0f : v < -32768.0f ? -32768.0f : v;
        out[i] = int16_t(v);
    }
}

void mixer_render(int16_t *out, int32_t frames) {
    float music_gain = float(music_volume.load()) / 100.0f;
    float stream_gain = float(stream_volume.load()) / 100.0f;
    while (frames > 0) {
        int32_t n = frames < chunk_frames ? frames : chunk_frames;
        for (int32_t i = 0; i < 2 * n; i++) sum[i] = 0.0f;
        for (MixChannel &c : channels)
            if (c.handle && c.playing) mix_channel(&c, n, c.is_stream ? stream_gain : music_gain);
        to_int16(out, 2 * n);
        out += 2 * n;
        frames -= n;
    }
}
