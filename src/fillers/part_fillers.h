// part_fillers.h -- fillers that single show parts install as the draw_hook of their faces.
//
// Same contract as the fillers of fillers.h: a read-only projected Face and the target, one
// triangle per call, nothing kept, nothing allocated, writes kept inside the target.
#pragma once

#include <cstdint>

struct Face;
struct Image;

// Entries of the shade table: index * 256 + intensity.
constexpr int SHADE_TABLE_SIZE = 65536;

// Points fill_table_shaded at a table of SHADE_TABLE_SIZE pixel words (or at nothing, nullptr).
// The table stays owned by the caller and must live as long as faces may be drawn with it.
void fill_set_shade_table(const uint32_t *table);

// Byte copies of the pictures the shaded faces use: the low byte of each of the first 65,536
// texels of index_picture and of level_picture, which fill_table_shaded reads instead of their
// words (a quarter of the cache) when a face has both pictures. The copies stay owned by the caller
// and must match the pictures as long as they are set; fill_set_shade_table forgets them.
void fill_set_shade_bytes(const Image *index_picture, const uint8_t *indices,
                          const Image *level_picture, const uint8_t *levels);

// Combines texture[0] (palette indices, coordinates at uv_layer[0]) and texture[1] (intensities,
// coordinates at uv_layer[1]) through the shade table: pixel = table[index * 256 + intensity].
// Coordinates in texels, carried in 24.8 fixed point. Draws nothing while no table is set.
void fill_table_shaded(const Face *face, Image *target);

// Maps texture[0] with the coordinates at uv_layer[0] given in units of the whole texture
// (0..1): unpacks the face and calls fill_unit_textured_triangle.
void fill_unit_textured(const Face *face, Image *target);

// The triangle (x0, y0, u0, v0), (x1, y1, u1, v1), (x2, y2, u2, v2) in screen pixels and unit
// texture coordinates, mapped from texture (256 x 256 words) into target; float edges, 16.16
// texels along each row, both coordinates wrapping every 256 texels.
void fill_unit_textured_triangle(float x0, float y0, float u0, float v0, float x1, float y1,
                                 float u1, float v1, float x2, float y2, float u2, float v2,
                                 const Image *texture, Image *target);
