// Tests of the block registry and the growable lists.

#include "data/memory.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct MemoryTest : ::testing::Test {
    void TearDown() override { mem_free_all(); }
};

// A block of size 0 is a registered block like any other.
TEST_F(MemoryTest, FreeIgnoresUnregisteredAndInteriorAddresses) {
    auto *p = static_cast<uint8_t *>(mem_alloc(0));
    ASSERT_NE(p, nullptr);
    mem_free(p + 1);
    mem_free(nullptr);
    int local = 0;
    mem_free(&local);
    EXPECT_EQ(mem_live_blocks(), 1);
    mem_free(p);
    mem_free(p); // a second free of the same address is ignored too
    EXPECT_EQ(mem_live_blocks(), 0);
}

TEST_F(MemoryTest, ResizeKeepsContentsAndAlignment) {
    auto *p = static_cast<uint8_t *>(mem_alloc_aligned(100));
    for (int i = 0; i < 100; i++) p[i] = uint8_t(i);
    auto *q = static_cast<uint8_t *>(mem_resize(p, 200000));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(q) % MEM_ALIGNMENT, 0u);
    for (int i = 0; i < 100; i++) ASSERT_EQ(q[i], i);
    auto *r = static_cast<uint8_t *>(mem_resize(q, 10));
    ASSERT_NE(r, nullptr);
    for (int i = 0; i < 10; i++) ASSERT_EQ(r[i], i);
    EXPECT_EQ(mem_live_blocks(), 1);
    EXPECT_EQ(mem_resize(&r[1], 20), nullptr); // not a block start
}

TEST_F(MemoryTest, FullRegistryFailsAndFreedEntryIsReused) {
    std::vector<void *> blocks;
    for (;;) {
        void *p = mem_alloc(1);
        if (!p) break;
        blocks.push_back(p);
    }
    EXPECT_EQ(mem_live_blocks(), MEM_REGISTRY_SIZE);
    EXPECT_EQ(mem_alloc_aligned(1), nullptr);
    mem_free(blocks[17]);
    void *again = mem_alloc(8);
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(mem_alloc(8), nullptr);
    mem_free_all();
    EXPECT_EQ(mem_live_blocks(), 0);
}

} // namespace
