// audio_test.cpp -- module playback through the offline mix (a tiny XM written here) and the
// SDL output on its dummy back-end.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "data/error.h"
#include "platform/audio.h"

#if QM_HAVE_SDL
#include <SDL.h>
#endif

// A one-pattern module: a looped sine on C-4 in channel 0 from row 0, 16 rows at speed 6 and
// 125 BPM (1.92 s), restarting at order 0.
static std::string tiny_xm() {
    std::string x;
    auto u8 = [&](int v) { x.push_back(char(v & 0xFF)); };
    auto u16 = [&](int v) { u8(v), u8(v >> 8); };
    auto u32 = [&](uint32_t v) { u16(int(v & 0xFFFF)), u16(int(v >> 16)); };
    auto text = [&](const char *s, size_t n, char pad) {
        std::string t(s);
        t.resize(n, pad);
        x += t;
    };
    text("Extended Module: ", 17, ' ');
    text("tiny", 20, ' ');
    u8(0x1A);
    text("FastTracker v2.00", 20, ' ');
    u16(0x0104);
    u32(276);
    for (int v : {1, 0, 2, 1, 1, 1, 6, 125}) u16(v); // length, restart, channels .. BPM
    x += std::string(256, '\0');                     // order 0 plays pattern 0
    // Pattern: row 0 channel 0 = C-4 instrument 1, every other cell empty.
    std::string cells = {char(0x83), 49, 1};
    cells += std::string(16 * 2 - 1, char(0x80));
    u32(9), u8(0), u16(16), u16(int(cells.size()));
    x += cells;
    // Instrument with one sample.
    u32(263);
    text("sine", 22, '\0');
    u8(0), u16(1), u32(40);
    x += std::string(96 + 48 + 48, '\0'); // note map, both envelopes
    x += std::string(14, '\0');           // counts, sustain and loop points, types, vibrato
    u16(0), u16(0);                       // fadeout, reserved
    x += std::string(20, '\0');
    const int length = 32;
    u32(length), u32(0), u32(length); // forward loop over all of it
    u8(64), u8(0), u8(1), u8(128), u8(0), u8(0);
    text("sine", 22, '\0');
    int previous = 0;
    for (int i = 0; i < length; i++) {
        int s = int(std::lround(100.0 * std::sin(2.0 * M_PI * i / length)));
        u8(s - previous);
        previous = s;
    }
    return x;
}

static std::string write_temp(const std::string &bytes, const char *suffix) {
    std::string path = ::testing::TempDir() + "platform_" + std::to_string(getpid()) + suffix;
    FILE *f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    if (f) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

static int peak(const std::vector<int16_t> &samples, size_t from = 0) {
    int p = 0;
    for (size_t i = from; i < samples.size(); i++) p = std::max(p, std::abs(int(samples[i])));
    return p;
}

class OfflineAudio : public ::testing::Test {
  protected:
    void SetUp() override { module = write_temp(tiny_xm(), ".xm"); }
    void TearDown() override {
        audio_offline.free();
        std::remove(module.c_str());
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
    std::string module;
};

TEST_F(OfflineAudio, PlaysTheModuleAndLoopsPastItsEnd) {
    EXPECT_STREQ(audio_offline.device_name(0), "Offline");
    EXPECT_EQ(audio_offline.device_name(1), nullptr);
    play(100);
    // Three seconds: the pattern ends after 1.92 s and the module must start again.
    std::vector<int16_t> out = render(3 * AUDIO_OFFLINE_RATE);
    EXPECT_GT(peak(out), 2000);
    EXPECT_GT(peak(out, out.size() - 2 * AUDIO_OFFLINE_RATE / 2), 2000) << "silent after the loop";
    EXPECT_EQ(render(0).size(), 0u);
    EXPECT_EQ(audio_offline_render(nullptr, 10), 0);
}

TEST_F(OfflineAudio, SilentWhenStoppedFreedOrNotPlaying) {
    AudioHandle music = play(100);
    EXPECT_GT(peak(render(4800)), 2000);
    EXPECT_EQ(audio_offline.stop(), 1);
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.start(), 1);
    EXPECT_GT(peak(render(4800)), 2000) << "start resumes";
    audio_offline.music_free(music);
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.music_play(music), 0) << "a freed handle is unknown";
    // Loaded but never played: nothing sounds.
    AudioHandle idle = audio_offline.music_load(module.c_str());
    ASSERT_NE(idle, 0u);
    EXPECT_EQ(peak(render(4800)), 0);
    audio_offline.free();
    EXPECT_EQ(peak(render(4800)), 0);
    EXPECT_EQ(audio_offline.start(), 0);
    EXPECT_EQ(audio_offline.music_load(module.c_str()), 0u) << "no loading after free";
}

TEST_F(OfflineAudio, MusicVolumeScalesTheMix) {
    play(100);
    std::vector<int16_t> full = render(AUDIO_OFFLINE_RATE / 2);
    play(50);
    std::vector<int16_t> half = render(AUDIO_OFFLINE_RATE / 2);
    play(250); // clamped to 100
    std::vector<int16_t> clamped = render(AUDIO_OFFLINE_RATE / 2);
    play(0);
    std::vector<int16_t> muted = render(AUDIO_OFFLINE_RATE / 2);
    ASSERT_GT(peak(full), 2000);
    int worst = 0;
    for (size_t i = 0; i < full.size(); i++)
        worst = std::max(worst, std::abs(full[i] / 2 - half[i]));
    EXPECT_LE(worst, 1) << "volume 50 must give half the amplitude of volume 100";
    EXPECT_EQ(full, clamped);
    EXPECT_EQ(peak(muted), 0);
}

TEST_F(OfflineAudio, BadFilesFailWithAReasonNamingThem) {
    ASSERT_EQ(audio_offline.init(0, 44100), 1);
    EXPECT_EQ(audio_offline.init(0, 44100), 0) << "one init at a time";
    std::string junk = write_temp("Extended Module: but then nothing sensible", ".bad");
    std::string module_bytes = tiny_xm();
    // Cut in the header, and cut in the sample data (the player itself takes both quietly).
    std::string header_cut = write_temp(module_bytes.substr(0, 200), ".cut1");
    std::string data_cut = write_temp(module_bytes.substr(0, module_bytes.size() - 10), ".cut2");
    std::string longer = write_temp(module_bytes + "trailing bytes", ".long");
    // 65535 empty instruments of 65535 empty sample headers each, all at one place: checking
    // what they declare must not take billions of steps.
    std::string swollen_bytes = module_bytes;
    const size_t instrument = 336 + 9 + 34;
    for (size_t at : {size_t(72), instrument + 27})
        swollen_bytes[at] = swollen_bytes[at + 1] = '\xFF';
    for (size_t at : {instrument, instrument + 29})
        for (size_t k = 0; k < 4; k++) swollen_bytes[at + k] = 0;
    std::string swollen = write_temp(swollen_bytes, ".big");
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
    for (const std::string &path : {junk, header_cut, data_cut, longer, swollen})
        std::remove(path.c_str());
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
    fake_devices = &none;
    EXPECT_EQ(audio_device.device_name(0), nullptr);
    fake_devices = nullptr;
    audio_device.free();
}
#endif

#if QM_HAVE_SDL && QM_HAVE_OPENMPT
TEST(DeviceAudio, PlaysThroughTheDummyOutput) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const char *first = audio_device.device_name(0);
    ASSERT_NE(first, nullptr) << "the dummy back-end offers the default device";
    EXPECT_STREQ(first, "Default device");
    int count = 0;
    while (audio_device.device_name(count)) count++;
    EXPECT_EQ(audio_device.init(count, 44100), 0) << "past the last device";
    ASSERT_EQ(audio_device.init(0, 44100), 1);
    std::string module = write_temp(tiny_xm(), ".xm");
    AudioHandle music = audio_device.music_load(module.c_str());
    ASSERT_NE(music, 0u) << data_last_error();
    EXPECT_EQ(audio_device.music_play(music), 1);
    audio_device.set_volumes(98, 0, 0);
    EXPECT_EQ(audio_device.start(), 1);
    usleep(50000); // the callback renders meanwhile
    EXPECT_EQ(audio_device.stop(), 1);
    audio_device.music_free(music);
    EXPECT_EQ(audio_device.music_play(music), 0);
    audio_device.free();
    EXPECT_EQ(audio_device.start(), 0);
    std::remove(module.c_str());
}
#endif

// The show's own tunes, when the build has forged them: they load (their headers and data
// agree) and sound.
TEST_F(OfflineAudio, TheShowsTunesLoadAndSound) {
    for (const char *name : {"quellmor.xm", "end.xm"}) {
        std::string path = std::string(QM_BUILD_DIR) + "/" + name;
        if (access(path.c_str(), R_OK) != 0) GTEST_SKIP() << path << " is not forged in this build";
        audio_offline.free();
        ASSERT_EQ(audio_offline.init(0, 44100), 1);
        AudioHandle music = audio_offline.music_load(path.c_str());
        ASSERT_NE(music, 0u) << data_last_error();
        ASSERT_EQ(audio_offline.music_play(music), 1);
        ASSERT_EQ(audio_offline.start(), 1);
        EXPECT_GT(peak(render(20 * AUDIO_OFFLINE_RATE)), 1000) << name;
    }
}
