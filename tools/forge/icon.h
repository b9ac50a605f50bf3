// icon.h -- the program's icon: a sun setting behind the moor over a pool that mirrors it, on a
// twilight tile with a gold rim, in the colours of the show's loading screen and bars.
//
// One drawing in unit coordinates (x right, y down) gives every size: the PNGs are sampled from
// it, and the SVG describes the same shapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The sizes the desktop's icon theme looks for, in pixels.
extern const int icon_sizes[];
extern const int icon_size_count;

// Renders the icon at size x size pixels as straight (not premultiplied) RGBA bytes, rows top to
// bottom. The tile's corners are transparent.
std::vector<uint8_t> icon_render(int size);

// The same drawing as an SVG document.
std::string icon_svg();

// Writes dir/quellmoor-<size>.png for every size and dir/quellmoor.svg. Returns 1, or 0 after a
// message naming the file on stderr.
int forge_icon(const char *dir);
