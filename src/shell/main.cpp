// main.cpp -- the program's entry

#include "shell/setup.h"

int main(int argc, char **argv) {
    return show_main(argc, argv);
}
