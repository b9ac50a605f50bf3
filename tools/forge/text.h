// text.h -- lettering with FreeType and the DejaVu faces: strings become coverage masks.
#pragma once

#include "canvas.h"

// The DejaVu faces the forge letters with.
enum FontFace { FONT_SANS_BOLD, FONT_SANS_CONDENSED_BOLD, FONT_SERIF, FONT_SERIF_BOLD };

// Renders an ASCII string at a pixel size (the em height), tracking extra pixels between letters,
// into a mask just large enough for its ink plus pad pixels on every side. *baseline (if not null)
// receives the baseline's row in the mask. A mask of width 0 means the font could not be read
// (the reason is printed on stderr).
Mask text_render(FontFace face, float pixel_size, const char *text, float tracking, int pad,
                 int *baseline);

// Releases the FreeType library and the faces (the forge calls it once at the end).
void text_shutdown();
