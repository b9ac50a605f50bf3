// audio_test.cpp -- module playback through the offline mix (the fuzzing seed tiny.xm) and the
// SDL output on its dummy back-end.

#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "data/error.h"
#include "helpers.h"
#include "platform/audio.h"

#if QM_HAVE_SDL
#include <SDL.h>
#endif

// The fuzzing seed tiny.xm: one pattern with a looped 32-sample sine on C-4 in channel 0 from
// row 0, 16 rows at speed 6 and 125 BPM (1.92 s), restarting at order 0.
static std::string tiny_xm() {
    return read_text(QM_TEST_DIR "/../fuzz/seeds/music_module/tiny.xm");
}

static int peak(const std::vector<int16_t> &samples, size_t from = 0) {
    int p = 0;
    for (size_t i = from; i < samples.size(); i++) p = std::max(p, std::abs(int(samples[i])));
    return p;
}

class OfflineAudio : public ::testing::Test {
  protected:
    void SetUp() override { module = write_temp(tiny_xm(), "tiny.xm"); }
    void TearDown() override { audio_offline.free(); }
    std::string write_temp(const std::string &bytes, const char *name) {
        write_text(dir + "/" + name, bytes);
        return dir + "/" + name;
    }
    // A fresh output playing the module at the given music volume.
    AudioHandle play(int32_t volume) {
        audio_offline.free();
        EXPECT_EQ(audio_offline.init(0, 44100), 1);
        AudioHandle music = audio_offline.music_load(module.c_str());
        EXPECT_NE(music, 0u) << data_last_error();
        EXPECT_EQ(audio_offline.music_play(music), 1);
        audio_offline.set_volumes(volume, 0, 0);
        EXPECT_EQ(audio_offline.start(), 1);
        return music;
    }
    std::vector<int16_t> render(int32_t frames) {
        std::vector<int16_t> out(size_t(2 * frames), 12345);
        EXPECT_EQ(audio_offline_render(out.data(), frames), frames);
        return out;
    }
    TempDir dir;
    std::string module;
};

// The module sounds, loops past its end, and is silent when stopped, freed or never played.
TEST_F(OfflineAudio, PlaysLoopsAndFallsSilent) {
    AudioHandle music = play(100);
    // Three seconds: the pattern ends after 1.92 s and the module must start again.
    std::vector<int16_t> out = render(3 * AUDIO_OFFLINE_RATE);
    EXPECT_GT(peak(out), 2000);
    EXPECT_GT(peak(out, out.size() - AUDIO_OFFLINE_RATE), 2000) << "silent after the loop";
    EXPECT_EQ(audio_offline_render(nullptr, 10), 0);
    EXPECT_EQ(audio_offline.stop(), 1);
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.start(), 1);
    EXPECT_GT(peak(render(4800)), 2000) << "start resumes";
    audio_offline.music_free(music);
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.music_play(music), 0) << "a freed handle is unknown";
    ASSERT_NE(audio_offline.music_load(module.c_str()), 0u);
    EXPECT_EQ(peak(render(4800)), 0) << "loaded, never played";
    audio_offline.free();
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.start(), 0);
    EXPECT_EQ(audio_offline.music_load(module.c_str()), 0u) << "no loading after free";
}

TEST_F(OfflineAudio, MusicVolumeScalesTheMix) {
    std::vector<int16_t> mix[4]; // volumes 100, 50, 250 (clamped to 100) and 0
    for (int i = 0; i < 4; i++) {
        play(std::vector<int32_t>{100, 50, 250, 0}[i]);
        mix[i] = render(AUDIO_OFFLINE_RATE / 2);
    }
    const std::vector<int16_t> &full = mix[0], &half = mix[1];
    ASSERT_GT(peak(full), 2000);
    int worst = 0;
    for (size_t i = 0; i < full.size(); i++)
        worst = std::max(worst, std::abs(full[i] / 2 - half[i]));
    EXPECT_LE(worst, 1) << "volume 50 must give half the amplitude of volume 100";
    EXPECT_EQ(full, mix[2]);
    EXPECT_EQ(peak(mix[3]), 0);
}

TEST_F(OfflineAudio, BadFilesFailWithAReasonNamingThem) {
    ASSERT_EQ(audio_offline.init(0, 44100), 1);
    EXPECT_EQ(audio_offline.init(0, 44100), 0) << "one init at a time";
    std::string junk = write_temp("Extended Module: but then nothing sensible", "junk.xm");
    std::string module_bytes = tiny_xm();
    // Cut in the header, and cut in the sample data (the player itself takes both quietly).
    std::string header_cut = write_temp(module_bytes.substr(0, 200), "header_cut.xm");
    std::string data_cut =
        write_temp(module_bytes.substr(0, module_bytes.size() - 10), "data_cut.xm");
    std::string longer = write_temp(module_bytes + "trailing bytes", "longer.xm");
    // 65535 empty instruments of 65535 empty sample headers each, all at one place: checking
    // what they declare must not take billions of steps.
    std::string swollen_bytes = module_bytes;
    const size_t instrument = 336 + 9 + 34;
    for (size_t at : {size_t(72), instrument + 27})
        swollen_bytes[at] = swollen_bytes[at + 1] = '\xFF';
    for (size_t at : {instrument, instrument + 29})
        for (size_t k = 0; k < 4; k++) swollen_bytes[at + k] = 0;
    std::string swollen = write_temp(swollen_bytes, "swollen.xm");
    data_clear_error();
    if (!audio_offline.music_load(swollen.c_str())) {
        EXPECT_NE(std::string(data_last_error()).find(swollen), std::string::npos);
    }
    EXPECT_NE(audio_offline.music_load(longer.c_str()), 0u) << "bytes past the end are harmless";
    for (const std::string &path :
         {junk, header_cut, data_cut, std::string("/nonexistent/quellmor.xm")}) {
        data_clear_error();
        EXPECT_EQ(audio_offline.music_load(path.c_str()), 0u) << path;
        EXPECT_NE(std::string(data_last_error()).find(path), std::string::npos)
            << data_last_error();
    }
    data_clear_error();
    EXPECT_EQ(audio_offline.stream_load(module.c_str()), 0u) << "streams are not played";
    EXPECT_NE(std::string(data_last_error()).find(module), std::string::npos);
}

#if QM_HAVE_SDL
// SDL's device list as another machine gives it, while fake_devices points at one; else SDL's.
static const std::vector<std::string> *fake_devices;

extern "C" int SDL_GetNumAudioDevices(int capture) {
    if (fake_devices && !capture) return int(fake_devices->size());
    using Real = int (*)(int);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_GetNumAudioDevices"));
    return real(capture);
}

extern "C" const char *SDL_GetAudioDeviceName(int index, int capture) {
    if (fake_devices && !capture)
        return index >= 0 && size_t(index) < fake_devices->size() ? (*fake_devices)[index].c_str()
                                                                  : nullptr;
    using Real = const char *(*)(int, int);
    static Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "SDL_GetAudioDeviceName"));
    return real(index, capture);
}

// The dialog lists every name at once; with no output device there is no default either.
TEST(DeviceAudio, EachDeviceKeepsItsOwnNameAndNoneMeansNoDefault) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    std::vector<std::string> two = {"Moorhen speakers", "Sedge headphones"}, none;
    fake_devices = &two;
    const char *names[4] = {};
    int count = 0;
    while (count < 4 && (names[count] = audio_device.device_name(count))) count++;
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(names[0], "Default device");
    EXPECT_STREQ(names[1], "Moorhen speakers");
    EXPECT_STREQ(names[2], "Sedge headphones");
    EXPECT_EQ(audio_device.init(count, 44100), 0) << "past the last device";
    fake_devices = &none;
    EXPECT_EQ(audio_device.device_name(0), nullptr);
    fake_devices = nullptr;
    audio_device.free();
}
#endif
