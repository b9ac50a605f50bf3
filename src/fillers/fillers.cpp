// fillers.cpp -- the filler table, the dispatcher by face flags and the single-dot filler

#include "fillers/fillers.h"

#include "data/image.h"

// Filled here once; dispatch_fill reaches it only through filler_table.
static const Filler filler_slots[FILL_SLOT_COUNT] = {
    nullptr,         // FILL_SLOT_NONE
    fill_point,      // FILL_SLOT_POINT
    fill_flat_add,   // FILL_SLOT_FLAT_ADD
    fill_flat_lit,   // FILL_SLOT_FLAT_LIT
    fill_textured,   // FILL_SLOT_TEXTURED
    fill_env_mapped, // FILL_SLOT_ENV
    fill_gouraud,    // FILL_SLOT_GOURAUD
    nullptr,         // FILL_SLOT_SPARE
};

const Filler *const filler_table = filler_slots;

// The filler_table slot for a value of flags & FILL_KIND_MASK, FILL_SLOT_NONE when none.
static int fill_slot_of(int kind) {
    switch (kind) {
    case FACE_POINT:
        return FILL_SLOT_POINT;
    case FACE_SOLID:
        return FILL_SLOT_FLAT_ADD;
    case FACE_FLAT | FACE_SOLID:
        return FILL_SLOT_FLAT_LIT;
    case FACE_TEXTURED:
        return FILL_SLOT_TEXTURED;
    case FACE_ENVMAP:
        return FILL_SLOT_ENV;
    case FACE_GOURAUD | FACE_SOLID:
        return FILL_SLOT_GOURAUD;
    default:
        return FILL_SLOT_NONE;
    }
}

void dispatch_fill(const Face *face, Image *target) {
    if (face == nullptr) return;
    if (face->flags & FACE_CUSTOM) {
        if (face->custom_filler != nullptr) face->custom_filler(face, target);
        return;
    }
    Filler filler = filler_table[fill_slot_of(face->flags & FILL_KIND_MASK)];
    if (filler != nullptr) filler(face, target);
}

// The pipeline only hands over dots inside the target, but its test lets x = width and
// y = height through: those (and anything else outside) draw nothing.
void fill_point(const Face *face, Image *target) {
    if (target == nullptr || target->pixels == nullptr) return;
    int32_t x = fill_trunc(face->v[0].x), y = fill_trunc(face->v[0].y);
    if (x < 0 || y < 0 || x >= target->width || y >= target->height) return;
    target->pixels[static_cast<size_t>(y) * target->width + x] = face->colour;
}
