// Tests of key rings and their spline evaluation.

#include "engine/motion.h"

#include "data/memory.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

// A key at frame with every channel c set to value + c.
static MotionKey *key_at(float frame, float value) {
    MotionKey *k = new_key();
    k->frame = frame;
    for (int c = 0; c < MOTION_CHANNELS; c++) k->value[c] = value + float(c);
    return k;
}

static Motion *motion_of(const std::vector<std::pair<float, float>> &keys) {
    Motion *m = new_motion();
    for (auto [frame, value] : keys) motion_insert(m, key_at(frame, value));
    return m;
}

// The ring from first, following next, checking every prev link and the closure on the way.
static std::vector<MotionKey *> ring_of(const Motion *m) {
    std::vector<MotionKey *> keys;
    MotionKey *k = m->first;
    for (int i = 0; i < m->key_count; i++) {
        keys.push_back(k);
        EXPECT_EQ(k->next->prev, k);
        k = k->next;
    }
    EXPECT_EQ(k, m->first) << "the ring does not close after key_count keys";
    EXPECT_EQ(m->first->prev, m->last);
    EXPECT_EQ(m->last->next, m->first);
    return keys;
}

class MotionTest : public ::testing::Test {
  protected:
    void TearDown() override { mem_free_all(); }
};

TEST_F(MotionTest, InsertionKeepsTheRingInFrameOrder) {
    Motion *m = new_motion();
    MotionKey *k50 = key_at(50, 0), *k10 = key_at(10, 0), *k100 = key_at(100, 0);
    MotionKey *k75 = key_at(75, 0), *again75 = key_at(75, 0);

    motion_insert(m, k50);
    EXPECT_EQ(m->first, k50);
    EXPECT_EQ(m->last, k50);
    EXPECT_EQ(k50->next, nullptr); // a lone key is not a ring
    EXPECT_EQ(k50->prev, nullptr);

    motion_insert(m, k100);
    motion_insert(m, k75);
    motion_insert(m, again75); // an equal frame goes in front of the key already there
    EXPECT_EQ(ring_of(m), (std::vector<MotionKey *>{k50, again75, k75, k100}));

    // An earlier key never displaces the first: it goes straight after it.
    motion_insert(m, k10);
    EXPECT_EQ(ring_of(m), (std::vector<MotionKey *>{k50, k10, again75, k75, k100}));
    EXPECT_EQ(m->first, k50);
    EXPECT_EQ(m->spare, k50);
    EXPECT_EQ(m->last, k100);
    EXPECT_EQ(m->key_count, 5);
    EXPECT_EQ(m->length, 100.0f);
}

TEST_F(MotionTest, KeysHoldAtTheirFramesAndOutsideTheRange) {
    // On a key's frame the segment search stops at the segment that ends there (s = 1).
    Motion *four = motion_of({{0, 1}, {40, 5}, {70, -3}, {100, 2}});
    for (auto [frame, value] : {std::pair{0.f, 1.f}, {40.f, 5.f}, {70.f, -3.f}, {100.f, 2.f}}) {
        motion_evaluate(four, frame);
        for (int c = 0; c < 9; c++) EXPECT_EQ(four->value[c], value + float(c)) << frame;
    }

    Motion *m = motion_of({{0, 0}, {50, 10}, {100, -20}});
    motion_evaluate(m, -0.5f);
    for (int c = 0; c < 9; c++) EXPECT_EQ(m->value[c], float(c));
    motion_evaluate(m, 100.01f);
    for (int c = 0; c < 9; c++) EXPECT_EQ(m->value[c], -20.0f + float(c));

    Motion *one = motion_of({{30, 7}});
    for (float t : {-10.0f, 0.0f, 1000.0f}) {
        motion_evaluate(one, t);
        EXPECT_EQ(one->value[8], 15.0f);
    }

    // Before the first key but not below zero, the first segment runs backwards: s = -0.5,
    // h2 = 1, h3 = -1.125, out tangent -10, so 10 + 11.25.
    Motion *late = motion_of({{20, 0}, {40, 10}, {60, 0}});
    motion_evaluate(late, 10.0f);
    EXPECT_FLOAT_EQ(late->value[0], 21.25f);
}

TEST_F(MotionTest, SplineTangentsWrapAroundTheRing) {
    // At t = 25 the first segment takes the key at 100 as its predecessor: adj_out = -1 and
    // adj_in = 0.5, so 0.5*10 + 0.125*(-10) = 3.75.
    Motion *m = motion_of({{0, 0}, {50, 10}, {100, 0}});
    motion_evaluate(m, 25.0f);
    EXPECT_FLOAT_EQ(m->value[0], 3.75f);

    // Tension 1 everywhere removes both tangents: plain Hermite blend of the two keys.
    Motion *tense = motion_of({{0, 0}, {50, 10}, {100, 0}});
    for (MotionKey *k = tense->first; k != tense->last; k = k->next) k->tension = 1.0f;
    tense->last->tension = 1.0f;
    motion_evaluate(tense, 25.0f);
    EXPECT_FLOAT_EQ(tense->value[0], 5.0f);

    // Bias on the current key and continuity on the next, at s = 0.25:
    // out = (10*0.5 + 0*1.5)*-1 = -5, in = (10*0.5 - 10*1.5)*0.5 = -5,
    // value = 0.15625*10 + 0.140625*(-5) - 0.046875*(-5) = 1.09375.
    Motion *tcb = motion_of({{0, 0}, {50, 10}, {100, 0}});
    tcb->first->bias = 0.5f;
    tcb->first->next->continuity = 0.5f;
    motion_evaluate(tcb, 12.5f);
    EXPECT_FLOAT_EQ(tcb->value[0], 1.09375f);
}

TEST_F(MotionTest, TwoKeysUseZeroTangentsAndStayFinite) {
    Motion *m = motion_of({{0, 0}, {100, 10}});
    motion_evaluate(m, 50.0f);
    EXPECT_FLOAT_EQ(m->value[0], 5.0f);
    motion_evaluate(m, 25.0f);
    EXPECT_FLOAT_EQ(m->value[0], 1.5625f); // h2 = 3s^2 - 2s^3 at s = 0.25
    motion_evaluate(m, 0.0f);
    EXPECT_EQ(m->value[0], 0.0f);
    motion_evaluate(m, 100.0f);
    EXPECT_EQ(m->value[0], 10.0f);
    for (float t = 0; t <= 100; t += 0.5f) {
        motion_evaluate(m, t);
        for (int c = 0; c < 9; c++) ASSERT_TRUE(std::isfinite(m->value[c])) << "t " << t;
    }
}

TEST_F(MotionTest, KeysSharingAFrameStayFinite) {
    Motion *m = motion_of({{0, 0}, {0, 4}, {50, 8}});
    for (float t : {0.0f, 0.001f, 25.0f, 50.0f}) {
        motion_evaluate(m, t);
        for (int c = 0; c < 9; c++) ASSERT_TRUE(std::isfinite(m->value[c])) << "t " << t;
    }
    motion_evaluate(m, 0.0f);
    EXPECT_EQ(m->value[0], 4.0f); // where two keys meet, the later one holds
}

TEST_F(MotionTest, EvaluationStaysInsideTheKeysChannels) {
    Motion *empty = new_motion();
    empty->value[0] = 42.0f;
    motion_evaluate(empty, 10.0f); // no keys: nothing changes
    EXPECT_EQ(empty->value[0], 42.0f);
    Motion *m = motion_of({{0, 1}, {10, 2}});
    m->channel_count = 1000; // never past the nine channels a key holds
    motion_evaluate(m, 10.0f);
    EXPECT_EQ(m->value[8], 10.0f);
}
