// Tests of key rings and their spline evaluation: the insertion order, one case that pins the
// TCB formula by hand, and the rings the show's scenes never have.

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

class MotionTest : public ::testing::Test {
  protected:
    void TearDown() override { mem_free_all(); }
};

TEST_F(MotionTest, InsertionKeepsTheRingInFrameOrder) {
    Motion *m = new_motion();
    MotionKey *k50 = key_at(50, 0), *k10 = key_at(10, 0), *k100 = key_at(100, 0);
    MotionKey *k75 = key_at(75, 0), *again75 = key_at(75, 0);
    motion_insert(m, k50);
    EXPECT_EQ(k50->next, nullptr); // a lone key is not a ring
    motion_insert(m, k100);
    motion_insert(m, k75);
    motion_insert(m, again75); // an equal frame goes in front of the key already there
    // An earlier key never displaces the first: it goes straight after it.
    motion_insert(m, k10);
    const std::vector<MotionKey *> want = {k50, k10, again75, k75, k100};
    MotionKey *k = m->first;
    for (MotionKey *w : want) {
        EXPECT_EQ(k, w);
        EXPECT_EQ(k->next->prev, k);
        k = k->next;
    }
    EXPECT_EQ(k, m->first) << "the ring does not close after key_count keys";
    EXPECT_EQ(m->last, k100);
    EXPECT_EQ(m->key_count, 5);
    EXPECT_EQ(m->length, 100.0f);
}

TEST_F(MotionTest, TensionContinuityAndBiasByHand) {
    // Bias on the current key and continuity on the next, at s = 0.25, the tangents wrapping
    // round the ring: out = (10*0.5 + 0*1.5)*-1 = -5, in = (10*0.5 - 10*1.5)*0.5 = -5,
    // value = 0.15625*10 + 0.140625*(-5) - 0.046875*(-5) = 1.09375.
    Motion *tcb = motion_of({{0, 0}, {50, 10}, {100, 0}});
    tcb->first->bias = 0.5f;
    tcb->first->next->continuity = 0.5f;
    motion_evaluate(tcb, 12.5f);
    EXPECT_FLOAT_EQ(tcb->value[0], 1.09375f);
    // Tension on the current key scales both its weights by 0.5; the key before it (4, at frame
    // 100 round the ring) makes the incoming one count: out = (10*0.5 + (0-4)*0.5)*-1 = -3,
    // in = (10*1 + (4-10)*1)*0.5 = 2, value = 0.15625*10 + 0.140625*(-3) - 0.046875*2 = 1.046875.
    Motion *tense = motion_of({{0, 0}, {50, 10}, {100, 4}});
    tense->first->tension = 0.5f;
    motion_evaluate(tense, 12.5f);
    EXPECT_FLOAT_EQ(tense->value[0], 1.046875f);
    // Tension and bias on the next key weigh the incoming tangent alone: out = (10 + (0-4))*-1
    // = -6, in = (10*1.5*0.5 + (4-10)*0.5*0.5)*0.5 = 3, value = 1.5625 - 0.84375 - 0.140625.
    Motion *next_key = motion_of({{0, 0}, {50, 10}, {100, 4}});
    next_key->first->next->tension = 0.5f;
    next_key->first->next->bias = 0.5f;
    motion_evaluate(next_key, 12.5f);
    EXPECT_FLOAT_EQ(next_key->value[0], 0.578125f);
    // Before the first key but not below zero, the first segment runs backwards: s = -0.5,
    // h2 = 1, h3 = -1.125, out tangent -10, so 10 + 11.25.
    Motion *late = motion_of({{20, 0}, {40, 10}, {60, 0}});
    motion_evaluate(late, 10.0f);
    EXPECT_FLOAT_EQ(late->value[0], 21.25f);
}

TEST_F(MotionTest, SmallAndDegenerateRingsStayFinite) {
    Motion *two = motion_of({{0, 0}, {100, 10}}); // zero tangents: h2 = 3s^2 - 2s^3
    motion_evaluate(two, 25.0f);
    EXPECT_FLOAT_EQ(two->value[0], 1.5625f);
    motion_evaluate(two, -0.5f); // below zero and past the end the end keys hold
    EXPECT_EQ(two->value[8], 8.0f);
    motion_evaluate(two, 100.01f);
    EXPECT_EQ(two->value[8], 18.0f);
    Motion *one = motion_of({{30, 7}});
    for (float t : {-10.0f, 0.0f, 1000.0f}) {
        motion_evaluate(one, t);
        EXPECT_EQ(one->value[8], 15.0f);
    }
    Motion *shared = motion_of({{0, 0}, {0, 4}, {50, 8}});
    for (float t : {0.001f, 25.0f, 50.0f, 0.0f}) {
        motion_evaluate(shared, t);
        for (int c = 0; c < 9; c++) ASSERT_TRUE(std::isfinite(shared->value[c])) << "t " << t;
    }
    EXPECT_EQ(shared->value[0], 4.0f); // where two keys meet, the later one holds
    Motion *empty = new_motion();
    empty->value[0] = 42.0f;
    motion_evaluate(empty, 10.0f); // no keys: nothing changes
    EXPECT_EQ(empty->value[0], 42.0f);
    two->channel_count = 1000; // never past the nine channels a key holds
    motion_evaluate(two, 100.0f);
    EXPECT_EQ(two->value[8], 18.0f);
}
