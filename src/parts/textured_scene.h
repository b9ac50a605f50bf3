// textured_scene.h -- the textured scene part's state and its dressing of a loaded scene (its
// routines are in parts/parts.h).
//
// One scene played straight into the FrameBuffer: every object wears one of two 256 x 256
// pictures, chosen per surface by name and drawn by fill_unit_textured, and every flare a third
// picture. The part fades in from black, runs, and fades out to white.
#pragma once

struct Image;
struct Scene;
struct SceneObject;

// The surface name (any case) that selects the second picture.
constexpr const char *TEXTURED_SECOND_SURFACE = "d";

// Both start at 0 when the part is loaded.
struct TexturedSceneState {
    float brightness; // written to display_brightness: 0 black, 256 neutral, 511 white
    float clock;      // 1.1 per tick of frame_time
};

// The part's state. Valid for the whole program; changed by textured_scene_load and
// textured_scene_run.
const TexturedSceneState *textured_scene_state();

// The pictures an object is dressed with; the part keeps them for the whole program.
struct TexturedPictures {
    Image *first;  // surfaces not named "d": planar along Y
    Image *second; // surfaces named "d": planar along Z
    Image *flare;  // sprite of every flare face
};

// Sets the part's state as the load leaves it (both values 0).
void textured_scene_restart();

// The scene the part plays, or null before a successful load. Valid until mem_free_all.
Scene *textured_scene_scene();
