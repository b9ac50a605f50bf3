// setup.cpp -- the entry: options, setup dialog, start-up, the show and shut-down

#include "shell/setup.h"

#include "data/archive.h"
#include "data/cpu.h"
#include "data/error.h"
#include "data/memory.h"
#include "platform/audio.h"
#include "platform/dialog.h"
#include "platform/icon.h"
#include "platform/signals.h"
#include "platform/video.h"
#include "shell/benchmark.h"
#include "shell/digests.h"
#include "shell/frames.h"
#include "shell/options.h"
#include "shell/preload.h"
#include "shell/record.h"
#include "shell/sequencer.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/music.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#ifndef QM_INSTALL_DATADIR
#define QM_INSTALL_DATADIR "/usr/local/share/quellmoor"
#endif

ShowSettings show_settings;

// An archive the user cannot read still marks the place: opening it then says why it fails,
// rather than a later file being missing from some other folder.
static int has_data(const char *dir) {
    char path[4096];
    std::snprintf(path, sizeof path, "%s/quellmor.dat", dir);
    if (access(path, F_OK) == 0) return 1;
    std::snprintf(path, sizeof path, "%s/data/loading.jpg", dir);
    return access(path, F_OK) == 0;
}

// The folder of the running program, from /proc/self/exe; "" when unknown.
static void program_dir(char *dir, size_t size) {
    ssize_t n = readlink("/proc/self/exe", dir, size - 1);
    dir[n > 0 ? n : 0] = '\0';
    char *slash = std::strrchr(dir, '/');
    if (slash)
        *slash = '\0';
    else
        dir[0] = '\0';
}

// The folder the show's data is read from: the --data folder when given, else the first of the
// current folder, the program's folder, ../share/quellmoor beside the program's folder and the
// installed data folder that holds quellmor.dat or data/loading.jpg (the current folder when
// none does). Writes it into dir (size bytes).
static void setup_find_data(const char *data_option, char *dir, size_t size) {
    if (data_option) {
        std::snprintf(dir, size, "%s", data_option);
        return;
    }
    char exe[4096], installed[4096 + 32] = "";
    program_dir(exe, sizeof exe);
    // An installed program finds its data beside bin/, wherever the tree was put.
    if (exe[0]) std::snprintf(installed, sizeof installed, "%s/../share/quellmoor", exe);
    const char *places[] = {".", exe, installed, QM_INSTALL_DATADIR};
    for (const char *place : places) {
        if (place[0] && has_data(place)) {
            std::snprintf(dir, size, "%s", place);
            return;
        }
    }
    std::snprintf(dir, size, ".");
}

// A recording renders its music offline, in step with the ticks; the show plays it on a device.
static const AudioDriver *sound_driver(const Options *opts) {
    return opts->record_path ? &audio_offline : &audio_device;
}

// The settings from the dialog, or from the command line when it skips the dialog. Returns 1 to
// run, 0 when the user chose Exit.
static int choose_settings(const Options *opts) {
    const char *names[AUDIO_MAX_DEVICES];
    int32_t count = 0;
    const AudioDriver *audio = sound_driver(opts);
    if (!opts->headless || opts->record_path)
        while (count < AUDIO_MAX_DEVICES && (names[count] = audio->device_name(count))) count++;
    ShowSettings *s = &show_settings;
    *s = ShowSettings{
        opts->color_depth, opts->vertical_retrace, opts->windowed, opts->sound_device, count, 1, 0,
        opts->headless};
    if (opts->show_dialog) {
        DialogSettings chosen;
        DialogResult result = dialog_run(names, count, &chosen);
        if (result == DIALOG_EXIT) return 0;
        if (result == DIALOG_RUN) {
            s->color_depth = chosen.color_depth;
            s->vertical_retrace = chosen.vertical_retrace;
            s->windowed = chosen.windowed;
            s->sound_device = chosen.sound_device;
        } else {
            std::fprintf(stderr, "quellmoor: the setup dialog cannot be shown; playing with "
                                 "the defaults\n");
        }
    }
    if (s->sound_device == OPT_SOUND_DEFAULT && count == 0)
        std::fprintf(stderr, "quellmoor: no sound device was found; the show plays silently\n");
    else if (s->sound_device >= count && count == 0)
        std::fprintf(stderr,
                     "quellmoor: there is no sound device %d (none was found); the show plays "
                     "silently\n",
                     s->sound_device);
    else if (s->sound_device >= count)
        std::fprintf(stderr,
                     "quellmoor: there is no sound device %d (the devices are 0 to %d); the "
                     "show plays silently\n",
                     s->sound_device, count - 1);
    if (s->sound_device == OPT_SOUND_DEFAULT) s->sound_device = 0;
    if (s->sound_device < 0 || s->sound_device > count - 1) s->sound_device = SOUND_NONE;
    return 1;
}

// The archive when there is one; a damaged one is an error, a missing one is not.
static int open_data(const char *dir) {
    file_set_data_dir(dir);
    music_set_dir(dir);
    char path[4096 + 64];
    std::snprintf(path, sizeof path, "%s/quellmor.dat", dir);
    show_settings.archive_open = 0;
    if (access(path, F_OK) != 0) return 1;
    if (!archive_open(path)) {
        std::fprintf(stderr, "quellmoor: %s\n", data_last_error());
        return 0;
    }
    show_settings.archive_open = 1;
    return 1;
}

static int open_display() {
    const ShowSettings *s = &show_settings;
    const VideoDriver *driver = s->headless ? &video_headless : &video_window;
    int32_t flags = DISPLAY_CREATE | (s->windowed ? DISPLAY_WINDOWED : 0) |
                    (s->vertical_retrace ? DISPLAY_VSYNC : 0);
    if (display_open(DISPLAY_WIDTH, DISPLAY_HEIGHT, s->color_depth, flags, driver)) return 1;
    char text[128];
    std::snprintf(text, sizeof text,
                  "Unable to initialize 512x384 with a color depth of %d "
                  "bits/pixel",
                  s->color_depth);
    std::fprintf(stderr, "quellmoor: %s\n", text);
    driver->message_box("Vandrel", text);
    return 0;
}

// The start-up after the settings are known: processor, data, display, sound, clock.
static int start_up(const Options *opts) {
    cpu_detect();
    char dir[4096];
    setup_find_data(opts->data_dir, dir, sizeof dir);
    if (!open_data(dir) || !open_display()) return 0;
    int32_t device = show_settings.sound_device;
    if (device != SOUND_NONE && !music_init(sound_driver(opts), device)) {
        std::fprintf(stderr,
                     "quellmoor: the sound device %d cannot be opened (try "
                     "--sound-device none)\n",
                     device);
        return 0;
    }
    if (!clock_start(CLOCK_RATE, show_settings.headless ? CLOCK_STEPPED : CLOCK_REAL))
        std::fprintf(stderr, "quellmoor: the clock cannot be started; the show stands still\n");
    return 1;
}

// Stops the clock, the music and sound, closes the display and frees every memory block.
static void shutdown() {
    clock_stop();
    music_shutdown();
    if (display_device) display_device->close();
    archive_close();
    mem_free_all();
}

static int start_frames(const Options *opts) {
    if (opts->digests_path) {
        if (!digests_start(opts->digests_path)) return 0;
        sequencer_set_frame_hook(digests_capture);
    }
    if (!opts->frames_dir) return 1;
    FrameSchedule schedule = {opts->frames_dir, opts->frames_every, opts->frames_at,
                              opts->frames_at_count};
    if (!frames_start(&schedule)) return 0;
    sequencer_set_frame_hook(frames_capture);
    return 1;
}

// Options and the setup: returns -1 to go on, else the exit status.
static int prepare(int argc, char **argv, Options *opts) {
    switch (options_parse(argc, argv, opts)) {
    case OPTIONS_DONE:
        return EXIT_SHOW_OK;
    case OPTIONS_BAD:
        return EXIT_SHOW_USAGE;
    case OPTIONS_FAILED:
        return EXIT_SHOW_FAILED;
    case OPTIONS_RUN:
        break;
    }
    if (opts->record_path && !record_check_name(opts->record_path)) return EXIT_SHOW_USAGE;
    if (!opts->headless && !video_window.available()) {
        std::fprintf(stderr, "quellmoor: no display is available to show the show on.\n"
                             "Run 'quellmoor --headless' to play it without a window (with "
                             "--frames DIR to see it),\n"
                             "or 'quellmoor --record FILE.mp4' to record it to a video.\n");
        return EXIT_SHOW_USAGE;
    }
    // The dialog already shows the icon that lies with the data.
    char dir[4096], icon[4096 + 32];
    setup_find_data(opts->data_dir, dir, sizeof dir);
    std::snprintf(icon, sizeof icon, "%s/quellmoor.png", dir);
    icon_set_file(icon);
    if (!choose_settings(opts)) return EXIT_SHOW_OK;
    return -1;
}

// 128 + the signal's number after Ctrl-C or kill, else status.
static int unless_stopped(int status) {
    return signals_caught() ? 128 + signals_caught() : status;
}

static int start_recording(const Options *opts) {
    if (!opts->record_path) return 1;
    RecordSettings settings = {opts->record_path, opts->record_scale, AUDIO_OFFLINE_RATE,
                               opts->start_part};
    if (!record_start(&settings)) return 0;
    sequencer_set_frame_hook(record_capture);
    return 1;
}

// The parts from the chosen one to the end of the show (or Escape).
static void play(const Options *opts) {
    sequencer.part_index = opts->start_part;
    if (opts->record_path) record_show_begins();
    if (opts->benchmark) {
        benchmark_run_show(show_parts);
    } else if (opts->stop_after) {
        int64_t end = int64_t(tick_count) + opts->stop_after;
        while (!sequencer.quit_requested && tick_count < end)
            if (!sequencer_frame(show_settings.vertical_retrace)) break;
    } else {
        run_main_loop(show_settings.vertical_retrace);
    }
}

// Closes the recording; one that Ctrl-C or kill cut short keeps what was recorded so far.
static int finish_recording(const Options *opts, int outcome) {
    if (!opts->record_path) return 1;
    int recorded = record_finish(signals_caught() ? RECORD_COMPLETE : outcome);
    if (recorded && signals_caught())
        std::fprintf(stderr,
                     "quellmoor: the recording was stopped; what was recorded so far is "
                     "in %s\n",
                     opts->record_path);
    return recorded;
}

// Listed ticks the show never reached wrote nothing: said once, unless the user stopped it.
static void warn_unreached_frames(const Options *opts) {
    int32_t first = 0, count = opts->frames_dir ? frames_unreached(&first) : 0;
    if (count == 0 || signals_caught()) return;
    std::fprintf(stderr,
                 "quellmoor: warning: the show ended at tick %d, before tick %d of --at; %d "
                 "listed %s written\n",
                 int(tick_count.load()), int(first), int(count),
                 count == 1 ? "screen was not" : "screens were not");
}

// After the show: the recording's end, the benchmark's table. Returns the exit status.
static int finish(const Options *opts) {
    warn_unreached_frames(opts);
    int recorded = finish_recording(opts, fault_count() ? RECORD_CUT : RECORD_COMPLETE);
    if (opts->digests_path) digests_finish();
    if (opts->benchmark) benchmark_report(stdout);
    shutdown();
    return unless_stopped(fault_count() || !recorded ? EXIT_SHOW_FAILED : EXIT_SHOW_OK);
}

int show_main(int argc, char **argv) {
    signals_install();
    // The user's locale, as the dialog's toolkit would set it anyway: a run behaves the same with
    // and without the dialog. Numbers are read and written with a point whatever it says.
    std::setlocale(LC_ALL, "");
    Options opts;
    int status = prepare(argc, argv, &opts);
    if (status >= 0 || signals_caught()) {
        mem_free_all();
        return unless_stopped(status);
    }
    if (!start_frames(&opts) || !start_up(&opts) || !start_recording(&opts)) {
        shutdown();
        return unless_stopped(EXIT_SHOW_FAILED);
    }
    double preload_start = benchmark_now();
    int loaded = preload();
    if (loaded == PRELOAD_FAILED) {
        if (!signals_caught()) std::fprintf(stderr, "quellmoor: %s\n", data_last_error());
        finish_recording(&opts, RECORD_DISCARD);
        shutdown();
        return unless_stopped(EXIT_SHOW_FAILED);
    }
    benchmark_set_preload(benchmark_now() - preload_start);
    if (loaded == PRELOAD_DONE && !key_pressed(VK_ESCAPE)) play(&opts);
    return finish(&opts);
}
