// sequencer.h -- the main loop: one part after another, the skip key, the hidden picture and
// Escape.
//
// The show is a fixed table of parts 1..12; index 13 ends it. A part ends by returning 0 from
// its run routine and the next one starts on the next frame. An empty slot (a part this build
// does not have) is passed over at once.
#pragma once

#include "parts/parts.h"

#include <cstdint>

constexpr int32_t PART_COUNT = 12;
constexpr int32_t PART_END = PART_COUNT + 1; // the index that ends the show

constexpr int32_t SKIP_KEY = 'N';
constexpr float SKIP_ARMED = 10.0f; // skip_timer must exceed this for the skip key to work
constexpr float SKIP_RATE = 4.0f;   // skip_timer growth per tick

// The four letters that unlock the hidden picture, tested in this order.
constexpr int32_t HIDDEN_KEY_COUNT = 4;
extern const int32_t hidden_keys[HIDDEN_KEY_COUNT];

// The main loop's state, reset by the preload before the loop starts.
struct SequencerState {
    int32_t part_index;                    // the current part, 1..13
    int32_t quit_requested;                // set at index 13; ends the loop
    float skip_timer;                      // grows by 4 per tick; the skip key needs > 10
    int32_t hidden_counter;                // at 1 or more the hidden picture replaces the parts
    int32_t hidden_seen[HIDDEN_KEY_COUNT]; // frames in which each hidden key was seen held
    int32_t drawn_part; // the part whose run routine was called last (0: the loading screen)
};

extern SequencerState sequencer;

// The show's parts by index (entries 1..12; a null entry is a part not in this build).
extern const PartRun show_parts[PART_END + 1];

// Runs parts from this table instead of show_parts (tests); null puts show_parts back.
void sequencer_use_parts(const PartRun *parts);

// Part 1, nothing requested, timers and key counters at 0.
void sequencer_reset();

// A routine called after each frame of the show is presented (writing frames to disk).
using FrameHook = void (*)();
void sequencer_set_frame_hook(FrameHook hook);

// Calls the frame hook, if any: the main loop and the loading screen's dissolve call it after
// each present.
void sequencer_after_present();

// One frame: the part (or the hidden picture), the retrace wait when asked, the clock, the
// present and the keys. Returns 0 when Escape ends the show, else 1.
int sequencer_frame(int32_t wait_for_retrace);

// Runs frames until the show ends (after part 12) or Escape.
void run_main_loop(int32_t wait_for_retrace);
