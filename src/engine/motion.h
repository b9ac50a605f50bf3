// motion.h -- key-framed motion: a ring of keys with nine channels, evaluated with a tension,
// continuity and bias Hermite spline.
//
// Motions and keys come from the block registry and live until shut-down (mem_free_all).
// Evaluation allocates nothing.
#pragma once

// The channels of a key, in storage order. Angles are radians; nothing reads the scale channels.
enum MotionChannel {
    MOTION_X,
    MOTION_Y,
    MOTION_Z,
    MOTION_PITCH,
    MOTION_HEADING,
    MOTION_BANK,
    MOTION_SCALE_X,
    MOTION_SCALE_Y,
    MOTION_SCALE_Z,
    MOTION_CHANNELS
};

// One key frame. With two or more keys in a motion, next and prev form a ring ordered by frame.
struct MotionKey {
    int kind;                     // 0
    float value[MOTION_CHANNELS]; // channel values at this key
    float frame;                  // time of the key, in scene-clock ticks
    float tension;
    float bias;
    float continuity;
    MotionKey *next;
    MotionKey *prev;
};

// A key ring and the result of its last evaluation.
struct Motion {
    int kind;     // 0; the scene reader sets 4 (read nowhere)
    float length; // largest key frame inserted so far
    int key_count;
    int channel_count;            // channels evaluated, at most MOTION_CHANNELS
    float value[MOTION_CHANNELS]; // result of the last evaluation
    MotionKey *first;             // smallest frame
    MotionKey *spare;             // the first key inserted (read nowhere)
    MotionKey *last;              // largest frame
};

// Scene-reader value of Motion::kind.
constexpr int MOTION_KIND_SCENE = 4;

// A motion with nine channels and no keys. Null when memory runs out. Valid until mem_free_all.
Motion *new_motion();

// A zeroed key. Null when memory runs out. Valid until mem_free_all.
MotionKey *new_key();

// Links key into the ring of m in frame order (a key never goes in front of the first one; a key
// with the same frame as another goes in front of it). m keeps key until mem_free_all.
void motion_insert(Motion *m, MotionKey *key);

// Fills m->value[0 .. channel_count-1] for time t (scene-clock ticks). A motion without keys
// keeps its previous values.
void motion_evaluate(Motion *m, float t);
