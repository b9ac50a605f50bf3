// lws_write.h -- writes LightWave scenes: plain text, lines ending in CR LF, an object block per
// LoadObject or AddNullObject, light blocks, one camera block, each with a nine-channel motion.
#pragma once

#include "bytes.h"

// One key: position, rotation in degrees (heading, pitch, bank, in the file's order), scale, and
// the spline shape at the key.
struct LwsKey {
    float x, y, z;
    float heading, pitch, bank;
    float scale_x, scale_y, scale_z;
    float frame; // in ticks of the show's clock
    int linear;
    float tension, continuity, bias;
};

struct LwsMotion {
    int key_count; // at least 1
    const LwsKey *keys;
};

struct LwsObject {
    const char *path; // archive path ("data\\magnkub3.lwo"), or a name beginning "Null" for a
                      // null object; no spaces
    int is_null;      // 1: written as AddNullObject
    LwsMotion motion;
};

struct LwsLight {
    LwsMotion motion;
    int target; // 1-based object number, 0 for none
    unsigned char red, green, blue;
    float intensity; // 0..1
};

struct LwsCamera {
    LwsMotion motion;
    int target; // 1-based object number, 0 for none
    float zoom;
};

struct LwsScene {
    int first_frame, last_frame;
    int object_count;
    const LwsObject *objects;
    int light_count;
    const LwsLight *lights;
    LwsCamera camera;
};

// Encodes the scene text. Returns 1, or 0 with a message on stderr when a motion has no key, a
// path has a space, or a target is past the objects.
int lws_encode(Bytes *out, const LwsScene *scene);

// Encodes and saves; 1 on success, 0 with a message naming the file.
int lws_save(const char *path, const LwsScene *scene);
