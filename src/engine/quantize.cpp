// quantize.cpp -- octree colour quantiser with weighted pruning

#include "engine/quantize.h"

#include "data/memory.h"

#include <cstddef>

namespace {

struct OctreeNode {
    OctreeNode *parent; // the root's parent is the root
    OctreeNode *children[8];
    uint8_t octant;     // this node's octant in its parent
    uint8_t level;      // root 0
    uint8_t child_mask; // bit i: children[i] is live
    uint8_t centre[3];  // red, green, blue centre of the node's cube
    uint32_t weight;    // pruning weight; after palette building, the palette index
    uint32_t pixel_count;
    uint32_t sum[3];
};

constexpr int NODES_PER_BLOCK = 2048;

// A block of nodes, chained to the previous one.
struct NodeBlock {
    NodeBlock *next;
    OctreeNode nodes[NODES_PER_BLOCK];
};

// One run: the tree, its node supply and its shape.
struct Octree {
    OctreeNode *root;
    NodeBlock *blocks;
    int used_in_block;     // nodes carved from the newest block
    OctreeNode *free_list; // folded nodes, linked through parent, reused first
    int node_count;        // live nodes below the root
    int depth;             // level of the leaves
    int shift[9];          // per level: log2 of the weight a pixel adds
};

// A run's search for the nearest palette colour.
struct Nearest {
    int r, g, b;
    int best_distance;
    uint32_t best_index;
};

} // namespace

static OctreeNode *node_new(Octree *t) {
    if (t->free_list) {
        OctreeNode *n = t->free_list;
        t->free_list = n->parent;
        *n = OctreeNode{};
        return n;
    }
    if (!t->blocks || t->used_in_block == NODES_PER_BLOCK) {
        NodeBlock *b = static_cast<NodeBlock *>(mem_alloc(sizeof(NodeBlock)));
        if (!b) return nullptr;
        b->next = t->blocks;
        t->blocks = b;
        t->used_in_block = 0;
    }
    return &t->blocks->nodes[t->used_in_block++];
}

static void free_blocks(Octree *t) {
    while (t->blocks) {
        NodeBlock *next = t->blocks->next;
        mem_free(t->blocks);
        t->blocks = next;
    }
}

static int significant_bits(uint32_t v) {
    int bits = 0;
    for (; v; v >>= 1) bits++;
    return bits;
}

// 1 + the right shifts by 2 that max_colors takes to reach 0, less the leaf level itself when
// that leaves at least 1, clamped to 2..8: 255 colours give depth 4.
static int depth_for(int max_colors) {
    int depth = 1;
    for (uint32_t m = static_cast<uint32_t>(max_colors); m; m >>= 2) depth++;
    if (depth - 1 >= 1) depth--;
    return depth < 2 ? 2 : (depth > 8 ? 8 : depth);
}

static int octree_start(Octree *t, int count, int max_colors) {
    *t = Octree{};
    t->depth = depth_for(max_colors);
    const int n = 32 - significant_bits(static_cast<uint32_t>(count));
    for (int j = 0; j <= t->depth; j++) t->shift[j] = n - j > 0 ? n - j : 0;
    t->root = node_new(t);
    if (!t->root) return 0;
    t->root->parent = t->root;
    t->root->centre[0] = t->root->centre[1] = t->root->centre[2] = 128;
    t->root->weight = 0xFFFFFFFFu;
    return 1;
}

// Folds node into its parent: the parent takes its pixels and forgets it.
static void merge_into_parent(Octree *t, OctreeNode *node) {
    OctreeNode *p = node->parent;
    p->child_mask = static_cast<uint8_t>(p->child_mask & ~(1u << node->octant));
    p->pixel_count += node->pixel_count;
    for (int c = 0; c < 3; c++) p->sum[c] += node->sum[c];
    node->parent = t->free_list;
    t->free_list = node;
    t->node_count--;
}

static void fold_level(Octree *t, OctreeNode *node, int level) {
    for (int i = 0; i < 8; i++)
        if (node->child_mask & (1u << i)) fold_level(t, node->children[i], level);
    if (node != t->root && node->level == level) merge_into_parent(t, node);
}

static int octant_of(const OctreeNode *n, int r, int g, int b) {
    return (r > n->centre[0] ? 1 : 0) + (g > n->centre[1] ? 2 : 0) + (b > n->centre[2] ? 4 : 0);
}

static OctreeNode *child_new(Octree *t, OctreeNode *parent, int octant, int level, int half,
                             const int rgb[3]) {
    OctreeNode *c = node_new(t);
    if (!c) return nullptr;
    c->parent = parent;
    c->octant = static_cast<uint8_t>(octant);
    c->level = static_cast<uint8_t>(level);
    for (int k = 0; k < 3; k++) {
        const int centre = parent->centre[k];
        c->centre[k] = static_cast<uint8_t>(rgb[k] > centre ? centre + half : centre - half);
    }
    parent->children[octant] = c;
    parent->child_mask = static_cast<uint8_t>(parent->child_mask | (1u << octant));
    t->node_count++;
    return c;
}

static int insert_pixel(Octree *t, uint32_t pixel) {
    if (t->node_count > QUANTIZE_NODE_BUDGET && t->depth > 1) {
        fold_level(t, t->root, t->depth);
        t->depth--;
    }
    const int rgb[3] = {static_cast<int>((pixel >> 8) & 0xFF),
                        static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>(pixel >> 24)};
    OctreeNode *node = t->root;
    int half = 64;
    for (int level = 1; level <= t->depth; level++, half >>= 1) {
        const int o = octant_of(node, rgb[0], rgb[1], rgb[2]);
        OctreeNode *next = (node->child_mask & (1u << o)) ? node->children[o] : nullptr;
        if (!next) next = child_new(t, node, o, level, half, rgb);
        if (!next) return 0;
        node = next;
        node->weight += 1u << t->shift[level];
    }
    node->pixel_count++;
    for (int k = 0; k < 3; k++) node->sum[k] += static_cast<uint32_t>(rgb[k]);
    return 1;
}

// One pruning sweep, children first: nodes of weight <= threshold go into their parents; the
// rest are counted as leaves when they hold pixels, and the smallest surviving weight is kept
// in *next as the following threshold.
static int prune_sweep(Octree *t, OctreeNode *node, uint32_t threshold, uint32_t *next) {
    int leaves = 0;
    for (int i = 0; i < 8; i++)
        if (node->child_mask & (1u << i))
            leaves += prune_sweep(t, node->children[i], threshold, next);
    if (node != t->root && node->weight <= threshold) {
        merge_into_parent(t, node);
        return leaves;
    }
    if (node->weight < *next) *next = node->weight;
    return leaves + (node->pixel_count > 0 ? 1 : 0);
}

static int count_leaves(const OctreeNode *node) {
    int leaves = node->pixel_count > 0 ? 1 : 0;
    for (int i = 0; i < 8; i++)
        if (node->child_mask & (1u << i)) leaves += count_leaves(node->children[i]);
    return leaves;
}

static void prune(Octree *t, int target) {
    uint32_t threshold = 1;
    int leaves = count_leaves(t->root);
    while (leaves > target) {
        uint32_t next = t->root->weight - 1;
        leaves = prune_sweep(t, t->root, threshold, &next);
        threshold = next;
    }
}

// Children first, every node holding pixels becomes the next palette entry (its average colour,
// rounded); its weight field takes the index.
static void build_palette(OctreeNode *node, uint32_t *palette, int *k) {
    for (int i = 0; i < 8; i++)
        if (node->child_mask & (1u << i)) build_palette(node->children[i], palette, k);
    if (node->pixel_count == 0) return;
    const uint32_t n = node->pixel_count;
    uint32_t entry = palette[*k] & 0xFF;
    for (int c = 0; c < 3; c++) entry |= ((node->sum[c] + n / 2) / n) << (8 * (c + 1));
    palette[*k] = entry;
    node->weight = static_cast<uint32_t>((*k)++);
}

static void search_nearest(const OctreeNode *node, const uint32_t *palette, Nearest *s) {
    for (int i = 0; i < 8; i++)
        if (node->child_mask & (1u << i)) search_nearest(node->children[i], palette, s);
    if (node->pixel_count == 0) return;
    const uint32_t c = palette[node->weight];
    const int dr = static_cast<int>((c >> 8) & 0xFF) - s->r;
    const int dg = static_cast<int>((c >> 16) & 0xFF) - s->g;
    const int db = static_cast<int>(c >> 24) - s->b;
    int d = dr < 0 ? -dr : dr;
    d = (dg < 0 ? -dg : dg) > d ? (dg < 0 ? -dg : dg) : d;
    d = (db < 0 ? -db : db) > d ? (db < 0 ? -db : db) : d;
    if (d < s->best_distance) {
        s->best_distance = d;
        s->best_index = node->weight;
    }
}

// The palette index for one pixel: down its own branch as far as the tree goes, then the nearest
// colour (largest channel difference) among the parent's subtree.
static uint8_t map_pixel(const Octree *t, const uint32_t *palette, uint32_t pixel) {
    Nearest s{static_cast<int>((pixel >> 8) & 0xFF), static_cast<int>((pixel >> 16) & 0xFF),
              static_cast<int>(pixel >> 24), 256, 0};
    const OctreeNode *node = t->root;
    for (;;) {
        const int o = octant_of(node, s.r, s.g, s.b);
        if (!(node->child_mask & (1u << o))) break;
        node = node->children[o];
    }
    search_nearest(node->parent, palette, &s);
    return static_cast<uint8_t>(s.best_index);
}

int quantize_colors(uint32_t *palette, const uint32_t *pixels, uint8_t *indices, int count,
                    int max_colors, int *palette_size) {
    if (palette_size) *palette_size = 0;
    if (count <= 0) return 1;
    // At least one entry (a target of 0 leaves would never be reached), at most what a byte
    // index can name.
    int target = max_colors - QUANTIZE_RESERVED;
    target = target < 1 ? 1 : (target > QUANTIZE_MAX_PALETTE ? QUANTIZE_MAX_PALETTE : target);
    Octree t;
    if (!octree_start(&t, count, max_colors)) return 0;
    for (int i = 0; i < count; i++) {
        if (!insert_pixel(&t, pixels[i])) {
            free_blocks(&t);
            return 0;
        }
    }
    prune(&t, target);
    int entries = 0;
    build_palette(t.root, palette, &entries);
    for (int i = 0; i < count; i++) indices[i] = map_pixel(&t, palette, pixels[i]);
    free_blocks(&t);
    if (palette_size) *palette_size = entries;
    return 1;
}
