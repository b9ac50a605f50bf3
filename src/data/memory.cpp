// memory.cpp -- the block registry: zero-filled, optionally 32 KB-aligned blocks, freed in one
// sweep

#include "data/memory.h"

#include <cstdlib>
#include <cstring>

static MemBlock registry[MEM_REGISTRY_SIZE];
static int32_t live_blocks;

int32_t mem_live_blocks() {
    return live_blocks;
}

static MemBlock *find_entry(const void *block) {
    for (MemBlock &e : registry)
        if (e.block != nullptr && e.block == block) return &e;
    return nullptr;
}

static MemBlock *find_free_entry() {
    for (MemBlock &e : registry)
        if (e.block == nullptr) return &e;
    return nullptr;
}

// The raw address rounded down to 32 KB and moved up by 64 KB: between 32,769 and 65,536 bytes
// past raw, so size bytes fit inside size + 65,536.
static void *align_block(void *raw) {
    uintptr_t a = reinterpret_cast<uintptr_t>(raw);
    return reinterpret_cast<void *>((a & ~uintptr_t(MEM_ALIGNMENT - 1)) + MEM_ALIGN_SLACK);
}

// malloc(0) may legally return nullptr; a block of size 0 is still a registered block.
static void *system_alloc(size_t bytes) {
    return std::malloc(bytes ? bytes : 1);
}

void *mem_alloc(size_t size) {
    MemBlock *e = find_free_entry();
    if (!e) return nullptr;
    void *p = system_alloc(size);
    if (!p) return nullptr;
    *e = MemBlock{p, nullptr, size, size};
    std::memset(p, 0, size);
    live_blocks++;
    return p;
}

void *mem_alloc_aligned(size_t size) {
    MemBlock *e = find_free_entry();
    if (!e || size > SIZE_MAX - MEM_ALIGN_SLACK) return nullptr;
    void *raw = system_alloc(size + MEM_ALIGN_SLACK);
    if (!raw) return nullptr;
    void *p = align_block(raw);
    *e = MemBlock{p, raw, size, size + MEM_ALIGN_SLACK};
    std::memset(p, 0, size);
    live_blocks++;
    return p;
}

void *mem_resize(void *block, size_t size) {
    MemBlock *e = find_entry(block);
    if (!e) return nullptr;
    bool aligned = e->raw != nullptr;
    if (aligned && size > SIZE_MAX - MEM_ALIGN_SLACK) return nullptr;
    size_t reserve = aligned ? size + MEM_ALIGN_SLACK : size;
    void *raw = system_alloc(reserve);
    if (!raw) return nullptr;
    void *p = aligned ? align_block(raw) : raw;
    std::memcpy(p, e->block, e->size < size ? e->size : size);
    std::free(aligned ? e->raw : e->block);
    *e = MemBlock{p, aligned ? raw : nullptr, size, reserve};
    return p;
}

void mem_free(void *block) {
    MemBlock *e = find_entry(block);
    if (!e) return;
    std::free(e->raw ? e->raw : e->block);
    *e = MemBlock{};
    live_blocks--;
}

void mem_free_all() {
    for (MemBlock &e : registry)
        if (e.block) mem_free(e.block);
}

void mem_copy(void *dst, const void *src, size_t n) {
    std::memmove(dst, src, n);
}

void mem_fill(void *dst, uint8_t value, size_t n) {
    std::memset(dst, value, n);
}
