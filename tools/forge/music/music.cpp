// music.cpp -- builds the two tunes and writes them as modules

#include "music.h"

#include "tunes.h"

#include <cstdio>
#include <string>

static int write_tune(const Tune *tune, const std::string &path) {
    XmSong song;
    std::string why;
    if (!score_build(tune, &song, &why)) {
        fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
        return 0;
    }
    return xm_write_file(&song, path.c_str());
}

int forge_music_write(const char *dir) {
    std::string base = dir;
    if (!base.empty() && base.back() != '/') base += '/';
    return write_tune(&TUNE_DUSK, base + "quellmor.xm") &&
           write_tune(&TUNE_SPRING, base + "end.xm");
}
