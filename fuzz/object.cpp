// Feeds arbitrary bytes to the LWOB reader as an object file and checks what it builds.

#include "engine/object.h"
#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

static std::string folder;

// The folder goes when the run ends.
static void remove_folder() {
    std::remove((folder + "/in.lwo").c_str());
    rmdir(folder.c_str());
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Each run rewrites the files: TMPDIR may point at a memory file system.
    const char *tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/qm_fuzz_object_XXXXXX";
    if (!mkdtemp(tmpl.data())) std::abort();
    folder = tmpl;
    file_set_data_dir(folder.c_str());
    std::atexit(remove_folder);
    return 0;
}

// Every index a face holds selects an existing point or surface.
static void check_object(const SceneObject *obj) {
    for (int i = 0; i < obj->face_count; i++) {
        const Face &f = obj->faces[i];
        for (int k = 0; k < 3; k++)
            if (f.point_index[k] < 0 || f.point_index[k] >= obj->point_count) std::abort();
        if (f.surface_index < -1 || f.surface_index >= obj->surface_count) std::abort();
    }
    for (int i = 0; i < obj->surface_count; i++)
        if (obj->surfaces[i].name[SURFACE_NAME_SIZE - 1] != '\0') std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path = folder + "/in.lwo";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    data_clear_error();
    SceneObject *obj = load_object("in.lwo", 1.0f);
    if (obj)
        check_object(obj);
    else if (data_last_error()[0] == '\0')
        std::abort(); // a failure always says why
    mem_free_all();
    return 0;
}
