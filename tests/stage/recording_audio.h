// recording_audio.h -- an audio driver that plays nothing and records every call it is given
// ("init 0 44100", "music_load PATH", "volumes M S ST", ...) in calls. Music loads fail for a
// path holding "missing"; modules get handle 7, streams 9.
#pragma once

#include "platform/audio.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;

void log_call(const std::string &c) {
    calls.push_back(c);
}

const AudioDriver recording = {
    "recording",
    [](int32_t i) -> const char * { return i == 0 ? "Speakers" : nullptr; },
    [](int32_t device, int32_t rate) {
        log_call("init " + std::to_string(device) + " " + std::to_string(rate));
        return 1;
    },
    [] { return log_call("start"), 1; },
    [] { return log_call("stop"), 1; },
    [] { log_call("free"); },
    [](const char *path) -> AudioHandle {
        log_call(std::string("music_load ") + path);
        return std::string(path).find("missing") == std::string::npos ? 7 : 0;
    },
    [](AudioHandle h) { return log_call("music_play " + std::to_string(h)), 1; },
    [](AudioHandle h) { log_call("music_free " + std::to_string(h)); },
    [](const char *path) -> AudioHandle { return log_call(std::string("stream_load ") + path), 9; },
    [](AudioHandle h) { return log_call("stream_play " + std::to_string(h)), 1; },
    [](AudioHandle h) { log_call("stream_free " + std::to_string(h)); },
    [](int32_t m, int32_t s, int32_t st) {
        log_call("volumes " + std::to_string(m) + " " + std::to_string(s) + " " +
                 std::to_string(st));
    },
};

} // namespace
