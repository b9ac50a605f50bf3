// music.cpp -- builds the two tunes and writes them as modules

#include "music.h"

#include "tunes.h"
#include "voices.h"

#include <cstdio>
#include <string>

static int write_tune(const Tune *tune, const std::vector<XmInstrument> *voices,
                      const std::string &path) {
    XmSong song;
    std::string why;
    if (!score_build(tune, voices, &song, &why)) {
        fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
        return 0;
    }
    return xm_write_file(&song, path.c_str());
}

int forge_music_write(const char *dir) {
    std::string base = dir;
    if (!base.empty() && base.back() != '/') base += '/';
    std::vector<XmInstrument> voices; // both tunes play the same instruments
    voices_build(&voices);
    return write_tune(&TUNE_DUSK, &voices, base + "quellmor.xm") &&
           write_tune(&TUNE_SPRING, &voices, base + "end.xm");
}
