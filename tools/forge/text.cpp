// text.cpp -- lettering with FreeType: strings to coverage masks
#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>

static FT_Library library;
static FT_Face faces[4];

static const char *const face_files[4] = {
    "DejaVuSans-Bold.ttf",
    "DejaVuSansCondensed-Bold.ttf",
    "DejaVuSerif.ttf",
    "DejaVuSerif-Bold.ttf",
};

static FT_Face open_face(FontFace face) {
    if (faces[face]) return faces[face];
    if (!library && FT_Init_FreeType(&library) != 0) {
        fprintf(stderr, "forge: FreeType cannot start\n");
        return nullptr;
    }
    char path[512];
    snprintf(path, sizeof path, "%s/%s", FORGE_FONT_DIR, face_files[face]);
    if (FT_New_Face(library, path, 0, &faces[face]) != 0) {
        fprintf(stderr, "forge: %s: cannot read the font\n", path);
        faces[face] = nullptr;
    }
    return faces[face];
}

// Pen positions and ink extent of the string at the face's current size (26.6 values rounded
// to whole pixels per glyph, so that the layout does not depend on hinting subtleties).
struct Layout {
    int left, right, top, bottom; // ink box relative to the pen start on the baseline
};

static int load_glyph(FT_Face ft, char c) {
    return FT_Load_Char(ft, (FT_ULong)(unsigned char)c, FT_LOAD_RENDER) == 0;
}

static Layout measure(FT_Face ft, const char *text, float tracking) {
    Layout box{1 << 30, -(1 << 30), 1 << 30, -(1 << 30)};
    float pen = 0.0f;
    for (const char *c = text; *c; c++) {
        if (!load_glyph(ft, *c)) continue;
        FT_GlyphSlot g = ft->glyph;
        int x = (int)pen + g->bitmap_left;
        if (g->bitmap.width > 0) {
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x + (int)g->bitmap.width);
            box.top = std::min(box.top, -g->bitmap_top);
            box.bottom = std::max(box.bottom, -g->bitmap_top + (int)g->bitmap.rows);
        }
        pen += (float)(g->advance.x >> 6) + tracking;
    }
    if (box.left > box.right) box = Layout{0, 1, 0, 1};
    return box;
}

Mask text_render(FontFace face, float pixel_size, const char *text, float tracking, int pad,
                 int *baseline) {
    FT_Face ft = open_face(face);
    if (!ft) return Mask{0, 0, nullptr};
    FT_Set_Pixel_Sizes(ft, 0, (FT_UInt)(pixel_size + 0.5f));
    Layout box = measure(ft, text, tracking);
    Mask mask = mask_create(box.right - box.left + 2 * pad, box.bottom - box.top + 2 * pad);
    if (!mask.a) return mask;
    int origin_x = pad - box.left, origin_y = pad - box.top;
    float pen = 0.0f;
    for (const char *c = text; *c; c++) {
        if (!load_glyph(ft, *c)) continue;
        FT_GlyphSlot g = ft->glyph;
        int gx = origin_x + (int)pen + g->bitmap_left, gy = origin_y - g->bitmap_top;
        for (unsigned row = 0; row < g->bitmap.rows; row++) {
            for (unsigned col = 0; col < g->bitmap.width; col++) {
                int x = gx + (int)col, y = gy + (int)row;
                if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
                float v = (float)g->bitmap.buffer[row * g->bitmap.pitch + col] / 255.0f;
                float *p = mask.a + (size_t)y * mask.width + x;
                *p = std::min(1.0f, *p + v);
            }
        }
        pen += (float)(g->advance.x >> 6) + tracking;
    }
    if (baseline) *baseline = origin_y;
    return mask;
}

void text_shutdown() {
    for (FT_Face &f : faces) {
        if (f) FT_Done_Face(f);
        f = nullptr;
    }
    if (library) FT_Done_FreeType(library);
    library = nullptr;
}
