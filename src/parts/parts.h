// parts.h -- the show's parts: a load routine each, run during the preload, and a run routine,
// called once per frame while the part is current.
//
// Load routines take no arguments and return nonzero when loaded, 0 on failure (the reason,
// naming the file, is in data_last_error()). Run routines return nonzero while the part goes
// on and 0 when it has ended; each keeps its state in its own module and draws the whole frame
// into the FrameBuffer.
#pragma once

#include "engine/render.h"
#include "stage/clock.h"

#include <cstdint>

using PartLoad = int (*)();
using PartRun = int (*)();

// A part's frame of a scene: the engine's render_scene_ticks with the clock's frame_time.
inline void render_scene(Scene *scene) {
    render_scene_ticks(scene, frame_time);
}

// Part 1: the group logo, then a tunnel behind wandering bobs, the bars and the credits.
int intro_load();
int intro_run();

// Part 2: the title picture out of a white flash, refining from coarse blocks.
int title_load();
int title_run();

// Part 3: a morphing steel cube among flares over a scrolling plated floor, into white.
int magnet_load();
int magnet_run();

// Part 4: a full-frame portrait out of a white flash.
int portrait_load();
int portrait_run();

// Part 5: a star in rings among sparks on teal, streaked from its sun, behind a see-through
// frame with ten captions in turn, into black.
int glow_load();
int glow_run();

// Part 6: a flight through a crystal cavern to its carved door, lamps drifting by, out of black
// and into white.
int textured_scene_load();
int textured_scene_run();

// Part 7: five merging blobs, environment-mapped, over a moving plasma, out of and back into
// white.
int metaball_load();
int metaball_run();

// Part 8: glowing shapes over a tunnel of lettering, streaked by a wandering radial blur.
int light_scene_load();
int light_scene_run();

// Part 9: a cloud of sparks morphing through five shapes over turning lettering and a twilight
// moor, out of white and into black.
int particle_morph_load();
int particle_morph_run();

// Part 10: three spheres raytraced live between the bars, faded in from and out to black.
int raytraced_load();
int raytraced_run();

// Part 11: a black pause while the music fades down.
int music_fade_load();
int music_fade_run();

// Part 12: a knot circled by flares over the moor at night while the credits rise; loads its
// own data and starts the end music on its first call (which draws nothing).
int end_run();

// The hidden picture, shown instead of the parts once its keys were seen. Loads its picture on
// the first call; if that fails the fault is reported and the frame is left as it was.
void hidden_picture_run();

// Forgets the hidden picture: the next call loads it again (a new show in the same process).
void hidden_picture_reset();
