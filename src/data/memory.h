// memory.h -- the block registry: every long-lived block of the program, zero-filled, freed in
// one sweep at shut-down.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int MEM_REGISTRY_SIZE = 10000;
constexpr size_t MEM_ALIGNMENT = 32768;
constexpr size_t MEM_ALIGN_SLACK = 65536;

// One registry entry. block == nullptr marks a free entry.
struct MemBlock {
    void *block;          // the address handed to the caller
    void *raw;            // what the system allocator gave, for aligned blocks; else nullptr
    size_t size;          // bytes requested by the caller
    size_t reserved_size; // bytes obtained from the system allocator
};

// Number of registered blocks.
int32_t mem_live_blocks();

// A zero-filled block of size bytes, or nullptr when the registry is full or the heap fails.
// Valid until mem_free or mem_free_all.
void *mem_alloc(size_t size);

// A zero-filled block whose address is a multiple of 32,768, or nullptr.
void *mem_alloc_aligned(size_t size);

// Moves the block to a new size, keeping min(old, new) bytes (bytes past the old size are not
// zeroed) and its alignment. Returns the new address, or nullptr with the old block untouched.
void *mem_resize(void *block, size_t size);

// Gives a registered block back; unregistered addresses (nullptr included) are ignored.
void mem_free(void *block);

// Frees every registered block (shut-down only).
void mem_free_all();

// Copies n bytes; fills n bytes with one value.
void mem_copy(void *dst, const void *src, size_t n);
void mem_fill(void *dst, uint8_t value, size_t n);
