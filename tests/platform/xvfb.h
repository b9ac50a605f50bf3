// xvfb.h -- a private X server for the tests that need a display.
#pragma once

#include <string>

// Starts Xvfb on a free display (1280 x 800, 24 bits) and points DISPLAY at it; the server
// lives until the test program exits. Returns false when Xvfb is missing or does not come up
// within a few seconds.
bool xvfb_start();

// Starts another Xvfb with the given screen ("WIDTHxHEIGHTxDEPTH") on a free display, for a
// program started with DISPLAY set to it; it lives until the test program exits. Returns the
// display (":N"), or "" when it cannot be started.
std::string xvfb_start_other(const std::string &screen);

// Runs a shell command with DISPLAY set; returns its exit status.
int xvfb_run(const std::string &command);

// The root window as 8-bit RGB, read with ImageMagick's import. Returns false on failure.
struct RootPicture {
    int width = 0, height = 0;
    std::string rgb; // width * height * 3 bytes
};
bool xvfb_grab(RootPicture *picture);
