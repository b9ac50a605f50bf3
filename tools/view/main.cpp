// main.cpp -- quellmoor-view: renders frames of a scene at chosen ticks into PNG files

#include "data/answer.h"
#include "data/archive.h"
#include "data/cpu.h"
#include "data/decimal.h"
#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"
#include "data/png_file.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scene.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <getopt.h>
#include <string>
#include <sys/stat.h>
#include <vector>

static const char USAGE[] =
    "usage: quellmoor-view SCENE.lws (--data DIR | --archive FILE.dat) --ticks T1,T2,...\n"
    "                      --out DIR [--light X,Y,Z] [--shade flat|gouraud]\n"
    "Renders the scene as a show part would (512 x 256, focal 400) at each tick and writes\n"
    "DIR/frame-NNNNNN.png. --light replaces the scene's lights by one point light at X,Y,Z;\n"
    "--shade draws every polygon flat-lit or Gouraud-lit.\n";

// How a show part loads its scenes.
static constexpr int VIEW_WIDTH = 512;
static constexpr int VIEW_HEIGHT = 256;
static constexpr float VIEW_FOCAL = 400.0f;
static constexpr int MAX_TICK = 999999; // six digits in the file name

enum Shade { SHADE_AS_LOADED, SHADE_FLAT, SHADE_GOURAUD };

struct ViewOptions {
    const char *scene = nullptr;
    const char *data_dir = nullptr;
    const char *archive = nullptr;
    const char *out = nullptr;
    std::vector<int> ticks;
    bool has_light = false;
    Vec3 light{};
    Shade shade = SHADE_AS_LOADED;
};

static int usage() {
    std::fputs(USAGE, stderr);
    return 1;
}

static int fail(const char *message) {
    std::fprintf(stderr, "quellmoor-view: %s\n", message);
    return 1;
}

// "0,14,70": whole ticks 0..MAX_TICK.
static bool parse_ticks(const char *text, std::vector<int> *ticks) {
    const char *p = text;
    do {
        char *end = nullptr;
        errno = 0;
        const long t = std::strtol(p, &end, 10);
        if (end == p || errno || t < 0 || t > MAX_TICK || (*end != ',' && *end != '\0'))
            return false;
        ticks->push_back(static_cast<int>(t));
        p = *end == ',' ? end + 1 : end;
    } while (*p);
    return !ticks->empty() && text[std::strlen(text) - 1] != ',';
}

// "X,Y,Z" with points for decimals, whatever the locale.
static bool parse_vector(const char *text, Vec3 *v) {
    float *parts[3] = {&v->x, &v->y, &v->z};
    for (int i = 0; i < 3; i++) {
        if (!decimal_read_float(&text, parts[i]) || *text != (i < 2 ? ',' : '\0')) return false;
        text += i < 2;
    }
    return true;
}

static bool parse_shade(const char *text, Shade *shade) {
    if (std::strcmp(text, "flat") == 0)
        *shade = SHADE_FLAT;
    else if (std::strcmp(text, "gouraud") == 0)
        *shade = SHADE_GOURAUD;
    else
        return false;
    return true;
}

enum {
    VIEW_HELP = 'h',
    VIEW_VERSION = 256,
    VIEW_DATA,
    VIEW_ARCHIVE,
    VIEW_OUT,
    VIEW_TICKS,
    VIEW_LIGHT,
    VIEW_SHADE,
};

static const option view_options[] = {
    {"help", no_argument, nullptr, VIEW_HELP},
    {"version", no_argument, nullptr, VIEW_VERSION},
    {"data", required_argument, nullptr, VIEW_DATA},
    {"archive", required_argument, nullptr, VIEW_ARCHIVE},
    {"out", required_argument, nullptr, VIEW_OUT},
    {"ticks", required_argument, nullptr, VIEW_TICKS},
    {"light", required_argument, nullptr, VIEW_LIGHT},
    {"shade", required_argument, nullptr, VIEW_SHADE},
    {nullptr, 0, nullptr, 0},
};

static bool parse_option(int code, const char *value, ViewOptions *o) {
    switch (code) {
    case VIEW_DATA:
        o->data_dir = value;
        return true;
    case VIEW_ARCHIVE:
        o->archive = value;
        return true;
    case VIEW_OUT:
        o->out = value;
        return true;
    case VIEW_TICKS:
        return parse_ticks(value, &o->ticks);
    case VIEW_LIGHT:
        return o->has_light = parse_vector(value, &o->light);
    case VIEW_SHADE:
        return parse_shade(value, &o->shade);
    }
    return false;
}

// Reads the command line into *o; returns -1 to go on, else the exit status.
static int parse_args(int argc, char **argv, ViewOptions *o) {
    opterr = 0; // the messages are ours
    for (int code; (code = getopt_long(argc, argv, ":h", view_options, nullptr)) != -1;) {
        if (code == VIEW_HELP) return answer_print("quellmoor-view", USAGE) ? 0 : 1;
        if (code == VIEW_VERSION)
            return answer_print("quellmoor-view", "quellmoor-view " QM_VERSION "\n") ? 0 : 1;
        if (code == '?') {
            const std::string word = optopt ? std::string("-") + char(optopt) : argv[optind - 1];
            std::fprintf(stderr, "quellmoor-view: unknown option '%s'\n", word.c_str());
            return usage();
        }
        if (code == ':' || !parse_option(code, optarg, o)) return usage();
    }
    if (optind + 1 == argc) o->scene = argv[optind];
    const bool one_source = (o->data_dir != nullptr) != (o->archive != nullptr);
    return o->scene && one_source && o->out && !o->ticks.empty() ? -1 : usage();
}

// The faces that are polygons (not points, flares or particles) take the asked lighting.
static void reshade(Scene *scene, Shade shade) {
    if (shade == SHADE_AS_LOADED) return;
    const int lit = shade == SHADE_FLAT ? (FACE_SOLID | FACE_FLAT) : (FACE_SOLID | FACE_GOURAUD);
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        for (int j = 0; j < obj->face_count; j++) {
            Face &f = obj->faces[j];
            if (f.flags & (FACE_POINT | FACE_FLARE | FACE_PARTICLE | FACE_HIDDEN)) continue;
            f.flags = lit | (f.flags & FACE_DOUBLE_SIDED);
        }
    }
}

static bool relight(Scene *scene, const Vec3 &at) {
    Light *light = new_light();
    if (!light) return false;
    light->world_position = at;
    scene->light_count = 0;
    scene->view->light_count = 0;
    return scene_add_light(scene, light);
}

static Scene *open_scene(const ViewOptions &o) {
    if (o.archive && !archive_open(o.archive)) return nullptr;
    if (o.data_dir) file_set_data_dir(o.data_dir);
    data_clear_error();
    Scene *scene = load_scene(o.scene, VIEW_WIDTH, VIEW_HEIGHT, VIEW_FOCAL, SCENE_PART_FLAGS);
    if (!scene) {
        if (!*data_last_error()) data_error("%s: the scene could not be loaded", o.scene);
        return nullptr;
    }
    // A show part draws into the frame buffer, which has a depth buffer.
    scene->target = image_create(VIEW_WIDTH, VIEW_HEIGHT, IMG_DEPTH);
    scene->speed = 1.0f;
    if (!scene->target || (o.has_light && !relight(scene, o.light))) {
        data_error("%s: out of memory", o.scene);
        return nullptr;
    }
    reshade(scene, o.shade);
    return scene;
}

static bool write_frame(const Image *img, const char *dir, int tick) {
    std::vector<uint8_t> rgb(static_cast<size_t>(img->width) * img->height * 3);
    for (size_t i = 0; i < rgb.size() / 3; i++) {
        const uint32_t p = img->pixels[i];
        rgb[3 * i] = static_cast<uint8_t>(p >> 8);
        rgb[3 * i + 1] = static_cast<uint8_t>(p >> 16);
        rgb[3 * i + 2] = static_cast<uint8_t>(p >> 24);
    }
    char path[4096];
    std::snprintf(path, sizeof path, "%s/frame-%06d.png", dir, tick);
    return png_file_write(path, rgb.data(), img->width, img->height);
}

static int render_ticks(Scene *scene, const ViewOptions &o) {
    Image *target = scene->target;
    const size_t pixels = static_cast<size_t>(target->width) * target->height;
    for (int tick : o.ticks) {
        mem_fill(target->pixels, 0, pixels * sizeof(uint32_t));
        mem_fill(target->depth, 0, pixels * sizeof(float));
        scene->time = static_cast<float>(tick);
        render_scene_ticks(scene, 0.0f);
        if (!write_frame(target, o.out, tick)) return fail(data_last_error());
    }
    return 0;
}

int main(int argc, char **argv) {
    ViewOptions o;
    if (int status = parse_args(argc, argv, &o); status >= 0) return status;
    if (mkdir(o.out, 0777) != 0 && errno != EEXIST) {
        const std::string message = std::string(o.out) + ": " + std::strerror(errno);
        return fail(message.c_str());
    }
    cpu_detect();
    Scene *scene = open_scene(o);
    const int status = scene ? render_ticks(scene, o) : fail(data_last_error());
    archive_close();
    mem_free_all();
    return status;
}
