// main.cpp -- the forge: writes every data file of the show into a folder
#include "icon.h"
#include "parts/parts.h"
#include "text.h"

#ifdef FORGE_HAVE_MUSIC
#include "music/music.h"
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

struct ForgeStep {
    const char *what;
    int (*run)(const char *dir);
};

static const ForgeStep steps[] = {
    {"loading screen, bars and captions", forge_shared},
    {"intro pictures", forge_intro},
    {"title picture", forge_title},
    {"magnet pictures, shapes and scene", forge_magnet},
    {"portrait", forge_portrait},
    {"glow pictures, objects and scene", forge_glow},
    {"textured scene: cavern, door, lamps and their pictures", forge_textured_scene},
    {"light scene pictures and scene", forge_light_scene},
    {"particle morph shapes, pictures and scene", forge_particle_morph},
    {"closing scene, its pictures and credits", forge_end},
    {"metaball pictures and scene", forge_metaball},
    {"hidden picture", forge_hidden},
    {"raytraced wall", forge_raytraced},
};

static int make_dir(const char *path) {
    if (mkdir(path, 0755) == 0 || errno == EEXIST) return 1;
    fprintf(stderr, "quellmoor-forge: %s: cannot create: %s\n", path, strerror(errno));
    return 0;
}

static int usage() {
    fprintf(stderr, "usage: quellmoor-forge --out DIR\n"
                    "writes DIR/data/* (pictures, objects, scenes), DIR/quellmor.xm, "
                    "DIR/end.xm and the program's icon in DIR/icons\n");
    return 2;
}

int main(int argc, char **argv) {
    if (argc != 3 || strcmp(argv[1], "--out") != 0) return usage();
    const char *out = argv[2];
    char data[4096], icons[4096];
    if (snprintf(data, sizeof data, "%s/data", out) >= (int)sizeof data) return usage();
    snprintf(icons, sizeof icons, "%s/icons", out);
    if (!make_dir(out) || !make_dir(data) || !make_dir(icons)) return 1;
    int ok = 1;
    for (const ForgeStep &step : steps) {
        if (!step.run(data)) {
            fprintf(stderr, "quellmoor-forge: the %s could not be made\n", step.what);
            ok = 0;
            break;
        }
    }
    text_shutdown();
    if (ok && !forge_icon(icons)) {
        fprintf(stderr, "quellmoor-forge: the icon could not be made\n");
        ok = 0;
    }
#ifdef FORGE_HAVE_MUSIC
    if (ok && forge_music_write(out) != 1) {
        fprintf(stderr, "quellmoor-forge: the music could not be made\n");
        ok = 0;
    }
#endif
    return ok ? 0 : 1;
}
