// scene.cpp -- reads LightWave scene (.lws) text into scenes of objects, lights and a camera

#include "engine/scene.h"

#include "data/archive.h"
#include "data/decimal.h"
#include "data/error.h"
#include "data/image.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/render.h"

#include <cmath>
#include <cstdio>
#include <cstring>

// Scene files give angles in degrees.
static const double DEGREES_TO_RADIANS = 2 * 0.008726646259971648;

constexpr int LINE_SIZE = 256; // 255 characters and the terminator

// The fields of a key line and its frame line (whose linear flag nothing uses).
struct ParsedKey {
    float x, y, z, heading, pitch, bank, scale_x, scale_y, scale_z;
    float frame;
    float tension, continuity, bias;
};

struct ParsedMotion {
    bool present;
    int channel_count;
    int key_count;
    ParsedKey *keys;
};

// Only what the scene needs is kept. The file also gives a frame range and rate, end behaviours,
// shadow settings, light types, colours and intensities and a zoom factor: the scene clock runs
// freely, lights get fixed defaults and the projection comes from the caller, so none is read.
struct ObjectEntry {
    char name[LINE_SIZE];
    bool is_null; // no file to read: an AddNullObject line, or a name beginning "Null"
    int parent;   // 1-based object number it moves with, 0 for none
    ParsedMotion motion;
};

struct LightEntry {
    int target; // 1-based object number, 0 for none
    int parent; // 1-based object number it moves with, 0 for none
    ParsedMotion motion;
};

struct CameraEntry {
    bool present;
    int target;
    int parent;
    ParsedMotion motion;
};

struct SceneDoc {
    int object_count;
    ObjectEntry *objects;
    int light_count;
    LightEntry *lights;
    CameraEntry camera;
};

// Walks the text line by line. A line ends at CR LF, at a bare LF (files from Unix and Amiga
// tools) or at a bare CR (from the Macintosh); the last line needs no end. A longer line keeps
// its first 255 characters.
struct LineReader {
    const char *path;
    const char *text;
    size_t size;
    size_t pos;
    int number; // of the current line, from 1
    int total;  // lines in the text
    char line[LINE_SIZE];
};

// The length of the line that starts at from, and where the next one starts.
static size_t line_at(const LineReader *r, size_t from, size_t *next) {
    size_t end = from;
    while (end < r->size && r->text[end] != '\n' && r->text[end] != '\r') end++;
    *next = end;
    if (end < r->size)
        *next += r->text[end] == '\r' && end + 1 < r->size && r->text[end + 1] == '\n' ? 2 : 1;
    return end - from;
}

static bool next_line(LineReader *r) {
    if (r->pos >= r->size) return false;
    size_t next;
    size_t len = line_at(r, r->pos, &next);
    if (len > LINE_SIZE - 1) len = LINE_SIZE - 1;
    std::memcpy(r->line, r->text + r->pos, len);
    r->line[len] = '\0';
    r->pos = next;
    r->number++;
    return true;
}

static int count_lines(const LineReader *r) {
    int n = 0;
    for (size_t pos = 0; pos < r->size; n++) line_at(r, pos, &pos);
    return n;
}

// The first word of the current line; false for an empty (or blank) line.
static bool first_word(const LineReader *r, char *word) {
    return std::sscanf(r->line, "%255s", word) == 1;
}

// A word matches a keyword when their first n characters agree.
static bool is_keyword(const char *word, const char *keyword, size_t n) {
    return std::strncmp(word, keyword, n) == 0;
}

static bool all_finite(const float *v, int n) {
    for (int i = 0; i < n; i++)
        if (!std::isfinite(v[i])) return false;
    return true;
}

static bool read_count(LineReader *r, const char *what, int *count) {
    if (!next_line(r)) {
        data_error("%s: the file ends before the %s of the motion at line %d", r->path, what,
                   r->number);
        return false;
    }
    if (std::sscanf(r->line, " %d ", count) != 1) {
        data_error("%s: line %d: expected the %s of a motion", r->path, r->number, what);
        return false;
    }
    return true;
}

static bool read_key(LineReader *r, ParsedKey *k) {
    float v[9], f[5];
    if (!next_line(r) || decimal_read_floats(r->line, v, 9) != 9 || !all_finite(v, 9)) {
        data_error("%s: line %d: expected nine key values", r->path, r->number);
        return false;
    }
    if (!next_line(r) || decimal_read_floats(r->line, f, 5) != 5 || !all_finite(f, 5)) {
        data_error("%s: line %d: expected a key's frame, linear flag, tension, continuity and "
                   "bias",
                   r->path, r->number);
        return false;
    }
    *k = ParsedKey{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], f[0], f[2], f[3], f[4]};
    return true;
}

// Reads the motion block that follows the current line, then puts the reader back on the line
// after the keyword (the block's number lines are read again by the caller and match nothing).
static bool read_motion(LineReader *r, ParsedMotion *m) {
    const size_t pos = r->pos;
    const int number = r->number;
    int channels, keys;
    if (!read_count(r, "channel count", &channels) || !read_count(r, "key count", &keys))
        return false;
    if (channels < 0 || channels > MOTION_CHANNELS) {
        data_error("%s: line %d: %d channels, at most %d are known", r->path, r->number, channels,
                   MOTION_CHANNELS);
        return false;
    }
    // Two lines per key: a count the rest of the file cannot hold is damage, not a big motion.
    if (keys < 0 || keys > (r->total - r->number) / 2) {
        data_error("%s: line %d: %d keys, more than the rest of the file holds", r->path, r->number,
                   keys);
        return false;
    }
    ParsedKey *parsed = static_cast<ParsedKey *>(mem_alloc(size_t(keys) * sizeof(ParsedKey)));
    if (!parsed) {
        data_error("%s: out of memory", r->path);
        return false;
    }
    for (int i = 0; i < keys; i++) {
        if (!read_key(r, &parsed[i])) {
            mem_free(parsed);
            return false;
        }
    }
    mem_free(m->keys); // a second motion block replaces the first
    *m = ParsedMotion{true, channels, keys, parsed};
    r->pos = pos;
    r->number = number;
    return true;
}

static void read_number(const LineReader *r, int *number) {
    std::sscanf(r->line, "%*s %d", number);
}

// One keyword of a block: the characters that must match and what the line does.
struct BlockKeyword {
    const char *word;
    size_t n;
    int action;
};

enum { IGNORE, MOTION, TARGET, PARENT };

// Where a block's lines go; a block without a parent or target has null there.
struct BlockFields {
    ParsedMotion *motion;
    int *target;
    int *parent;
};

static const BlockKeyword OBJECT_KEYWORDS[] = {
    {"ObjectMotion", 12, MOTION},  {"ShowObject", 10, IGNORE},   {"EndBehavior", 10, IGNORE},
    {"ShadowOptions", 12, IGNORE}, {"ParentObject", 12, PARENT}, {nullptr, 0, IGNORE}};
static const BlockKeyword LIGHT_KEYWORDS[] = {
    {"LightMotion", 11, MOTION},  {"EndBehavior", 11, IGNORE},  {"LightColor", 10, IGNORE},
    {"LgtIntensity", 12, IGNORE}, {"LightType", 9, IGNORE},     {"ShadowType", 10, IGNORE},
    {"TargetObject", 12, TARGET}, {"ParentObject", 12, PARENT}, {nullptr, 0, IGNORE}};
static const BlockKeyword CAMERA_KEYWORDS[] = {
    {"CameraMotion", 12, MOTION}, {"EndBehavior", 11, IGNORE},  {"TargetObject", 12, TARGET},
    {"ZoomFactor", 10, IGNORE},   {"ParentObject", 12, PARENT}, {nullptr, 0, IGNORE}};

// Reads the lines of a block up to the first empty line (or the end of the text) into fields.
static bool read_block(LineReader *r, const BlockKeyword *keywords, const BlockFields &fields) {
    char word[LINE_SIZE];
    while (next_line(r) && first_word(r, word)) {
        const BlockKeyword *k = keywords;
        while (k->word && !is_keyword(word, k->word, k->n)) k++;
        if (!k->word) continue;
        if (k->action == MOTION && !read_motion(r, fields.motion)) return false;
        if (k->action == TARGET) read_number(r, fields.target);
        if (k->action == PARENT) read_number(r, fields.parent);
    }
    return true;
}

// The text after the line's first word, without the blanks around it: a file name may hold
// spaces. False when there is none.
static bool rest_of_line(const char *line, char *out) {
    const char *p = line + std::strspn(line, " \t");
    p += std::strcspn(p, " \t");
    p += std::strspn(p, " \t");
    size_t len = std::strlen(p);
    while (len > 0 && (p[len - 1] == ' ' || p[len - 1] == '\t')) len--;
    std::memcpy(out, p, len);
    out[len] = '\0';
    return len > 0;
}

// Grows a document array by one zeroed slot; null when memory runs out.
static void *grow(void *array, int count, size_t each) {
    size_t bytes = (size_t(count) + 1) * each;
    void *grown = array ? mem_resize(array, bytes) : mem_alloc(bytes);
    if (grown) std::memset(static_cast<char *>(grown) + size_t(count) * each, 0, each);
    return grown;
}

static bool open_object(LineReader *r, SceneDoc *doc, bool is_null) {
    ObjectEntry *grown =
        static_cast<ObjectEntry *>(grow(doc->objects, doc->object_count, sizeof(ObjectEntry)));
    if (!grown) {
        data_error("%s: out of memory", r->path);
        return false;
    }
    doc->objects = grown;
    ObjectEntry *e = &doc->objects[doc->object_count++];
    if (!rest_of_line(r->line, e->name)) {
        data_error("%s: line %d: an object without a name", r->path, r->number);
        return false;
    }
    // A null object is one whatever its name: there is no file behind it to read.
    e->is_null = is_null || std::strncmp(e->name, "Null", 4) == 0;
    return read_block(r, OBJECT_KEYWORDS, BlockFields{&e->motion, nullptr, &e->parent});
}

static bool open_light(LineReader *r, SceneDoc *doc) {
    LightEntry *grown =
        static_cast<LightEntry *>(grow(doc->lights, doc->light_count, sizeof(LightEntry)));
    if (!grown) {
        data_error("%s: out of memory", r->path);
        return false;
    }
    doc->lights = grown;
    LightEntry *e = &doc->lights[doc->light_count++];
    return read_block(r, LIGHT_KEYWORDS, BlockFields{&e->motion, &e->target, &e->parent});
}

static bool open_camera(LineReader *r, SceneDoc *doc) {
    // A later camera block replaces the earlier one.
    mem_free(doc->camera.motion.keys);
    doc->camera = CameraEntry{};
    doc->camera.present = true;
    return read_block(r, CAMERA_KEYWORDS,
                      BlockFields{&doc->camera.motion, &doc->camera.target, &doc->camera.parent});
}

// The format line "LWSC" and its version, on the next line (or after it on the same one). Only
// version 1 is read; the later versions arrange their blocks differently. A text without it is
// read as it stands.
static bool read_format(LineReader *r, const char *word) {
    char version[LINE_SIZE];
    if (std::sscanf(r->line, "%*s %255s", version) != 1) {
        if (!next_line(r) || !first_word(r, version)) {
            data_error("%s: line %d: the version of the scene format is missing after LWSC",
                       r->path, r->number);
            return false;
        }
    }
    if (std::strcmp(word, "LWSC") == 0 && std::strcmp(version, "1") == 0) return true;
    data_error("%s: scene format %s %s is not supported (LWSC 1)", r->path, word, version);
    return false;
}

static bool parse_scene(LineReader *r, SceneDoc *doc) {
    char word[LINE_SIZE];
    bool first = true;
    while (next_line(r)) {
        if (!first_word(r, word)) continue;
        if (first && std::strncmp(word, "LWSC", 4) == 0 && !read_format(r, word)) return false;
        first = false;
        bool ok = true;
        // FirstFrame, LastFrame, FrameStep and FramesPerSecond are read by nothing.
        if (is_keyword(word, "LoadObject", 10))
            ok = open_object(r, doc, false);
        else if (is_keyword(word, "AddNullObject", 13))
            ok = open_object(r, doc, true);
        else if (is_keyword(word, "AddLight", 8))
            ok = open_light(r, doc);
        else if (is_keyword(word, "ShowCamera", 10))
            ok = open_camera(r, doc);
        if (!ok) return false;
    }
    return true;
}

static void free_doc(SceneDoc *doc) {
    for (int i = 0; i < doc->object_count; i++) mem_free(doc->objects[i].motion.keys);
    for (int i = 0; i < doc->light_count; i++) mem_free(doc->lights[i].motion.keys);
    mem_free(doc->camera.motion.keys);
    mem_free(doc->objects);
    mem_free(doc->lights);
}

// True when following the parents up from object i comes back to it. Each step climbs one
// object, so more steps than objects mean a loop.
static bool parents_loop(const SceneDoc *doc, int i) {
    int at = i;
    for (int steps = 0; steps < doc->object_count; steps++) {
        at = doc->objects[at].parent - 1;
        if (at < 0) return false;
        if (at == i) return true;
    }
    return false; // a loop above i, found when its own objects are checked
}

// who (an object, a light or the camera) moves with parent, which must be an object of the file
// or 0 (none).
static bool check_parent(const char *path, const SceneDoc *doc, const char *who, int parent) {
    if (parent >= 0 && parent <= doc->object_count) return true;
    data_error("%s: %s has parent object %d, but there are %d", path, who, parent,
               doc->object_count);
    return false;
}

static bool check_objects(const char *path, const SceneDoc *doc) {
    for (int i = 0; i < doc->object_count; i++) {
        const ObjectEntry &e = doc->objects[i];
        if (!e.motion.present) {
            data_error("%s: object %d (%s) has no motion", path, i + 1, e.name);
            return false;
        }
        char who[LINE_SIZE + 32];
        std::snprintf(who, sizeof who, "object %d (%s)", i + 1, e.name);
        if (!check_parent(path, doc, who, e.parent)) return false;
        if (parents_loop(doc, i)) {
            data_error("%s: object %d (%s) is its own parent, or its parents' parent", path, i + 1,
                       e.name);
            return false;
        }
    }
    return true;
}

// What the builder relies on: every object, light and the camera has a motion, targets and
// parents name objects of the file, and no object moves with itself.
static bool check_doc(const char *path, const SceneDoc *doc) {
    if (!check_objects(path, doc)) return false;
    for (int i = 0; i < doc->light_count; i++) {
        if (!doc->lights[i].motion.present) {
            data_error("%s: light %d has no motion", path, i + 1);
            return false;
        }
        if (doc->lights[i].target > doc->object_count) {
            data_error("%s: light %d targets object %d, but there are %d", path, i + 1,
                       doc->lights[i].target, doc->object_count);
            return false;
        }
        char who[32];
        std::snprintf(who, sizeof who, "light %d", i + 1);
        if (!check_parent(path, doc, who, doc->lights[i].parent)) return false;
    }
    if (!doc->camera.present) {
        data_error("%s: no camera", path);
        return false;
    }
    if (!doc->camera.motion.present) {
        data_error("%s: the camera has no motion", path);
        return false;
    }
    if (doc->camera.target > doc->object_count) {
        data_error("%s: the camera targets object %d, but there are %d", path, doc->camera.target,
                   doc->object_count);
        return false;
    }
    return check_parent(path, doc, "the camera", doc->camera.parent);
}

static float radians(float degrees) {
    return float(degrees * DEGREES_TO_RADIANS);
}

// The motion of a parsed block, its keys inserted in frame order.
static Motion *build_motion(const ParsedMotion *p) {
    Motion *m = new_motion();
    if (!m) return nullptr;
    m->kind = MOTION_KIND_SCENE;
    m->channel_count = p->channel_count;
    for (int i = 0; i < p->key_count; i++) {
        const ParsedKey &pk = p->keys[i];
        MotionKey *k = new_key();
        if (!k) return nullptr;
        const float value[MOTION_CHANNELS] = {pk.x,
                                              pk.y,
                                              pk.z,
                                              radians(pk.pitch),
                                              radians(pk.heading),
                                              radians(pk.bank),
                                              pk.scale_x,
                                              pk.scale_y,
                                              pk.scale_z};
        std::memcpy(k->value, value, sizeof value);
        k->frame = pk.frame;
        k->tension = pk.tension;
        k->continuity = pk.continuity;
        k->bias = pk.bias;
        motion_insert(m, k);
    }
    return m;
}

static bool out_of_memory(const char *path) {
    data_error("%s: out of memory", path);
    return false;
}

// Object number (1-based) of the scene, or null for 0.
static SceneObject *object_numbered(const Scene *scene, int number) {
    return number > 0 ? scene->objects[number - 1] : nullptr;
}

static bool build_objects(const char *path, const SceneDoc *doc, Scene *scene) {
    for (int i = 0; i < doc->object_count; i++) {
        const ObjectEntry &e = doc->objects[i];
        SceneObject *obj;
        if (e.is_null) {
            obj = new_empty_object();
            if (!obj) return out_of_memory(path);
        } else {
            obj = load_object(e.name, 1.0f);
            if (!obj) {
                char reason[512];
                std::snprintf(reason, sizeof reason, "%s", data_last_error());
                data_error("%s: %s", path, reason);
                return false;
            }
        }
        obj->motion = build_motion(&e.motion);
        if (!obj->motion || !scene_add_object(scene, obj)) return out_of_memory(path);
    }
    for (int i = 0; i < doc->object_count; i++)
        scene->objects[i]->parent = object_numbered(scene, doc->objects[i].parent);
    return true;
}

// A zeroed camera. Null when memory runs out. Valid until mem_free_all.
static Camera *new_camera() {
    return static_cast<Camera *>(mem_alloc(sizeof(Camera)));
}

static bool build_lights_and_camera(const char *path, const SceneDoc *doc, Scene *scene) {
    for (int i = 0; i < doc->light_count; i++) {
        Light *light = new_light();
        if (!light) return out_of_memory(path);
        light->motion = build_motion(&doc->lights[i].motion);
        light->target = object_numbered(scene, doc->lights[i].target);
        light->parent = object_numbered(scene, doc->lights[i].parent);
        if (!light->motion || !scene_add_light(scene, light)) return out_of_memory(path);
    }
    Camera *cam = new_camera();
    if (!cam) return out_of_memory(path);
    cam->motion = build_motion(&doc->camera.motion);
    cam->target = object_numbered(scene, doc->camera.target);
    cam->parent = object_numbered(scene, doc->camera.parent);
    if (!cam->motion || !scene_add_camera(scene, cam)) return out_of_memory(path);
    return true;
}

Scene *load_scene(const char *path, int width, int height, float focal, int flags) {
    size_t size;
    uint8_t *text = file_load(path, &size);
    if (!text) return nullptr;
    LineReader r{};
    r.path = path;
    r.text = reinterpret_cast<const char *>(text);
    r.size = size;
    r.total = count_lines(&r);
    SceneDoc doc{};
    bool ok = parse_scene(&r, &doc) && check_doc(path, &doc);
    mem_free(text);
    // A scene that fails half-built keeps what it made until shut-down; the document goes now.
    Scene *scene = nullptr;
    if (ok) {
        scene = scene_create(width, height, focal, flags);
        if (!scene)
            out_of_memory(path);
        else if (!build_objects(path, &doc, scene) || !build_lights_and_camera(path, &doc, scene))
            scene = nullptr;
    }
    free_doc(&doc);
    return scene;
}

Scene *scene_create(int width, int height, float focal, int flags) {
    if (!(flags & (SCENE_ANIMATE | SCENE_FROZEN))) flags |= SCENE_ANIMATE;
    Scene *scene = static_cast<Scene *>(mem_alloc(sizeof(Scene)));
    if (!scene) return nullptr;
    scene->flags = flags;
    scene->speed = 1.0f;
    // The focal length is a whole number of pixels.
    scene->view = view_create(float(width), float(height), float(int(focal)));
    if (!scene->view) {
        mem_free(scene);
        return nullptr;
    }
    if (!(flags & SCENE_NO_TARGET)) {
        scene->target = image_create(width, height, SCENE_TARGET_IMAGE_FLAGS);
        if (!scene->target) return nullptr;
    }
    return scene;
}

// Appends item to a pointer array of count entries, one slot at a time. False (array
// unchanged) when memory runs out.
template <typename T> static bool append(T **&array, int count, T *item) {
    T **grown = static_cast<T **>(grow(array, count, sizeof(T *)));
    if (!grown) return false;
    grown[count] = item;
    array = grown;
    return true;
}

int scene_add_object(Scene *scene, SceneObject *obj) {
    if (!scene || !obj || !append(scene->objects, scene->object_count, obj)) return 0;
    scene->object_count++;
    return 1;
}

int scene_add_camera(Scene *scene, Camera *cam) {
    if (!scene || !cam || !append(scene->cameras, scene->camera_count, cam)) return 0;
    scene->camera_count++;
    return 1;
}

int scene_add_light(Scene *scene, Light *light) {
    if (!scene || !light || !scene->view) return 0;
    if (!append(scene->lights, scene->light_count, light)) return 0;
    RenderView *view = scene->view;
    // The scene's array may keep its extra slot if this fails; the count says what is in use.
    if (!append(view->lights, view->light_count, light)) return 0;
    scene->light_count++;
    view->light_count++;
    return 1;
}

Light *new_light() {
    Light *light = static_cast<Light *>(mem_alloc(sizeof(Light)));
    if (!light) return nullptr;
    light->type = LIGHT_DEFAULT_TYPE;
    light->intensity = LIGHT_DEFAULT_INTENSITY;
    light->range = LIGHT_DEFAULT_RANGE;
    return light;
}
