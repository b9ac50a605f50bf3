// icon.h -- the program's icon, shown by the setup dialog and by the show's window.
//
// The shell names the icon's PNG file once it knows where the data is; the dialog and the window
// show it when they open. A missing or damaged file only means no icon.
#pragma once

#include <cstdint>

// The icon as straight RGBA bytes, rows top to bottom.
struct IconPixels {
    int32_t width;
    int32_t height;
    uint8_t *rgba; // width * height * 4 bytes; release with icon_free
};

// Names the PNG file the icon is read from (copied), or forgets it (nullptr).
void icon_set_file(const char *path);

// Reads the icon file. Returns 1 with *icon filled, or 0 (no file named, unreadable, damaged, or
// larger than 1024 x 1024) with *icon empty.
int icon_read(IconPixels *icon);

void icon_free(IconPixels *icon);
