// Feeds arbitrary text to the scene reader as a .lws file; "a.lwo" is a small valid object that
// the text may load.

#include "engine/scene.h"
#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static std::string folder;

static void write_file(const std::string &name, const uint8_t *data, size_t size) {
    FILE *f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
}

// One triangle on one surface.
static const uint8_t TRIANGLE[] = {
    'F', 'O', 'R', 'M', 0, 0,   0,   76,  'L', 'W', 'O', 'B', 'P', 'N', 'T',  'S',  0,
    0,   0,   36,  0,   0, 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    0x3F, 0x80,
    0,   0,   0,   0,   0, 0,   0,   0,   0,   0,   0,   0,   0,   0,   0x3F, 0x80, 0,
    0,   0,   0,   0,   0, 'S', 'R', 'F', 'S', 0,   0,   0,   2,   'S', 0,    'P',  'O',
    'L', 'S', 0,   0,   0, 10,  0,   3,   0,   0,   0,   1,   0,   2,   0,    1};

// The folder goes when the run ends.
static void remove_folder() {
    std::remove((folder + "/a.lwo").c_str());
    std::remove((folder + "/in.lws").c_str());
    rmdir(folder.c_str());
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Each run rewrites the files: TMPDIR may point at a memory file system.
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/qm_fuzz_scene_XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    folder = tmpl;
    file_set_data_dir(folder.c_str());
    std::atexit(remove_folder);
    return 0;
}

// Targets are scene objects and the camera is there; evaluating every motion stays in bounds.
static void check_scene(Scene *s) {
    if (s->camera_count != 1 || !s->cameras[0]->motion) std::abort();
    for (int i = 0; i < s->object_count; i++) motion_evaluate(s->objects[i]->motion, 37.5f);
    for (int i = 0; i < s->light_count; i++) {
        Light *l = s->lights[i];
        bool known = l->target == nullptr;
        for (int j = 0; j < s->object_count; j++) known = known || l->target == s->objects[j];
        if (!known) std::abort();
        motion_evaluate(l->motion, 1e9f);
    }
    motion_evaluate(s->cameras[0]->motion, -1.0f);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    write_file("a.lwo", TRIANGLE, sizeof TRIANGLE);
    write_file("in.lws", data, size);
    data_clear_error();
    Scene *s = load_scene("in.lws", 64, 32, 400.0f, SCENE_PART_FLAGS);
    if (s)
        check_scene(s);
    else if (data_last_error()[0] == '\0')
        std::abort(); // a failure always says why
    mem_free_all();
    return 0;
}
