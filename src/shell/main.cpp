// main.cpp -- the program's entry

#include "shell/setup.h"

#include <cstdlib>

// exit() rather than a return: where the program's run is suspended and resumed by its host
// (between frames, in a page), main's return reaches no one, but exit() always ends the run.
int main(int argc, char **argv) {
    std::exit(show_main(argc, argv));
}
