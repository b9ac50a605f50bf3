// digests.cpp -- writes a digest of the frame buffer after every present

#include "shell/digests.h"

#include "data/digest.h"
#include "shell/sequencer.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/faults.h"
#include "stage/stage.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

static FILE *out;
static const char *out_path;
static bool failed;

int digests_start(const char *path) {
    out = std::fopen(path, "w");
    if (!out) {
        std::fprintf(stderr, "quellmoor: cannot write %s: %s\n", path, std::strerror(errno));
        return 0;
    }
    out_path = path;
    failed = false;
    return 1;
}

// The digest of a frame: XXH64 of the frame buffer's pixel words (mask bytes included) seeded
// with the brightness present shows them at (clamped to 0..512).
static uint64_t digests_frame(const uint32_t *pixels, int32_t count, int32_t brightness) {
    int32_t shown = std::clamp(brightness, BRIGHTNESS_BLACK, BRIGHTNESS_WHITE);
    return digest_bytes(pixels, size_t(count) * sizeof(uint32_t), uint64_t(shown));
}

void digests_capture() {
    if (!out || failed || !FrameBuffer) return;
    uint64_t d = digests_frame(FrameBuffer->pixels, FrameBuffer->width * FrameBuffer->height,
                               display_brightness);
    if (std::fprintf(out, "%d %d %016" PRIx64 "\n", tick_count.load(), sequencer.drawn_part, d) < 0)
        failed = true;
}

int digests_finish() {
    if (!out) return 1;
    bool ok = !failed && std::fclose(out) == 0;
    if (failed) std::fclose(out);
    out = nullptr;
    if (!ok) {
        char reason[4200];
        std::snprintf(reason, sizeof reason, "%s: the frame digests could not be written",
                      out_path);
        fault_report(reason);
    }
    return ok;
}
