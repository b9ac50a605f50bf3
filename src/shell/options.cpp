// options.cpp -- reads the command line into an Options record

#include "shell/options.h"

#include "data/answer.h"
#include "data/memory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>

#ifndef QM_VERSION
#define QM_VERSION "0"
#endif

static const char usage_text[] =
    "Usage: quellmoor [options]\n"
    "Plays the Quellmoor show. Without options the setup dialog asks for the display and sound.\n"
    "\n"
    "  --help               show this text and exit\n"
    "  --version            show the version and exit\n"
    "  --no-dialog          skip the setup dialog; use the defaults and the options given\n"
    "  --depth 16|24        colour depth of the display (default 24)\n"
    "  --vsync              wait for the vertical retrace before each frame\n"
    "  --windowed           play in a window instead of the full screen\n"
    "  --sound-device N|none  sound device number (0 is the first), or no sound\n"
    "  --data DIR           read quellmor.dat and the music from DIR\n"
    "  --part N             start at part N (1..12) after loading everything\n"
    "  --ticks N            end the show after N ticks of playing\n"
    "  --headless           no window and no sound; a stepped clock, as fast as possible\n"
    "  --frames DIR         write presented screens to DIR/frame-NNNNNN.png (NNNNNN = tick)\n"
    "  --at TICK,TICK,...   with --frames: the ticks to write\n"
    "  --every N            with --frames: write a screen every N ticks\n"
    "  --record FILE.mp4    record the show with its music to an MP4 video (needs ffmpeg);\n"
    "                       headless, as fast as possible; --sound-device none records silence\n"
    "  --scale N            with --record: enlarge the screen N times (1..8)\n"
    "  --benchmark          play headless as fast as possible and print the frame times\n"
    "  --digests FILE       play headless and write a digest of every frame to FILE, one line\n"
    "                       per tick (tick, part, digest), to compare two builds\n"
    "\n"
    "The options --depth, --vsync, --windowed and --sound-device imply --no-dialog.\n"
    "During the show: Escape ends it, N skips to the next part.\n";

// The defaults: the dialog, 24 bits, no retrace wait, full screen, first sound device, part 1.
static void options_defaults(Options *opts) {
    *opts = Options{};
    opts->show_dialog = 1;
    opts->color_depth = 24;
    opts->sound_device = OPT_SOUND_DEFAULT;
    opts->start_part = 1;
    opts->record_scale = 1;
}

// A whole decimal number in [lo, hi]; 0 when text is not one.
static int parse_int(const char *text, int32_t lo, int32_t hi, int32_t *out) {
    if (!text || !*text) return 0;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno || *end || v < lo || v > hi) return 0;
    *out = static_cast<int32_t>(v);
    return 1;
}

static int compare_ticks(const void *a, const void *b) {
    int32_t x = *static_cast<const int32_t *>(a), y = *static_cast<const int32_t *>(b);
    return (x > y) - (x < y);
}

// "TICK,TICK,...": ticks >= 0, stored sorted without repeats.
static int parse_ticks(const char *text, Options *opts) {
    size_t count = 1;
    for (const char *p = text; *p; p++) count += *p == ',';
    auto *ticks = static_cast<int32_t *>(mem_alloc(count * sizeof(int32_t)));
    if (!ticks) return 0;
    char item[16];
    const char *p = text;
    for (size_t i = 0; i < count; i++) {
        size_t len = std::strcspn(p, ",");
        if (len == 0 || len >= sizeof item) return 0;
        std::memcpy(item, p, len);
        item[len] = '\0';
        if (!parse_int(item, 0, INT32_MAX, &ticks[i])) return 0;
        p += len + (p[len] == ',');
    }
    std::qsort(ticks, count, sizeof(int32_t), compare_ticks);
    size_t unique = 0;
    for (size_t i = 0; i < count; i++)
        if (unique == 0 || ticks[unique - 1] != ticks[i]) ticks[unique++] = ticks[i];
    opts->frames_at = ticks;
    opts->frames_at_count = static_cast<int32_t>(unique);
    return 1;
}

static OptionsResult bad(const char *fmt, const char *what) {
    std::fprintf(stderr, "quellmoor: ");
    std::fprintf(stderr, fmt, what);
    std::fprintf(stderr, "\nTry 'quellmoor --help' for more information.\n");
    return OPTIONS_BAD;
}

// getopt_long's codes for the long options; 'h' is also -h.
enum OptionCode {
    OPT_HELP = 'h',
    OPT_VERSION = 256,
    OPT_NO_DIALOG,
    OPT_VSYNC,
    OPT_WINDOWED,
    OPT_HEADLESS,
    OPT_BENCHMARK,
    OPT_DEPTH,
    OPT_SOUND_DEVICE,
    OPT_DATA,
    OPT_PART,
    OPT_TICKS,
    OPT_FRAMES,
    OPT_AT,
    OPT_EVERY,
    OPT_RECORD,
    OPT_SCALE,
    OPT_DIGESTS,
};

static const option long_options[] = {
    {"help", no_argument, nullptr, OPT_HELP},
    {"version", no_argument, nullptr, OPT_VERSION},
    {"no-dialog", no_argument, nullptr, OPT_NO_DIALOG},
    {"vsync", no_argument, nullptr, OPT_VSYNC},
    {"windowed", no_argument, nullptr, OPT_WINDOWED},
    {"headless", no_argument, nullptr, OPT_HEADLESS},
    {"benchmark", no_argument, nullptr, OPT_BENCHMARK},
    {"depth", required_argument, nullptr, OPT_DEPTH},
    {"sound-device", required_argument, nullptr, OPT_SOUND_DEVICE},
    {"data", required_argument, nullptr, OPT_DATA},
    {"part", required_argument, nullptr, OPT_PART},
    {"ticks", required_argument, nullptr, OPT_TICKS},
    {"frames", required_argument, nullptr, OPT_FRAMES},
    {"at", required_argument, nullptr, OPT_AT},
    {"every", required_argument, nullptr, OPT_EVERY},
    {"record", required_argument, nullptr, OPT_RECORD},
    {"scale", required_argument, nullptr, OPT_SCALE},
    {"digests", required_argument, nullptr, OPT_DIGESTS},
    {nullptr, 0, nullptr, 0},
};

// "--name" of an option code, for messages.
static const char *option_name(int code) {
    static char name[32];
    for (const option *o = long_options; o->name; o++)
        if (o->val == code) std::snprintf(name, sizeof name, "--%s", o->name);
    return name;
}

// Options that take a value; value is null when the command line ends before it.
static OptionsResult parse_valued(int code, const char *value, Options *opts) {
    const char *name = option_name(code);
    switch (code) {
    case OPT_DEPTH:
        if (!value || (std::strcmp(value, "16") && std::strcmp(value, "24")))
            return bad("--depth takes 16 or 24, not '%s'", value ? value : "");
        opts->color_depth = std::atoi(value);
        opts->show_dialog = 0;
        break;
    case OPT_SOUND_DEVICE:
        if (value && !std::strcmp(value, "none")) {
            opts->sound_device = OPT_SOUND_NONE;
        } else if (!parse_int(value, 0, 255, &opts->sound_device)) {
            return bad("--sound-device takes a device number or 'none', not '%s'",
                       value ? value : "");
        }
        opts->show_dialog = 0;
        break;
    case OPT_DATA:
        if (!value || !*value) return bad("%s needs a folder", name);
        opts->data_dir = value;
        break;
    case OPT_PART:
        if (!parse_int(value, 1, 12, &opts->start_part))
            return bad("--part takes a part number from 1 to 12, not '%s'", value ? value : "");
        break;
    case OPT_TICKS:
        if (!parse_int(value, 1, INT32_MAX, &opts->stop_after))
            return bad("--ticks takes a number of ticks above 0, not '%s'", value ? value : "");
        break;
    case OPT_FRAMES:
        if (!value || !*value) return bad("%s needs a folder", name);
        opts->frames_dir = value;
        break;
    case OPT_AT:
        if (!value || !parse_ticks(value, opts))
            return bad("--at takes ticks separated by commas, not '%s'", value ? value : "");
        break;
    case OPT_EVERY:
        if (!parse_int(value, 1, INT32_MAX, &opts->frames_every))
            return bad("--every takes a number of ticks above 0, not '%s'", value ? value : "");
        break;
    case OPT_RECORD:
        if (!value || !*value) return bad("%s needs a file name", name);
        opts->record_path = value;
        break;
    case OPT_DIGESTS:
        if (!value || !*value) return bad("%s needs a file name", name);
        opts->digests_path = value;
        break;
    case OPT_SCALE:
        if (!parse_int(value, 1, 8, &opts->record_scale))
            return bad("--scale takes a number from 1 to 8, not '%s'", value ? value : "");
        break;
    }
    return OPTIONS_RUN;
}

// Options without a value; 0 when code is none of them.
static int parse_flag(int code, Options *opts) {
    switch (code) {
    case OPT_NO_DIALOG:
        opts->show_dialog = 0;
        break;
    case OPT_VSYNC:
        opts->vertical_retrace = 1;
        opts->show_dialog = 0;
        break;
    case OPT_WINDOWED:
        opts->windowed = 1;
        opts->show_dialog = 0;
        break;
    case OPT_HEADLESS:
        opts->headless = 1;
        opts->show_dialog = 0;
        break;
    case OPT_BENCHMARK:
        opts->benchmark = 1;
        break;
    default:
        return 0;
    }
    return 1;
}

// Combinations that make no sense are refused rather than half obeyed.
static OptionsResult check(Options *opts) {
    int wants_frames = opts->frames_every > 0 || opts->frames_at_count > 0;
    if (opts->frames_dir && !wants_frames) return bad("%s needs --at or --every", "--frames");
    if (!opts->frames_dir && wants_frames) return bad("%s need --frames DIR", "--at and --every");
    if (opts->frames_every > 0 && opts->frames_at_count > 0)
        return bad("%s: give either --at or --every", "--frames");
    int outputs = (opts->frames_dir != nullptr) + (opts->record_path != nullptr) + opts->benchmark +
                  (opts->digests_path != nullptr);
    if (outputs > 1)
        return bad("%s: give only one of them", "--frames, --record, --benchmark and --digests");
    if (opts->record_scale != 1 && !opts->record_path) return bad("%s needs --record", "--scale");
    // Recording and the benchmark play headless; a recording keeps its music (rendered offline
    // in step with the ticks) unless --sound-device none asks for silence.
    if (opts->record_path || opts->benchmark || opts->digests_path) {
        opts->headless = 1;
        opts->show_dialog = 0;
    }
    if (opts->record_path)
        opts->sound_device = opts->sound_device == OPT_SOUND_NONE ? OPT_SOUND_NONE : 0;
    else if (opts->headless)
        opts->sound_device = OPT_SOUND_NONE;
    return OPTIONS_RUN;
}

// --help and --version: OPTIONS_DONE, or OPTIONS_FAILED when stdout would not take the text.
static OptionsResult answer(int code) {
    char version[64];
    std::snprintf(version, sizeof version, "quellmoor %s\n", QM_VERSION);
    return answer_print("quellmoor", code == OPT_HELP ? usage_text : version) ? OPTIONS_DONE
                                                                              : OPTIONS_FAILED;
}

// What getopt_long refused (code '?'), arg the word it refused.
static OptionsResult refused(const char *arg) {
    if (optopt >= OPT_VERSION) return bad("%s takes no value", option_name(optopt));
    if (optopt) {
        const char letter[3] = {'-', static_cast<char>(optopt), '\0'};
        return bad("unknown option '%s'", letter);
    }
    return bad("unknown option '%s'", arg);
}

OptionsResult options_parse(int argc, char **argv, Options *opts) {
    options_defaults(opts);
    optind = 0; // a fresh scan, also when called again (the tests do)
    opterr = 0; // the messages are ours
    for (int code; (code = getopt_long(argc, argv, ":h", long_options, nullptr)) != -1;) {
        if (code == OPT_HELP || code == OPT_VERSION) return answer(code);
        if (code == '?') return refused(argv[optind - 1]);
        // ':' is a value missing at the end of the line: its option says what it wanted.
        if (code == ':') return parse_valued(optopt, nullptr, opts);
        if (parse_flag(code, opts)) continue;
        if (parse_valued(code, optarg, opts) != OPTIONS_RUN) return OPTIONS_BAD;
    }
    if (optind < argc) return bad("unexpected argument '%s'", argv[optind]);
    return check(opts);
}
