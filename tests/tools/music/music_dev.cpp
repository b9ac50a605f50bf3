// music_dev.cpp -- writes quellmor.xm and end.xm into the folder named on the command line

#include "music.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: music_dev FOLDER\n");
        return 2;
    }
    return forge_music_write(argv[1]) ? 0 : 1;
}
