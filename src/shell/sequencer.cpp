// sequencer.cpp -- the main loop over the show's parts

#include "shell/sequencer.h"

#include "platform/signals.h"
#include "platform/video.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

const int32_t hidden_keys[HIDDEN_KEY_COUNT] = {'M', 'O', 'R', 'L'};

// Parts not in this build yet are null; the loop passes over them.
const PartRun show_parts[PART_END + 1] = {
    nullptr,            // no part 0
    intro_run,          // 1: intro
    title_run,          // 2: title
    magnet_run,         // 3: magnet
    portrait_run,       // 4: portrait
    glow_run,           // 5: glow
    textured_scene_run, // 6: textured scene
    metaball_run,       // 7: metaball
    light_scene_run,    // 8: light scene
    particle_morph_run, // 9: particle morph
    raytraced_run,      // 10: raytraced
    music_fade_run,     // 11: music fade
    end_run,            // 12: end
    nullptr,            // 13: the end of the show
};

SequencerState sequencer;

static const PartRun *parts = show_parts;
static FrameHook frame_hook;

void sequencer_use_parts(const PartRun *table) {
    parts = table ? table : show_parts;
}

void sequencer_set_frame_hook(FrameHook hook) {
    frame_hook = hook;
}

void sequencer_after_present() {
    if (frame_hook) frame_hook();
}

void sequencer_reset() {
    sequencer = SequencerState{1, 0, 0.0f, 0, {0, 0, 0, 0}, 0};
}

// Runs the current part; an empty slot is passed over at once, and index 13 ends the show.
static void run_part() {
    SequencerState *s = &sequencer;
    while (s->part_index >= 1 && s->part_index <= PART_COUNT && !parts[s->part_index])
        s->part_index++;
    if (s->part_index == PART_END) {
        s->quit_requested = 1;
        return;
    }
    if (s->part_index < 1 || s->part_index > PART_COUNT) return; // past the end: nothing runs
    s->drawn_part = s->part_index;
    if (!parts[s->part_index]()) s->part_index++;
}

static void read_keys() {
    SequencerState *s = &sequencer;
    if (s->skip_timer > SKIP_ARMED && key_pressed(SKIP_KEY)) {
        s->skip_timer = 0.0f;
        s->part_index++;
    }
    for (int i = 0; i < HIDDEN_KEY_COUNT; i++)
        if (key_pressed(hidden_keys[i])) s->hidden_seen[i]++;
}

int sequencer_frame(int32_t wait_for_retrace) {
    SequencerState *s = &sequencer;
    int all_seen = 1;
    for (int i = 0; i < HIDDEN_KEY_COUNT; i++) all_seen &= s->hidden_seen[i] != 0;
    if (all_seen) s->hidden_counter++;
    if (s->hidden_counter >= 1)
        hidden_picture_run();
    else
        run_part();
    if (wait_for_retrace) display_device->wait_retrace();
    clock_step();
    clock_update();
    display_device->present(FrameBuffer, 0, 1, 511, 254, 0, 64);
    sequencer_after_present();
    read_keys();
    s->skip_timer += frame_time * SKIP_RATE;
    // Ctrl-C and kill end the show as Escape does.
    return !key_pressed(VK_ESCAPE) && !signals_caught();
}

void run_main_loop(int32_t wait_for_retrace) {
    while (!sequencer.quit_requested)
        if (!sequencer_frame(wait_for_retrace)) break;
}
