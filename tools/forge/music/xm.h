// xm.h -- FastTracker 2 extended modules in memory, and the writer that stores them the way
// FastTracker 2 itself does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int XM_MAX_CHANNELS = 32;
constexpr int XM_MAX_PATTERNS = 256;
constexpr int XM_MAX_INSTRUMENTS = 128;
constexpr int XM_MAX_ENV_POINTS = 12;
constexpr uint8_t XM_NOTE_OFF = 97;

// Effect numbers of the effect column (0x0..0xF, then letters counted on from A = 10).
enum XmEffect : uint8_t {
    XM_FX_PORTA_DOWN = 0x2,
    XM_FX_VIBRATO = 0x4,
    XM_FX_PANNING = 0x8,
    XM_FX_VOLUME_SLIDE = 0xA,
    XM_FX_EXTENDED = 0xE, // parameter 0xCx cuts the note after x ticks
    XM_FX_SPEED = 0xF,
    XM_FX_GLOBAL_VOLUME = 16,
};

// Volume column values: 0x10 + v sets volume v (0..64); 0xC0 + p sets panning p * 17.
constexpr uint8_t XM_VOL_SET = 0x10;
constexpr uint8_t XM_VOL_PANNING = 0xC0;

// One cell of a pattern; 0 in a field means "nothing there".
struct XmCell {
    uint8_t note; // 1..96 (1 = C-0, 49 = C-4), XM_NOTE_OFF
    uint8_t instrument;
    uint8_t volume;
    uint8_t effect;
    uint8_t param;
};

struct XmPattern {
    int rows;
    std::vector<XmCell> cells; // rows x channels, row by row
};

// Envelope flags.
constexpr uint8_t XM_ENV_ON = 1;
constexpr uint8_t XM_ENV_SUSTAIN = 2;
constexpr uint8_t XM_ENV_LOOP = 4;

struct XmEnvelope {
    int count; // points in use, 0..12
    uint16_t tick[XM_MAX_ENV_POINTS];
    uint16_t value[XM_MAX_ENV_POINTS]; // 0..64
    uint8_t sustain, loop_start, loop_end;
    uint8_t flags;
};

// Sample loop kinds.
constexpr uint8_t XM_LOOP_NONE = 0;
constexpr uint8_t XM_LOOP_FORWARD = 1;

// One instrument with its single 16-bit sample.
struct XmInstrument {
    std::string name; // up to 22 characters
    std::vector<int16_t> pcm;
    uint32_t loop_start, loop_length; // in sample frames
    uint8_t loop_type;
    uint8_t volume;  // 0..64
    int8_t finetune; // 1/128 semitone
    uint8_t panning; // 0..255, 128 = centre
    int8_t relative_note;
    XmEnvelope volume_env;
    uint8_t vibrato_type, vibrato_sweep, vibrato_depth, vibrato_rate;
    uint16_t fadeout;
};

struct XmSong {
    std::string name; // up to 20 characters
    int channels;
    int restart;    // order the song loops back to
    int speed, bpm; // ticks per row; one tick lasts 2.5 / bpm seconds
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Checks the limits of the format; on a fault writes why into *why and returns 0.
int xm_check(const XmSong *song, std::string *why);

// Encodes a checked song as an XM file image into *out; 0 (with *why) if the song breaks the
// format's limits.
int xm_encode(const XmSong *song, std::vector<uint8_t> *out, std::string *why);

// The order a module's parts are stored in: as FastTracker 2 stores them (version 0x0104: each
// pattern, then each instrument followed by its sample data), or as its earliest versions did
// (0x0102: every instrument's headers, then the patterns, each with an 8-byte header whose row
// count is one byte holding rows - 1, then all the sample data). Players read both.
enum XmLayout { XM_LAYOUT_0104, XM_LAYOUT_0102 };

// xm_encode in the given layout (xm_encode writes XM_LAYOUT_0104; the show's tunes use it).
int xm_encode_layout(const XmSong *song, XmLayout layout, std::vector<uint8_t> *out,
                     std::string *why);

// Encodes the song and writes it to path; on failure prints the path and the reason on stderr
// and returns 0.
int xm_write_file(const XmSong *song, const char *path);

// An empty pattern of the given size for a song of `channels` channels.
XmPattern xm_pattern_make(int rows, int channels);

// The cell at (row, channel); valid while the pattern is not resized.
XmCell *xm_cell(XmPattern *pattern, int channels, int row, int channel);
