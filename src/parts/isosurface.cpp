// isosurface.cpp -- five point charges on a grid over a cube, polygonised with marching cubes
// and drawn environment-mapped into a depth-tested target

#include "parts/isosurface.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"
#include "engine/render.h"
#include "engine/scalar.h"
#include "engine/scene.h"
#include "fillers/fillers.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A cube corner as an offset in grid steps; corner m is bit m of a cell's index.
struct CornerOffset {
    int dx, dy, dz;
};

static const CornerOffset iso_corners[8] = {{0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 0},
                                            {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0, 0, 1}};

// The two corners at the ends of each cube edge.
struct EdgeEnds {
    int a, b;
};

static const EdgeEnds iso_edges[12] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                       {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// The marching-cubes tables published by Paul Bourke in "Polygonising a scalar field" (edge and
// triangle tables by Cory Gene Bloyd), for the corner and edge numbering above; generated from
// the plain-text copy kept with the project's data. iso_edge_table[index] has bit e set for
// every edge the surface crosses; iso_triangle_table[index] lists edges in triples, ended by -1.
// Every edge mask is the union of the edges its triangle row uses.
static const int32_t iso_edge_table[256] = {
    0x000, 0x109, 0x203, 0x30a, 0x406, 0x50f, 0x605, 0x70c, 0x80c, 0x905, 0xa0f, 0xb06, 0xc0a,
    0xd03, 0xe09, 0xf00, 0x190, 0x099, 0x393, 0x29a, 0x596, 0x49f, 0x795, 0x69c, 0x99c, 0x895,
    0xb9f, 0xa96, 0xd9a, 0xc93, 0xf99, 0xe90, 0x230, 0x339, 0x033, 0x13a, 0x636, 0x73f, 0x435,
    0x53c, 0xa3c, 0xb35, 0x83f, 0x936, 0xe3a, 0xf33, 0xc39, 0xd30, 0x3a0, 0x2a9, 0x1a3, 0x0aa,
    0x7a6, 0x6af, 0x5a5, 0x4ac, 0xbac, 0xaa5, 0x9af, 0x8a6, 0xfaa, 0xea3, 0xda9, 0xca0, 0x460,
    0x569, 0x663, 0x76a, 0x066, 0x16f, 0x265, 0x36c, 0xc6c, 0xd65, 0xe6f, 0xf66, 0x86a, 0x963,
    0xa69, 0xb60, 0x5f0, 0x4f9, 0x7f3, 0x6fa, 0x1f6, 0x0ff, 0x3f5, 0x2fc, 0xdfc, 0xcf5, 0xfff,
    0xef6, 0x9fa, 0x8f3, 0xbf9, 0xaf0, 0x650, 0x759, 0x453, 0x55a, 0x256, 0x35f, 0x055, 0x15c,
    0xe5c, 0xf55, 0xc5f, 0xd56, 0xa5a, 0xb53, 0x859, 0x950, 0x7c0, 0x6c9, 0x5c3, 0x4ca, 0x3c6,
    0x2cf, 0x1c5, 0x0cc, 0xfcc, 0xec5, 0xdcf, 0xcc6, 0xbca, 0xac3, 0x9c9, 0x8c0, 0x8c0, 0x9c9,
    0xac3, 0xbca, 0xcc6, 0xdcf, 0xec5, 0xfcc, 0x0cc, 0x1c5, 0x2cf, 0x3c6, 0x4ca, 0x5c3, 0x6c9,
    0x7c0, 0x950, 0x859, 0xb53, 0xa5a, 0xd56, 0xc5f, 0xf55, 0xe5c, 0x15c, 0x055, 0x35f, 0x256,
    0x55a, 0x453, 0x759, 0x650, 0xaf0, 0xbf9, 0x8f3, 0x9fa, 0xef6, 0xfff, 0xcf5, 0xdfc, 0x2fc,
    0x3f5, 0x0ff, 0x1f6, 0x6fa, 0x7f3, 0x4f9, 0x5f0, 0xb60, 0xa69, 0x963, 0x86a, 0xf66, 0xe6f,
    0xd65, 0xc6c, 0x36c, 0x265, 0x16f, 0x066, 0x76a, 0x663, 0x569, 0x460, 0xca0, 0xda9, 0xea3,
    0xfaa, 0x8a6, 0x9af, 0xaa5, 0xbac, 0x4ac, 0x5a5, 0x6af, 0x7a6, 0x0aa, 0x1a3, 0x2a9, 0x3a0,
    0xd30, 0xc39, 0xf33, 0xe3a, 0x936, 0x83f, 0xb35, 0xa3c, 0x53c, 0x435, 0x73f, 0x636, 0x13a,
    0x033, 0x339, 0x230, 0xe90, 0xf99, 0xc93, 0xd9a, 0xa96, 0xb9f, 0x895, 0x99c, 0x69c, 0x795,
    0x49f, 0x596, 0x29a, 0x393, 0x099, 0x190, 0xf00, 0xe09, 0xd03, 0xc0a, 0xb06, 0xa0f, 0x905,
    0x80c, 0x70c, 0x605, 0x50f, 0x406, 0x30a, 0x203, 0x109, 0x000,
};

static const int32_t iso_triangle_table[256][16] = {
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 9, 8, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 0, 2, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 8, 3, 2, 10, 8, 10, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 8, 11, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 2, 1, 9, 11, 9, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 1, 11, 10, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 10, 1, 0, 8, 10, 8, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {3, 9, 0, 3, 11, 9, 11, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 7, 3, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 1, 9, 4, 7, 1, 7, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 4, 7, 3, 0, 4, 1, 2, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 2, 10, 9, 0, 2, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 9, 2, 9, 7, 2, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {8, 4, 7, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 4, 7, 11, 2, 4, 2, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 8, 4, 7, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {4, 7, 11, 9, 4, 11, 9, 11, 2, 9, 2, 1, -1, -1, -1, -1},
    {3, 10, 1, 3, 11, 10, 7, 8, 4, -1, -1, -1, -1, -1, -1, -1},
    {1, 11, 10, 1, 4, 11, 1, 0, 4, 7, 11, 4, -1, -1, -1, -1},
    {4, 7, 8, 9, 0, 11, 9, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {4, 7, 11, 4, 11, 9, 9, 11, 10, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 1, 5, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 5, 4, 8, 3, 5, 3, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 10, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 2, 10, 5, 4, 2, 4, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {2, 10, 5, 3, 2, 5, 3, 5, 4, 3, 4, 8, -1, -1, -1, -1},
    {9, 5, 4, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 11, 2, 0, 8, 11, 4, 9, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 5, 4, 0, 1, 5, 2, 3, 11, -1, -1, -1, -1, -1, -1, -1},
    {2, 1, 5, 2, 5, 8, 2, 8, 11, 4, 8, 5, -1, -1, -1, -1},
    {10, 3, 11, 10, 1, 3, 9, 5, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 0, 8, 1, 8, 10, 1, 8, 11, 10, -1, -1, -1, -1},
    {5, 4, 0, 5, 0, 11, 5, 11, 10, 11, 0, 3, -1, -1, -1, -1},
    {5, 4, 8, 5, 8, 10, 10, 8, 11, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 5, 7, 9, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 3, 0, 9, 5, 3, 5, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 8, 0, 1, 7, 1, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 7, 8, 9, 5, 7, 10, 1, 2, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 9, 5, 0, 5, 3, 0, 5, 7, 3, -1, -1, -1, -1},
    {8, 0, 2, 8, 2, 5, 8, 5, 7, 10, 5, 2, -1, -1, -1, -1},
    {2, 10, 5, 2, 5, 3, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1},
    {7, 9, 5, 7, 8, 9, 3, 11, 2, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 7, 9, 7, 2, 9, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {2, 3, 11, 0, 1, 8, 1, 7, 8, 1, 5, 7, -1, -1, -1, -1},
    {11, 2, 1, 11, 1, 7, 7, 1, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 8, 8, 5, 7, 10, 1, 3, 10, 3, 11, -1, -1, -1, -1},
    {5, 7, 0, 5, 0, 9, 7, 11, 0, 1, 0, 10, 11, 10, 0, -1},
    {11, 10, 0, 11, 0, 3, 10, 5, 0, 8, 0, 7, 5, 7, 0, -1},
    {11, 10, 5, 7, 11, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 8, 3, 1, 9, 8, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 2, 6, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 5, 1, 2, 6, 3, 0, 8, -1, -1, -1, -1, -1, -1, -1},
    {9, 6, 5, 9, 0, 6, 0, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 9, 8, 5, 8, 2, 5, 2, 6, 3, 2, 8, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 0, 8, 11, 2, 0, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 1, 9, 2, 9, 11, 2, 9, 8, 11, -1, -1, -1, -1},
    {6, 3, 11, 6, 5, 3, 5, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 11, 0, 11, 5, 0, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {3, 11, 6, 0, 3, 6, 0, 6, 5, 0, 5, 9, -1, -1, -1, -1},
    {6, 5, 9, 6, 9, 11, 11, 9, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 3, 0, 4, 7, 3, 6, 5, 10, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 5, 10, 6, 8, 4, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 6, 5, 1, 9, 7, 1, 7, 3, 7, 9, 4, -1, -1, -1, -1},
    {6, 1, 2, 6, 5, 1, 4, 7, 8, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 5, 5, 2, 6, 3, 0, 4, 3, 4, 7, -1, -1, -1, -1},
    {8, 4, 7, 9, 0, 5, 0, 6, 5, 0, 2, 6, -1, -1, -1, -1},
    {7, 3, 9, 7, 9, 4, 3, 2, 9, 5, 9, 6, 2, 6, 9, -1},
    {3, 11, 2, 7, 8, 4, 10, 6, 5, -1, -1, -1, -1, -1, -1, -1},
    {5, 10, 6, 4, 7, 2, 4, 2, 0, 2, 7, 11, -1, -1, -1, -1},
    {0, 1, 9, 4, 7, 8, 2, 3, 11, 5, 10, 6, -1, -1, -1, -1},
    {9, 2, 1, 9, 11, 2, 9, 4, 11, 7, 11, 4, 5, 10, 6, -1},
    {8, 4, 7, 3, 11, 5, 3, 5, 1, 5, 11, 6, -1, -1, -1, -1},
    {5, 1, 11, 5, 11, 6, 1, 0, 11, 7, 11, 4, 0, 4, 11, -1},
    {0, 5, 9, 0, 6, 5, 0, 3, 6, 11, 6, 3, 8, 4, 7, -1},
    {6, 5, 9, 6, 9, 11, 4, 7, 9, 7, 11, 9, -1, -1, -1, -1},
    {10, 4, 9, 6, 4, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 10, 6, 4, 9, 10, 0, 8, 3, -1, -1, -1, -1, -1, -1, -1},
    {10, 0, 1, 10, 6, 0, 6, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 1, 8, 1, 6, 8, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {1, 4, 9, 1, 2, 4, 2, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 1, 2, 9, 2, 4, 9, 2, 6, 4, -1, -1, -1, -1},
    {0, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 3, 2, 8, 2, 4, 4, 2, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 4, 9, 10, 6, 4, 11, 2, 3, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 2, 2, 8, 11, 4, 9, 10, 4, 10, 6, -1, -1, -1, -1},
    {3, 11, 2, 0, 1, 6, 0, 6, 4, 6, 1, 10, -1, -1, -1, -1},
    {6, 4, 1, 6, 1, 10, 4, 8, 1, 2, 1, 11, 8, 11, 1, -1},
    {9, 6, 4, 9, 3, 6, 9, 1, 3, 11, 6, 3, -1, -1, -1, -1},
    {8, 11, 1, 8, 1, 0, 11, 6, 1, 9, 1, 4, 6, 4, 1, -1},
    {3, 11, 6, 3, 6, 0, 0, 6, 4, -1, -1, -1, -1, -1, -1, -1},
    {6, 4, 8, 11, 6, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 10, 6, 7, 8, 10, 8, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 7, 3, 0, 10, 7, 0, 9, 10, 6, 7, 10, -1, -1, -1, -1},
    {10, 6, 7, 1, 10, 7, 1, 7, 8, 1, 8, 0, -1, -1, -1, -1},
    {10, 6, 7, 10, 7, 1, 1, 7, 3, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 6, 1, 6, 8, 1, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 6, 9, 2, 9, 1, 6, 7, 9, 0, 9, 3, 7, 3, 9, -1},
    {7, 8, 0, 7, 0, 6, 6, 0, 2, -1, -1, -1, -1, -1, -1, -1},
    {7, 3, 2, 6, 7, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 11, 10, 6, 8, 10, 8, 9, 8, 6, 7, -1, -1, -1, -1},
    {2, 0, 7, 2, 7, 11, 0, 9, 7, 6, 7, 10, 9, 10, 7, -1},
    {1, 8, 0, 1, 7, 8, 1, 10, 7, 6, 7, 10, 2, 3, 11, -1},
    {11, 2, 1, 11, 1, 7, 10, 6, 1, 6, 7, 1, -1, -1, -1, -1},
    {8, 9, 6, 8, 6, 7, 9, 1, 6, 11, 6, 3, 1, 3, 6, -1},
    {0, 9, 1, 11, 6, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 8, 0, 7, 0, 6, 3, 11, 0, 11, 6, 0, -1, -1, -1, -1},
    {7, 11, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 8, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 9, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 9, 8, 3, 1, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {10, 1, 2, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 8, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {2, 9, 0, 2, 10, 9, 6, 11, 7, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 2, 10, 3, 10, 8, 3, 10, 9, 8, -1, -1, -1, -1},
    {7, 2, 3, 6, 2, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {7, 0, 8, 7, 6, 0, 6, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {2, 7, 6, 2, 3, 7, 0, 1, 9, -1, -1, -1, -1, -1, -1, -1},
    {1, 6, 2, 1, 8, 6, 1, 9, 8, 8, 7, 6, -1, -1, -1, -1},
    {10, 7, 6, 10, 1, 7, 1, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 6, 1, 7, 10, 1, 8, 7, 1, 0, 8, -1, -1, -1, -1},
    {0, 3, 7, 0, 7, 10, 0, 10, 9, 6, 10, 7, -1, -1, -1, -1},
    {7, 6, 10, 7, 10, 8, 8, 10, 9, -1, -1, -1, -1, -1, -1, -1},
    {6, 8, 4, 11, 8, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 3, 0, 6, 0, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 6, 11, 8, 4, 6, 9, 0, 1, -1, -1, -1, -1, -1, -1, -1},
    {9, 4, 6, 9, 6, 3, 9, 3, 1, 11, 3, 6, -1, -1, -1, -1},
    {6, 8, 4, 6, 11, 8, 2, 10, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 3, 0, 11, 0, 6, 11, 0, 4, 6, -1, -1, -1, -1},
    {4, 11, 8, 4, 6, 11, 0, 2, 9, 2, 10, 9, -1, -1, -1, -1},
    {10, 9, 3, 10, 3, 2, 9, 4, 3, 11, 3, 6, 4, 6, 3, -1},
    {8, 2, 3, 8, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 2, 4, 6, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 9, 0, 2, 3, 4, 2, 4, 6, 4, 3, 8, -1, -1, -1, -1},
    {1, 9, 4, 1, 4, 2, 2, 4, 6, -1, -1, -1, -1, -1, -1, -1},
    {8, 1, 3, 8, 6, 1, 8, 4, 6, 6, 10, 1, -1, -1, -1, -1},
    {10, 1, 0, 10, 0, 6, 6, 0, 4, -1, -1, -1, -1, -1, -1, -1},
    {4, 6, 3, 4, 3, 8, 6, 10, 3, 0, 3, 9, 10, 9, 3, -1},
    {10, 9, 4, 6, 10, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 5, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 5, 11, 7, 6, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 1, 5, 4, 0, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 6, 8, 3, 4, 3, 5, 4, 3, 1, 5, -1, -1, -1, -1},
    {9, 5, 4, 10, 1, 2, 7, 6, 11, -1, -1, -1, -1, -1, -1, -1},
    {6, 11, 7, 1, 2, 10, 0, 8, 3, 4, 9, 5, -1, -1, -1, -1},
    {7, 6, 11, 5, 4, 10, 4, 2, 10, 4, 0, 2, -1, -1, -1, -1},
    {3, 4, 8, 3, 5, 4, 3, 2, 5, 10, 5, 2, 11, 7, 6, -1},
    {7, 2, 3, 7, 6, 2, 5, 4, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 5, 4, 0, 8, 6, 0, 6, 2, 6, 8, 7, -1, -1, -1, -1},
    {3, 6, 2, 3, 7, 6, 1, 5, 0, 5, 4, 0, -1, -1, -1, -1},
    {6, 2, 8, 6, 8, 7, 2, 1, 8, 4, 8, 5, 1, 5, 8, -1},
    {9, 5, 4, 10, 1, 6, 1, 7, 6, 1, 3, 7, -1, -1, -1, -1},
    {1, 6, 10, 1, 7, 6, 1, 0, 7, 8, 7, 0, 9, 5, 4, -1},
    {4, 0, 10, 4, 10, 5, 0, 3, 10, 6, 10, 7, 3, 7, 10, -1},
    {7, 6, 10, 7, 10, 8, 5, 4, 10, 4, 8, 10, -1, -1, -1, -1},
    {6, 9, 5, 6, 11, 9, 11, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {3, 6, 11, 0, 6, 3, 0, 5, 6, 0, 9, 5, -1, -1, -1, -1},
    {0, 11, 8, 0, 5, 11, 0, 1, 5, 5, 6, 11, -1, -1, -1, -1},
    {6, 11, 3, 6, 3, 5, 5, 3, 1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 10, 9, 5, 11, 9, 11, 8, 11, 5, 6, -1, -1, -1, -1},
    {0, 11, 3, 0, 6, 11, 0, 9, 6, 5, 6, 9, 1, 2, 10, -1},
    {11, 8, 5, 11, 5, 6, 8, 0, 5, 10, 5, 2, 0, 2, 5, -1},
    {6, 11, 3, 6, 3, 5, 2, 10, 3, 10, 5, 3, -1, -1, -1, -1},
    {5, 8, 9, 5, 2, 8, 5, 6, 2, 3, 8, 2, -1, -1, -1, -1},
    {9, 5, 6, 9, 6, 0, 0, 6, 2, -1, -1, -1, -1, -1, -1, -1},
    {1, 5, 8, 1, 8, 0, 5, 6, 8, 3, 8, 2, 6, 2, 8, -1},
    {1, 5, 6, 2, 1, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 6, 1, 6, 10, 3, 8, 6, 5, 6, 9, 8, 9, 6, -1},
    {10, 1, 0, 10, 0, 6, 9, 5, 0, 5, 6, 0, -1, -1, -1, -1},
    {0, 3, 8, 5, 6, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {10, 5, 6, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 7, 5, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {11, 5, 10, 11, 7, 5, 8, 3, 0, -1, -1, -1, -1, -1, -1, -1},
    {5, 11, 7, 5, 10, 11, 1, 9, 0, -1, -1, -1, -1, -1, -1, -1},
    {10, 7, 5, 10, 11, 7, 9, 8, 1, 8, 3, 1, -1, -1, -1, -1},
    {11, 1, 2, 11, 7, 1, 7, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 1, 2, 7, 1, 7, 5, 7, 2, 11, -1, -1, -1, -1},
    {9, 7, 5, 9, 2, 7, 9, 0, 2, 2, 11, 7, -1, -1, -1, -1},
    {7, 5, 2, 7, 2, 11, 5, 9, 2, 3, 2, 8, 9, 8, 2, -1},
    {2, 5, 10, 2, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {8, 2, 0, 8, 5, 2, 8, 7, 5, 10, 2, 5, -1, -1, -1, -1},
    {9, 0, 1, 5, 10, 3, 5, 3, 7, 3, 10, 2, -1, -1, -1, -1},
    {9, 8, 2, 9, 2, 1, 8, 7, 2, 10, 2, 5, 7, 5, 2, -1},
    {1, 3, 5, 3, 7, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 7, 0, 7, 1, 1, 7, 5, -1, -1, -1, -1, -1, -1, -1},
    {9, 0, 3, 9, 3, 5, 5, 3, 7, -1, -1, -1, -1, -1, -1, -1},
    {9, 8, 7, 5, 9, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {5, 8, 4, 5, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {5, 0, 4, 5, 11, 0, 5, 10, 11, 11, 3, 0, -1, -1, -1, -1},
    {0, 1, 9, 8, 4, 10, 8, 10, 11, 10, 4, 5, -1, -1, -1, -1},
    {10, 11, 4, 10, 4, 5, 11, 3, 4, 9, 4, 1, 3, 1, 4, -1},
    {2, 5, 1, 2, 8, 5, 2, 11, 8, 4, 5, 8, -1, -1, -1, -1},
    {0, 4, 11, 0, 11, 3, 4, 5, 11, 2, 11, 1, 5, 1, 11, -1},
    {0, 2, 5, 0, 5, 9, 2, 11, 5, 4, 5, 8, 11, 8, 5, -1},
    {9, 4, 5, 2, 11, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 5, 10, 3, 5, 2, 3, 4, 5, 3, 8, 4, -1, -1, -1, -1},
    {5, 10, 2, 5, 2, 4, 4, 2, 0, -1, -1, -1, -1, -1, -1, -1},
    {3, 10, 2, 3, 5, 10, 3, 8, 5, 4, 5, 8, 0, 1, 9, -1},
    {5, 10, 2, 5, 2, 4, 1, 9, 2, 9, 4, 2, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 3, 5, 1, -1, -1, -1, -1, -1, -1, -1},
    {0, 4, 5, 1, 0, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {8, 4, 5, 8, 5, 3, 9, 0, 5, 0, 3, 5, -1, -1, -1, -1},
    {9, 4, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 11, 7, 4, 9, 11, 9, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {0, 8, 3, 4, 9, 7, 9, 11, 7, 9, 10, 11, -1, -1, -1, -1},
    {1, 10, 11, 1, 11, 4, 1, 4, 0, 7, 4, 11, -1, -1, -1, -1},
    {3, 1, 4, 3, 4, 8, 1, 10, 4, 7, 4, 11, 10, 11, 4, -1},
    {4, 11, 7, 9, 11, 4, 9, 2, 11, 9, 1, 2, -1, -1, -1, -1},
    {9, 7, 4, 9, 11, 7, 9, 1, 11, 2, 11, 1, 0, 8, 3, -1},
    {11, 7, 4, 11, 4, 2, 2, 4, 0, -1, -1, -1, -1, -1, -1, -1},
    {11, 7, 4, 11, 4, 2, 8, 3, 4, 3, 2, 4, -1, -1, -1, -1},
    {2, 9, 10, 2, 7, 9, 2, 3, 7, 7, 4, 9, -1, -1, -1, -1},
    {9, 10, 7, 9, 7, 4, 10, 2, 7, 8, 7, 0, 2, 0, 7, -1},
    {3, 7, 10, 3, 10, 2, 7, 4, 10, 1, 10, 0, 4, 0, 10, -1},
    {1, 10, 2, 8, 7, 4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 7, 1, 3, -1, -1, -1, -1, -1, -1, -1},
    {4, 9, 1, 4, 1, 7, 0, 8, 1, 8, 7, 1, -1, -1, -1, -1},
    {4, 0, 3, 7, 4, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {4, 8, 7, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 8, 10, 11, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 11, 9, 10, -1, -1, -1, -1, -1, -1, -1},
    {0, 1, 10, 0, 10, 8, 8, 10, 11, -1, -1, -1, -1, -1, -1, -1},
    {3, 1, 10, 11, 3, 10, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 2, 11, 1, 11, 9, 9, 11, 8, -1, -1, -1, -1, -1, -1, -1},
    {3, 0, 9, 3, 9, 11, 1, 2, 9, 2, 11, 9, -1, -1, -1, -1},
    {0, 2, 11, 8, 0, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {3, 2, 11, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 10, 8, 9, -1, -1, -1, -1, -1, -1, -1},
    {9, 10, 2, 0, 9, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {2, 3, 8, 2, 8, 10, 0, 1, 8, 1, 10, 8, -1, -1, -1, -1},
    {1, 10, 2, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {1, 3, 8, 9, 1, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 9, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {0, 3, 8, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
    {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1},
};

// Which wave moves a charge along one axis: sin or cos of t / divisor.
struct Swing {
    int cosine;
    float divisor;
};

static const Swing iso_swings[ISO_BLOBS][3] = {
    {{0, 0.7f}, {0, 1.1f}, {0, 0.8f}},  {{1, 0.4f}, {1, 0.9f}, {0, 1.1f}},
    {{0, 0.9f}, {1, 1.2f}, {0, 1.2f}},  {{0, 0.6f}, {1, 0.7f}, {1, 1.3f}},
    {{1, 0.8f}, {0, 0.5f}, {1, 0.62f}},
};

// Edge vertices within this of the threshold snap to their corner.
constexpr float ISO_SNAP = 0.00001f;

// Fixed point of the environment coordinates: 16.16 texels, u = 1 being 65535 / 256 texels
// short of a full turn.
constexpr float ISO_TEXEL_FIXED = 16776960.0f;

// The light test works in a space whose depth is stretched by this.
constexpr float ISO_LIGHT_DEPTH_SCALE = 255.0f;

int32_t iso_edge_mask(int index) {
    return iso_edge_table[index & 255];
}

const int32_t *iso_triangles(int index) {
    return iso_triangle_table[index & 255];
}

IsoSurface *iso_create() {
    return static_cast<IsoSurface *>(mem_alloc(sizeof(IsoSurface)));
}

void iso_set_blobs(IsoSurface *iso, const Vec3 amplitude[ISO_BLOBS], float threshold) {
    for (int b = 0; b < ISO_BLOBS; b++) iso->amplitude[b] = amplitude[b];
    iso->threshold = threshold;
}

// ---- placement -----------------------------------------------------------------------------

static Vec3 sixteenth_of(const Vec3 &from, const Vec3 &to) {
    Vec3 d;
    vec_sub(d, to, from);
    vec_scale(d, 1.0f / ISO_CELLS, d);
    return d;
}

int iso_place_grid(IsoSurface *iso, const Scene *scene, const SceneObject *cube) {
    if (!cube || cube->point_count < 8 || !cube->view_points || !scene->view) return 0;
    // Screen x, y; the depth is taken relative to the cube's own position.
    const float shift = cube->position.z + 400.0f;
    Vec3 corner[8];
    for (int m = 0; m < 8; m++) {
        project_point(scene->view, corner[m], cube->view_points[m]);
        corner[m].z = corner[m].z - shift;
    }
    // Layers run from the face of corners 0..3 to that of 4..7, rows from the edge 3-2 to
    // 0-1, points along each row from its left end to its right; every step added repeatedly.
    Vec3 face[4], face_step[4];
    for (int m = 0; m < 4; m++) {
        face[m] = corner[m];
        face_step[m] = sixteenth_of(corner[m], corner[m + 4]);
    }
    for (int i = 0; i < ISO_SIDE; i++) {
        Vec3 left = face[3], right = face[2];
        const Vec3 left_step = sixteenth_of(face[3], face[0]);
        const Vec3 right_step = sixteenth_of(face[2], face[1]);
        for (int j = 0; j < ISO_SIDE; j++) {
            Vec3 at = left;
            const Vec3 step = sixteenth_of(left, right);
            IsoPoint *row = &iso->grid[iso_index(0, j, i)];
            for (int k = 0; k < ISO_SIDE; k++) {
                row[k].screen = at;
                vec_add(at, at, step);
            }
            vec_add(left, left, left_step);
            vec_add(right, right, right_step);
        }
        for (int m = 0; m < 4; m++) vec_add(face[m], face[m], face_step[m]);
    }
    return 1;
}

// ---- the field -----------------------------------------------------------------------------

static float swing_at(const Swing &s, float t) {
    const float a = t / s.divisor;
    return s.cosine ? scalar_cos(a) : scalar_sin(a);
}

void iso_blob_centres(IsoSurface *iso, float t) {
    for (int b = 0; b < ISO_BLOBS; b++) {
        const Vec3 &amp = iso->amplitude[b];
        iso->centre[b] =
            Vec3{swing_at(iso_swings[b][0], t) * amp.x, swing_at(iso_swings[b][1], t) * amp.y,
                 swing_at(iso_swings[b][2], t) * amp.z};
    }
}

// The sum of 1 / distance to the charges, and of 256 x (charge - p) / distance^2; a charge
// exactly on p adds nothing.
static void field_at(const IsoSurface *iso, const Vec3 &p, IsoPoint *out) {
    float value = 0.0f;
    Vec3 normal{0.0f, 0.0f, 0.0f};
    for (int b = 0; b < ISO_BLOBS; b++) {
        Vec3 d;
        vec_sub(d, iso->centre[b], p);
        const float r2 = vec_dot(d, d);
        if (!(r2 > 0.0f)) continue;
        value += 1.0f / std::sqrt(r2);
        normal.x += 256.0f * d.x / r2;
        normal.y += 256.0f * d.y / r2;
        normal.z += 256.0f * d.z / r2;
    }
    out->value = value;
    out->normal = normal;
}

[[maybe_unused]] static Vec3 grid_world(int k, int j, int i) {
    return Vec3{ISO_WORLD_START + ISO_WORLD_STEP * float(k),
                ISO_WORLD_START + ISO_WORLD_STEP * float(j),
                ISO_WORLD_START + ISO_WORLD_STEP * float(i)};
}

#if defined(__SSE2__)
// field_at for the four points k .. k + 3 of a row at once, every lane doing the scalar
// operations in their order; a lane whose charge sits on its point adds +0, which leaves every
// sum as it was (none of them is ever -0).
static void field_at_four(const IsoSurface *iso, int k, int j, int i, IsoPoint *out) {
    const __m128 px = _mm_setr_ps(grid_world(k, j, i).x, grid_world(k + 1, j, i).x,
                                  grid_world(k + 2, j, i).x, grid_world(k + 3, j, i).x);
    const Vec3 row = grid_world(k, j, i);
    const __m128 py = _mm_set1_ps(row.y), pz = _mm_set1_ps(row.z);
    const __m128 one = _mm_set1_ps(1.0f), scale = _mm_set1_ps(256.0f), zero = _mm_setzero_ps();
    __m128 value = zero, nx = zero, ny = zero, nz = zero;
    for (int b = 0; b < ISO_BLOBS; b++) {
        const Vec3 &c = iso->centre[b];
        const __m128 dx = _mm_sub_ps(_mm_set1_ps(c.x), px);
        const __m128 dy = _mm_sub_ps(_mm_set1_ps(c.y), py);
        const __m128 dz = _mm_sub_ps(_mm_set1_ps(c.z), pz);
        const __m128 r2 =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        const __m128 apart = _mm_cmpgt_ps(r2, zero);
        value = _mm_add_ps(value, _mm_and_ps(apart, _mm_div_ps(one, _mm_sqrt_ps(r2))));
        nx = _mm_add_ps(nx, _mm_and_ps(apart, _mm_div_ps(_mm_mul_ps(scale, dx), r2)));
        ny = _mm_add_ps(ny, _mm_and_ps(apart, _mm_div_ps(_mm_mul_ps(scale, dy), r2)));
        nz = _mm_add_ps(nz, _mm_and_ps(apart, _mm_div_ps(_mm_mul_ps(scale, dz), r2)));
    }
    alignas(16) float v[4], x[4], y[4], z[4];
    _mm_store_ps(v, value);
    _mm_store_ps(x, nx);
    _mm_store_ps(y, ny);
    _mm_store_ps(z, nz);
    for (int n = 0; n < 4; n++) {
        out[n].value = v[n];
        out[n].normal = Vec3{x[n], y[n], z[n]};
    }
}
#endif

void iso_evaluate_field(IsoSurface *iso) {
#if defined(__SSE2__)
    for (int i = 0; i < ISO_SIDE; i++)
        for (int j = 0; j < ISO_SIDE; j++) {
            IsoPoint *row = &iso->grid[iso_index(0, j, i)];
            int k = 0;
            for (; k + 4 <= ISO_SIDE; k += 4) field_at_four(iso, k, j, i, row + k);
            for (; k < ISO_SIDE; k++) field_at(iso, grid_world(k, j, i), row + k);
        }
#else
    iso_evaluate_field_scalar(iso);
#endif
}

void iso_evaluate_field_scalar(IsoSurface *iso) {
    for (int i = 0; i < ISO_SIDE; i++)
        for (int j = 0; j < ISO_SIDE; j++)
            for (int k = 0; k < ISO_SIDE; k++) {
                const Vec3 p{ISO_WORLD_START + ISO_WORLD_STEP * float(k),
                             ISO_WORLD_START + ISO_WORLD_STEP * float(j),
                             ISO_WORLD_START + ISO_WORLD_STEP * float(i)};
                field_at(iso, p, &iso->grid[iso_index(k, j, i)]);
            }
}

// ---- polygonising --------------------------------------------------------------------------

// Where the surface crosses the edge from a to b: position and gradient interpolated alike.
static IsoPoint edge_vertex(const IsoPoint &a, const IsoPoint &b, float threshold) {
    if (std::fabs(threshold - a.value) < ISO_SNAP) return a;
    if (std::fabs(threshold - b.value) < ISO_SNAP) return b;
    if (std::fabs(a.value - b.value) < ISO_SNAP) return a;
    const float mu = (threshold - a.value) / (b.value - a.value);
    IsoPoint out = a;
    out.screen = Vec3{a.screen.x + mu * (b.screen.x - a.screen.x),
                      a.screen.y + mu * (b.screen.y - a.screen.y),
                      a.screen.z + mu * (b.screen.z - a.screen.z)};
    out.normal = Vec3{a.normal.x + mu * (b.normal.x - a.normal.x),
                      a.normal.y + mu * (b.normal.y - a.normal.y),
                      a.normal.z + mu * (b.normal.z - a.normal.z)};
    return out;
}

// The light reaching the triangle in a space whose depth is stretched 255 times, capped at 255;
// it decides only whether the triangle is drawn.
static float triangle_light(const Light *light, const IsoPoint *p[3]) {
    Vec3 q[3];
    for (int n = 0; n < 3; n++)
        q[n] = Vec3{p[n]->screen.x, p[n]->screen.y, ISO_LIGHT_DEPTH_SCALE * p[n]->screen.z};
    Vec3 a, b, f, c;
    vec_sub(a, q[1], q[2]);
    vec_sub(b, q[0], q[2]);
    vec_cross(f, a, b);
    vec_normalize(f, f);
    vec_add(c, q[0], q[1]);
    vec_add(c, c, q[2]);
    vec_scale(c, 0.33333f, c);
    const float l = light_intensity(light, c, f);
    return l < 255.0f ? l : 255.0f;
}

// Environment coordinates from a gradient: its unit direction's x and y spread over 0..1.
static void envmap_coordinates(const Vec3 &normal, IsoVertex *out) {
    const float length = vec_length(normal);
    Vec3 s{0.0f, 0.0f, 0.0f};
    if (length > 0.0f) vec_scale(s, 1.0f / length, normal);
    out->u = (s.x * 128.0f + 127.0f) / 256.0f;
    out->v = (s.y * 128.0f + 127.0f) / 256.0f;
}

// Draws the triangle of three edge vertices when it faces the viewer and the light reaches it.
static int draw_triangle(const IsoPoint *p[3], const Light *light, const Image *envmap,
                         Image *target) {
    const Vec3 &a = p[0]->screen, &b = p[1]->screen, &c = p[2]->screen;
    if ((c.y - a.y) * (b.x - a.x) - (b.y - a.y) * (c.x - a.x) > 0.0f) return 0;
    if (!(triangle_light(light, p) >= 1.0f)) return 0;
    IsoVertex v[3];
    for (int n = 0; n < 3; n++) {
        v[n].x = p[n]->screen.x;
        v[n].y = p[n]->screen.y;
        v[n].z = p[n]->screen.z;
        envmap_coordinates(p[n]->normal, &v[n]);
    }
    iso_fill_triangle(v, envmap, target);
    return 1;
}

static int polygonise_cell(const IsoSurface *iso, int base, const Light *light, const Image *envmap,
                           Image *target) {
    int offset[8];
    int index = 0;
    for (int m = 0; m < 8; m++) {
        const CornerOffset &o = iso_corners[m];
        offset[m] = base + iso_index(o.dx, o.dy, o.dz);
        if (iso->grid[offset[m]].value < iso->threshold) index |= 1 << m;
    }
    const int32_t mask = iso_edge_table[index];
    if (mask == 0) return 0;
    IsoPoint vertex[12];
    for (int e = 0; e < 12; e++)
        if (mask & (1 << e))
            vertex[e] = edge_vertex(iso->grid[offset[iso_edges[e].a]],
                                    iso->grid[offset[iso_edges[e].b]], iso->threshold);
    int drawn = 0;
    const int32_t *row = iso_triangle_table[index];
    for (int n = 0; row[n] != -1; n += 3) {
        const IsoPoint *p[3] = {&vertex[row[n]], &vertex[row[n + 1]], &vertex[row[n + 2]]};
        drawn += draw_triangle(p, light, envmap, target);
    }
    return drawn;
}

int iso_polygonise_every_cell(const IsoSurface *iso, const Light *light, const Image *envmap,
                              Image *target) {
    if (!light || !envmap || !target) return 0;
    int drawn = 0;
    for (int i = 0; i < ISO_CELLS; i++)
        for (int j = 0; j < ISO_CELLS; j++)
            for (int k = 0; k < ISO_CELLS; k++)
                drawn += polygonise_cell(iso, iso_index(k, j, i), light, envmap, target);
    return drawn;
}

// The grid points that are not below the threshold lie within [low, high] along each axis.
struct PointBox {
    int low[3], high[3]; // k, j, i; empty when low > high
};

static PointBox box_not_below(const IsoSurface *iso) {
    PointBox box{{ISO_SIDE, ISO_SIDE, ISO_SIDE}, {-1, -1, -1}};
    for (int i = 0; i < ISO_SIDE; i++)
        for (int j = 0; j < ISO_SIDE; j++)
            for (int k = 0; k < ISO_SIDE; k++) {
                if (iso->grid[iso_index(k, j, i)].value < iso->threshold) continue;
                const int at[3] = {k, j, i};
                for (int a = 0; a < 3; a++) {
                    box.low[a] = at[a] < box.low[a] ? at[a] : box.low[a];
                    box.high[a] = at[a] > box.high[a] ? at[a] : box.high[a];
                }
            }
    return box;
}

// A cell whose eight corners are all below the threshold has no surface, so only the cells
// that touch the box of the others are run, in the order of iso_polygonise_every_cell.
int iso_polygonise(const IsoSurface *iso, const Light *light, const Image *envmap, Image *target) {
    if (!light || !envmap || !target) return 0;
    const PointBox box = box_not_below(iso);
    if (box.low[0] > box.high[0]) return 0;
    int from[3], to[3]; // cells from .. to - 1
    for (int a = 0; a < 3; a++) {
        from[a] = box.low[a] > 0 ? box.low[a] - 1 : 0;
        to[a] = box.high[a] < ISO_CELLS ? box.high[a] + 1 : ISO_CELLS;
    }
    int drawn = 0;
    for (int i = from[2]; i < to[2]; i++)
        for (int j = from[1]; j < to[1]; j++)
            for (int k = from[0]; k < to[0]; k++)
                drawn += polygonise_cell(iso, iso_index(k, j, i), light, envmap, target);
    return drawn;
}

// ---- the triangle filler -------------------------------------------------------------------

// One edge of the triangle: its values on the current row and their change per row.
struct IsoEdge {
    float x, u, v, z;
    float dx, du, dv, dz;
};

static IsoEdge edge_from(const IsoVertex &a, const IsoVertex &b) {
    const float h = b.y - a.y;
    return IsoEdge{
        a.x, a.u, a.v, a.z, (b.x - a.x) / h, (b.u - a.u) / h, (b.v - a.v) / h, (b.z - a.z) / h};
}

static void edge_advance(IsoEdge *e, float rows) {
    e->x = e->x + rows * e->dx;
    e->u = e->u + rows * e->du;
    e->v = e->v + rows * e->dv;
    e->z = e->z + rows * e->dz;
}

static void edge_step(IsoEdge *e) {
    e->x += e->dx;
    e->u += e->du;
    e->v += e->dv;
    e->z += e->dz;
}

// Pixels trunc(left x) .. ceil(right x) - 2 of one row, clipped to the target; values prestepped
// to ceil(left x). Environment coordinates in 16.16 texels, wrapping every 256.
static void fill_span(const IsoEdge &l, const IsoEdge &r, int32_t row, const uint32_t *texels,
                      Image *target) {
    int32_t first = fill_trunc(l.x);
    int32_t last = ceil_of(r.x) - 2;
    if (first > last) return; // also when the edges meet or cross
    const float width = r.x - l.x;
    const float du = (r.u - l.u) / width, dv = (r.v - l.v) / width, dz = (r.z - l.z) / width;
    const float pre = float(ceil_of(l.x)) - l.x;
    uint32_t u = uint32_t(fill_trunc((l.u + pre * du) * ISO_TEXEL_FIXED));
    uint32_t v = uint32_t(fill_trunc((l.v + pre * dv) * ISO_TEXEL_FIXED));
    const uint32_t u_step = uint32_t(fill_trunc(du * ISO_TEXEL_FIXED));
    const uint32_t v_step = uint32_t(fill_trunc(dv * ISO_TEXEL_FIXED));
    float z = l.z + pre * dz;
    if (first < 0) { // fixed point wraps alike whether stepped once or n times
        const uint32_t skipped = uint32_t(-first);
        u += skipped * u_step;
        v += skipped * v_step;
        z = z + float(skipped) * dz;
        first = 0;
    }
    if (last > target->width - 1) last = target->width - 1;
    uint32_t *out = target->pixels + size_t(row) * size_t(target->width);
    float *depth = target->depth + size_t(row) * size_t(target->width);
    for (int32_t x = first; x <= last; x++) {
        if (z < depth[x]) {
            out[x] = texels[(v >> 16 & 255) << 8 | (u >> 16 & 255)];
            depth[x] = z;
        }
        u += u_step;
        v += v_step;
        z += dz;
    }
}

// Rows from..to-1 between the two edges, both stepped once per row (also above the target).
static void fill_rows(IsoEdge *left, IsoEdge *right, int32_t from, int32_t to,
                      const uint32_t *texels, Image *target) {
    if (to > target->height) to = target->height;
    for (int32_t row = from; row < to; row++) {
        if (row >= 0) fill_span(*left, *right, row, texels, target);
        edge_step(left);
        edge_step(right);
    }
}

static void swap_vertices(IsoVertex *a, IsoVertex *b) {
    const IsoVertex t = *a;
    *a = *b;
    *b = t;
}

static int vertex_usable(const IsoVertex &p) {
    return std::fabs(p.x) <= ISO_MAX_COORD && std::fabs(p.y) <= ISO_MAX_COORD; // false for NaN
}

void iso_fill_triangle(const IsoVertex vertex[3], const Image *envmap, Image *target) {
    if (!target->depth || envmap->width != 256 || envmap->height < 256) return;
    IsoVertex p[3] = {vertex[0], vertex[1], vertex[2]};
    for (const IsoVertex &q : p)
        if (!vertex_usable(q)) return;
    if (p[0].y > p[1].y) swap_vertices(&p[0], &p[1]);
    if (p[0].y > p[2].y) swap_vertices(&p[0], &p[2]);
    if (p[1].y > p[2].y) swap_vertices(&p[1], &p[2]);
    if (p[0].y == p[1].y && p[0].x > p[1].x) swap_vertices(&p[0], &p[1]);
    if (p[0].y == p[2].y) return;
    const uint32_t *texels = envmap->pixels;
    const int32_t row0 = fill_trunc(p[0].y), row1 = fill_trunc(p[1].y), row2 = fill_trunc(p[2].y);
    IsoEdge lng = edge_from(p[0], p[2]);
    if (p[0].y == p[1].y) { // flat top: both edges start at their vertices as they are
        IsoEdge lower = edge_from(p[1], p[2]);
        fill_rows(&lng, &lower, row1, row2, texels, target);
        return;
    }
    IsoEdge upper = edge_from(p[0], p[1]);
    const float pre0 = float(ceil_of(p[0].y)) - p[0].y;
    edge_advance(&lng, pre0);
    edge_advance(&upper, pre0);
    const int long_left = lng.dx < upper.dx;
    if (long_left)
        fill_rows(&lng, &upper, row0, row1, texels, target);
    else
        fill_rows(&upper, &lng, row0, row1, texels, target);
    if (p[1].y == p[2].y) return;
    IsoEdge lower = edge_from(p[1], p[2]);
    edge_advance(&lower, float(ceil_of(p[1].y)) - p[1].y);
    if (long_left)
        fill_rows(&lng, &lower, row1, row2, texels, target);
    else
        fill_rows(&lower, &lng, row1, row2, texels, target);
}
