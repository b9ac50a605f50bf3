// record.cpp -- feeds the presented screens and the offline music to an ffmpeg child process

#include "shell/record.h"

#include "platform/audio.h"
#include "shell/sequencer.h"
#include "stage/clock.h"
#include "stage/display.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#if !defined(QM_NO_CHILD_PROCESSES)
#include <spawn.h>
#endif
#include <string>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#if !defined(QM_NO_CHILD_PROCESSES)
extern char **environ;
#endif

// Ticks each part lasts when nothing is skipped, for the progress estimate only: a part that
// runs longer or shorter only makes the estimate wrong for a while.
static const int32_t part_ticks[PART_END] = {0,    3862, 201,  2656, 902, 978, 1602,
                                             1287, 1132, 1500, 3543, 229, 4472};

constexpr int32_t AUDIO_CHUNK = 4096; // stereo frames rendered per call
// ffmpeg reads its two inputs in an order of its own and takes audio in packets of 1024 stereo
// frames (1.5 ticks): the video is held back this many ticks so that, whenever ffmpeg waits for
// sound, the sound is already written and the show is never stuck writing a frame meanwhile.
constexpr int32_t VIDEO_LAG = 4;
constexpr size_t SCREEN_BYTES = size_t(DISPLAY_WIDTH) * DISPLAY_HEIGHT * 3;
constexpr int PIPE_BYTES = 1 << 20;     // asked of the kernel for both pipes
constexpr int FIRST_SPARE_FD = 10;      // pipe ends live above the child's 0..3
constexpr double PROGRESS_PERIOD = 0.1; // seconds between progress lines
constexpr int WRITE_LOOK_MS = 100;      // looks at a stalled ffmpeg
constexpr double GIVE_UP_SECONDS = 2.0; // a failed ffmpeg's time to end, or to read again

// What a file name's ending asks for, and what ffmpeg calls that container.
struct Container {
    const char *extension;
    const char *format;
};

// Both are written so that a file cut short (a full disk, a killed encoder) plays up to there.
static const Container containers[] = {{".mp4", "mp4"}, {".mkv", "matroska"}};

struct Recorder {
    RecordSettings settings;
    const Container *container;
    char temporary[4200]; // the file ffmpeg writes, renamed to the target when kept
    int replaces;         // 1 when the target was there before
    int messages_fd;      // ffmpeg's own messages, kept in memory; -1 when none
    pid_t child;          // ffmpeg, 0 when none
    int video_fd;         // raw RGB frames, -1 when closed
    int audio_fd;         // 16-bit stereo PCM, -1 when closed
    int64_t frames;       // ticks recorded: screens taken (written or held back)
    int64_t written;      // video frames written
    int64_t samples;      // stereo frames of audio written
    int write_error;      // errno of the write that failed, 0 while ffmpeg reads
    int progress;         // 1 when stderr is a terminal
    int show_begun;       // 1 after the loading screen
    int32_t part;         // the part the progress line last saw
    int64_t part_tick;    // the tick that part was first seen at
    timespec started;
    double last_shown; // seconds after started
};

static Recorder rec = {{}, nullptr, "", 0, -1, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, {}, 0.0};
static uint8_t held_screens[VIDEO_LAG][SCREEN_BYTES]; // frame n waits in slot n % VIDEO_LAG
static uint8_t screen_rgb[SCREEN_BYTES];
static int16_t audio_chunk[2 * AUDIO_CHUNK];

int64_t record_samples_at(int64_t tick, int32_t rate) {
    return tick * RECORD_TICK_MS * rate / 1000;
}

static double seconds_since(const timespec &start) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec - start.tv_sec) + double(now.tv_nsec - start.tv_nsec) * 1e-9;
}

static void close_fd(int *fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// A pipe whose ends close on exec; the read end moved above the descriptors the child gets,
// so that placing it at 0 or 3 in the child never lands on itself.
static int make_pipe(int *read_end, int *write_end) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return 0;
    int moved = fcntl(ends[0], F_DUPFD_CLOEXEC, FIRST_SPARE_FD);
    close(ends[0]);
    if (moved < 0) {
        close(ends[1]);
        return 0;
    }
    // A bigger pipe lets the show run ahead of the encoder; the default size works too.
    fcntl(ends[1], F_SETPIPE_SZ, PIPE_BYTES);
    // The show waits for the encoder in poll, where it can tell a stuck one from a slow one.
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    *read_end = moved;
    *write_end = ends[1];
    return 1;
}

static const Container *container_of(const char *path) {
    size_t length = std::strlen(path);
    for (const Container &c : containers) {
        size_t n = std::strlen(c.extension);
        if (length > n && !strcasecmp(path + length - n, c.extension)) return &c;
    }
    return nullptr;
}

int record_check_name(const char *path) {
    if (container_of(path)) return 1;
    std::fprintf(stderr,
                 "quellmoor: --record writes a .mp4 or a .mkv file, not '%s'\n"
                 "Try 'quellmoor --help' for more information.\n",
                 path);
    return 0;
}

#if defined(QM_NO_CHILD_PROCESSES)
static int open_messages() {
    return -1;
}

// A system that cannot start other programs cannot record.
static int spawn_ffmpeg(int, int) {
    std::fprintf(stderr, "quellmoor: --record needs to start ffmpeg, which this build cannot do\n");
    return 0;
}
#else
// ffmpeg's messages are read back for the reason when it fails; memory, not the full disk. Like
// the pipes, kept above the descriptors the child gets. -1 when there is no such memory.
static int open_messages() {
    int messages = memfd_create("ffmpeg-messages", MFD_CLOEXEC);
    int kept = messages >= 0 ? fcntl(messages, F_DUPFD_CLOEXEC, FIRST_SPARE_FD) : -1;
    if (messages >= 0) close(messages);
    return kept;
}

// Starts ffmpeg with the video on its standard input, the audio on descriptor 3 and its
// messages into memory, writing the temporary file.
static int spawn_ffmpeg(int video_read, int audio_read) {
    const RecordSettings *s = &rec.settings;
    char rate[16], filter[160], output[4300];
    std::snprintf(rate, sizeof rate, "%d", s->rate);
    // Nearest-neighbour enlarging keeps the show's pixels sharp; the colours are converted as
    // the file's tags say (BT.709, limited range), so players show them as they were.
    std::snprintf(filter, sizeof filter,
                  "scale=%d:%d:flags=neighbor:out_color_matrix=bt709:out_range=tv,"
                  "format=yuv420p",
                  DISPLAY_WIDTH * s->scale, DISPLAY_HEIGHT * s->scale);
    // "file:" keeps names starting with '-' or holding ':' from being read as options.
    std::snprintf(output, sizeof output, "file:%s", rec.temporary);
    const char *argv[80];
    size_t n = 0;
    // clang-format off
    for (const char *arg : std::initializer_list<const char *>{
        "ffmpeg", "-hide_banner", "-nostdin", "-nostats", "-loglevel", "error", "-y",
        // Raw inputs need no probing; probing would read seconds of one pipe before the other.
        // 1000 / 14 frames per second: one frame per tick.
        "-probesize", "32", "-analyzeduration", "0", "-thread_queue_size", "16",
        "-f", "rawvideo", "-pix_fmt", "rgb24", "-video_size", "512x384", "-framerate", "500/7",
        "-i", "pipe:0",
        "-probesize", "32", "-analyzeduration", "0", "-thread_queue_size", "1024",
        "-f", "s16le", "-ar", rate, "-ac", "2", "-i", "pipe:3",
        "-map", "0:v", "-map", "1:a", "-vf", filter,
        // superfast needs about 0.6 of veryfast's processor time at the same quality (crf 18),
        // for a file about 1.6 times as big; the encoder is most of a recording's work.
        "-c:v", "libx264", "-preset", "superfast", "-crf", "18",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
        "-color_range", "tv",
        "-c:a", "aac", "-b:a", "192k"})
        argv[n++] = arg;
    // A fragmented MP4 is playable up to its last whole fragment (a second of show) when the
    // recording is cut short; Matroska clusters of a second do the same. The MP4's header waits
    // for the first fragment, so it can say where the sound and picture begin (the encoders'
    // delays), as a file written whole would.
    if (!std::strcmp(rec.container->format, "mp4"))
        for (const char *arg : {"-movflags", "+frag_keyframe+delay_moov+default_base_moof",
                                "-frag_duration", "1000000"})
            argv[n++] = arg;
    else
        for (const char *arg : {"-cluster_time_limit", "1000"}) argv[n++] = arg;
    for (const char *arg : {"-f", rec.container->format, static_cast<const char *>(output)})
        argv[n++] = arg;
    argv[n] = nullptr;
    // clang-format on
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, video_read, 0);
    posix_spawn_file_actions_adddup2(&actions, audio_read, 3);
    if (rec.messages_fd >= 0) posix_spawn_file_actions_adddup2(&actions, rec.messages_fd, 2);
    // A process group of its own: Ctrl-C in the terminal (or timeout's kill of the group) stops
    // the show, which then closes ffmpeg's input so that it finishes a playable file.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    int err = posix_spawnp(&rec.child, "ffmpeg", &actions, &attributes, const_cast<char **>(argv),
                           environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (err == 0) return 1;
    rec.child = 0;
    if (err == ENOENT)
        std::fprintf(stderr, "quellmoor: --record needs the program ffmpeg, which was not found "
                             "(install the package \"ffmpeg\")\n");
    else
        std::fprintf(stderr, "quellmoor: cannot start ffmpeg: %s\n", std::strerror(err));
    return 0;
}
#endif

// The folder a path lies in ("." for a bare name).
static void folder_of(const char *path, char *folder, size_t size) {
    std::snprintf(folder, size, "%s", path);
    char *slash = std::strrchr(folder, '/');
    if (!slash)
        std::snprintf(folder, size, ".");
    else if (slash == folder)
        folder[1] = '\0';
    else
        *slash = '\0';
}

// Makes the temporary file beside the target: this is also the test that the folder is there
// and takes new files, before the show starts. Its mode is that of a new file.
static int make_temporary() {
    const char *path = rec.settings.path;
    struct stat st;
    rec.replaces = stat(path, &st) == 0;
    // A rename would put the video in place of a device or a folder of that name.
    if (rec.replaces && !S_ISREG(st.st_mode)) {
        std::fprintf(stderr, "quellmoor: cannot record to %s: it is not a regular file\n", path);
        return 0;
    }
    int n = std::snprintf(rec.temporary, sizeof rec.temporary, "%s.part-XXXXXX", path);
    int fd = n > 0 && size_t(n) < sizeof rec.temporary ? mkostemp(rec.temporary, O_CLOEXEC) : -1;
    if (fd < 0) {
        char folder[4200];
        folder_of(path, folder, sizeof folder);
        std::fprintf(
            stderr, "quellmoor: cannot record into the folder %s: %s\n", folder,
            std::strerror(n > 0 && size_t(n) < sizeof rec.temporary ? errno : ENAMETOOLONG));
        rec.temporary[0] = '\0';
        return 0;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return 1;
}

static void remove_temporary() {
    if (rec.temporary[0]) unlink(rec.temporary);
    rec.temporary[0] = '\0';
}

int record_start(const RecordSettings *settings) {
    if (rec.child) return 0;
    const Container *container = container_of(settings->path);
    if (!container) return record_check_name(settings->path);
    rec = Recorder{*settings, nullptr, "", 0, -1, 0, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, {}, 0.0};
    rec.container = container;
    if (!make_temporary()) return 0;
    rec.messages_fd = open_messages();
    // A write to an ffmpeg that has ended must fail with EPIPE, not end the show silently.
    std::signal(SIGPIPE, SIG_IGN);
    int video_read = -1, audio_read = -1;
    if (!make_pipe(&video_read, &rec.video_fd) || !make_pipe(&audio_read, &rec.audio_fd)) {
        std::fprintf(stderr, "quellmoor: cannot make a pipe for ffmpeg: %s\n",
                     std::strerror(errno));
        close_fd(&video_read);
        close_fd(&rec.video_fd);
        close_fd(&rec.messages_fd);
        remove_temporary();
        return 0;
    }
    int started = spawn_ffmpeg(video_read, audio_read);
    close(video_read);
    close(audio_read);
    if (!started) {
        close_fd(&rec.video_fd);
        close_fd(&rec.audio_fd);
        close_fd(&rec.messages_fd);
        remove_temporary();
        return 0;
    }
    rec.progress = isatty(STDERR_FILENO);
    clock_gettime(CLOCK_MONOTONIC, &rec.started);
    return 1;
}

// 1 once ffmpeg has written anything on its messages: at the error level, it has given up.
static int ffmpeg_has_spoken() {
    struct stat st;
    return rec.messages_fd >= 0 && fstat(rec.messages_fd, &st) == 0 && st.st_size > 0;
}

// Waits until ffmpeg takes more. An ffmpeg that failed may stop reading without ending (its
// reading threads wait for a writer that has gone): having said why, and taking nothing for a
// while, it is given up on (errno EPIPE), rather than the show waiting for it forever.
static int wait_writable(int fd) {
    timespec since;
    clock_gettime(CLOCK_MONOTONIC, &since);
    for (;;) {
        pollfd ready = {fd, POLLOUT, 0};
        int n = poll(&ready, 1, WRITE_LOOK_MS);
        if (n > 0) return 1; // writable, or an error the write will report
        if (n < 0 && errno != EINTR) return 0;
        if (ffmpeg_has_spoken() && seconds_since(since) > GIVE_UP_SECONDS) {
            errno = EPIPE;
            return 0;
        }
    }
}

static int write_all(int fd, const void *data, size_t size) {
    const auto *p = static_cast<const uint8_t *>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            if (!wait_writable(fd)) return 0;
            continue;
        }
        if (n <= 0) return 0;
        p += n;
        size -= size_t(n);
    }
    return 1;
}

// The music up to tick, rendered now: what the show asked of it so far is what plays.
static int write_audio(int64_t tick) {
    int64_t target = record_samples_at(tick, rec.settings.rate);
    while (rec.samples < target) {
        int32_t n = int32_t(std::min<int64_t>(AUDIO_CHUNK, target - rec.samples));
        audio_offline_render(audio_chunk, n);
        if (!write_all(rec.audio_fd, audio_chunk, size_t(n) * 2 * sizeof(int16_t))) return 0;
        rec.samples += n;
    }
    return 1;
}

static void fail_writing() {
    rec.write_error = errno ? errno : EPIPE;
    close_fd(&rec.video_fd);
    close_fd(&rec.audio_fd);
    sequencer.quit_requested = 1; // nothing more can be recorded
}

// "M:SS"
static void format_minutes(char *text, size_t size, double seconds) {
    int64_t s = int64_t(seconds < 0.0 ? 0.0 : seconds);
    std::snprintf(text, size, "%d:%02d", int(s / 60), int(s % 60));
}

// A part this build does not have is passed over at once.
static int64_t expected_ticks(int32_t part) {
    return show_parts[part] ? part_ticks[part] : 0;
}

// Ticks still to come: the rest of the current part and the whole of every later one.
static int64_t ticks_left(int64_t tick) {
    if (!rec.show_begun) {
        int64_t left = std::max<int64_t>(0, RECORD_LOADING_TICKS - tick);
        for (int32_t p = rec.settings.start_part; p <= PART_COUNT; p++) left += expected_ticks(p);
        return left;
    }
    int32_t part = sequencer.part_index;
    if (part != rec.part) {
        rec.part = part;
        rec.part_tick = tick;
    }
    if (part < 1 || part > PART_COUNT) return 0;
    int64_t left = std::max<int64_t>(0, part_ticks[part] - (tick - rec.part_tick));
    for (int32_t p = part + 1; p <= PART_COUNT; p++) left += expected_ticks(p);
    return left;
}

static void show_progress(int64_t tick, int final) {
    if (!rec.progress) return;
    double elapsed = seconds_since(rec.started);
    if (!final && elapsed - rec.last_shown < PROGRESS_PERIOD) return;
    rec.last_shown = elapsed;
    int64_t left = final ? 0 : ticks_left(tick);
    double fraction = tick + left > 0 ? double(tick) / double(tick + left) : 1.0;
    if (!final) fraction = std::min(fraction, 0.99);
    char bar[31], spent[16], remaining[16], where[16];
    int filled = int(fraction * 30.0);
    for (int i = 0; i < 30; i++) bar[i] = i < filled ? '#' : '.';
    bar[30] = '\0';
    format_minutes(spent, sizeof spent, elapsed);
    format_minutes(remaining, sizeof remaining,
                   fraction > 0.0 ? elapsed / fraction - elapsed : 0.0);
    int32_t part = std::clamp(sequencer.part_index, 1, PART_COUNT);
    if (rec.show_begun)
        std::snprintf(where, sizeof where, "part %2d", part);
    else
        std::snprintf(where, sizeof where, "loading");
    std::fprintf(stderr, "\rrecording %s [%s] %3d%%  %s elapsed, %s left ", where, bar,
                 int(fraction * 100.0), spent, remaining);
    if (final) std::fputc('\n', stderr);
}

void record_show_begins() {
    rec.show_begun = 1;
}

// Writes the held frames up to (not including) frame `until`.
static int write_video(int64_t until) {
    for (; rec.written < until; rec.written++)
        if (!write_all(rec.video_fd, held_screens[rec.written % VIDEO_LAG], SCREEN_BYTES)) return 0;
    return 1;
}

void record_capture() {
    if (!rec.child || rec.write_error) return;
    int64_t tick = tick_count.load();
    if (tick <= rec.frames) return;
    // Ticks with no frame of their own (none on the stepped clock) repeat this screen.
    display_read_screen(screen_rgb);
    for (; rec.frames < tick; rec.frames++) {
        // The frame VIDEO_LAG ticks back leaves its slot before this one takes it.
        if (!write_audio(rec.frames + 1) || !write_video(rec.frames + 1 - VIDEO_LAG)) {
            fail_writing();
            return;
        }
        std::memcpy(held_screens[rec.frames % VIDEO_LAG], screen_rgb, SCREEN_BYTES);
    }
    show_progress(tick, 0);
}

// ffmpeg's last line, its reason for giving up ("" when it said nothing), with the temporary
// file's name put back to the one the user gave and the "[muxer @ 0x...] " prefix left out.
static void ffmpeg_last_words(char *text, size_t size) {
    text[0] = '\0';
    if (rec.messages_fd < 0) return;
    char all[8192];
    off_t end = lseek(rec.messages_fd, 0, SEEK_END);
    off_t from = end > off_t(sizeof all - 1) ? end - off_t(sizeof all - 1) : 0;
    ssize_t n = pread(rec.messages_fd, all, sizeof all - 1, from);
    if (n <= 0) return;
    all[n] = '\0';
    char *line = all;
    // Its closing "Conversion failed!" says less than the line before it.
    for (int tries = 0; tries < 2; tries++) {
        while (n > 0 && (all[n - 1] == '\n' || all[n - 1] == '\r')) all[--n] = '\0';
        char *newline = std::strrchr(all, '\n');
        line = newline ? newline + 1 : all;
        if (!newline || std::strncmp(line, "Conversion failed", 17) != 0) break;
        n = line - all;
    }
    if (line[0] == '[' && std::strstr(line, "] ")) line = std::strstr(line, "] ") + 2;
    std::string words = line, temporary = rec.temporary;
    for (const std::string &name : {"file:" + temporary, temporary}) {
        size_t at = temporary.empty() ? std::string::npos : words.find(name);
        if (at != std::string::npos) words.replace(at, name.size(), rec.settings.path);
    }
    std::snprintf(text, size, "%s", words.c_str());
}

// Why ffmpeg did not write the file, or null when it did: its own words when it gave any.
static const char *ffmpeg_failure(int status, char *text, size_t size) {
    bool failed =
        rec.write_error || WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) != 0);
    if (!failed) return nullptr;
    ffmpeg_last_words(text, size);
    if (text[0]) return text;
    if (rec.write_error) {
        std::snprintf(text, size, "ffmpeg stopped reading (%s)", std::strerror(rec.write_error));
    } else if (WIFSIGNALED(status)) {
        std::snprintf(text, size, "ffmpeg was ended by signal %d", WTERMSIG(status));
    } else {
        std::snprintf(text, size, "ffmpeg ended with status %d", WEXITSTATUS(status));
    }
    return text;
}

// The finished temporary file takes the target's name, or goes when the target is to stay. A
// recording cut short by a failure says nothing more: the failure has its own line.
static int keep(int replace) {
    const char *path = rec.settings.path;
    if (rec.replaces && !replace) {
        remove_temporary();
        return 0;
    }
    if (rename(rec.temporary, path) != 0) {
        std::fprintf(stderr, "quellmoor: cannot name the recording %s: %s\n", path,
                     std::strerror(errno));
        remove_temporary();
        return 0;
    }
    rec.temporary[0] = '\0';
    if (rec.replaces)
        std::fprintf(stderr, "quellmoor: %s was replaced by the new recording\n", path);
    return 1;
}

// Waits for ffmpeg to end: as long as it takes to finish a good file, a little while when it
// has failed (then it is stopped: it may never end of itself). Returns its wait status.
static int reap_ffmpeg() {
    timespec since;
    clock_gettime(CLOCK_MONOTONIC, &since);
    int status = 0;
    for (;;) {
        pid_t ended = waitpid(rec.child, &status, WNOHANG);
        if (ended == rec.child || (ended < 0 && errno != EINTR)) return status;
        if (rec.write_error && seconds_since(since) > GIVE_UP_SECONDS) kill(rec.child, SIGKILL);
        usleep(WRITE_LOOK_MS * 100);
    }
}

int record_finish(int outcome) {
    if (!rec.child) return 0;
    const bool discard = outcome == RECORD_DISCARD;
    if (discard) kill(rec.child, SIGKILL);
    if (!discard && !rec.write_error && !write_video(rec.frames)) fail_writing();
    close_fd(&rec.video_fd);
    close_fd(&rec.audio_fd);
    int status = reap_ffmpeg();
    rec.child = 0;
    char reason[512];
    const char *failure = discard ? nullptr : ffmpeg_failure(status, reason, sizeof reason);
    close_fd(&rec.messages_fd);
    if (discard || failure) {
        remove_temporary();
        if (failure) {
            if (rec.progress) std::fputc('\n', stderr);
            std::fprintf(stderr, "quellmoor: recording %s failed: %s\n", rec.settings.path,
                         failure);
        }
        return 0;
    }
    show_progress(rec.frames, 1);
    return keep(outcome == RECORD_COMPLETE);
}
