// morph.h -- object morphing through a timed sequence of shapes, and the radial blur that
// streaks a rendered picture outwards from a centre.
//
// Sequences and keys come from the block registry and live until shut-down (mem_free_all).
// Neither morph_apply nor radial_blur allocates.
#pragma once

struct Image;
struct SceneObject;

// One shape of a sequence, reached at time.
struct MorphKey {
    float time; // >= 0
    SceneObject *object;
};

// Shapes in ascending time, all with the point order of the morphed object.
struct MorphSequence {
    int kind;     // 0
    float length; // the largest key time added
    int key_count;
    MorphKey **keys; // grown by one slot per key
};

// An empty sequence. Null when memory runs out. Valid until mem_free_all.
MorphSequence *morph_new();

// A key for object at time. Null when object is null, time is below 0 or not a number, or
// memory runs out. Valid until mem_free_all.
MorphKey *morph_key(SceneObject *object, float time);

// Appends key (keys are expected in ascending time); length becomes the largest key time.
// 1, or 0 when an argument is null or memory runs out (the sequence is then unchanged).
int morph_add(MorphSequence *sequence, MorphKey *key);

// Rewrites target's points and point normals for time t, interpolating linearly between the
// two keys around t. Nothing changes when t lies outside 0 .. length, at or after the last key,
// or when the sequence is empty. Only the points the target and both keys share are written.
void morph_apply(const MorphSequence *sequence, SceneObject *target, float t);

// Averages each pixel of dst with the dst pixel a fraction f of the way towards (cx, cy), the
// rows and columns nearest the centre first, so that src == dst streaks outwards. Row 0 and
// column 0 are left alone. src and dst have the same size (they may be the same picture).
void radial_blur(const Image *src, Image *dst, float cx, float cy, float f);
