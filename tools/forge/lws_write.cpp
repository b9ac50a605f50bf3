// lws_write.cpp -- LightWave scene writer
#include "lws_write.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

// One line, CR LF appended (the reader splits lines on CR LF only).
static void line(Bytes *out, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
static void line(Bytes *out, const char *fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    bytes_text(out, text);
    bytes_text(out, "\r\n");
}

// Seven significant digits (as printf's %.7g), with a point in any locale: enough for every
// float a scene holds, and the reader takes the exponent form too.
static const char *num(char *buf, float v) {
    std::to_chars_result r = std::to_chars(buf, buf + 31, (double)v, std::chars_format::general, 7);
    *r.ptr = '\0';
    return buf;
}

static void put_motion(Bytes *out, const char *keyword, const LwsMotion *m) {
    char b[9][32];
    line(out, "%s (unnamed)", keyword);
    line(out, "  9");
    line(out, "  %d", m->key_count);
    for (int i = 0; i < m->key_count; i++) {
        const LwsKey &k = m->keys[i];
        line(out, "  %s %s %s %s %s %s %s %s %s", num(b[0], k.x), num(b[1], k.y), num(b[2], k.z),
             num(b[3], k.heading), num(b[4], k.pitch), num(b[5], k.bank), num(b[6], k.scale_x),
             num(b[7], k.scale_y), num(b[8], k.scale_z));
        line(out, "  %s %d %s %s %s", num(b[0], k.frame), k.linear, num(b[1], k.tension),
             num(b[2], k.continuity), num(b[3], k.bias));
    }
}

static int scene_valid(const LwsScene *s) {
    int ok = s->camera.motion.key_count > 0 && s->camera.target >= 0 &&
             s->camera.target <= s->object_count;
    for (int i = 0; i < s->object_count; i++)
        ok &= s->objects[i].motion.key_count > 0 && s->objects[i].path[0] &&
              !strpbrk(s->objects[i].path, " \t\r\n") && strlen(s->objects[i].path) < 200;
    for (int i = 0; i < s->light_count; i++)
        ok &= s->lights[i].motion.key_count > 0 && s->lights[i].target >= 0 &&
              s->lights[i].target <= s->object_count;
    if (!ok) fprintf(stderr, "forge: scene: a motion without keys, a bad path or target\n");
    return ok;
}

static void put_object(Bytes *out, const LwsObject *o) {
    line(out, "%s %s", o->is_null ? "AddNullObject" : "LoadObject", o->path);
    line(out, "ShowObject 6 7");
    put_motion(out, "ObjectMotion", &o->motion);
    line(out, "EndBehavior 1");
    line(out, "ShadowOptions 7");
    line(out, "%s", "");
}

static void put_light(Bytes *out, const LwsLight *l) {
    char b[32];
    line(out, "AddLight");
    line(out, "LightName Light");
    line(out, "ShowLight 0 7");
    put_motion(out, "LightMotion", &l->motion);
    line(out, "EndBehavior 1");
    if (l->target > 0) line(out, "TargetObject %d", l->target);
    line(out, "LightColor %d %d %d", l->red, l->green, l->blue);
    line(out, "LgtIntensity %s", num(b, l->intensity));
    line(out, "LightType 1");
    line(out, "ShadowType 1");
    line(out, "%s", "");
}

static void put_camera(Bytes *out, const LwsCamera *c) {
    char b[32];
    line(out, "ShowCamera 1 7");
    put_motion(out, "CameraMotion", &c->motion);
    line(out, "EndBehavior 1");
    if (c->target > 0) line(out, "TargetObject %d", c->target);
    line(out, "ZoomFactor %s", num(b, c->zoom));
    line(out, "%s", "");
}

int lws_encode(Bytes *out, const LwsScene *s) {
    if (!scene_valid(s)) return 0;
    line(out, "LWSC");
    line(out, "1");
    line(out, "%s", "");
    line(out, "FirstFrame %d", s->first_frame);
    line(out, "LastFrame %d", s->last_frame);
    line(out, "FrameStep 1");
    line(out, "FramesPerSecond 70");
    line(out, "%s", "");
    for (int i = 0; i < s->object_count; i++) put_object(out, &s->objects[i]);
    for (int i = 0; i < s->light_count; i++) put_light(out, &s->lights[i]);
    put_camera(out, &s->camera);
    return 1;
}

int lws_save(const char *path, const LwsScene *scene) {
    Bytes out;
    if (!lws_encode(&out, scene)) {
        fprintf(stderr, "forge: %s: not written\n", path);
        return 0;
    }
    return bytes_save(&out, path);
}
